// Placeholder until the parser lands.
#include "control/marklet.h"

namespace marklet {

void Marklet::ParseText(const std::u16string&) { layoutReady_ = true; }
bool Marklet::ApplyStyleTag(const std::u16string&) { return false; }

}  // namespace marklet

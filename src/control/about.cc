// Placeholder until the About dialog lands.
#include "control/marklet.h"

namespace marklet {

void Marklet::About() {}

}  // namespace marklet

// Placeholder until the renderer lands.
#include "control/marklet.h"

namespace marklet {

void Marklet::RenderText() { surface().SetBackColor(backColor_); }

}  // namespace marklet

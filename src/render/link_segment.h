// One line segment of a link drawn over several lines.
#pragma once

#include <string>

#include "host/numeric.h"

namespace marklet {

// Its box is in twips on the control's surface, as the paint placed it.
struct LinkSegment {
  Integer LinkIndex = 0;  // the link (markup/records.h) it is part of
  std::u16string Text;    // the part of the link's text on this line
  Single Left = 0;
  Single Top = 0;
  Single Right = 0;
  Single Bottom = 0;
};

}  // namespace marklet

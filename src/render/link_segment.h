// One line segment of a link drawn over several lines.
#pragma once

#include <string>

#include "host/numeric.h"

namespace marklet {

struct LinkSegment {
  Integer LinkIndex = 0;
  std::u16string Text;
  Single Left = 0;
  Single Top = 0;
  Single Right = 0;
  Single Bottom = 0;
};

}  // namespace marklet

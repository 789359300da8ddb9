// The font sizes a drawing surface takes and reports, for every host.
#pragma once

#include <algorithm>

#include "host/numeric.h"

namespace marklet {

// The largest size in points a surface takes.
constexpr Single kMaxFontPoints = 2048;

inline bool FontSizeAccepted(Single points) { return points > 0 && points <= kMaxFontPoints; }

// The size a surface reports for the size it draws at, `drawn` points. A
// surface draws at whole pixels, so the largest size it takes may be drawn a
// little larger (2048 points at 15 twips a pixel are 2731 pixels, 2048.25
// points). The report stays within what the surface takes, so a size read back
// (and saved, and loaded) can always be set again.
inline Single ReportedFontSize(double drawn) {
  return static_cast<Single>(std::min(drawn, static_cast<double>(kMaxFontPoints)));
}

}  // namespace marklet

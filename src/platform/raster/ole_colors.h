// OLE colours to RGB: 0x00BBGGRR values as they are, system colours (top bit
// set) through the classic system palette.
#pragma once

#include <cstdint>

#include "host/values.h"

namespace marklet::raster {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

// Error 380 for a system colour index the palette does not know, or a value
// with bits set in the top byte that is not a system colour.
Rgb OleToRgb(OleColor color);

}  // namespace marklet::raster

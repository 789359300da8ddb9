#include "platform/raster/ole_colors.h"

#include <array>
#include <cstdio>

#include "host/error.h"

namespace marklet::raster {

namespace {

// The classic system palette, by system colour index.
constexpr std::array<std::uint32_t, 31> kSystemPalette{
    0xD4D0C8,  // 0 scroll bar
    0x3A6EA5,  // 1 desktop
    0x0A246A,  // 2 active caption
    0x808080,  // 3 inactive caption
    0xD4D0C8,  // 4 menu
    0xFFFFFF,  // 5 window
    0x000000,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0xFFFFFF,  // 9 caption text
    0xD4D0C8,  // 10 active border
    0xD4D0C8,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x0A246A,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xD4D0C8,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 gray text
    0x000000,  // 18 button text
    0xD4D0C8,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x404040,  // 21 3-D dark shadow
    0xD4D0C8,  // 22 3-D light
    0x000000,  // 23 tooltip text
    0xFFFFE1,  // 24 tooltip background
    0xB5B5B5,  // 25 (unassigned in the classic scheme; light gray)
    0x000080,  // 26 hot-tracked item
    0xA6CAF0,  // 27 gradient of the active caption
    0xC0C0C0,  // 28 gradient of the inactive caption
    0x316AC5,  // 29 menu highlight
    0xECE9D8,  // 30 menu bar
};

}  // namespace

Rgb OleToRgb(OleColor color) {
  if (color & kSystemColorFlag) {
    std::uint32_t index = color & 0x00FFFFFFu;
    if ((color & 0x7F000000u) != 0 || index >= kSystemPalette.size()) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "Invalid property value: system colour &H%08X", color);
      throw MarkletError(ErrorNumber::InvalidPropertyValue, buf);
    }
    std::uint32_t rgb = kSystemPalette[index];
    return Rgb{static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
               static_cast<std::uint8_t>(rgb)};
  }
  if (color & 0xFF000000u) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Invalid property value: colour &H%08X", color);
    throw MarkletError(ErrorNumber::InvalidPropertyValue, buf);
  }
  return Rgb{static_cast<std::uint8_t>(color), static_cast<std::uint8_t>(color >> 8),
             static_cast<std::uint8_t>(color >> 16)};
}

}  // namespace marklet::raster

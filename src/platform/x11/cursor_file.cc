#include "platform/x11/cursor_file.h"

#include <fstream>
#include <iterator>

#include "host/error.h"

namespace marklet::x11 {

namespace {

std::uint32_t Le32(const std::vector<unsigned char>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Le16(const std::vector<unsigned char>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

[[noreturn]] void Bad(const std::string& why) {
  throw MarkletError(ErrorNumber::InvalidPicture, "Invalid cursor: " + why);
}

}  // namespace

CursorImage ParseCursor(const std::vector<unsigned char>& b) {
  if (b.size() < 22 || Le16(b, 0) != 0 || Le16(b, 2) != 2 || Le16(b, 4) < 1) Bad("not a cursor file");
  CursorImage c;
  c.width = b[6] ? b[6] : 256;
  c.height = b[7] ? b[7] : 256;
  c.hotX = Le16(b, 10);
  c.hotY = Le16(b, 12);
  std::uint32_t size = Le32(b, 14), offset = Le32(b, 18);
  if (offset + static_cast<std::uint64_t>(size) > b.size() || size < 40) Bad("truncated image");
  std::size_t h = offset;
  std::uint32_t headerSize = Le32(b, h);
  int bpp = Le16(b, h + 14);
  std::uint32_t colors = Le32(b, h + 32);
  if (headerSize < 40 || (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 32)) Bad("unsupported bit depth");
  if (bpp <= 8 && colors == 0) colors = 1u << bpp;
  std::size_t palette = h + headerSize;
  std::size_t pixels = palette + (bpp <= 8 ? colors * 4 : 0);
  std::size_t xorStride = ((c.width * bpp + 31) / 32) * 4;
  std::size_t andStride = ((c.width + 31) / 32) * 4;
  std::size_t andStart = pixels + xorStride * c.height;
  if (andStart + andStride * c.height > offset + size) Bad("truncated bitmap");
  c.argb.resize(static_cast<std::size_t>(c.width) * c.height);
  for (int y = 0; y < c.height; ++y) {
    std::size_t row = pixels + xorStride * (c.height - 1 - y);
    std::size_t maskRow = andStart + andStride * (c.height - 1 - y);
    for (int x = 0; x < c.width; ++x) {
      std::uint32_t argb;
      if (bpp == 32) {
        argb = Le32(b, row + x * 4);
      } else {
        std::size_t bit = static_cast<std::size_t>(x) * bpp;
        unsigned byte = b[row + bit / 8];
        unsigned index = (byte >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        if (index >= colors) Bad("colour index out of the palette");
        std::size_t p = palette + index * 4;
        argb = 0xFF000000u | (b[p + 2] << 16) | (b[p + 1] << 8) | b[p];
      }
      bool transparent = (b[maskRow + x / 8] >> (7 - x % 8)) & 1;
      if (bpp != 32 && transparent) argb = 0;
      c.argb[static_cast<std::size_t>(y) * c.width + x] = argb;
    }
  }
  return c;
}

CursorImage ReadCursorFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + path + "'");
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseCursor(bytes);
}

}  // namespace marklet::x11

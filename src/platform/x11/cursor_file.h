// Reads a Windows cursor file (.cur) with a paletted or true-colour image
// into ARGB pixels and its hot spot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marklet::x11 {

struct CursorImage {
  int width = 0, height = 0;
  int hotX = 0, hotY = 0;
  std::vector<std::uint32_t> argb;  // row-major, top row first, premultiplied not needed (0 or 255 alpha)
};

// Throws MarkletError 481 for a file that is not such a cursor, 53 when it cannot be read.
CursorImage ReadCursorFile(const std::string& path);
CursorImage ParseCursor(const std::vector<unsigned char>& bytes);

}  // namespace marklet::x11

// The About dialog's emblem: the bytes of emblem.gif (drawn by emblem.py),
// compiled into the library by the build.
#pragma once

#include <cstddef>

namespace marklet {

extern const unsigned char kAboutEmblemGif[];
extern const std::size_t kAboutEmblemGifSize;

}  // namespace marklet

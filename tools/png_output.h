// Where `marklet render -o` and `marklet demo -o` put the picture.
#pragma once

#include <string>

#include "platform/raster/raster_container.h"

namespace marklet::tools {

// "-" writes the PNG to standard output and nothing else goes there. Any
// other name is a file replaced whole or not at all (files::ReplaceFile), and
// its path is printed on standard output. Throws MarkletError naming the file.
void WritePngOutput(raster::RasterContainer& container, const std::string& output);

}  // namespace marklet::tools

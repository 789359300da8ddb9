#include "tools/png_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "host/error.h"

namespace marklet::tools {

namespace {

void WriteStandardOutput(const std::string& bytes) {
  std::cout.flush();
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(STDOUT_FILENO, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int why = n < 0 ? errno : EIO;
      throw MarkletError(75, std::string("Path/File access error: cannot write the PNG to standard output (") +
                                 std::strerror(why) + ")");
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace

void WritePngOutput(raster::RasterContainer& container, const std::string& output) {
  if (output == "-") {
    WriteStandardOutput(container.EncodePng());
    return;
  }
  container.WritePng(output);
  std::cout << output << "\n";
}

}  // namespace marklet::tools

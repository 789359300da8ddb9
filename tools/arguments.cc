#include "tools/arguments.h"

#include <unistd.h>

#include <charconv>
#include <sstream>

#include "platform/files/readable_file.h"

namespace marklet::tools {

namespace {

std::string Shown(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

}  // namespace

int IntegerOption(const std::string& option, const std::string& value, int min, int max) {
  long long parsed = 0;
  const char* end = value.data() + value.size();
  auto [stop, error] = std::from_chars(value.data(), end, parsed);
  if (value.empty() || error != std::errc() || stop != end || parsed < min || parsed > max) {
    throw OptionError(option + " takes a whole number from " + std::to_string(min) + " to " +
                      std::to_string(max) + ", not '" + value + "'");
  }
  return static_cast<int>(parsed);
}

double NumberOption(const std::string& option, const std::string& value, double min, double max) {
  double parsed = 0;
  const char* end = value.data() + value.size();
  auto [stop, error] = std::from_chars(value.data(), end, parsed);
  // NaN fails both comparisons; from_chars reads "inf" and "nan" as numbers.
  if (value.empty() || error != std::errc() || stop != end || !(parsed >= min && parsed <= max)) {
    throw OptionError(option + " takes a number from " + Shown(min) + " to " + Shown(max) + ", not '" + value +
                      "'");
  }
  return parsed;
}

std::string ReadInput(const std::string& path) {
  if (path == "-") return files::ReadStream(STDIN_FILENO, files::kMaxInputFileBytes, "standard input");
  return files::ReadRegularFile(path, files::kMaxInputFileBytes);
}

}  // namespace marklet::tools

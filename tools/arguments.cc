#include "tools/arguments.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <sstream>

#include "host/error.h"
#include "host/values.h"
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

std::string WithControlLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

void TextOption::Set(const std::string& option, const std::string& value) {
  if (given()) {
    throw OptionError(from_ + " and " + option + " both give the text; give only one of them");
  }
  bytes_ = option == "--file" ? ReadInput(value) : value;
  from_ = option;
  source_ = option == "--file" ? "--file '" + value + "'" : option;
}

std::u16string TextOption::Text() const {
  try {
    return Utf8ToU16(raw_ ? bytes_ : WithControlLineEnds(bytes_));
  } catch (const MarkletError& e) {
    throw MarkletError(e.number(), std::string(e.what()) + " in the text of " + source_);
  }
}

std::string ReadInput(const std::string& path) {
  if (path == "-") return files::ReadStream(STDIN_FILENO, files::kMaxInputFileBytes, "standard input");
  return files::ReadRegularFile(path, files::kMaxInputFileBytes);
}

BoundedInput::int_type BoundedInput::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (exceeded_) return traits_type::eof();
  if (before_) before_->flush();
  // One byte more than the room left tells an input that goes on past the limit.
  std::size_t room = limit_ - taken_;
  ssize_t n;
  do {
    n = ::read(fd_, buffer_, std::min(sizeof buffer_, room + 1));
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return traits_type::eof();
  if (static_cast<std::size_t>(n) > room) {
    exceeded_ = true;
    // The stream turns this into a failed read, so the cut line never runs.
    throw std::length_error("input over its limit");
  }
  taken_ += static_cast<std::size_t>(n);
  setg(buffer_, buffer_, buffer_ + n);
  return traits_type::to_int_type(*gptr());
}

}  // namespace marklet::tools

// What the commands take from their command line: numeric options read whole
// and checked against their range, and the texts and scripts they read from a
// file or from standard input.
#pragma once

#include <cstddef>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>

namespace marklet::tools {

// A value the command cannot take; the message names the option and the range.
class OptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole of `value` as a decimal integer from `min` to `max`.
int IntegerOption(const std::string& option, const std::string& value, int min, int max);
// The whole of `value` as a finite decimal number from `min` to `max`.
double NumberOption(const std::string& option, const std::string& value, double min, double max);

// Pixel sizes and twips per pixel the raster and window hosts accept.
constexpr int kMaxPixels = 16384;
constexpr double kMinTwipsPerPixel = 1;
constexpr double kMaxTwipsPerPixel = 1440;

// `text` with every line end (LF, CR LF or a lone CR) written as the CR LF
// the control breaks lines at.
std::string WithControlLineEnds(std::string_view text);

// The text render and view draw: from --text or --file, never both (the
// second is refused rather than silently winning). Its line ends become CR LF
// unless --raw asks for the text exactly as written.
class TextOption {
 public:
  // Takes --text VALUE (the value itself) or --file VALUE (the file it names).
  void Set(const std::string& option, const std::string& value);
  void SetRaw() { raw_ = true; }
  bool given() const { return !from_.empty(); }
  // Error 13 naming the option (and file) when the text is not UTF-8.
  std::u16string Text() const;

 private:
  std::string from_;
  std::string source_;  // for messages: "--text" or "--file 'NAME'"
  std::string bytes_;
  bool raw_ = false;
};


// A whole text or script: standard input for "-", else a regular file (never
// a FIFO, a device or a folder, which could block or never end). At most
// 64 MB either way. Throws MarkletError 53, 70, 75 or 7 naming the file.
std::string ReadInput(const std::string& path);

// A stream read as it arrives (standard input for `marklet script`), so a
// driving process can feed a script a line at a time and read each line's
// records before it writes the next. Past `limit` bytes the stream fails:
// the line being read is dropped, nothing more runs, and exceeded() tells.
// `before` (the records' stream) is flushed each time the input runs dry,
// just before the read that may wait for the driver.
class BoundedInput : public std::streambuf {
 public:
  BoundedInput(int fd, std::size_t limit, std::ostream* before = nullptr)
      : fd_(fd), limit_(limit), before_(before) {}
  bool exceeded() const { return exceeded_; }

 protected:
  int_type underflow() override;

 private:
  int fd_;
  std::size_t limit_;
  std::ostream* before_;
  std::size_t taken_ = 0;
  bool exceeded_ = false;
  char buffer_[65536];
};

}  // namespace marklet::tools

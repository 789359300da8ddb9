// The number readers of the markup: colours, lenient sizes and margins, strict
// image offsets.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "host/numeric.h"
#include "markup/markup.h"

namespace marklet {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Reads a decimal number at the start of `text`: optional sign, digits with
// an optional fraction (at least one digit in all), and, when allowed, an
// exponent "E" or "D" with optional sign and at least one digit. Returns how
// many characters it used (0 when there is no number) and the value.
std::size_t ScanDecimal(std::u16string_view text, bool allowExponent, double& value) {
  std::string ascii;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ascii.push_back(static_cast<char>(text[i++]));
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) {
    ascii.push_back(static_cast<char>(text[i++]));
    digits = true;
  }
  if (i < text.size() && text[i] == u'.') {
    ascii.push_back('.');
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      ascii.push_back(static_cast<char>(text[i++]));
      digits = true;
    }
  }
  if (!digits) return 0;
  if (allowExponent && i < text.size() &&
      (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) exponent.push_back(static_cast<char>(text[j++]));
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) exponent.push_back(static_cast<char>(text[j++]));
      ascii += exponent;
      i = j;
    }
  }
  const char* first = ascii.data();
  if (*first == '+') ++first;
  auto result = std::from_chars(first, ascii.data() + ascii.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: infinity or zero, with its sign.
    bool negative = ascii[0] == '-';
    bool tiny = ascii.find("e-") != std::string::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    if (negative) value = -value;
  }
  return i;
}

// Reads "&H" and hexadecimal digits at the start of `text` (as many as there
// are, at least one). Returns how many characters it used, 0 when there is
// no such number; `overflow` tells that the value went past 32 bits.
std::size_t ScanHex(std::u16string_view text, std::uint64_t& value, bool& overflow) {
  if (text.size() < 3 || text[0] != u'&' || (text[1] != u'H' && text[1] != u'h') || HexValue(text[2]) < 0) {
    return 0;
  }
  value = 0;
  overflow = false;
  std::size_t i = 2;
  for (; i < text.size() && HexValue(text[i]) >= 0; ++i) {
    value = value * 16 + static_cast<std::uint64_t>(HexValue(text[i]));
    if (value > 0xFFFFFFFFull) {
      overflow = true;
      value = 0xFFFFFFFFull;
    }
  }
  return i;
}

}  // namespace

bool ReadColorNumber(std::u16string_view text, OleColor& colour) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  std::uint64_t bits;
  bool overflow;
  std::size_t used = ScanHex(text, bits, overflow);
  if (used > 0) {
    if (used != text.size() || overflow) return false;
    colour = static_cast<OleColor>(bits);
    return true;
  }
  double value;
  if (ScanDecimal(text, false, value) != text.size()) return false;
  double whole = RoundHalfEven(value);
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return false;
  colour = static_cast<OleColor>(static_cast<Long>(whole));
  return true;
}

double ReadLenientNumber(std::u16string_view text) {
  std::u16string packed;
  packed.reserve(text.size());
  for (char16_t c : text)
    if (c != u' ' && c != u'\t' && c != u'\n') packed.push_back(c);
  std::uint64_t bits;
  bool overflow;
  if (ScanHex(packed, bits, overflow) > 0) {
    return overflow ? std::numeric_limits<double>::infinity() : static_cast<double>(bits);
  }
  double value = 0;
  if (ScanDecimal(packed, true, value) == 0) return 0;
  return value;
}

bool ReadStrictNumber(std::u16string_view text, double& value) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  double read;
  if (ScanDecimal(text, true, read) != text.size()) return false;
  value = read;
  return true;
}

}  // namespace marklet

#include "host/values.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "host/error.h"

namespace marklet {

std::u16string Utf8ToU16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  auto bad = [&](std::size_t at) {
    throw MarkletError(ErrorNumber::TypeMismatch,
                       "Invalid UTF-8 at byte " + std::to_string(at + 1));
  };
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
    } else {
      bad(i);
    }
    if (i + extra >= text.size()) bad(i);
    for (int k = 1; k <= extra; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) bad(i);
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      bad(i);
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += extra + 1;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string U16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned positions map to themselves.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

std::u16string FromAnsi(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char ch : text) {
    auto byte = static_cast<unsigned char>(ch);
    out.push_back(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : static_cast<char16_t>(byte));
  }
  return out;
}

std::string ToAnsi(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (kHigh[k] == c) mapped = static_cast<char>(0x80 + k);
    // A surrogate pair is one character, and one '?'.
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    out.push_back(mapped);
  }
  return out;
}

bool ParseNumericString(std::u16string_view text, double& out) {
  std::size_t i = 0, n = text.size();
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  while (i < n && blank(text[i])) ++i;
  while (n > i && blank(text[n - 1])) --n;
  if (i >= n) return false;
  bool negative = false;
  if (text[i] == u'+' || text[i] == u'-') {
    negative = text[i] == u'-';
    ++i;
  }
  if (i >= n) return false;
  if (text[i] == u'&' && i + 1 < n && (text[i + 1] == u'H' || text[i + 1] == u'h' ||
                                       text[i + 1] == u'O' || text[i + 1] == u'o')) {
    int base = (text[i + 1] == u'H' || text[i + 1] == u'h') ? 16 : 8;
    i += 2;
    if (i >= n) return false;
    std::uint64_t v = 0;
    for (; i < n; ++i) {
      int d;
      char16_t c = text[i];
      if (c >= u'0' && c <= u'9') d = c - u'0';
      else if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
      else if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
      else return false;
      if (d >= base) return false;
      v = v * base + d;
      if (v > 0xFFFFFFFFull) return false;
    }
    // Hexadecimal and octal literals of up to 16 bits read as Integers, up to
    // 32 bits as Longs, with the sign bit wrapping as automation does.
    double value;
    if (v <= 0xFFFF) value = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
    else value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    out = negative ? -value : value;
    return true;
  }
  // After the one sign, the body starts with a digit or a decimal point.
  if (text[i] != u'.' && (text[i] < u'0' || text[i] > u'9')) return false;
  std::string ascii;
  bool digits = false;
  for (; i < n; ++i) {
    char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      digits = true;
      ascii.push_back(static_cast<char>(c));
    } else if (c == u'.' || c == u'e' || c == u'E' || c == u'+' || c == u'-') {
      ascii.push_back(static_cast<char>(c));
    } else {
      return false;
    }
  }
  if (!digits) return false;
  char* end = nullptr;
  double value = std::strtod(ascii.c_str(), &end);
  if (end != ascii.c_str() + ascii.size()) return false;
  out = negative ? -value : value;
  return true;
}

namespace {

[[noreturn]] void Mismatch(const char* wanted) {
  throw MarkletError(ErrorNumber::TypeMismatch, std::string("Type mismatch: expected ") + wanted);
}

}  // namespace

double Variant::ToDouble() const {
  switch (type()) {
    case VarType::Empty: return 0;
    case VarType::Bool: return std::get<1>(value_) ? -1 : 0;
    case VarType::Integer: return std::get<2>(value_);
    case VarType::Long: return std::get<3>(value_);
    case VarType::Byte: return std::get<4>(value_);
    case VarType::Single: return std::get<5>(value_);
    case VarType::Double: return std::get<6>(value_);
    case VarType::String: {
      const auto& s = std::get<7>(value_);
      double v;
      if (ParseNumericString(s, v)) return v;
      // Automation also reads the words True and False as Booleans.
      std::u16string lower;
      for (char16_t c : s) lower.push_back(c >= u'A' && c <= u'Z' ? c + 32 : c);
      if (lower == u"true") return -1;
      if (lower == u"false") return 0;
      Mismatch("a number");
    }
    case VarType::Font: Mismatch("a number");
    case VarType::Picture: {
      // A picture's value is its handle; Nothing reads as 0.
      if (!std::get<9>(value_)) return 0;
      Mismatch("a number");
    }
  }
  Mismatch("a number");
}

bool Variant::ToBool() const {
  if (type() == VarType::Bool) return AsBool();
  return ToDouble() != 0;
}
Integer Variant::ToInteger() const { return CInt(ToDouble()); }
Long Variant::ToLong() const {
  // OLE colours above 0x7FFFFFFF arrive as unsigned values from scripts; they
  // are the same 32 bits.
  double v = ToDouble();
  if (v > 2147483647.0 && v <= 4294967295.0 && v == std::floor(v)) {
    return static_cast<Long>(static_cast<std::uint32_t>(v));
  }
  return CLng(v);
}
Byte Variant::ToByte() const { return CByte(ToDouble()); }
Single Variant::ToSingle() const { return CSng(ToDouble()); }

std::u16string Variant::ToString() const {
  switch (type()) {
    case VarType::Empty: return u"";
    case VarType::Bool: return AsBool() ? u"True" : u"False";
    case VarType::String: return AsString();
    case VarType::Single: return Utf8ToU16(FormatSingle(std::get<5>(value_)));
    case VarType::Double: return Utf8ToU16(FormatDouble(std::get<6>(value_)));
    case VarType::Font: return AsFont().name;
    case VarType::Picture: Mismatch("a string");
    default: {
      long long v = static_cast<long long>(ToDouble());
      return Utf8ToU16(std::to_string(v));
    }
  }
}

FontDesc Variant::ToFont() const {
  if (type() == VarType::Font) return AsFont();
  Mismatch("a font object");
}

Picture Variant::ToPicture() const {
  if (type() == VarType::Picture) return AsPicture();
  if (type() == VarType::Empty) return nullptr;
  Mismatch("a picture object");
}

bool Variant::operator==(const Variant& other) const { return value_ == other.value_; }

}  // namespace marklet

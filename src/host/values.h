// Value types of the control's public surface: OLE colours, the standard font
// and picture objects, UTF-16 strings and the automation variant.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "host/numeric.h"

namespace marklet {

// 0x00BBGGRR, or a system colour (0x80000000 + index) when the top bit is set.
using OleColor = std::uint32_t;
constexpr OleColor kSystemColorFlag = 0x80000000u;

// The standard font object, as a value. Size is in points.
struct FontDesc {
  std::u16string name;
  Single size = 8.25f;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;
  Integer weight = 400;  // follows bold unless a host sets it apart
  Integer charset = 0;

  bool operator==(const FontDesc&) const = default;
};

// The standard picture object: a decoded image with its HiMetric size. Hosts
// keep their own pixel data behind `handle`.
struct PictureObject {
  Long widthHiMetric = 0;
  Long heightHiMetric = 0;
  std::u16string path;  // the file it was loaded from, empty when made in memory
  std::shared_ptr<void> handle;
};
using Picture = std::shared_ptr<const PictureObject>;

// UTF-8 <-> UTF-16. Ill-formed UTF-8 is refused with error 13 naming the byte;
// a lone surrogate in UTF-16 becomes U+FFFD on the way out.
std::u16string Utf8ToU16(std::string_view text);
std::string U16ToUtf8(std::u16string_view text);
// Appends one code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
inline std::u16string U(std::string_view ascii) { return Utf8ToU16(ascii); }

// A string in the ANSI code page (Windows-1252) for the platform's "A"
// entries; characters it lacks become '?'.
std::string ToAnsi(std::u16string_view text);
// The other way: every byte of a Windows-1252 string as its character.
std::u16string FromAnsi(std::string_view text);

// The automation variant: what dispatch arguments, event arguments and
// property-bag values are.
enum class VarType { Empty, Bool, Integer, Long, Byte, Single, Double, String, Font, Picture };

class Variant {
 public:
  Variant() = default;
  static Variant FromBool(bool v) { return Variant(Storage(std::in_place_index<1>, v)); }
  static Variant FromInteger(Integer v) { return Variant(Storage(std::in_place_index<2>, v)); }
  static Variant FromLong(Long v) { return Variant(Storage(std::in_place_index<3>, v)); }
  static Variant FromByte(Byte v) { return Variant(Storage(std::in_place_index<4>, v)); }
  static Variant FromSingle(Single v) { return Variant(Storage(std::in_place_index<5>, v)); }
  static Variant FromDouble(double v) { return Variant(Storage(std::in_place_index<6>, v)); }
  static Variant FromString(std::u16string v) {
    return Variant(Storage(std::in_place_index<7>, std::move(v)));
  }
  static Variant FromFont(FontDesc v) { return Variant(Storage(std::in_place_index<8>, std::move(v))); }
  // A picture variant holds an object reference; a null reference is "Nothing".
  static Variant FromPicture(Picture v) {
    return Variant(Storage(std::in_place_index<9>, std::move(v)));
  }

  VarType type() const { return static_cast<VarType>(value_.index()); }
  bool IsEmpty() const { return type() == VarType::Empty; }

  // Exact accessors (the variant must hold that type).
  bool AsBool() const { return std::get<1>(value_); }
  const std::u16string& AsString() const { return std::get<7>(value_); }
  const FontDesc& AsFont() const { return std::get<8>(value_); }
  const Picture& AsPicture() const { return std::get<9>(value_); }

  // Coercions as automation hosts do them: numeric strings are accepted,
  // anything else that is not a number gives error 13, out of range error 6.
  bool ToBool() const;
  Integer ToInteger() const;
  Long ToLong() const;
  Byte ToByte() const;
  Single ToSingle() const;
  double ToDouble() const;
  std::u16string ToString() const;
  FontDesc ToFont() const;
  Picture ToPicture() const;

  bool operator==(const Variant& other) const;

 private:
  using Storage = std::variant<std::monostate, bool, Integer, Long, Byte, Single, double,
                               std::u16string, FontDesc, Picture>;
  explicit Variant(Storage v) : value_(std::move(v)) {}
  Storage value_;
};

// Parses a number the way automation coercion reads a numeric string: optional
// surrounding blanks, sign, digits with an optional fraction and exponent, or
// &H / &O forms. Returns false when the text is not such a number.
bool ParseNumericString(std::u16string_view text, double& out);

}  // namespace marklet

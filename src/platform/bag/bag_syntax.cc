#include "platform/bag/bag_syntax.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <unordered_set>

#include "host/error.h"
#include "host/numeric.h"

namespace marklet::bag {

namespace {

constexpr char16_t kBeginProperty[] = u"BeginProperty";
constexpr char16_t kEndProperty[] = u"EndProperty";
// A weight from this value up reads as bold, as the surfaces treat it.
constexpr Integer kBoldWeight = 600;

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x += 32;
    if (y >= u'A' && y <= u'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsWordChar(char16_t c) { return IsLetter(c) || IsDigit(c) || c == u'_'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Characters a text line cannot hold safely: control characters, lone
// surrogates (checked by the caller), and the characters editors treat as
// line breaks or strip silently.
bool NeedsConstant(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || c == 0xFEFF;
}

// Named character constants of the notation.
struct NamedConstant {
  std::u16string_view name;
  std::u16string_view value;
};
constexpr NamedConstant kConstants[] = {
    {u"vbCrLf", u"\r\n"},     {u"vbCr", u"\r"},
    {u"vbLf", u"\n"},          {u"vbTab", u"\t"},
    {u"vbBack", u"\b"},        {u"vbFormFeed", u"\f"},
    {u"vbVerticalTab", u"\v"}, {u"vbNullChar", std::u16string_view(u"\0", 1)},
};

std::string Ascii(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

// Parses one line of a bag text. Every failure names the line.
class LineReader {
 public:
  LineReader(std::u16string_view text, int line, std::string_view origin)
      : s_(text), line_(line), origin_(origin) {}

  [[noreturn]] void Fail(const std::string& what) const {
    // Line 0 is a value read on its own, named by its origin alone.
    std::string where = line_ == 0 ? (origin_.empty() ? "Bag value" : std::string(origin_))
                        : origin_.empty() ? "Property bag"
                                          : "Property bag '" + std::string(origin_) + "'";
    if (line_ > 0) where += ", line " + std::to_string(line_);
    throw MarkletError(ErrorNumber::TypeMismatch, where + ": " + what);
  }

  void SkipBlanks() {
    while (i_ < s_.size() && IsBlank(s_[i_])) ++i_;
  }

  // True at the end of the line or at a comment.
  bool AtEnd() {
    SkipBlanks();
    return i_ >= s_.size() || s_[i_] == u'\'';
  }

  void ExpectEnd() {
    if (!AtEnd()) Fail("unexpected text '" + Ascii(s_.substr(i_, 20)) + "'");
  }

  bool Peek(char16_t c) {
    SkipBlanks();
    return i_ < s_.size() && s_[i_] == c;
  }

  void Expect(char16_t c) {
    if (!Peek(c)) Fail(std::string("expected '") + static_cast<char>(c) + "'");
    ++i_;
  }

  bool PeekWord() {
    SkipBlanks();
    return i_ < s_.size() && (IsLetter(s_[i_]) || s_[i_] == u'_');
  }

  std::u16string Word() {
    SkipBlanks();
    std::size_t start = i_;
    if (i_ >= s_.size() || !(IsLetter(s_[i_]) || s_[i_] == u'_')) Fail("expected a name");
    while (i_ < s_.size() && IsWordChar(s_[i_])) ++i_;
    return std::u16string(s_.substr(start, i_ - start));
  }

  std::size_t position() const { return i_; }
  void Rewind(std::size_t to) { i_ = to; }

  // A number literal with its type suffix.
  Variant Number() {
    SkipBlanks();
    std::size_t start = i_;
    bool negative = false;
    if (i_ < s_.size() && (s_[i_] == u'-' || s_[i_] == u'+')) negative = s_[i_++] == u'-';
    if (i_ + 1 < s_.size() && s_[i_] == u'&' && (s_[i_ + 1] == u'H' || s_[i_ + 1] == u'h' ||
                                                 s_[i_ + 1] == u'O' || s_[i_ + 1] == u'o')) {
      return RadixNumber(negative, start);
    }
    std::string ascii;
    if (negative) ascii.push_back('-');
    bool whole = true, digits = false;
    auto takeDigits = [&] {
      while (i_ < s_.size() && IsDigit(s_[i_])) {
        ascii.push_back(static_cast<char>(s_[i_++]));
        digits = true;
      }
    };
    takeDigits();
    if (i_ < s_.size() && s_[i_] == u'.') {
      whole = false;
      ascii.push_back('.');
      ++i_;
      takeDigits();
    }
    if (!digits) Fail("expected a value at '" + Ascii(s_.substr(start, 20)) + "'");
    if (i_ < s_.size() && (s_[i_] == u'e' || s_[i_] == u'E')) {
      whole = false;
      ascii.push_back('e');
      ++i_;
      if (i_ < s_.size() && (s_[i_] == u'-' || s_[i_] == u'+')) ascii.push_back(static_cast<char>(s_[i_++]));
      if (i_ >= s_.size() || !IsDigit(s_[i_])) Fail("bad exponent in a number");
      while (i_ < s_.size() && IsDigit(s_[i_])) ascii.push_back(static_cast<char>(s_[i_++]));
    }
    char16_t suffix = Suffix();
    if (whole) {
      std::int64_t v = 0;
      auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
      bool fits64 = ec == std::errc() && ptr == ascii.data() + ascii.size();
      switch (suffix) {
        case u'%':
          if (!fits64 || v < INT16_MIN || v > INT16_MAX) Fail(ascii + "% does not fit an Integer");
          return Variant::FromInteger(static_cast<Integer>(v));
        case u'&':
          if (!fits64 || v < INT32_MIN || v > INT32_MAX) Fail(ascii + "& does not fit a Long");
          return Variant::FromLong(static_cast<Long>(v));
        case u'!': return Variant::FromSingle(SingleOf(ascii));
        case u'#': return Variant::FromDouble(DoubleOf(ascii));
        default:
          if (fits64 && v >= INT16_MIN && v <= INT16_MAX) return Variant::FromInteger(static_cast<Integer>(v));
          if (fits64 && v >= INT32_MIN && v <= INT32_MAX) return Variant::FromLong(static_cast<Long>(v));
          return Variant::FromDouble(DoubleOf(ascii));
      }
    }
    switch (suffix) {
      case u'%':
      case u'&': Fail(ascii + " is not a whole number");
      case u'!': return Variant::FromSingle(SingleOf(ascii));
      default: return Variant::FromDouble(DoubleOf(ascii));
    }
  }

  // A whole number in the range given, for CByte, Chr, ChrW and font fields.
  long long WholeNumber(long long min, long long max, const char* what) {
    Variant v = Number();
    double d = v.ToDouble();
    if (d != std::floor(d) || d < static_cast<double>(min) || d > static_cast<double>(max)) {
      Fail(std::string(what) + " needs a whole number from " + std::to_string(min) + " to " +
           std::to_string(max));
    }
    return static_cast<long long>(d);
  }

  // "..." with doubled quotes inside.
  std::u16string StringLiteral() {
    Expect(u'"');
    std::u16string out;
    while (true) {
      if (i_ >= s_.size()) Fail("unterminated string");
      char16_t c = s_[i_++];
      if (c == u'"') {
        if (i_ < s_.size() && s_[i_] == u'"') {
          out.push_back(u'"');
          ++i_;
          continue;
        }
        return out;
      }
      out.push_back(c);
    }
  }

  // Operands joined with `&`: string literals, named constants, Chr(N), ChrW(N).
  std::u16string StringExpression() {
    std::u16string out;
    while (true) {
      if (Peek(u'"')) {
        out += StringLiteral();
      } else if (PeekWord()) {
        std::u16string w = Word();
        if (EqualsIgnoreCase(w, u"Chr")) {
          Expect(u'(');
          out.push_back(static_cast<char16_t>(WholeNumber(0, 127, "Chr")));
          Expect(u')');
        } else if (EqualsIgnoreCase(w, u"ChrW")) {
          Expect(u'(');
          long long code = WholeNumber(-32768, 65535, "ChrW");
          out.push_back(static_cast<char16_t>(code < 0 ? code + 65536 : code));
          Expect(u')');
        } else {
          const NamedConstant* found = nullptr;
          for (const auto& k : kConstants)
            if (EqualsIgnoreCase(w, k.name)) found = &k;
          if (!found) Fail("unknown name '" + Ascii(w) + "' in a string");
          out += found->value;
        }
      } else {
        Fail("expected a string");
      }
      if (!Peek(u'&')) return out;
      ++i_;
    }
  }

 private:
  char16_t Suffix() {
    if (i_ < s_.size() && (s_[i_] == u'%' || s_[i_] == u'&' || s_[i_] == u'!' || s_[i_] == u'#')) {
      return s_[i_++];
    }
    return 0;
  }

  // Read as a float directly, so the shortest text of any float reads back to it.
  Single SingleOf(const std::string& ascii) {
    float f = std::strtof(ascii.c_str(), nullptr);
    if (!std::isfinite(f)) Fail(ascii + "! does not fit a Single");
    return f;
  }

  double DoubleOf(const std::string& ascii) {
    double d = std::strtod(ascii.c_str(), nullptr);
    if (!std::isfinite(d)) Fail(ascii + " does not fit a Double");
    return d;
  }

  // &H / &O literals: up to 16 bits read as an Integer, up to 32 bits as a
  // Long, the sign bit wrapping as the notation does; & forces a Long.
  Variant RadixNumber(bool negative, std::size_t start) {
    int base = (s_[i_ + 1] == u'H' || s_[i_ + 1] == u'h') ? 16 : 8;
    i_ += 2;
    std::uint64_t v = 0;
    int count = 0;
    while (i_ < s_.size()) {
      char16_t c = s_[i_];
      int d = IsDigit(c) ? c - u'0' : (c >= u'a' && c <= u'f') ? c - u'a' + 10 : (c >= u'A' && c <= u'F') ? c - u'A' + 10 : 99;
      if (d >= base) break;
      v = v * base + d;
      if (v > 0xFFFFFFFFull) Fail("number too large at '" + Ascii(s_.substr(start, 20)) + "'");
      ++i_;
      ++count;
    }
    if (count == 0) Fail("expected digits after '&" + std::string(1, base == 16 ? 'H' : 'O') + "'");
    char16_t suffix = Suffix();
    std::int64_t value;
    bool integer;
    if (suffix == u'&') {
      value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
      integer = false;
    } else if (suffix == u'%' || (suffix == 0 && v <= 0xFFFF)) {
      if (v > 0xFFFF) Fail("number too large for an Integer");
      value = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
      integer = true;
    } else if (suffix == 0) {
      value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
      integer = false;
    } else {
      Fail("a hexadecimal or octal number takes only the % or & suffix");
    }
    if (negative) value = -value;
    if (integer) {
      if (value < INT16_MIN || value > INT16_MAX) Fail("number does not fit an Integer");
      return Variant::FromInteger(static_cast<Integer>(value));
    }
    if (value < INT32_MIN || value > INT32_MAX) Fail("number does not fit a Long");
    return Variant::FromLong(static_cast<Long>(value));
  }

  std::u16string_view s_;
  std::size_t i_ = 0;
  int line_;
  std::string_view origin_;
};

// The value after `Key =`.
void ReadValue(LineReader& r, BagEntry& entry) {
  if (r.Peek(u'"')) {
    entry.value = Variant::FromString(r.StringExpression());
    return;
  }
  if (r.PeekWord()) {
    std::size_t start = r.position();
    std::u16string w = r.Word();
    if (EqualsIgnoreCase(w, u"True") || EqualsIgnoreCase(w, u"False")) {
      entry.value = Variant::FromBool(EqualsIgnoreCase(w, u"True"));
    } else if (EqualsIgnoreCase(w, u"Empty")) {
      entry.value = Variant();
    } else if (EqualsIgnoreCase(w, u"Nothing")) {
      entry.value = Variant::FromPicture(nullptr);
    } else if (EqualsIgnoreCase(w, u"CByte")) {
      r.Expect(u'(');
      entry.value = Variant::FromByte(static_cast<Byte>(r.WholeNumber(0, 255, "CByte")));
      r.Expect(u')');
    } else if (EqualsIgnoreCase(w, u"LoadPicture")) {
      r.Expect(u'(');
      std::u16string path;
      if (!r.Peek(u')')) path = r.StringExpression();
      r.Expect(u')');
      entry.value = Variant::FromPicture(nullptr);
      if (!path.empty()) {
        entry.value = Variant();
        entry.pictureFile = path;
      }
    } else {
      r.Rewind(start);
      entry.value = Variant::FromString(r.StringExpression());
    }
    return;
  }
  entry.value = r.Number();
}

bool ReadBoolField(LineReader& r) {
  if (r.PeekWord()) {
    std::u16string w = r.Word();
    if (EqualsIgnoreCase(w, u"True")) return true;
    if (EqualsIgnoreCase(w, u"False")) return false;
    r.Fail("expected -1, 0, True or False");
  }
  return r.Number().ToDouble() != 0;
}

// One `Field = Value` line inside a font block.
void ReadFontField(LineReader& r, FontDesc& font, unsigned& seen) {
  std::u16string field = r.Word();
  static const char16_t* kFields[] = {u"Name", u"Size", u"Charset", u"Weight",
                                      u"Underline", u"Italic", u"Strikethrough"};
  unsigned index = 0;
  while (index < 7 && !EqualsIgnoreCase(field, kFields[index])) ++index;
  if (index == 7) r.Fail("unknown font field '" + Ascii(field) + "'");
  if (seen & (1u << index)) r.Fail("font field '" + Ascii(field) + "' given twice");
  seen |= 1u << index;
  r.Expect(u'=');
  switch (index) {
    case 0:
      if (!r.Peek(u'"') && !r.PeekWord()) r.Fail("the font name must be a string");
      font.name = r.StringExpression();
      break;
    case 1: {
      double size = r.Number().ToDouble();
      if (!(size > 0) || size > static_cast<double>(std::numeric_limits<Single>::max())) {
        r.Fail("the font size must be a positive number");
      }
      font.size = static_cast<Single>(size);
      break;
    }
    // Any Integer: a font object holds one, and what a control saves must load back.
    case 2: font.charset = static_cast<Integer>(r.WholeNumber(-32768, 32767, "Charset")); break;
    case 3: font.weight = static_cast<Integer>(r.WholeNumber(0, 1000, "Weight")); break;
    case 4: font.underline = ReadBoolField(r); break;
    case 5: font.italic = ReadBoolField(r); break;
    case 6: font.strikethrough = ReadBoolField(r); break;
  }
  r.ExpectEnd();
}

std::string FormatSingleValue(Single v) {
  if (!std::isfinite(v)) throw MarkletError(ErrorNumber::InvalidPropertyValue, "a stored number must be finite");
  return FormatSingle(v);
}

std::string FormatDoubleValue(double v) {
  if (!std::isfinite(v)) throw MarkletError(ErrorNumber::InvalidPropertyValue, "a stored number must be finite");
  return FormatDouble(v);
}

// Longs read best in decimal while small; colours and other large or negative
// values in eight hex digits, as designers show them.
std::string FormatLong(Long v) {
  if (v >= 0 && v <= 0xFFFF) return std::to_string(v) + "&";
  static const char kHex[] = "0123456789ABCDEF";
  std::uint32_t u = static_cast<std::uint32_t>(v);
  std::string out = "&H";
  for (int shift = 28; shift >= 0; shift -= 4) out.push_back(kHex[(u >> shift) & 0xF]);
  return out + "&";
}

std::string FormatBool(bool v) { return v ? "-1  'True" : "0  'False"; }

std::string FormatValue(const BagEntry& entry) {
  if (entry.pictureFile) {
    if (entry.pictureFile->empty()) return "Nothing";
    return "LoadPicture(" + FormatStringExpression(*entry.pictureFile) + ")";
  }
  const Variant& v = entry.value;
  switch (v.type()) {
    case VarType::Empty: return "Empty";
    case VarType::Bool: return FormatBool(v.AsBool());
    case VarType::Integer: return std::to_string(v.ToInteger());
    case VarType::Long: return FormatLong(v.ToLong());
    case VarType::Byte: return "CByte(" + std::to_string(v.ToByte()) + ")";
    case VarType::Single: return FormatSingleValue(v.ToSingle()) + "!";
    case VarType::Double: return FormatDoubleValue(v.ToDouble()) + "#";
    case VarType::String: return FormatStringExpression(v.AsString());
    case VarType::Picture: {
      const Picture& p = v.AsPicture();
      if (!p) return "Nothing";
      if (p->path.empty()) {
        throw MarkletError(ErrorNumber::InvalidPicture,
                           "Invalid picture: a picture that was not loaded from a file cannot be stored");
      }
      return "LoadPicture(" + FormatStringExpression(p->path) + ")";
    }
    case VarType::Font: break;
  }
  return {};
}

std::string FormatFontBlock(const std::u16string& key, const FontDesc& f) {
  // The weight is what reads back; keep it on the same side of bold as the flag.
  Integer weight = f.weight;
  if (f.bold && weight < kBoldWeight) weight = 700;
  if (!f.bold && weight >= kBoldWeight) weight = 400;
  std::string out = "BeginProperty " + U16ToUtf8(key) + "\n";
  out += "   Name = " + FormatStringExpression(f.name) + "\n";
  out += "   Size = " + FormatSingleValue(f.size) + "\n";
  out += "   Charset = " + std::to_string(f.charset) + "\n";
  out += "   Weight = " + std::to_string(weight) + "\n";
  out += "   Underline = " + FormatBool(f.underline) + "\n";
  out += "   Italic = " + FormatBool(f.italic) + "\n";
  out += "   Strikethrough = " + FormatBool(f.strikethrough) + "\n";
  out += "EndProperty\n";
  return out;
}

}  // namespace

bool IsValidKey(std::u16string_view key) {
  if (key.empty() || IsDigit(key[0])) return false;
  for (char16_t c : key)
    if (!IsWordChar(c)) return false;
  return !EqualsIgnoreCase(key, kBeginProperty) && !EqualsIgnoreCase(key, kEndProperty);
}

std::string FormatStringExpression(std::u16string_view text) {
  std::string out;
  std::u16string run;
  bool inQuotes = false;
  auto part = [&](const std::string& p) {
    if (!out.empty()) out += " & ";
    out += p;
  };
  auto closeRun = [&] {
    if (!inQuotes) return;
    std::string quoted = "\"";
    for (char c : U16ToUtf8(run)) {
      quoted.push_back(c);
      if (c == '"') quoted.push_back('"');
    }
    part(quoted + "\"");
    run.clear();
    inQuotes = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    bool high = c >= 0xD800 && c <= 0xDBFF;
    bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      inQuotes = true;
      run.push_back(c);
      run.push_back(text[++i]);
      continue;
    }
    if (!high && !low && !NeedsConstant(c)) {
      inQuotes = true;
      run.push_back(c);
      continue;
    }
    closeRun();
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      part("vbCrLf");
      ++i;
    } else if (c == u'\r') {
      part("vbCr");
    } else if (c == u'\n') {
      part("vbLf");
    } else if (c == u'\t') {
      part("vbTab");
    } else if (c < 0x80) {
      part("Chr(" + std::to_string(c) + ")");
    } else {
      part("ChrW(" + std::to_string(c) + ")");
    }
  }
  closeRun();
  return out.empty() ? "\"\"" : out;
}

std::vector<BagEntry> ParseBagText(std::string_view text, std::string_view origin) {
  std::vector<BagEntry> entries;
  // A byte-order mark at the start is accepted and ignored.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::optional<BagEntry> font;  // the open font block
  int fontLine = 0;
  unsigned fontFields = 0;
  int number = 0;
  std::size_t pos = 0;
  std::unordered_set<std::u16string> keys;
  auto seenKey = [&](const std::u16string& key) { return keys.count(key) != 0; };
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::u16string line;
    try {
      line = Utf8ToU16(raw);
    } catch (const MarkletError& e) {
      LineReader(u"", number, origin).Fail(std::string("not UTF-8 (") + e.what() + ")");
    }
    LineReader r(line, number, origin);
    for (char16_t c : line) {
      if (c < 0x20 && c != u'\t') {
        r.Fail("control character " + std::to_string(c) + " in the text; write it as Chr(" +
               std::to_string(c) + ")");
      }
    }
    if (r.AtEnd()) continue;
    std::u16string word = r.Word();
    if (EqualsIgnoreCase(word, kBeginProperty)) {
      if (font) r.Fail("BeginProperty inside a BeginProperty block");
      std::u16string key = r.Word();
      if (!IsValidKey(key)) r.Fail("bad key '" + Ascii(key) + "'");
      if (seenKey(key)) r.Fail("key '" + Ascii(key) + "' given twice");
      // A class identifier in braces may follow; it is not needed.
      if (r.Peek(u'{')) {
        while (!r.AtEnd() && !r.Peek(u'}')) r.Rewind(r.position() + 1);
        r.Expect(u'}');
      }
      r.ExpectEnd();
      font.emplace();
      font->key = key;
      // Fields come in any order; a missing one keeps the font object's default.
      font->value = Variant::FromFont(FontDesc{});
      font->line = number;
      fontLine = number;
      fontFields = 0;
      continue;
    }
    if (EqualsIgnoreCase(word, kEndProperty)) {
      if (!font) r.Fail("EndProperty without BeginProperty");
      r.ExpectEnd();
      keys.insert(font->key);
      entries.push_back(std::move(*font));
      font.reset();
      continue;
    }
    if (font) {
      r.Rewind(0);
      FontDesc desc = font->value.AsFont();
      ReadFontField(r, desc, fontFields);
      desc.bold = desc.weight >= kBoldWeight;
      font->value = Variant::FromFont(desc);
      continue;
    }
    if (!IsValidKey(word)) r.Fail("bad key '" + Ascii(word) + "'");
    if (seenKey(word)) r.Fail("key '" + Ascii(word) + "' given twice");
    r.Expect(u'=');
    BagEntry entry;
    entry.key = word;
    entry.line = number;
    ReadValue(r, entry);
    r.ExpectEnd();
    keys.insert(word);
    entries.push_back(std::move(entry));
  }
  if (font) LineReader(u"", fontLine, origin).Fail("BeginProperty " + Ascii(font->key) + " has no EndProperty");
  return entries;
}

BagEntry ParseBagValue(std::string_view text, std::string_view origin) {
  std::u16string line;
  try {
    line = Utf8ToU16(text);
  } catch (const MarkletError& e) {
    LineReader(u"", 0, origin).Fail(std::string("not UTF-8 (") + e.what() + ")");
  }
  LineReader r(line, 0, origin);
  for (char16_t c : line) {
    if (c < 0x20 && c != u'\t') r.Fail("control character " + std::to_string(c) + " in the value");
  }
  BagEntry entry;
  ReadValue(r, entry);
  r.ExpectEnd();
  return entry;
}

std::string FormatBagText(const std::vector<BagEntry>& entries) {
  std::string out;
  for (const auto& e : entries) {
    if (!e.pictureFile && e.value.type() == VarType::Font) {
      out += FormatFontBlock(e.key, e.value.AsFont());
    } else {
      out += U16ToUtf8(e.key) + " = " + FormatValue(e) + "\n";
    }
  }
  return out;
}

}  // namespace marklet::bag

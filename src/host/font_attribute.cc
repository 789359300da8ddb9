#include "host/font_attribute.h"

#include <string>

#include "host/error.h"

namespace marklet {
namespace {

bool SameName(std::u16string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t c = a[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    char d = b[i];
    if (d >= 'A' && d <= 'Z') d = static_cast<char>(d - 'A' + 'a');
    if (c != static_cast<char16_t>(d)) return false;
  }
  return true;
}

constexpr Integer kBoldWeight = 700;
constexpr Integer kNormalWeight = 400;
constexpr Integer kLightestBold = 551;

}  // namespace

FontDesc WithFontAttribute(FontDesc font, std::u16string_view attribute, const Variant& value) {
  try {
    if (SameName(attribute, "name")) {
      font.name = value.ToString();
    } else if (SameName(attribute, "size")) {
      font.size = value.ToSingle();
    } else if (SameName(attribute, "bold")) {
      font.bold = value.ToBool();
      font.weight = font.bold ? kBoldWeight : kNormalWeight;
    } else if (SameName(attribute, "italic")) {
      font.italic = value.ToBool();
    } else if (SameName(attribute, "underline")) {
      font.underline = value.ToBool();
    } else if (SameName(attribute, "strikethrough")) {
      font.strikethrough = value.ToBool();
    } else if (SameName(attribute, "weight")) {
      font.weight = value.ToInteger();
      font.bold = font.weight >= kLightestBold;
    } else if (SameName(attribute, "charset")) {
      font.charset = value.ToInteger();
    } else {
      throw MarkletError(ErrorNumber::NotSupported,
                         "Object doesn't support this property or method: font attribute '" +
                             U16ToUtf8(attribute) + "'");
    }
  } catch (const MarkletError& e) {
    if (e.number() == static_cast<int>(ErrorNumber::NotSupported)) throw;
    throw MarkletError(e.number(), std::string(e.what()) + " (font attribute '" + U16ToUtf8(attribute) + "')");
  }
  return font;
}

}  // namespace marklet

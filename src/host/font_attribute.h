// One attribute of the standard font object, changed the way the object
// changes it. Hosts whose font object the user edits attribute by attribute
// (`Marklet1.Font.Bold = True`) build the whole changed font with it and hand
// that to the control (Marklet::SurfaceFontChanged).
#pragma once

#include <string_view>

#include "host/values.h"

namespace marklet {

// `font` with `attribute` (Name, Size, Bold, Italic, Underline, Strikethrough,
// Weight or Charset, in any case) set to `value`. Bold and Weight move
// together as in the font object: Bold sets the weight to 700 or 400, and a
// weight above 550 reads as bold. The value is coerced as automation coerces
// (error 13 or 6 naming the attribute); an unknown attribute is error 438.
// The font's own limits (an empty name, a size out of range) are the
// surface's to refuse.
FontDesc WithFontAttribute(FontDesc font, std::u16string_view attribute, const Variant& value);

}  // namespace marklet

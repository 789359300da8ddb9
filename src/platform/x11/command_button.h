// A command button the form draws itself: raised, or held down while the
// pointer presses it, with its caption centred and the access key underlined.
#pragma once

#include <cairo.h>

#include <string>

#include "platform/raster/text_engine.h"

namespace marklet::x11 {

// A command button's caption: '&' marks the next character as the access key
// (shown underlined, pressed with Alt); "&&" is a plain '&'.
struct AccessCaption {
  std::u16string text;  // without the marks
  int key = -1;         // the access key's position in text, or -1
};
AccessCaption ParseAccessCaption(const std::u16string& caption);

// The access key of a caption as Alt+key presses it (an ASCII letter in
// upper case, or any other character as it is); 0 for none.
char16_t AccessKey(const std::u16string& caption);

// Draws the button into the rectangle of (x, y, w, h) pixels.
void DrawCommandButton(cairo_t* cr, int x, int y, int w, int h, const std::u16string& caption, bool down,
                       raster::TextEngine& text, raster::RasterFont& font);

}  // namespace marklet::x11

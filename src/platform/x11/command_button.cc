#include "platform/x11/command_button.h"

#include <algorithm>
#include <utility>

#include "platform/x11/form_style.h"

namespace marklet::x11 {

AccessCaption ParseAccessCaption(const std::u16string& caption) {
  AccessCaption out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != u'&' && out.key < 0) out.key = static_cast<int>(out.text.size());
    }
    out.text.push_back(caption[i]);
  }
  return out;
}

char16_t AccessKey(const std::u16string& caption) {
  AccessCaption parsed = ParseAccessCaption(caption);
  if (parsed.key < 0) return 0;
  char16_t c = parsed.text[parsed.key];
  if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return c;
}

void DrawCommandButton(cairo_t* cr, int x, int y, int w, int h, const std::u16string& caption, bool down,
                       raster::TextEngine& text, raster::RasterFont& font) {
  Fill(cr, x, y, w, h, kButtonFace);
  if (down) {
    // Held: a dark frame with a shadow inside it, the caption a pixel lower right.
    for (auto [inset, color] : {std::pair{0, kDarkShadow}, std::pair{1, kButtonShadow}}) {
      Fill(cr, x + inset, y + inset, w - 2 * inset, 1, color);
      Fill(cr, x + inset, y + h - 1 - inset, w - 2 * inset, 1, color);
      Fill(cr, x + inset, y + inset, 1, h - 2 * inset, color);
      Fill(cr, x + w - 1 - inset, y + inset, 1, h - 2 * inset, color);
    }
  } else {
    // Raised: light above and left, shadow below and right, in two rings.
    Fill(cr, x, y, w - 1, 1, kButtonHighlight);
    Fill(cr, x, y, 1, h - 1, kButtonHighlight);
    Fill(cr, x, y + h - 1, w, 1, kDarkShadow);
    Fill(cr, x + w - 1, y, 1, h, kDarkShadow);
    Fill(cr, x + 1, y + 1, w - 3, 1, kLight);
    Fill(cr, x + 1, y + 1, 1, h - 3, kLight);
    Fill(cr, x + 1, y + h - 2, w - 2, 1, kButtonShadow);
    Fill(cr, x + w - 2, y + 1, 1, h - 2, kButtonShadow);
  }
  AccessCaption access = ParseAccessCaption(caption);
  int offset = down ? 1 : 0;
  int tx = x + (w - text.Width(font, access.text)) / 2 + offset;
  int ty = y + (h - font.height()) / 2 + offset;
  cairo_save(cr);
  cairo_rectangle(cr, x + 2, y + 2, std::max(0, w - 4), std::max(0, h - 4));
  cairo_clip(cr);
  SetSource(cr, kButtonText);
  text.Draw(cr, font, access.text, tx, ty, false);
  if (access.key >= 0) {
    int ux = tx + text.Width(font, access.text.substr(0, access.key));
    int uw = text.Width(font, access.text.substr(access.key, 1));
    cairo_rectangle(cr, ux, ty + font.ascent() + font.underlinePosition(), uw, std::max(1, font.underlineThickness()));
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

}  // namespace marklet::x11

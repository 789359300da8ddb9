#include "platform/x11/form_style.h"

#include <algorithm>
#include <cmath>

#include "platform/raster/ole_colors.h"

namespace marklet::x11 {

raster::RasterFont& FormFont(raster::TextEngine& text, Single tppY) {
  int pixels = std::max(1, static_cast<int>(std::lround(kFormFontPoints * 20 / tppY)));
  return text.Font(raster::FontKey{kFormFontName, pixels, false, false});
}

void SetSource(cairo_t* cr, OleColor color) {
  raster::Rgb c = raster::OleToRgb(color);
  cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

void Fill(cairo_t* cr, int x, int y, int w, int h, OleColor color) {
  if (w <= 0 || h <= 0) return;
  SetSource(cr, color);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

unsigned long PixelOf(OleColor color) {
  raster::Rgb c = raster::OleToRgb(color);
  return (static_cast<unsigned long>(c.r) << 16) | (static_cast<unsigned long>(c.g) << 8) | c.b;
}

}  // namespace marklet::x11

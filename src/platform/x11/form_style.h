// The look the form's own widgets share: the system colours they paint in,
// the form's font, and filling with an OLE colour.
#pragma once

#include <cairo.h>

#include "host/numeric.h"
#include "host/values.h"
#include "platform/raster/text_engine.h"

namespace marklet::x11 {

constexpr OleColor kButtonFace = 0x8000000Fu;
constexpr OleColor kButtonShadow = 0x80000010u;
constexpr OleColor kButtonText = 0x80000012u;
constexpr OleColor kButtonHighlight = 0x80000014u;
constexpr OleColor kDarkShadow = 0x80000015u;
constexpr OleColor kLight = 0x80000016u;
constexpr OleColor kTooltipText = 0x80000017u;
constexpr OleColor kTooltipBack = 0x80000018u;

// The form's own font: 8.25 points.
constexpr char16_t kFormFontName[] = u"MS Sans Serif";
constexpr double kFormFontPoints = 8.25;

// The form's font on a screen of `tppY` twips per pixel.
raster::RasterFont& FormFont(raster::TextEngine& text, Single tppY);

void SetSource(cairo_t* cr, OleColor color);
// Fills the rectangle; nothing when it is empty.
void Fill(cairo_t* cr, int x, int y, int w, int h, OleColor color);
// The colour as a pixel of a 24-bit TrueColor visual.
unsigned long PixelOf(OleColor color);

}  // namespace marklet::x11

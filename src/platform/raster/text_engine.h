// Text measuring and drawing on Cairo through Pango, with fonts resolved by
// fontconfig. Fonts are cached by what determines them (name, pixel height,
// bold, italic) and shaped strings by (font, text), so a string is shaped once
// however often it is measured and drawn.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace marklet::raster {

struct FontKey {
  std::u16string name;
  int pixels = 11;
  bool bold = false;
  bool italic = false;
  bool operator==(const FontKey&) const = default;
};

struct FontKeyHash {
  std::size_t operator()(const FontKey& k) const noexcept;
};

class TextEngine;

// One resolved font.
class RasterFont {
 public:
  ~RasterFont();
  RasterFont(const RasterFont&) = delete;
  RasterFont& operator=(const RasterFont&) = delete;

  int ascent() const { return ascent_; }    // pixels
  int descent() const { return descent_; }  // pixels
  int height() const { return ascent_ + descent_; }
  int underlinePosition() const { return underlinePosition_; }    // pixels below the baseline
  int underlineThickness() const { return underlineThickness_; }  // pixels
  PangoFont* font() const { return font_; }
  PangoFontDescription* description() const { return description_; }

 private:
  friend class TextEngine;
  RasterFont() = default;
  PangoFont* font_ = nullptr;
  PangoFontDescription* description_ = nullptr;
  int ascent_ = 0, descent_ = 0, underlinePosition_ = 1, underlineThickness_ = 1;
  // Shaped strings of this font.
  struct Shaped {
    std::vector<cairo_glyph_t> glyphs;  // the direct path: glyphs at offsets from the pen on the baseline
    PangoLayout* layout = nullptr;      // the general path (fallback fonts, bidi)
    int widthPixels = 0;
  };
  cairo_scaled_font_t* scaled_ = nullptr;  // owned by font_
  std::unordered_map<std::u16string, Shaped> shaped_;
  friend struct ShapedAccess;
};

// Glyphs waiting to be shown with one call: consecutive texts in the same
// font and colour on the same context. Showing them together saves cairo's
// per-call work, which dominates when every word is drawn on its own. The
// owner flushes before anything else draws on the context or reads it.
class GlyphBatch {
 public:
  void Flush();
  // Forgets what waits (the context is going away).
  void Drop() {
    glyphs_.clear();
    cr_ = nullptr;
  }

 private:
  friend class TextEngine;
  cairo_t* cr_ = nullptr;
  cairo_scaled_font_t* font_ = nullptr;
  double r_ = 0, g_ = 0, b_ = 0;
  std::vector<cairo_glyph_t> glyphs_;
};

class TextEngine {
 public:
  TextEngine();
  ~TextEngine();
  TextEngine(const TextEngine&) = delete;
  TextEngine& operator=(const TextEngine&) = delete;

  RasterFont& Font(const FontKey& key);
  // Advance width of the text in whole pixels.
  int Width(RasterFont& font, const std::u16string& text);
  // Draws the text with its top left corner at (x, y) pixels in the source
  // colour set on cr; returns its advance width in pixels.
  int Draw(cairo_t* cr, RasterFont& font, const std::u16string& text, double x, double y, bool underline);
  // The same in the colour (r, g, b from 0 to 1), its glyphs joining `batch`
  // when they can; what else it draws (an underline, the general path)
  // flushes the batch first, so the order of drawing is kept.
  int Draw(GlyphBatch& batch, cairo_t* cr, RasterFont& font, const std::u16string& text, double x, double y,
           bool underline, double r, double g, double b);

  // The family list a font name resolves through (older form names map to
  // metric-compatible installed families).
  static std::string FamilyFor(const std::u16string& name);

 private:
  RasterFont::Shaped& Shape(RasterFont& font, const std::u16string& text);
  PangoFontMap* fontMap_ = nullptr;
  PangoContext* context_ = nullptr;
  std::unordered_map<FontKey, std::unique_ptr<RasterFont>, FontKeyHash> fonts_;
  std::vector<cairo_glyph_t> scratch_;
};

}  // namespace marklet::raster

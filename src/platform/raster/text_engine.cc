#include "platform/raster/text_engine.h"

#include <cmath>
#include <functional>

#include "host/values.h"

namespace marklet::raster {

std::size_t FontKeyHash::operator()(const FontKey& k) const noexcept {
  std::size_t h = std::hash<std::u16string>()(k.name);
  h ^= static_cast<std::size_t>(k.pixels) * 0x9E3779B97F4A7C15ull;
  h ^= (k.bold ? 0x1234567ull : 0) ^ (k.italic ? 0x7654321ull : 0);
  return h;
}

RasterFont::~RasterFont() {
  for (auto& [text, shaped] : shaped_) {
    if (shaped.layout) g_object_unref(shaped.layout);
  }
  if (font_) g_object_unref(font_);
  if (description_) pango_font_description_free(description_);
}

namespace {

std::string Lower(const std::u16string& name) {
  std::string out;
  for (char16_t c : name) out.push_back(c < 0x80 ? static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c) : '?');
  return out;
}

// Characters the direct path shapes as one run of one font, left to right.
bool SimpleText(const std::u16string& text) {
  for (char16_t c : text) {
    if (c < 0x20 || c == 0x7F) return false;
    if (c >= 0x0300 && c <= 0x036F) return false;  // combining marks
    if (c >= 0x0590) return false;                  // right-to-left and complex scripts onwards
  }
  return true;
}

}  // namespace

std::string TextEngine::FamilyFor(const std::u16string& name) {
  std::string lower = Lower(name);
  // Names from older forms: the bitmap and UI sans faces map to a
  // metric-compatible sans; the core families to their metric twins.
  if (lower == "ms sans serif" || lower == "microsoft sans serif" || lower == "ms shell dlg" ||
      lower == "ms shell dlg 2" || lower == "tahoma" || lower == "verdana" || lower == "segoe ui" ||
      lower == "system") {
    return "Liberation Sans,DejaVu Sans,sans-serif";
  }
  if (lower == "arial" || lower == "helvetica") return "Arial,Liberation Sans,sans-serif";
  if (lower == "times new roman" || lower == "times" || lower == "ms serif") {
    return "Times New Roman,Liberation Serif,serif";
  }
  if (lower == "courier new" || lower == "courier" || lower == "fixedsys" || lower == "terminal" ||
      lower == "lucida console") {
    return "Courier New,Liberation Mono,monospace";
  }
  return U16ToUtf8(name) + ",sans-serif";
}

TextEngine::TextEngine() {
  // Fonts are shared process-wide through the default font map; shaped
  // strings belong to this engine.
  fontMap_ = pango_cairo_font_map_get_default();
  g_object_ref(fontMap_);
  context_ = pango_font_map_create_context(fontMap_);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
  pango_cairo_context_set_font_options(context_, options);
  cairo_font_options_destroy(options);
  pango_context_set_language(context_, pango_language_from_string("en"));
}

TextEngine::~TextEngine() {
  fonts_.clear();
  if (context_) g_object_unref(context_);
  if (fontMap_) g_object_unref(fontMap_);
}

RasterFont& TextEngine::Font(const FontKey& key) {
  auto it = fonts_.find(key);
  if (it != fonts_.end()) return *it->second;
  std::unique_ptr<RasterFont> font(new RasterFont());
  font->description_ = pango_font_description_new();
  pango_font_description_set_family(font->description_, FamilyFor(key.name).c_str());
  pango_font_description_set_weight(font->description_, key.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(font->description_, key.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_font_description_set_absolute_size(font->description_, key.pixels * PANGO_SCALE);
  font->font_ = pango_font_map_load_font(fontMap_, context_, font->description_);
  if (font->font_) {
    PangoFontMetrics* metrics = pango_font_get_metrics(font->font_, nullptr);
    font->ascent_ = PANGO_PIXELS_CEIL(pango_font_metrics_get_ascent(metrics));
    font->descent_ = PANGO_PIXELS_CEIL(pango_font_metrics_get_descent(metrics));
    font->underlinePosition_ = std::max(1, PANGO_PIXELS(-pango_font_metrics_get_underline_position(metrics)));
    font->underlineThickness_ = std::max(1, PANGO_PIXELS(pango_font_metrics_get_underline_thickness(metrics)));
    pango_font_metrics_unref(metrics);
    font->scaled_ = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(font->font_));
  } else {
    font->ascent_ = key.pixels;
    font->descent_ = std::max(1, key.pixels / 4);
  }
  RasterFont& ref = *font;
  fonts_.emplace(key, std::move(font));
  return ref;
}

RasterFont::Shaped& TextEngine::Shape(RasterFont& font, const std::u16string& text) {
  auto it = font.shaped_.find(text);
  if (it != font.shaped_.end()) return it->second;
  RasterFont::Shaped shaped;
  std::string utf8 = U16ToUtf8(text);
  bool direct = font.font_ && font.scaled_ && SimpleText(text);
  if (direct) {
    for (char16_t c : text) {
      if (!pango_font_has_char(font.font_, c)) {
        direct = false;
        break;
      }
    }
  }
  if (direct) {
    PangoAnalysis analysis{};
    analysis.font = font.font_;
    analysis.level = 0;
    analysis.gravity = PANGO_GRAVITY_SOUTH;
    analysis.script = PANGO_SCRIPT_LATIN;
    analysis.language = pango_context_get_language(context_);
    PangoGlyphString* glyphs = pango_glyph_string_new();
    pango_shape_with_flags(utf8.data(), static_cast<int>(utf8.size()), utf8.data(),
                           static_cast<int>(utf8.size()), &analysis, glyphs, PANGO_SHAPE_ROUND_POSITIONS);
    // Keep the glyphs in Cairo's form, so drawing is one call with no conversion.
    int x = 0;
    for (int i = 0; i < glyphs->num_glyphs; ++i) {
      const PangoGlyphInfo& g = glyphs->glyphs[i];
      if (!(g.glyph & PANGO_GLYPH_UNKNOWN_FLAG) && g.glyph != PANGO_GLYPH_EMPTY) {
        shaped.glyphs.push_back(cairo_glyph_t{g.glyph, static_cast<double>(x + g.geometry.x_offset) / PANGO_SCALE,
                                              static_cast<double>(g.geometry.y_offset) / PANGO_SCALE});
      }
      x += g.geometry.width;
    }
    shaped.widthPixels = PANGO_PIXELS(x);
    pango_glyph_string_free(glyphs);
  } else {
    shaped.layout = pango_layout_new(context_);
    pango_layout_set_font_description(shaped.layout, font.description_);
    pango_layout_set_single_paragraph_mode(shaped.layout, TRUE);
    pango_layout_set_text(shaped.layout, utf8.data(), static_cast<int>(utf8.size()));
    PangoRectangle logical;
    pango_layout_get_pixel_extents(shaped.layout, nullptr, &logical);
    shaped.widthPixels = logical.width;
  }
  return font.shaped_.emplace(text, shaped).first->second;
}

int TextEngine::Width(RasterFont& font, const std::u16string& text) {
  if (text.empty()) return 0;
  return Shape(font, text).widthPixels;
}

int TextEngine::Draw(cairo_t* cr, RasterFont& font, const std::u16string& text, double x, double y, bool underline) {
  if (text.empty()) return 0;
  RasterFont::Shaped& shaped = Shape(font, text);
  double baseline = y + font.ascent_;
  if (!shaped.layout) {
    scratch_.resize(shaped.glyphs.size());
    for (std::size_t i = 0; i < shaped.glyphs.size(); ++i) {
      scratch_[i] = cairo_glyph_t{shaped.glyphs[i].index, shaped.glyphs[i].x + x, shaped.glyphs[i].y + baseline};
    }
    cairo_set_scaled_font(cr, font.scaled_);
    cairo_show_glyphs(cr, scratch_.data(), static_cast<int>(scratch_.size()));
  } else {
    int layoutBaseline = PANGO_PIXELS(pango_layout_get_baseline(shaped.layout));
    cairo_move_to(cr, x, baseline - layoutBaseline);
    pango_cairo_show_layout(cr, shaped.layout);
  }
  if (underline) {
    cairo_rectangle(cr, x, baseline + font.underlinePosition_, shaped.widthPixels, font.underlineThickness_);
    cairo_fill(cr);
  }
  return shaped.widthPixels;
}

void GlyphBatch::Flush() {
  if (!cr_ || glyphs_.empty()) return;
  cairo_set_source_rgb(cr_, r_, g_, b_);
  cairo_set_scaled_font(cr_, font_);
  cairo_show_glyphs(cr_, glyphs_.data(), static_cast<int>(glyphs_.size()));
  glyphs_.clear();
}

int TextEngine::Draw(GlyphBatch& batch, cairo_t* cr, RasterFont& font, const std::u16string& text, double x,
                     double y, bool underline, double r, double g, double b) {
  if (text.empty()) return 0;
  RasterFont::Shaped& shaped = Shape(font, text);
  if (shaped.layout) {
    batch.Flush();
    cairo_set_source_rgb(cr, r, g, b);
    return Draw(cr, font, text, x, y, underline);
  }
  if (batch.cr_ != cr || batch.font_ != font.scaled_ || batch.r_ != r || batch.g_ != g || batch.b_ != b) {
    batch.Flush();
    batch.cr_ = cr;
    batch.font_ = font.scaled_;
    batch.r_ = r, batch.g_ = g, batch.b_ = b;
  }
  double baseline = y + font.ascent_;
  for (const auto& glyph : shaped.glyphs) {
    batch.glyphs_.push_back(cairo_glyph_t{glyph.index, glyph.x + x, glyph.y + baseline});
  }
  if (underline) {
    batch.Flush();
    cairo_set_source_rgb(cr, r, g, b);
    cairo_rectangle(cr, x, baseline + font.underlinePosition_, shaped.widthPixels, font.underlineThickness_);
    cairo_fill(cr);
  }
  return shaped.widthPixels;
}

}  // namespace marklet::raster

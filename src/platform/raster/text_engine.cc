#include "platform/raster/text_engine.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>

#include "host/values.h"

namespace marklet::raster {

std::size_t FontKeyHash::operator()(const FontKey& k) const noexcept {
  std::size_t h = std::hash<std::u16string>()(k.name);
  h ^= static_cast<std::size_t>(k.pixels) * 0x9E3779B97F4A7C15ull;
  h ^= (k.bold ? 0x1234567ull : 0) ^ (k.italic ? 0x7654321ull : 0);
  return h;
}

RasterFont::~RasterFont() {
  if (font_) g_object_unref(font_);
  if (description_) pango_font_description_free(description_);
}

std::size_t TextEngine::EntryKeyHash::operator()(const EntryKey& k) const noexcept {
  return std::hash<std::u16string_view>()(k.text) ^ (k.font * 0x9E3779B97F4A7C15ull);
}

namespace {

// The strings' share of the budget: what the fonts may take is set aside.
constexpr std::size_t kStringBytes = TextEngine::kCacheBytes - TextEngine::kMaxFonts * TextEngine::kFontBytes;
// A string charged more than this is shaped, used and dropped, never kept.
constexpr std::size_t kLargestKept = kStringBytes / 4;
// Long strings whose advances are kept for suffix widths.
constexpr std::size_t kLongsKept = 4;

std::string Lower(const std::u16string& name) {
  std::string out;
  for (char16_t c : name) out.push_back(c < 0x80 ? static_cast<char>(c >= u'A' && c <= u'Z' ? c + 32 : c) : '?');
  return out;
}

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Characters the direct path shapes as one run of one font, left to right.
bool SimpleText(const std::u16string& text) {
  for (char16_t c : text) {
    if (IsControl(c)) return false;
    if (c >= 0x0300 && c <= 0x036F) return false;  // combining marks
    if (c >= 0x0590) return false;                  // right-to-left and complex scripts onwards
  }
  return true;
}

// The text as Pango takes it: UTF-8, with U+FFFD for each control character
// (Pango ends a text at a NUL) and for each lone surrogate.
struct PangoText {
  std::string bytes;
  std::vector<int> controls;         // byte offsets of the control characters' U+FFFD
  std::vector<std::int32_t> unitAt;  // with advances: the UTF-16 index each byte's character starts at
};

PangoText ToPangoText(const std::u16string& text, bool withUnits) {
  PangoText out;
  out.bytes.reserve(text.size());
  if (withUnits) out.unitAt.reserve(text.size() + 1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t first = i;
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    } else if (IsControl(text[i])) {
      out.controls.push_back(static_cast<int>(out.bytes.size()));
      cp = 0xFFFD;
    }
    AppendUtf8(out.bytes, cp);
    if (withUnits) out.unitAt.resize(out.bytes.size(), static_cast<std::int32_t>(first));
  }
  if (withUnits) out.unitAt.push_back(static_cast<std::int32_t>(text.size()));
  return out;
}

// Adds a glyph's advance to the code unit its cluster starts at.
void AddAdvance(std::vector<std::int64_t>& before, const PangoText& text, int byte, int width) {
  if (byte < 0 || static_cast<std::size_t>(byte) >= text.unitAt.size()) return;
  before[static_cast<std::size_t>(text.unitAt[static_cast<std::size_t>(byte)]) + 1] += width;
}

// Per-unit advances (each at index unit + 1) become the advance before each unit.
void Accumulate(std::vector<std::int64_t>& before) {
  for (std::size_t i = 1; i < before.size(); ++i) before[i] += before[i - 1];
}

int ToPixels(std::int64_t units, bool roundUp) {
  std::int64_t pixels = roundUp ? (units + PANGO_SCALE - 1) / PANGO_SCALE : (units + PANGO_SCALE / 2) / PANGO_SCALE;
  if (units < 0) pixels = 0;
  return static_cast<int>(std::min<std::int64_t>(pixels, std::numeric_limits<int>::max()));
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
  // The control lays words out left to right and has no paragraph
  // reordering; a run's own first strong character must not turn it round
  // (a right-to-left word would carry its trailing space to its left).
  pango_context_set_base_dir(context_, PANGO_DIRECTION_LTR);
}

TextEngine::~TextEngine() {
  for (Entry& entry : entries_) Release(entry.shaped);
  Release(transient_);
  fonts_.clear();
  if (context_) g_object_unref(context_);
  if (fontMap_) g_object_unref(fontMap_);
}

TextEngine::CacheStats TextEngine::cacheStats() const {
  CacheStats stats = stats_;
  stats.fonts = fonts_.size();
  stats.strings = entries_.size();
  stats.bytes = bytes_ + fonts_.size() * kFontBytes;
  return stats;
}

RasterFont& TextEngine::Font(const FontKey& key) {
  auto it = fontIndex_.find(key);
  if (it != fontIndex_.end()) {
    fonts_.splice(fonts_.begin(), fonts_, it->second);
    return *fonts_.front().font;
  }
  // The strings shaped in a dropped font stay until they age out; its id is
  // never given again, so none of them is found for another font.
  if (fonts_.size() >= kMaxFonts) {
    fontIndex_.erase(fonts_.back().key);
    fonts_.pop_back();
    ++stats_.evictions;
  }
  std::unique_ptr<RasterFont> font(new RasterFont());
  font->id_ = nextFontId_++;
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
  fonts_.push_front(FontEntry{key, std::move(font)});
  fontIndex_.emplace(key, fonts_.begin());
  return *fonts_.front().font;
}

int TextEngine::ReplacementWidth(RasterFont& font) {
  if (font.replacementWidth_ >= 0) return font.replacementWidth_;
  PangoLayout* layout = pango_layout_new(context_);
  pango_layout_set_auto_dir(layout, FALSE);
  pango_layout_set_font_description(layout, font.description_);
  pango_layout_set_text(layout, "\xEF\xBF\xBD", 3);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  font.replacementWidth_ = std::max(0, logical.width);
  return font.replacementWidth_;
}

void TextEngine::ShapeInto(Shaped& shaped, RasterFont& font, const std::u16string& text) {
  const bool keepAdvances = text.size() >= kLongText;
  PangoText utf8 = ToPangoText(text, keepAdvances);
  std::vector<std::int64_t> before;
  if (keepAdvances) before.assign(text.size() + 1, 0);
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
    const int length = static_cast<int>(utf8.bytes.size());
    pango_shape_with_flags(utf8.bytes.data(), length, utf8.bytes.data(), length, &analysis, glyphs,
                           PANGO_SHAPE_ROUND_POSITIONS);
    // Keep the glyphs in Cairo's form, so drawing is one call with no conversion.
    std::int64_t x = 0;
    shaped.glyphs.reserve(static_cast<std::size_t>(glyphs->num_glyphs));
    for (int i = 0; i < glyphs->num_glyphs; ++i) {
      const PangoGlyphInfo& g = glyphs->glyphs[i];
      if (!(g.glyph & PANGO_GLYPH_UNKNOWN_FLAG) && g.glyph != PANGO_GLYPH_EMPTY) {
        shaped.glyphs.push_back(cairo_glyph_t{g.glyph, static_cast<double>(x + g.geometry.x_offset) / PANGO_SCALE,
                                              static_cast<double>(g.geometry.y_offset) / PANGO_SCALE});
      }
      if (keepAdvances) AddAdvance(before, utf8, glyphs->log_clusters[i], g.geometry.width);
      x += g.geometry.width;
    }
    shaped.widthPixels = ToPixels(x, false);
    pango_glyph_string_free(glyphs);
  } else {
    shaped.layout = pango_layout_new(context_);
    shaped.roundUp = true;
    pango_layout_set_auto_dir(shaped.layout, FALSE);
    pango_layout_set_font_description(shaped.layout, font.description_);
    pango_layout_set_single_paragraph_mode(shaped.layout, TRUE);
    pango_layout_set_text(shaped.layout, utf8.bytes.data(), static_cast<int>(utf8.bytes.size()));
    if (!utf8.controls.empty()) {
      // A control character keeps its place as an empty box as wide as U+FFFD;
      // with no shape renderer on the context, Pango draws nothing there.
      PangoRectangle ink{0, 0, 0, 0};
      PangoRectangle logical{0, 0, ReplacementWidth(font), 0};
      PangoAttrList* attributes = pango_attr_list_new();
      for (int at : utf8.controls) {
        PangoAttribute* shape = pango_attr_shape_new(&ink, &logical);
        shape->start_index = static_cast<guint>(at);
        shape->end_index = static_cast<guint>(at + 3);
        pango_attr_list_insert(attributes, shape);
      }
      pango_layout_set_attributes(shaped.layout, attributes);
      pango_attr_list_unref(attributes);
    }
    PangoRectangle logical;
    pango_layout_get_pixel_extents(shaped.layout, nullptr, &logical);
    shaped.widthPixels = logical.width;
    if (keepAdvances) {
      for (GSList* line = pango_layout_get_lines_readonly(shaped.layout); line; line = line->next) {
        for (GSList* run = static_cast<PangoLayoutLine*>(line->data)->runs; run; run = run->next) {
          const auto* item = static_cast<PangoGlyphItem*>(run->data);
          for (int i = 0; i < item->glyphs->num_glyphs; ++i) {
            AddAdvance(before, utf8, item->item->offset + item->glyphs->log_clusters[i],
                       item->glyphs->glyphs[i].geometry.width);
          }
        }
      }
    }
  }
  if (keepAdvances) {
    Accumulate(before);
    shaped.before = std::move(before);
  }
}

std::size_t TextEngine::Charge(const Entry& entry) {
  const Shaped& s = entry.shaped;
  std::size_t bytes = sizeof(Entry) + 96;  // the list node and the index's node
  bytes += entry.text.capacity() * sizeof(char16_t);
  bytes += s.glyphs.capacity() * sizeof(cairo_glyph_t);
  bytes += s.before.capacity() * sizeof(std::int64_t);
  // A layout keeps its text, attributes per character and glyph strings.
  if (s.layout) bytes += 2048 + 64 * entry.text.size();
  return bytes;
}

void TextEngine::Release(Shaped& shaped) {
  if (shaped.layout) g_object_unref(shaped.layout);
  shaped = Shaped();
}

void TextEngine::EvictString() {
  auto last = std::prev(entries_.end());
  std::erase(longs_, last);
  index_.erase(EntryKey{last->font, last->text});
  bytes_ -= last->shaped.charge;
  Release(last->shaped);
  entries_.erase(last);
  ++stats_.evictions;
}

TextEngine::Shaped& TextEngine::Shape(RasterFont& font, const std::u16string& text) {
  auto found = index_.find(EntryKey{font.id_, text});
  if (found != index_.end()) {
    ++stats_.hits;
    entries_.splice(entries_.begin(), entries_, found->second);
    return entries_.front().shaped;
  }
  ++stats_.shapings;
  Entry entry;
  entry.font = font.id_;
  entry.text = text;
  ShapeInto(entry.shaped, font, text);
  const std::size_t charge = Charge(entry);
  if (charge > kLargestKept) {
    Release(transient_);
    transient_ = std::move(entry.shaped);
    return transient_;
  }
  entry.shaped.charge = charge;
  while (!entries_.empty() && bytes_ + charge > kStringBytes) EvictString();
  entries_.push_front(std::move(entry));
  auto added = entries_.begin();
  index_.emplace(EntryKey{added->font, added->text}, added);
  bytes_ += charge;
  if (!added->shaped.before.empty()) {
    longs_.insert(longs_.begin(), added);
    if (longs_.size() > kLongsKept) longs_.pop_back();
  }
  return added->shaped;
}

int TextEngine::SuffixWidth(const RasterFont& font, const std::u16string& text) {
  for (std::size_t i = 0; i < longs_.size(); ++i) {
    const Entry& entry = *longs_[i];
    if (entry.font != font.id_ || entry.text.size() <= text.size()) continue;
    const std::size_t cut = entry.text.size() - text.size();
    if (std::memcmp(entry.text.data() + cut, text.data(), text.size() * sizeof(char16_t)) != 0) continue;
    // Both the string and its place among the long ones are freshly used.
    entries_.splice(entries_.begin(), entries_, longs_[i]);
    std::rotate(longs_.begin(), longs_.begin() + static_cast<std::ptrdiff_t>(i),
                longs_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    ++stats_.suffixWidths;
    const Shaped& shaped = entry.shaped;
    return ToPixels(shaped.before.back() - shaped.before[cut], shaped.roundUp);
  }
  return -1;
}

int TextEngine::Width(RasterFont& font, const std::u16string& text) {
  if (text.empty()) return 0;
  if (text.size() >= kLongText) {
    int width = SuffixWidth(font, text);
    if (width >= 0) return width;
  }
  return Shape(font, text).widthPixels;
}

int TextEngine::Draw(cairo_t* cr, RasterFont& font, const std::u16string& text, double x, double y, bool underline) {
  if (text.empty()) return 0;
  return DrawShaped(cr, font, Shape(font, text), x, y, underline);
}

int TextEngine::DrawShaped(cairo_t* cr, RasterFont& font, const Shaped& shaped, double x, double y,
                           bool underline) {
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

void GlyphBatch::Use(cairo_scaled_font_t* font) {
  if (font) cairo_scaled_font_reference(font);
  if (font_) cairo_scaled_font_destroy(font_);
  font_ = font;
}

void GlyphBatch::Drop() {
  glyphs_.clear();
  cr_ = nullptr;
  Use(nullptr);
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
  Shaped& shaped = Shape(font, text);
  if (shaped.layout) {
    batch.Flush();
    cairo_set_source_rgb(cr, r, g, b);
    return DrawShaped(cr, font, shaped, x, y, underline);
  }
  if (batch.cr_ != cr || batch.font_ != font.scaled_ || batch.r_ != r || batch.g_ != g || batch.b_ != b) {
    batch.Flush();
    batch.cr_ = cr;
    batch.Use(font.scaled_);
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

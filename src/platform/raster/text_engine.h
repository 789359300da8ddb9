// Text measuring and drawing on Cairo through Pango, with fonts resolved by
// fontconfig. Fonts are cached by what determines them (name, pixel height,
// bold, italic) and shaped strings by (font, text), so a string is shaped once
// however often it is measured and drawn.
//
// Both caches are bounded (least recently used first out, kCacheBytes in all),
// so no text, however long or varied, makes the engine grow without end.
//
// A long string keeps the advance of its text before each of its UTF-16
// positions, so the width of any suffix of it is read from that shaping
// instead of shaping the suffix again: a link wrapped over many lines measures
// what is left of it once per line, and would otherwise cost the square of its
// length. Such a width equals a fresh shaping of the suffix except where the
// cut falls inside a cluster (a ligature, a base and its marks, a surrogate
// pair: the whole cluster counts for the text before the cut) or where the
// font shapes across the cut (a kerning pair that moves its second glyph,
// contextual forms); there the two may differ by the pair's adjustment.
//
// Every string is laid out with a left-to-right base direction, whatever its
// first strong character: the control places words left to right and has no
// paragraph reordering, so a right-to-left word is drawn in its own direction
// from the pen, with its trailing space after it. The direction never varies,
// so it takes no part in the caches' keys.
//
// Control characters (U+0000..U+001F, U+007F..U+009F) draw nothing and
// advance by the width the font gives U+FFFD, so they neither cut the text
// nor hide what follows them; measuring and drawing agree on every string.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
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

// One resolved font. A reference stays valid until the engine resolves
// another font that it does not hold yet.
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
  std::uint64_t id_ = 0;  // never reused, so a string shaped in a dropped font is never taken for another's
  PangoFont* font_ = nullptr;
  PangoFontDescription* description_ = nullptr;
  int ascent_ = 0, descent_ = 0, underlinePosition_ = 1, underlineThickness_ = 1;
  int replacementWidth_ = -1;              // U+FFFD's advance in Pango units, once asked for
  cairo_scaled_font_t* scaled_ = nullptr;  // owned by font_
};

// Glyphs waiting to be shown with one call: consecutive texts in the same
// font and colour on the same context. Showing them together saves cairo's
// per-call work, which dominates when every word is drawn on its own. The
// owner flushes before anything else draws on the context or reads it.
class GlyphBatch {
 public:
  GlyphBatch() = default;
  GlyphBatch(const GlyphBatch&) = delete;
  GlyphBatch& operator=(const GlyphBatch&) = delete;
  ~GlyphBatch() { Drop(); }
  void Flush();
  // Forgets what waits (the context is going away).
  void Drop();

 private:
  friend class TextEngine;
  void Use(cairo_scaled_font_t* font);
  cairo_t* cr_ = nullptr;
  cairo_scaled_font_t* font_ = nullptr;  // referenced: the engine may drop its font meanwhile
  double r_ = 0, g_ = 0, b_ = 0;
  std::vector<cairo_glyph_t> glyphs_;
};

class TextEngine {
 public:
  // What the caches may hold in all, in bytes as estimated by Charge().
  static constexpr std::size_t kCacheBytes = 16u << 20;
  // Fonts held at most (each charged kFontBytes against kCacheBytes).
  static constexpr std::size_t kMaxFonts = 64;
  static constexpr std::size_t kFontBytes = 16u << 10;
  // Strings of at least this many code units keep their advances for suffix widths.
  static constexpr std::size_t kLongText = 64;

  // What the caches hold and have done, for tests and benchmarks.
  struct CacheStats {
    std::size_t bytes = 0;          // charged now, fonts included
    std::size_t fonts = 0;          // fonts held
    std::size_t strings = 0;        // shaped strings held
    std::uint64_t shapings = 0;     // strings shaped
    std::uint64_t hits = 0;         // strings found shaped
    std::uint64_t suffixWidths = 0; // widths read from a longer string's advances
    std::uint64_t evictions = 0;    // strings and fonts dropped to stay within bounds
  };

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

  CacheStats cacheStats() const;

  // The family list a font name resolves through (older form names map to
  // metric-compatible installed families).
  static std::string FamilyFor(const std::u16string& name);

 private:
  struct Shaped {
    std::vector<cairo_glyph_t> glyphs;  // the direct path: glyphs at offsets from the pen on the baseline
    PangoLayout* layout = nullptr;      // the general path (fallback fonts, bidi, control characters)
    int widthPixels = 0;
    // Long strings only: advance before each code unit (and after the last),
    // in Pango units.
    std::vector<std::int64_t> before;
    bool roundUp = false;  // how Pango units become whole pixels: the layout's logical extents round up
    std::size_t charge = 0;
  };
  struct Entry {
    std::uint64_t font = 0;
    std::u16string text;
    Shaped shaped;
  };
  using EntryList = std::list<Entry>;
  struct EntryKey {
    std::uint64_t font;
    std::u16string_view text;  // the entry's own text, or the text looked for
    bool operator==(const EntryKey&) const = default;
  };
  struct EntryKeyHash {
    std::size_t operator()(const EntryKey& k) const noexcept;
  };
  struct FontEntry {
    FontKey key;
    std::unique_ptr<RasterFont> font;
  };
  using FontList = std::list<FontEntry>;

  Shaped& Shape(RasterFont& font, const std::u16string& text);
  int DrawShaped(cairo_t* cr, RasterFont& font, const Shaped& shaped, double x, double y, bool underline);
  void ShapeInto(Shaped& shaped, RasterFont& font, const std::u16string& text);
  // The width of `text` from a long string it ends, or -1.
  int SuffixWidth(const RasterFont& font, const std::u16string& text);
  int ReplacementWidth(RasterFont& font);
  void Release(Shaped& shaped);
  void EvictString();
  static std::size_t Charge(const Entry& entry);

  PangoFontMap* fontMap_ = nullptr;
  PangoContext* context_ = nullptr;
  std::uint64_t nextFontId_ = 1;
  FontList fonts_;  // most recently used first
  std::unordered_map<FontKey, FontList::iterator, FontKeyHash> fontIndex_;
  EntryList entries_;  // most recently used first
  std::unordered_map<EntryKey, EntryList::iterator, EntryKeyHash> index_;
  // Recently shaped long strings, most recent first (a few, so the prefixes a
  // wrapped link draws do not push out the string its rest is cut from).
  std::vector<EntryList::iterator> longs_;
  // A string too large to keep is shaped here and lives until the next one.
  Shaped transient_;
  std::size_t bytes_ = 0;
  CacheStats stats_;
  std::vector<cairo_glyph_t> scratch_;
};

}  // namespace marklet::raster

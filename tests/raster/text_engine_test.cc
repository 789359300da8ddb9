// The raster text engine: widths of a long string's suffixes come from its
// one shaping, its caches stay within their budget, and control characters
// draw nothing yet keep their place, measured as drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "platform/raster/raster_container.h"
#include "platform/raster/text_engine.h"

namespace marklet::raster {
namespace {

const FontKey kSans{u"MS Sans Serif", 11, false, false};

std::u16string Cycle(std::u16string_view unit, std::size_t length) {
  std::u16string text;
  while (text.size() < length) text += unit;
  text.resize(length);
  return text;
}

// Measures each suffix in `engine`, longest first, so a fresh engine shapes
// every one of them anew (none is a suffix of an earlier one).
std::vector<int> SuffixWidths(TextEngine& engine, RasterFont& font, const std::u16string& text,
                              const std::vector<std::size_t>& cuts) {
  std::vector<int> widths;
  for (std::size_t cut : cuts) widths.push_back(engine.Width(font, text.substr(cut)));
  return widths;
}

TEST(TextEngine, SuffixesOfALongStringAreMeasuredFromItsOneShaping) {
  // Plain Latin (the direct path) and text Pango lays out itself (Hebrew
  // needs bidi, U+4E00 a fallback font), neither kerned nor joined across a cut.
  const std::u16string units[] = {u"0123 456 789 ", u"ab \u05E9\u05DC\u05D5\u05DD 12 \u4E00 "};
  for (const std::u16string& unit : units) {
    const std::u16string text = Cycle(unit, 3000);
    std::vector<std::size_t> cuts;
    for (std::size_t cut = 1; cut + TextEngine::kLongText <= text.size(); cut += 97) cuts.push_back(cut);

    TextEngine engine;
    RasterFont& font = engine.Font(kSans);
    EXPECT_GT(engine.Width(font, text), 0);
    const TextEngine::CacheStats once = engine.cacheStats();
    std::vector<int> read = SuffixWidths(engine, font, text, cuts);
    const TextEngine::CacheStats after = engine.cacheStats();
    EXPECT_EQ(after.shapings, once.shapings);
    EXPECT_EQ(after.suffixWidths, once.suffixWidths + cuts.size());

    std::reverse(cuts.begin(), cuts.end());
    TextEngine fresh;
    std::vector<int> shaped = SuffixWidths(fresh, fresh.Font(kSans), text, cuts);
    std::reverse(shaped.begin(), shaped.end());
    EXPECT_EQ(read, shaped);
    EXPECT_EQ(fresh.cacheStats().suffixWidths, 0u);
  }
}

TEST(TextEngine, ShortStringsAndOtherFontsAreShapedOnTheirOwn) {
  TextEngine engine;
  RasterFont& regular = engine.Font(kSans);
  const std::u16string text = Cycle(u"ab ", 500);
  engine.Width(regular, text);
  // Too short to be worth the lookup, and the right text in another font.
  engine.Width(regular, text.substr(text.size() - 10));
  RasterFont& bold = engine.Font(FontKey{u"MS Sans Serif", 11, true, false});
  EXPECT_GT(engine.Width(bold, text.substr(100)), engine.Width(regular, text.substr(100)));
  const TextEngine::CacheStats stats = engine.cacheStats();
  EXPECT_EQ(stats.shapings, 3u);
  EXPECT_EQ(stats.suffixWidths, 1u);
}

TEST(TextEngine, AWrappedLinkIsShapedAFewTimesNotOncePerLine) {
  RasterContainer c;
  c.rasterSurface().SetSize(20 * 15, 160 * 15);
  c.CreateControl();
  c.control()->SetShowMoreLink(false);
  c.control()->SetAutoSizeHeight(false);
  std::u16string text = u"#ek<";
  text += Cycle(u"ab ", 8000);
  text += u">";
  c.control()->SetText(text);
  c.Pump();
  ASSERT_GT(c.control()->LinkSegments().size(), 2000u);
  const TextEngine::CacheStats stats = c.rasterSurface().text().cacheStats();
  EXPECT_LT(stats.shapings, 50u);
  EXPECT_GT(stats.suffixWidths, 2000u);
  EXPECT_LE(stats.bytes, TextEngine::kCacheBytes);
}

TEST(TextEngine, CachesStayWithinTheirBudget) {
  TextEngine engine;
  RasterFont& font = engine.Font(kSans);
  // About 70 KB each: 28 MB of strings in all.
  std::vector<std::u16string> texts;
  for (int i = 0; i < 400; ++i) {
    std::u16string unit = u"ab ";
    unit += static_cast<char16_t>(u'a' + i % 26);
    std::u16string text = u"#";
    text += Cycle(unit, 2000);
    for (char c : std::to_string(i)) text += static_cast<char16_t>(c);
    texts.push_back(std::move(text));
  }
  const int first = engine.Width(font, texts[0]);
  for (const auto& text : texts) {
    engine.Width(font, text);
    ASSERT_LE(engine.cacheStats().bytes, TextEngine::kCacheBytes);
  }
  TextEngine::CacheStats stats = engine.cacheStats();
  EXPECT_GT(stats.evictions, 0u);
  EXPECT_LT(stats.strings, texts.size());
  EXPECT_EQ(engine.Width(font, texts[0]), first);

  // Fonts too: each one returned is usable until the next new one.
  for (int pixels = 5; pixels < 5 + 2 * static_cast<int>(TextEngine::kMaxFonts); ++pixels) {
    RasterFont& sized = engine.Font(FontKey{u"Arial", pixels, false, false});
    EXPECT_GT(engine.Width(sized, u"sized"), 0);
    EXPECT_GE(sized.height(), pixels);
  }
  stats = engine.cacheStats();
  EXPECT_EQ(stats.fonts, TextEngine::kMaxFonts);
  EXPECT_LE(stats.bytes, TextEngine::kCacheBytes);
}

// Ink columns of what `draw` paints black on white.
template <typename Draw>
std::vector<bool> InkColumns(int width, int height, Draw draw) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  draw(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<bool> ink(static_cast<std::size_t>(width));
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF) != 0xFFFFFF) ink[x] = true;
  cairo_surface_destroy(surface);
  return ink;
}

TEST(TextEngine, ControlCharactersDrawNothingAndAdvanceAsTheReplacementCharacter) {
  TextEngine engine;
  RasterFont& font = engine.Font(kSans);
  const int replacement = engine.Width(font, u"\uFFFD");
  ASSERT_GT(replacement, 0);
  for (char16_t control : {u'\0', u'\x01', u'\t', u'\n', u'\r', u'\x1F', u'\x7F', u'\x85', u'\x9F'}) {
    std::u16string text = u"abc";
    text += control;
    text += u"def ghi";
    const int width = engine.Width(font, text);
    EXPECT_EQ(width, engine.Width(font, u"abc") + replacement + engine.Width(font, u"def ghi")) << int(control);
    int drawn = 0;
    std::vector<bool> ink = InkColumns(200, 20, [&](cairo_t* cr) { drawn = engine.Draw(cr, font, text, 0, 0, false); });
    EXPECT_EQ(drawn, width);
    // What follows the control character is drawn where it stands.
    std::vector<bool> tail = InkColumns(200, 20, [&](cairo_t* cr) {
      engine.Draw(cr, font, u"def ghi", engine.Width(font, u"abc") + replacement, 0, false);
    });
    for (int x = engine.Width(font, u"abc") + replacement; x < 200; ++x) EXPECT_EQ(ink[x], tail[x]) << x;
  }
  // Nothing but control characters: room and no ink.
  std::vector<bool> none = InkColumns(100, 20, [&](cairo_t* cr) { engine.Draw(cr, font, u"\0\0\0", 0, 0, false); });
  EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
  EXPECT_EQ(engine.Width(font, std::u16string(3, u'\0')), 3 * replacement);
}

TEST(TextEngine, TheSurfaceAdvancesByWhatItMeasuresAcrossANul) {
  RasterContainer c;
  c.rasterSurface().SetSize(300 * 15, 40 * 15);
  c.CreateControl();
  RasterSurface& s = c.rasterSurface();
  const std::u16string text(u"abc\0def ghi", 11);
  s.SetCurrentX(0);
  s.Print(text);
  EXPECT_EQ(s.CurrentX(), s.TextWidth(text));
  EXPECT_GT(s.TextWidth(text), s.TextWidth(u"abcghi"));
  EXPECT_GT(s.TextWidth(text), s.TextWidth(u"abcdef ghi"));
}

TEST(TextEngine, ARightToLeftWordStartsAtThePenWithItsSpaceAfterIt) {
  TextEngine engine;
  RasterFont& font = engine.Font(kSans);
  const std::u16string word = u"\u05E9\u05DC\u05D5\u05DD";  // one Hebrew word
  const int space = engine.Width(font, u" ");
  ASSERT_GT(space, 0);
  EXPECT_EQ(engine.Width(font, word + u" "), engine.Width(font, word) + space);
  // The trailing space adds room on the right and no shift: the ink is the
  // bare word's, drawn from the pen.
  std::vector<bool> bare = InkColumns(100, 20, [&](cairo_t* cr) { engine.Draw(cr, font, word, 10, 0, false); });
  std::vector<bool> spaced =
      InkColumns(100, 20, [&](cairo_t* cr) { engine.Draw(cr, font, word + u" ", 10, 0, false); });
  EXPECT_EQ(spaced, bare);
  EXPECT_GT(std::count(bare.begin(), bare.end(), true), 0);
}

TEST(TextEngine, RightToLeftWordsStayInTheControlsOrder) {
  RasterContainer c;
  c.rasterSurface().SetSize(300 * 15, 40 * 15);
  c.ambientBackColor = 0xFFFFFF;
  c.CreateControl();
  c.control()->SetAutoSizeHeight(false);
  c.control()->SetForeColor(0);
  c.control()->SetText(u"abc \u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD def");
  c.Pump();
  cairo_surface_t* composed = c.Compose();
  cairo_surface_flush(composed);
  const int border = c.rasterSurface().BorderPixels();
  const int width = 300 - 2 * border;
  std::vector<bool> drawn(static_cast<std::size_t>(width));
  const unsigned char* data = cairo_image_surface_get_data(composed);
  const int stride = cairo_image_surface_get_stride(composed);
  for (int y = border; y < 40 - border; ++y)
    for (int x = 0; x < width; ++x)
      if ((reinterpret_cast<const std::uint32_t*>(data + y * stride)[x + border] & 0xFFFFFF) != 0xFFFFFF)
        drawn[static_cast<std::size_t>(x)] = true;
  cairo_surface_destroy(composed);

  // Each bare word drawn where the one before it and its space end, from
  // where the control's line starts.
  TextEngine engine;
  RasterFont& font = engine.Font(kSans);
  std::vector<bool> expected = InkColumns(width, 20, [&](cairo_t* cr) {
    int pen = 0;
    for (const char16_t* word : {u"abc", u"\u05E9\u05DC\u05D5\u05DD", u"\u05E2\u05D5\u05DC\u05DD", u"def"}) {
      engine.Draw(cr, font, word, pen, 0, false);
      pen += engine.Width(font, std::u16string(word) + u" ");
    }
  });
  const auto start = std::find(drawn.begin(), drawn.end(), true) - drawn.begin();
  ASSERT_LT(start, 10);
  expected.insert(expected.begin(), static_cast<std::size_t>(start), false);
  expected.resize(drawn.size());
  EXPECT_EQ(drawn, expected);
}

}  // namespace
}  // namespace marklet::raster

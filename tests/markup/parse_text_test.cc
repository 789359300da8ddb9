// The parser and the control's parse on the trace container: the style
// state, the surface font a parse measures in, the link-table lock, the
// 16-bit limits and image controls.
#include <gtest/gtest.h>

#include "host/error.h"
#include "markup/trace_host.h"
#include "support/error_of.h"

namespace marklet {
namespace {

using testing::ErrorOf;
using testing::TraceHost;

std::u16string Repeat(std::u16string_view text, int times) {
  std::u16string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

// `count` text links, a thousand to a source line.
std::u16string Links(int count) {
  std::u16string out;
  for (int i = 0; i < count; ++i) out += (i > 0 && i % 1000 == 0) ? u"\\n#e<x>" : u"#e<x>";
  return out;
}

TEST(ApplyStyleTag, FontResetRestoresTheBaseFontAndKeepsTheFlags) {
  TraceHost host;
  MarkupParser parser = host.Parser();
  ParsedText parsed;
  // No paint puts the font back.
  parser.Parse(u"&b&u #f<f:Arial;s:14;c:255>x", TraceHost::Settings(), parsed);
  ASSERT_EQ(host.surface().fontName, u"Arial");
  const StyleState& style = parsed.style;
  EXPECT_TRUE(parser.ApplyStyleTag(u" \\F ", parsed.style));
  EXPECT_EQ(style.CurFontName, u"MS Sans Serif");
  EXPECT_EQ(style.CurFontSize, 8.25f);
  EXPECT_EQ(style.CurColor, style.BaseColor);
  EXPECT_EQ(host.surface().fontName, u"MS Sans Serif");
  EXPECT_EQ(host.surface().fontPixels, 11);
  EXPECT_TRUE(style.StyleBold && style.StyleUnderline);
  EXPECT_TRUE(host.surface().bold);
}

TEST(ApplyStyleTag, ChangesNothingForAPieceThatIsNoTag) {
  TraceHost host;
  MarkupParser parser = host.Parser();
  StyleState style;
  host.surface().bold = true;
  EXPECT_FALSE(parser.ApplyStyleTag(u"&b\\0 ", style));
  EXPECT_FALSE(parser.ApplyStyleTag(u"&bold ", style));
  EXPECT_FALSE(style.StyleBold);
  EXPECT_TRUE(host.surface().bold);
  EXPECT_TRUE(parser.ApplyStyleTag(u"&I ", style));
  EXPECT_TRUE(style.StyleItalic);
  EXPECT_FALSE(host.surface().bold);  // every tag puts StyleBold on the surface
}

TEST(ParseText, MeasuresFromTheAcceptedFontWhateverTheSurfaceWasLeftWith) {
  TraceHost host;
  Marklet& c = host.control();
  c.SetFont(FontDesc{u"MS Sans Serif", 14});
  // As a paint, a hover or a failed parse may leave the drawing font.
  host.surface().fontName = u"Other";
  host.surface().fontPixels = 30;
  host.surface().bold = true;
  c.SetText(u"abc");
  EXPECT_EQ(c.Style().BaseFontName, u"MS Sans Serif");
  EXPECT_EQ(c.Style().BaseFontSize, 14.25f);
  EXPECT_FALSE(c.Runs()[0].Bold);
  EXPECT_EQ(c.Runs()[0].Width, 3 * 9 * 15);  // 19 px high, 9 px a character, not bold
}

TEST(ParseText, StyleFlagsCarryOverToTheNextParse) {
  TraceHost host;
  Marklet& c = host.control();
  c.SetText(u"&bA");
  c.SetText(u"B");
  EXPECT_TRUE(c.Runs()[0].Bold);
  EXPECT_EQ(c.Runs()[0].Width, 90);
  EXPECT_TRUE(c.Runs()[1].Bold);  // the More run follows the style too
}

TEST(ParseText, FailsWithArrayLockedWhileTheLinkTableIsInUse) {
  TraceHost host;
  MarkupParser parser = host.Parser();
  ParsedText parsed;
  ParseSettings settings = TraceHost::Settings();
  parser.Parse(u"#ek<old> x", settings, parsed);
  settings.linksLocked = true;
  EXPECT_EQ(ErrorOf([&] { parser.Parse(u"#ek<new>", settings, parsed); }), 10);
  EXPECT_TRUE(parsed.runs.empty());
  EXPECT_TRUE(parsed.images.empty());
  ASSERT_EQ(parsed.links.size(), 2u);  // untouched: a handler may still read it
  EXPECT_EQ(parsed.links[0].LinkText, u"old ");
  EXPECT_EQ(parsed.formatedText, u"old x");
  settings.linksLocked = false;
  parser.Parse(u"#ek<new>", settings, parsed);
  EXPECT_EQ(parsed.links[0].LinkText, u"new");
}

TEST(ParseText, TooManyLinksEndWithOverflowAndTheControlStaysUsable) {
  TraceHost host;
  Marklet& c = host.control();
  c.SetText(Links(32767));
  EXPECT_EQ(c.LinkCount(), 32767);
  EXPECT_EQ(c.LastRun(), 32767);
  EXPECT_EQ(ErrorOf([&] { c.SetText(Links(32768)); }), 6);
  EXPECT_FALSE(c.LayoutReady());
  c.SetText(u"fine");
  EXPECT_TRUE(c.LayoutReady());
  EXPECT_EQ(c.FormatedText(), u"fine");
}

TEST(ParseText, SourceLinesPastTheLastNumberOnlyFailWhenTheyMakeARun) {
  TraceHost host;
  Marklet& c = host.control();
  std::u16string fontOnly = Repeat(u"#f<s:9>\\n", 33000) + u"#f<s:9>";
  c.SetText(fontOnly);
  EXPECT_TRUE(c.LayoutReady());
  EXPECT_EQ(c.LastRun(), 0);
  EXPECT_EQ(ErrorOf([&] { c.SetText(fontOnly + u"\\nx"); }), 6);
}

// Image controls whose load of member 1 fails once.
class FlakyImages : public ImageArray {
 public:
  explicit FlakyImages(ImageArray& inner) : inner_(inner) {}
  Integer UBound() override { return inner_.UBound(); }
  bool IsLoaded(Integer i) override { return inner_.IsLoaded(i); }
  void Load(Integer i) override {
    if (i == 1 && failNext_) {
      failNext_ = false;
      throw MarkletError(7, "Out of memory");
    }
    inner_.Load(i);
  }
  void Unload(Integer i) override { inner_.Unload(i); }
  void SetPicture(Integer i, const Picture& p) override { inner_.SetPicture(i, p); }
  void Move(Integer i, Single l, Single t) override { inner_.Move(i, l, t); }
  void SetVisible(Integer i, bool v) override { inner_.SetVisible(i, v); }
  bool Visible(Integer i) override { return inner_.Visible(i); }
  Single Left(Integer i) override { return inner_.Left(i); }
  Single Top(Integer i) override { return inner_.Top(i); }

 private:
  ImageArray& inner_;
  bool failNext_ = true;
};

class FlakyImageContainer : public trace::TraceContainer {
 public:
  explicit FlakyImageContainer(trace::TraceWorld& world) : TraceContainer(world), flaky_(traceImages()) {}
  ImageArray& imgC() override { return flaky_; }

 private:
  FlakyImages flaky_;
};

TEST(ParseText, AnImageControlThatFailedToLoadDoesNotBreakTheNextParse) {
  TraceHost host([](trace::TraceWorld& w) { return std::make_unique<FlakyImageContainer>(w); });
  Marklet& c = host.control();
  const std::u16string three = u"#i<dot16x8.png> #i<dot16x8.png> #i<dot16x8.png>";
  c.SetText(three);  // member 1 fails to load; the failure is ignored
  EXPECT_EQ(c.ImageCount(), 3);
  EXPECT_TRUE(c.LayoutReady());
  c.SetText(u"no pictures");
  EXPECT_TRUE(c.LayoutReady());
  EXPECT_NE(host.records().find(R"({"img":{"op":"unload","index":2}})"), std::string::npos);
}

}  // namespace
}  // namespace marklet

// The 16-bit limits at their edges: the last count that fits, one more that
// is error 6, and a control that works again after the next valid Text.
#include <chrono>
#include <functional>
#include <map>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "host/error.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

std::u16string Repeat(const std::u16string& piece, int times) {
  std::u16string out;
  out.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// Pictures decoded once per file name: tens of thousands of image items
// then cost their table entries, not as many file decodes.
class CachingContainer : public trace::TraceContainer {
 public:
  using TraceContainer::TraceContainer;
  Picture LoadPicture(const std::u16string& path) override {
    Picture& cached = cache_[path];
    if (!cached) cached = TraceContainer::LoadPicture(path);
    return cached;
  }

 private:
  std::map<std::u16string, Picture> cache_;
};

class Limits : public ::testing::Test {
 protected:
  Limits() : world_(discard_), container_(world_) {
    container_.CreateControl();
    c().Initialize();
    c().InitProperties();
  }
  ~Limits() override { c().Terminate(); }
  Marklet& c() { return *container_.control(); }

  // Sets Text (which parses) and paints once, in place of the paint it
  // queued; the error number, or 0.
  int Show(const std::u16string& text) {
    try {
      c().SetText(text);
      world_.ForgetPaints(&container_);
      c().Paint();
      return 0;
    } catch (const MarkletError& e) {
      return e.number();
    }
  }
  // A valid text parses and paints again, and its link is hit.
  void ExpectWorksAgain() {
    ASSERT_EQ(Show(u"ab #ek1<go> x"), 0);
    EXPECT_TRUE(c().LayoutReady());
    EXPECT_EQ(c().LinkCount(), 1);
    ASSERT_EQ(c().LinkSegments().size(), 0u);
    Integer button = 0, shift = 0;
    Single x = 300, y = 100;
    c().SurfaceMouseMove(button, shift, x, y);
    EXPECT_EQ(c().HoverLink(), 0);
  }

  std::ostream discard_{nullptr};
  trace::TraceWorld world_;
  CachingContainer container_;
};

// A prepared line is the source line plus the terminator the parser steps
// onto: 32,765 characters make the longest line, 32,766.
TEST_F(Limits, PreparedLineOf32766CharactersAndNotOneMore) {
  EXPECT_EQ(Show(std::u16string(32765, u'x')), 0);
  EXPECT_EQ(c().Runs()[0].Text.size(), 32765u);
  EXPECT_EQ(Show(std::u16string(32766, u'x')), 6);
  EXPECT_FALSE(c().LayoutReady());
  ExpectWorksAgain();
  // Escapes count as written: two characters of "\\n" end a line that is
  // then short enough, whatever the whole text's length.
  EXPECT_EQ(Show(std::u16string(32765, u'x') + u"\\n" + std::u16string(32765, u'y')), 0);
  EXPECT_EQ(c().LastRun(), 2);
}

// Each word is a run (a line that ends in a space adds an empty one), and
// the More run comes after them: 32,767 words make the most runs there may be.
TEST_F(Limits, RunsUpTo32767) {
  const std::u16string line = Repeat(u"x ", 15999) + u"x\\n";
  std::u16string most = line + line + Repeat(u"x ", 766) + u"x";
  EXPECT_EQ(Show(most), 0);
  EXPECT_EQ(c().LastRun(), 32767);
  EXPECT_EQ(Show(most + u" x"), 6);
  EXPECT_FALSE(c().LayoutReady());
  ExpectWorksAgain();
}

TEST_F(Limits, ImagesUpTo32767) {
  // 1,000 pictures a line keeps each prepared line far below its limit.
  const std::u16string image = u"#i<dot16x8.png>";
  std::u16string most = Repeat(Repeat(image, 1000) + u"\\n", 32) + Repeat(image, 767);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Show(most), 0);
  EXPECT_EQ(c().ImageCount(), 32767);
  EXPECT_EQ(Show(most + image), 6);
  EXPECT_FALSE(c().LayoutReady());
  ExpectWorksAgain();
  EXPECT_EQ(c().ImageCount(), 0);
  RecordProperty("seconds", std::to_string(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()));
}

TEST_F(Limits, LinksUpTo32767AndImageLinksCountAmongThem) {
  std::u16string most = Repeat(Repeat(u"#ek<a>", 1000) + u"\\n", 32) + Repeat(u"#ek<a>", 766);
  EXPECT_EQ(Show(most + u"#ik<dot16x8.png>"), 0);
  EXPECT_EQ(c().LinkCount(), 32767);
  EXPECT_EQ(Show(most + u"#ik<dot16x8.png>#ek<a>"), 6);
  ExpectWorksAgain();
}

// A link broken over lines adds a segment a line, and segment indexes are
// Integers: 32,768 segments (indexes 0 to 32,767) are the most. In a control
// one word wide a link of w - 1 words "ab " and a last "a" breaks into
// 3w - 2 segments ("a", "b" and the empty piece before each break); eight
// links of 1,366 words make 8 x 4,096 of them.
TEST_F(Limits, LinkSegmentIndexesUpTo32767) {
  c().SetAutoSizeHeight(true);
  c().SetShowMoreLink(false);
  container_.traceSurface().SetSizeQuietly(200, 570);
  // A word starts each source line, so the link after it breaks on that line.
  auto line = [](int words) { return u"x #ek<" + Repeat(u"ab ", words - 1) + u"a>\\n"; };
  ASSERT_EQ(Show(line(1366)), 0);
  ASSERT_EQ(c().LinkSegments().size(), 4096u);
  const std::u16string seven = Repeat(line(1366), 7);
  EXPECT_EQ(Show(seven + line(1366)), 0);
  EXPECT_EQ(c().LinkSegments().size(), 32768u);
  EXPECT_EQ(Show(seven + line(1367)), 6);
  // The paint stops before a segment whose index would not fit.
  EXPECT_EQ(c().LinkSegments().size(), 32768u);
  for (const LinkSegment& segment : c().LinkSegments()) ASSERT_LT(segment.LinkIndex, c().LinkCount());
  container_.traceSurface().SetSizeQuietly(1350, 570);
  c().SetAutoSizeHeight(false);
  ExpectWorksAgain();
}

}  // namespace
}  // namespace marklet

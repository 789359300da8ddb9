// The read-only view of the drawn links that hosts give assistive technology,
// and the hit test it shares with the pointer.
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "host/error.h"
#include "input/input_fixture.h"
#include "input/link_view.h"
#include "platform/trace/trace_container.h"
#include "render/render.h"

namespace marklet {
namespace {

// A control painted on the trace container: 15 twips a pixel, a character
// 75 twips wide and a line 195 twips high in the default font, 2400 x 3000
// twips unless a case resizes it.
class LinkView : public ::testing::Test {
 protected:
  LinkView() : world_(out_), container_(world_) {
    container_.CreateControl();
    c().Initialize();
    c().InitProperties();
    c().SetAutoSizeHeight(false);
    c().SetShowMoreLink(false);
    container_.traceSurface().SetSizeQuietly(2400, 3000);
  }
  ~LinkView() override { c().Terminate(); }
  Marklet& c() { return *container_.control(); }

  void Show(const std::u16string& text) {
    c().SetText(text);
    world_.ForgetPaints(&container_);
    c().Paint();
  }
  void Resize(Single width, Single height) {
    container_.traceSurface().SetSizeQuietly(width, height);
    c().Paint();
  }
  void MoveTo(Single x, Single y) {
    Integer button = 0, shift = 0;
    c().SurfaceMouseMove(button, shift, x, y);
  }
  // The link the hover state says is under the pointer, in the order the
  // events read it.
  Integer PointerLink() {
    if (c().HoverLink() != -1) return c().HoverLink();
    if (c().HoverSegment() != -1) return c().LinkSegments().at(c().HoverSegment()).LinkIndex;
    return -1;
  }
  std::vector<std::u16string> Keys() {
    std::vector<std::u16string> keys;
    for (const DrawnLink& link : c().DrawnLinks()) keys.push_back(link.key);
    return keys;
  }

  std::ostringstream out_;
  trace::TraceWorld world_;
  trace::TraceContainer container_;
};

std::u16string Picture16x8() { return Utf8ToU16(MARKLET_FIXTURE_DIR "/render_box16x8.png"); }

TEST_F(LinkView, EachDrawnLinkHasItsShownTextKeyAndBox) {
  Show(u"Go #ek1<first link > and #ek2<second> end");
  std::vector<DrawnLink> links = c().DrawnLinks();
  ASSERT_EQ(links.size(), 2u);
  for (std::size_t i = 0; i < links.size(); ++i) {
    const LinkRecord& record = c().Links()[i];
    EXPECT_EQ(links[i].index, static_cast<Integer>(i));
    EXPECT_EQ(links[i].key, record.LinkKey);
    EXPECT_FALSE(links[i].isImage || links[i].isMore || links[i].hovered);
    EXPECT_EQ(links[i].left, record.Left);
    EXPECT_EQ(links[i].top, record.Top);
    EXPECT_EQ(links[i].right, record.Right);
    EXPECT_EQ(links[i].bottom, record.Bottom);
    EXPECT_LT(links[i].left, links[i].right);
  }
  // The trailing space is drawn after the link, not as part of it.
  EXPECT_EQ(links[0].name, u"first link");
  EXPECT_EQ(links[1].name, u"second");
  EXPECT_EQ(links[0].key, u"k1");
}

TEST_F(LinkView, AWrappedLinkIsItsFirstSegmentAndNamedWhole) {
  Resize(1200, 3000);
  Show(u"Go #ew<a link of many words that wraps> after");
  ASSERT_GE(c().LinkSegments().size(), 2u);
  std::vector<DrawnLink> links = c().DrawnLinks();
  ASSERT_EQ(links.size(), 1u);
  const LinkSegment& first = c().LinkSegments()[0];
  EXPECT_EQ(links[0].name, u"a link of many words that wraps");
  EXPECT_EQ(links[0].left, first.Left);
  EXPECT_EQ(links[0].top, first.Top);
  EXPECT_EQ(links[0].right, first.Right);
  EXPECT_EQ(links[0].bottom, first.Bottom);
  // Its own record has no box this paint.
  EXPECT_EQ(c().Links()[0].Right, 0);
}

TEST_F(LinkView, TheMoreLinkCountsWhileShownAndLinksBehindItDoNot) {
  c().SetShowMoreLink(true);
  const std::u16string picture = Picture16x8();
  Show(u"#ea<one>\\n#eb<two>\\n#ec<three>\\n#ed<four> #ipic<" + picture + u">");
  ASSERT_FALSE(c().MoreLinkShown());
  EXPECT_EQ(Keys(), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"pic"}));
  std::vector<DrawnLink> all = c().DrawnLinks();
  EXPECT_TRUE(all.back().isImage);
  EXPECT_EQ(all.back().name, u"pic");  // a picture shows no text: its key names it

  // Two lines' room: the More link ends the text, and what lies behind it,
  // the picture link with the box it kept from the last paint included, is gone.
  Resize(2400, 450);
  ASSERT_TRUE(c().MoreLinkShown());
  const Integer more = c().LinkCount();
  std::vector<DrawnLink> shown = c().DrawnLinks();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().index, more);
  EXPECT_TRUE(shown.back().isMore);
  EXPECT_EQ(shown.back().key, u"!More");
  EXPECT_EQ(shown.back().name, TrimTrailingSpaces(c().Links()[more].LinkText));
  for (const DrawnLink& link : shown) EXPECT_NE(link.key, u"pic");
  EXPECT_LT(shown.size(), 6u);
  EXPECT_GT(c().Links()[4].Right, c().Links()[4].Left);

  // Room again: no More link.
  Resize(2400, 3000);
  EXPECT_FALSE(c().MoreLinkShown());
  EXPECT_EQ(Keys(), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"pic"}));
}

TEST_F(LinkView, ALinkCutOnOneLineIsNamedByTheTextDrawn) {
  c().SetMultiLine(false);
  c().SetShowMoreLink(true);
  Show(u"Some words #ek<a rather long link that does not fit> tail");
  ASSERT_TRUE(c().MoreLinkShown());
  std::vector<DrawnLink> links = c().DrawnLinks();
  ASSERT_EQ(links.size(), 2u);
  const LinkRecord& cut = c().Links()[0];
  ASSERT_FALSE(cut.DrawnText.empty());
  EXPECT_EQ(links[0].name, TrimTrailingSpaces(cut.DrawnText));
  EXPECT_NE(links[0].name, TrimTrailingSpaces(cut.LinkText));
  EXPECT_TRUE(links[1].isMore);
}

TEST_F(LinkView, NothingIsDrawnWithoutText) {
  Show(u"#ek<x>");
  EXPECT_EQ(c().DrawnLinks().size(), 1u);
  Show(u"");
  EXPECT_TRUE(c().DrawnLinks().empty());
}

TEST_F(LinkView, TheHoveredLinkIsMarkedAndTheHitTestAgreesWithThePointer) {
  Resize(1500, 3000);
  Show(u"Go #ea<alpha> and #eb<a long link of several words to wrap> then #ec<gamma>\\nmore");
  ASSERT_FALSE(c().LinkSegments().empty());
  std::vector<DrawnLink> links = c().DrawnLinks();
  ASSERT_EQ(links.size(), 3u);
  MoveTo((links[2].left + links[2].right) / 2, (links[2].top + links[2].bottom) / 2);
  links = c().DrawnLinks();
  EXPECT_FALSE(links[0].hovered || links[1].hovered);
  EXPECT_TRUE(links[2].hovered);

  // Every point of a grid through the text, edges included, against what
  // the pointer finds there.
  int hits = 0;
  for (Single y = 0; y <= 1000; y += 15) {
    for (Single x = 0; x <= 1500; x += 7.5f) {
      Integer expected = c().LinkAtPoint(x, y);
      MoveTo(x, y);
      ASSERT_EQ(expected, PointerLink()) << "at " << x << ", " << y;
      hits += expected != -1;
    }
  }
  EXPECT_GT(hits, 20);
}

// Boxes laid by hand, overlapping: the pointer's search order decides.
class LinkViewOverlap : public testing::InputTest {};

TEST_F(LinkViewOverlap, LowestIndexFirstBoxesBeforeSegmentsAndTheMoreLinkOnlyWhileShown) {
  SetLinks({testing::TextLink(u"a", u"a", 0, 0, 100, 100), testing::TextLink(u"b", u"b", 50, 50, 150, 150)},
           testing::TextLink(u"more", u"", 0, 0, 300, 300));
  painted.segments.push_back(LinkSegment{1, u"b", 0, 0, 200, 200});
  EXPECT_EQ(LinkAtPoint(parsed, painted, 75, 75), 0);
  EXPECT_EQ(LinkAtPoint(parsed, painted, 125, 125), 1);
  EXPECT_EQ(LinkAtPoint(parsed, painted, 175, 25), 1);  // the segment
  EXPECT_EQ(LinkAtPoint(parsed, painted, 100, 25), 1);  // the edge of a's box: the segment under it
  EXPECT_EQ(LinkAtPoint(parsed, painted, 250, 250), -1);
  painted.moreLinkShown = true;
  EXPECT_EQ(LinkAtPoint(parsed, painted, 250, 250), 2);
  EXPECT_EQ(LinkAtPoint(parsed, painted, 175, 25), 2);  // the More box comes before every segment

  for (Single x : {25.0f, 75.0f, 100.0f, 125.0f, 175.0f, 250.0f}) {
    for (Single y : {25.0f, 75.0f, 125.0f, 250.0f}) {
      Integer expected = LinkAtPoint(parsed, painted, x, y);
      Move(x, y);
      EXPECT_EQ(expected, input.hover().LinkUnderPointer()) << "at " << x << ", " << y;
    }
  }
}

TEST_F(LinkViewOverlap, ASegmentOfALinkBeyondTheTableHitsNothing) {
  SetLinks({testing::TextLink(u"a", u"a", 0, 0, 10, 10)});
  painted.segments.push_back(LinkSegment{7, u"gone", 0, 20, 100, 40});
  EXPECT_EQ(LinkAtPoint(parsed, painted, 50, 30), -1);
  EXPECT_TRUE(DrawnLinks(parsed, painted, -1).empty());  // nothing was marked drawn
}

}  // namespace
}  // namespace marklet

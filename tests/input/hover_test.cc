// Hit testing and hover looks on hand-built link tables: the look table, the
// drawing state an overprint leaves, and indices that outlive their tables.
#include <gtest/gtest.h>

#include "input/input_fixture.h"

namespace marklet::testing {
namespace {

// "U:link" style summary of a print record: underline flag and colour name.
std::string Look(const std::string& print) {
  std::string look = print.find("\"underline\":true") != std::string::npos ? "U:" : "-:";
  std::string color = print.substr(print.find("\"color\":") + 8);
  color = color.substr(0, color.find_first_not_of("0123456789"));
  if (color == std::to_string(kLinkColor)) return look + "link";
  if (color == std::to_string(kActiveColor)) return look + "active";
  if (color == std::to_string(0x8000000Fu)) return look + "back";
  return look + color;
}

std::vector<std::string> Looks(const std::vector<std::string>& prints) {
  std::vector<std::string> looks;
  for (const auto& p : prints) looks.push_back(Look(p));
  return looks;
}

struct LookCase {
  Long linkDisplay;
  bool underline;
  std::vector<std::string> hover;    // prints when the pointer enters the link
  std::vector<std::string> restore;  // prints when it leaves
};

void PrintTo(const LookCase& c, std::ostream* os) {
  *os << "LinkDisplay " << c.linkDisplay << (c.underline ? ", underlined" : ", plain");
}

class LookTable : public InputTest, public ::testing::WithParamInterface<LookCase> {};

TEST_P(LookTable, EnterAndLeavePrintTheLooks) {
  const LookCase& c = GetParam();
  SetLook(c.linkDisplay, c.underline);
  SetLinks({TextLink(u" go ", u"k", 100, 100, 400, 300)});
  Move(200, 200);
  auto entered = TakeRecords("\"print\"");
  EXPECT_EQ(Looks(entered), c.hover);
  for (const auto& p : entered) EXPECT_NE(p.find("\"text\":\"go\""), std::string::npos) << p;
  Move(50, 50);
  EXPECT_EQ(Looks(TakeRecords("\"print\"")), c.restore);
}

INSTANTIATE_TEST_SUITE_P(
    ByLinkDisplay, LookTable,
    ::testing::Values(LookCase{NotU_NotC, true, {"U:back", "-:active"}, {"U:link"}},
                      LookCase{NotU_NotC, false, {"U:active"}, {"U:back", "-:link"}},
                      LookCase{NotC, true, {"U:active"}, {"U:link"}},
                      LookCase{NotC, false, {"-:active"}, {"-:link"}},
                      LookCase{NotU, true, {"U:back", "-:link"}, {"U:link"}},
                      LookCase{NotU, false, {"U:link"}, {"U:back", "-:link"}},
                      LookCase{7, true, {"U:link"}, {"U:link"}},
                      LookCase{-1, true, {}, {}}),
    [](const auto& info) {
      Long display = info.param.linkDisplay;
      return (display < 0 ? "DisplayMinus" + std::to_string(-display) : "Display" + std::to_string(display)) +
             (info.param.underline ? "Underlined" : "Plain");
    });

TEST_F(InputTest, OverprintPutsTheDrawingFontAndColourBack) {
  SetLook(NotU_NotC, true);
  SetLinks({TextLink(u"go", u"k", 100, 100, 400, 300)});
  auto& state = container.traceSurface().state();
  state.foreColor = 0x123456;
  Move(200, 200);
  auto prints = TakeRecords("\"print\"");
  ASSERT_FALSE(prints.empty());
  EXPECT_NE(prints.back().find("\"font\":\"Arial\",\"size\":12"), std::string::npos);
  EXPECT_EQ(state.fontName, u"MS Sans Serif");
  EXPECT_EQ(state.fontPixels, 11);
  EXPECT_EQ(state.foreColor, 0x123456u);
}

TEST_F(InputTest, MoreLinkBoxCountsOnlyWhileShownAndBoxesBeatSegments) {
  SetLook(NotC, false);
  LinkSegment segment;
  segment.LinkIndex = 0;
  segment.Text = u"seg";
  segment.Left = 0, segment.Top = 0, segment.Right = 1000, segment.Bottom = 1000;
  painted.segments = {segment};
  SetLinks({TextLink(u"a", u"a", 100, 100, 200, 200)}, TextLink(u"More", u"", 300, 100, 400, 200));

  Move(350, 150);  // a stale More box while the More link is not drawn: the segment wins
  EXPECT_EQ(input.hover().segment(), 0);
  painted.moreLinkShown = true;
  Move(350, 150);
  EXPECT_EQ(input.hover().link(), 1);
  EXPECT_EQ(input.hover().segment(), -1);
}

TEST_F(InputTest, TablesShrinkingDuringTheSearchAreNeverReadBeyond) {
  SetLook(NotU_NotC, true);
  SetLinks({TextLink(u"a", u"a", 0, 0, 10, 10), TextLink(u"b", u"b", 0, 0, 10, 10),
            TextLink(u"c", u"c", 100, 100, 200, 200)});
  Move(150, 150);
  ASSERT_EQ(input.hover().link(), 2);
  TakeRecords();

  // A parse run by a pending message leaves only the More link; the search
  // bound was taken before it.
  world.Post({[this] { SetLinks({}); }});
  Move(150, 150);
  EXPECT_EQ(input.hover().link(), -1);
  EXPECT_EQ(TakeRecords("\"print\"").size(), 0u);  // the stale link is not drawn
  EXPECT_EQ(container.traceSurface().state().mousePointer, kPointerDefault);

  LinkSegment s;
  s.Text = u"seg";
  s.Right = 500, s.Bottom = 500;
  painted.segments = {s, s, s};
  world.Post({[this] { painted.segments.resize(1); }});
  world.Post({[this] { painted.segments.clear(); }});
  Move(150, 150);
  EXPECT_EQ(input.hover().segment(), -1);
}

TEST_F(InputTest, StaleHoverIndexIsNoHover) {
  SetLook(NotU_NotC, true);
  SetLinks({TextLink(u"a", u"a", 0, 0, 10, 10), TextLink(u"b", u"b", 100, 100, 200, 200)});
  Move(150, 150);
  ASSERT_EQ(input.hover().link(), 1);
  SetLinks({});  // parsed again with the pointer still on the hand
  TakeRecords();

  Up(150, 150);
  auto events = TakeRecords("\"event\"");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_NE(events[0].find("MouseUp"), std::string::npos);

  Move(150, 150);
  EXPECT_EQ(TakeRecords("\"print\"").size(), 0u);
  EXPECT_EQ(input.hover().link(), -1);
  EXPECT_EQ(container.traceSurface().state().mousePointer, kPointerDefault);

  // A segment index whose link record is gone.
  LinkSegment s;
  s.LinkIndex = 4;
  s.Text = u"x";
  s.Right = 50, s.Bottom = 50;
  painted.segments = {s};
  Move(25, 25);
  EXPECT_EQ(input.hover().segment(), 0);
  auto move = TakeRecords("MouseMove");
  ASSERT_EQ(move.size(), 1u);
  EXPECT_NE(move[0].find("[\"\",\"\","), std::string::npos);
  Move(60, 60);
  EXPECT_EQ(TakeRecords("\"print\"").size(), 0u);
  EXPECT_EQ(input.hover().segment(), -1);
}

}  // namespace
}  // namespace marklet::testing

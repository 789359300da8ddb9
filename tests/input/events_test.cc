// Event arguments by reference, the link-table lock and image forwarding.
#include <algorithm>

#include <gtest/gtest.h>

#include "host/error.h"
#include "input/input_fixture.h"

namespace marklet::testing {
namespace {

TEST_F(InputTest, LinkTableIsLockedOnlyWhileLinkEventsAreRaised) {
  SetLinks({TextLink(u"go", u"k", 100, 100, 200, 200)});
  std::vector<std::pair<EventId, int>> seen;
  container.SetEventHandler([&](EventId id, EventArgs&) {
    seen.emplace_back(id, static_cast<int>(input.LinksLocked()));
  });
  Move(50, 50);
  Move(150, 150);
  Up(150, 150);
  using P = std::pair<EventId, int>;
  EXPECT_EQ(seen, (std::vector<P>{P{EventId::MouseMove, 0}, P{EventId::MouseMove, 1},
                                  P{EventId::OnLinkClick, 1}, P{EventId::MouseUp, 0}}));

  // A handler that fails leaves the table unlocked.
  container.SetEventHandler([](EventId id, EventArgs&) {
    if (id == EventId::OnLinkClick) throw MarkletError(ErrorNumber::InvalidProcedureCall);
  });
  EXPECT_THROW(Up(150, 150), MarkletError);
  EXPECT_EQ(static_cast<int>(input.LinksLocked()), 0);
}

TEST_F(InputTest, AssignedLinkKeyStaysAssignedLinkTextDoesNot) {
  getTextOnEvent = true;
  SetLinks({TextLink(u"go ", u"k", 100, 100, 200, 200)});
  container.SetEventHandler([](EventId id, EventArgs& args) {
    if (id != EventId::OnLinkClick) return;
    args[0] = Variant::FromString(u"changed text");
    args[1] = Variant::FromString(u"new key");
  });
  Move(150, 150);
  Up(150, 150);
  container.SetEventHandler({});
  TakeRecords();
  Move(160, 160);
  auto move = TakeRecords("MouseMove");
  ASSERT_EQ(move.size(), 1u);
  EXPECT_NE(move[0].find("[\"go \",\"new key\","), std::string::npos) << move[0];
}

TEST_F(InputTest, HandlerAssignmentsReachTheSurfaceArguments) {
  container.SetEventHandler([](EventId id, EventArgs& args) {
    if (id == EventId::KeyPress) args[0] = Variant::FromInteger(0);
    if (id == EventId::MouseMove) args[4] = Variant::FromSingle(1.5f);
  });
  Integer ascii = 97;
  input.KeyPress(ascii);
  EXPECT_EQ(ascii, 0);

  // An image event's X is translated; the handler's value goes to the
  // translated point, not back to the image's own argument.
  container.traceImages().Move(0, 1000, 2000);
  Integer button = 0, shift = 0;
  Single x = 10, y = 20;
  input.ImageMouseMove(0, button, shift, x, y);
  EXPECT_EQ(x, 10.0f);
  auto move = TakeRecords("MouseMove");
  ASSERT_EQ(move.size(), 1u);
  EXPECT_NE(move[0].find(",1010,2020]"), std::string::npos) << move[0];
}

TEST_F(InputTest, ImageLinkLightsNothingAndReportsItsKey) {
  SetLook(NotU_NotC, true);
  getTextOnEvent = true;
  LinkRecord image;
  image.IsImage = true;
  image.LinkKey = u"pic";
  image.Left = 1000, image.Top = 2000, image.Right = 1300, image.Bottom = 2300;
  SetLinks({TextLink(u"go", u"k", 100, 100, 200, 200), image});
  Move(150, 150);
  TakeRecords();

  Integer button = 2, shift = 0;
  Single x = 5, y = 5;
  input.ImageMouseMove(0, button, shift, x, y);  // imgC(0) sits at 0,0: a miss
  container.traceImages().Move(0, 1000, 2000);
  input.ImageMouseMove(0, button, shift, x, y);
  input.ImageMouseUp(0, button, shift, x, y);
  auto records = TakeRecords();
  std::vector<std::string> kinds;
  for (const auto& r : records) kinds.push_back(r.substr(0, r.find(':', 2)));
  // The lit text link is restored once; the image itself is never printed.
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "{\"print\""), 1);
  EXPECT_NE(records.back().find("MouseUp"), std::string::npos);
  EXPECT_NE(records[records.size() - 2].find("\"OnLinkClick\",\"args\":[\"\",\"pic\"]"),
            std::string::npos);
  EXPECT_EQ(container.traceSurface().state().mousePointer, kPointerCustom);
}

TEST_F(InputTest, ImagePointBeyondTheSingleRangeIsAnOverflow) {
  container.traceImages().Move(0, 3e38f, 0);
  Integer button = 0, shift = 0;
  Single x = 3e38f, y = 0;
  try {
    input.ImageMouseUp(0, button, shift, x, y);
    FAIL() << "no error";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 6);
  }
  EXPECT_TRUE(TakeRecords("\"event\"").empty());
}

}  // namespace
}  // namespace marklet::testing

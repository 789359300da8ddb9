// `marklet view` in a real X11 window under Xvfb, driven with xdotool:
// hover looks in the screen's pixels, the hand pointer through XFixes, link
// clicks and MouseOut in the viewer's records, re-wrapping on resize without
// a parse. Skipped, with a message, where no X server can be started.
// The fixture first: GoogleTest must come before the X headers' macros.
#include "x11/live_window.h"

#include <X11/extensions/Xfixes.h>

namespace {

using namespace std::chrono_literals;
using marklet::testing::Blue;
using marklet::testing::Box;
using marklet::testing::Ink;
using marklet::testing::LiveWindow;
using marklet::testing::Red;

TEST_F(LiveWindow, HoverClickAndLeave) {
  auto view = View({"--text", "Go #ekey1<here> please", "--width", "300", "--height", "60", "--prop",
                    "LinkDisplay=2", "--prop", "ActiveLinkColor=255", "--prop", "LinkColor=&HFF0000"});
  Box link = WaitFind(Blue);
  ASSERT_FALSE(link.empty()) << "the link never showed in its link colour";

  Xdotool({"mousemove", std::to_string(link.cx()), std::to_string(link.cy())});
  std::vector<std::string> seen;
  ASSERT_TRUE(view->WaitFor("key1", 5s, &seen)) << "no MouseMove with the link's key";
  EXPECT_NE(seen.back().find("\"event\":\"MouseMove\""), std::string::npos) << seen.back();
  Box lit = WaitFind(Red);
  ASSERT_FALSE(lit.empty()) << "the hovered link did not turn to the active colour";
  EXPECT_TRUE(Find(Blue).empty());

  XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->width, 32);
  EXPECT_EQ(cursor->height, 32);
  EXPECT_EQ(cursor->xhot, 11);
  EXPECT_EQ(cursor->yhot, 4);
  XFree(cursor);

  Xdotool({"click", "1"});
  seen.clear();
  ASSERT_TRUE(view->WaitFor("\"Click\"", 5s, &seen));
  std::string order;
  for (const auto& l : seen)
    for (const char* e : {"MouseDown", "OnLinkClick", "MouseUp", "Click\""})
      if (l.find(std::string("\"event\":\"") + e) != std::string::npos) order += std::string(e) + " ";
  EXPECT_EQ(order, "MouseDown OnLinkClick MouseUp Click\" ");
  bool keyReported = false;
  for (const auto& l : seen) keyReported = keyReported || (l.find("OnLinkClick") != std::string::npos && l.find("key1") != std::string::npos);
  EXPECT_TRUE(keyReported);

  Xdotool({"mousemove", "700", "500"});
  seen.clear();
  ASSERT_TRUE(view->WaitFor("MouseOut", 5s, &seen));
  EXPECT_FALSE(view->WaitFor("MouseOut", 500ms)) << "more than one MouseOut for one leave";
  EXPECT_FALSE(WaitFind(Blue).empty()) << "the link did not go back to its normal look";
}

TEST_F(LiveWindow, ResizeRewrapsWithoutParsing) {
  auto view = View({"--text", "alpha beta gamma delta epsilon zeta eta theta iota kappa", "--width", "500",
                    "--height", "120", "--prop", "AutoSizeHeight=False"});
  ASSERT_FALSE(WaitFind(Ink).empty());
  Box before = Find(Ink);
  std::vector<std::string> seen;
  Xdotool({"windowsize", std::to_string(window_), "120", "120"});
  std::this_thread::sleep_for(500ms);
  Box after;
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    after = Find(Ink);
    if (!after.empty() && after.y1 > before.y1 + 5) break;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_GT(after.y1, before.y1 + 5) << "the text did not wrap onto more lines";
  EXPECT_LE(after.x1, 120);
  seen.clear();
  EXPECT_FALSE(view->WaitFor("\"parse\"", 500ms, &seen)) << "a resize parsed again";
}

TEST_F(LiveWindow, AtTwiceTheScaleTheWindowAndCursorDoubleAndLinksAnswerWhereTheyShow) {
  auto view = View({"--text", "Go #ekey1<here> please", "--width", "300", "--height", "60", "--prop",
                    "AutoSizeHeight=False", "--prop", "LinkColor=&HFF0000", "--scale", "2"});
  Box link = WaitFind(Blue);
  ASSERT_FALSE(link.empty()) << "the link never showed in its link colour";
  marklet::testing::Pixels pixels = Grab();
  EXPECT_EQ(pixels.w, 600);
  EXPECT_EQ(pixels.h, 120);

  Xdotool({"mousemove", std::to_string(link.cx()), std::to_string(link.cy())});
  std::vector<std::string> seen;
  ASSERT_TRUE(view->WaitFor("key1", 5s, &seen)) << "no MouseMove with the link's key where the link shows";
  XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->width, 64);
  EXPECT_EQ(cursor->height, 64);
  EXPECT_EQ(cursor->xhot, 22);
  EXPECT_EQ(cursor->yhot, 8);
  XFree(cursor);
}

TEST_F(LiveWindow, ViewTakesTheSurfaceAndFontAndWarnsOfAnIgnoredValue) {
  // Standard error joins the records here, so the warning is read in order.
  marklet::testing::Subprocess view({"/bin/sh", "-c", "exec \"$0\" view \"$@\" 2>&1", MARKLET_TOOL, "--text", "Big",
                                     "--width", "200", "--height", "60", "--prop", "LeftMargin=3000", "--surface",
                                     "BorderStyle=0", "--font", "DejaVu Sans", "24"},
                                    Env());
  std::vector<std::string> seen;
  ASSERT_TRUE(view.WaitFor("\"window\"", 10s, &seen)) << "the viewer did not start";
  bool warned = false;
  for (const auto& line : seen)
    warned = warned || line.find("marklet view: warning: --prop LeftMargin=3000 is out of range; LeftMargin takes "
                                 "0..2184 pixels") != std::string::npos;
  EXPECT_TRUE(warned) << "no warning before the window";
  window_ = std::stoul(seen.back().substr(seen.back().find(':') + 1));

  Box text = WaitFind(Ink);
  ASSERT_FALSE(text.empty()) << "the text never showed";
  EXPECT_GT(text.y1 - text.y0, 14) << "the text is not in the 24-point font";
  marklet::testing::Pixels pixels = Grab();
  ASSERT_GT(pixels.w, 0);
  // Without a border the window's edge is the background the text is on.
  EXPECT_EQ(pixels.at(0, pixels.h / 2), pixels.at(pixels.w - 5, pixels.h / 2));
  EXPECT_EQ(pixels.at(pixels.w / 2, 0), pixels.at(pixels.w - 5, pixels.h / 2));
}

}  // namespace

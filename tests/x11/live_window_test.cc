// `marklet view` in a real X11 window under Xvfb, driven with xdotool:
// hover looks in the screen's pixels, the hand pointer through XFixes, link
// clicks and MouseOut in the viewer's records, re-wrapping on resize without
// a parse. Skipped, with a message, where no X server can be started.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "support/subprocess.h"

namespace {

using namespace std::chrono_literals;
using marklet::testing::RunCommand;
using marklet::testing::Subprocess;

struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  bool empty() const { return x1 < 0; }
  int cx() const { return (x0 + x1) / 2; }
  int cy() const { return (y0 + y1) / 2; }
};

class LiveWindow : public ::testing::Test {
 protected:
  // A request about a window that changed under us fails; the test looks again
  // rather than letting Xlib end the process.
  static int IgnoreXError(Display*, XErrorEvent*) { return 0; }

  static void SetUpTestSuite() {
    XSetErrorHandler(&LiveWindow::IgnoreXError);
    // Test processes run side by side: each starts from a number of its own.
    int first = 200 + static_cast<int>(getpid() % 700);
    for (int n = first; n < first + 30 && !display_; ++n) {
      if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) continue;
      name_ = ":" + std::to_string(n);
      xvfb_ = std::make_unique<Subprocess>(
          std::vector<std::string>{"Xvfb", name_, "-screen", "0", "800x600x24", "-nolisten", "tcp"},
          std::vector<std::string>{}, false);
      for (int i = 0; i < 50 && !display_; ++i) {
        std::this_thread::sleep_for(100ms);
        display_ = XOpenDisplay(name_.c_str());
      }
      if (!display_) xvfb_.reset();
    }
  }
  static void TearDownTestSuite() {
    if (display_) XCloseDisplay(display_);
    display_ = nullptr;
    xvfb_.reset();
  }
  void SetUp() override {
    if (!display_) GTEST_SKIP() << "no X server could be started here (is Xvfb installed?)";
  }

  std::vector<std::string> Env() const { return {"DISPLAY=" + name_}; }

  std::unique_ptr<Subprocess> View(const std::vector<std::string>& args) {
    std::vector<std::string> argv{MARKLET_TOOL, "view"};
    argv.insert(argv.end(), args.begin(), args.end());
    auto view = std::make_unique<Subprocess>(argv, Env());
    std::vector<std::string> seen;
    EXPECT_TRUE(view->WaitFor("\"window\"", 10s, &seen)) << "the viewer did not start";
    if (!seen.empty() && seen.back().find("\"window\"") != std::string::npos) {
      window_ = std::stoul(seen.back().substr(seen.back().find(':') + 1));
    }
    return view;
  }

  // Pixels of the viewer's window where the colour test holds, as a bounding box.
  template <typename F>
  Box Find(F test) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window_, &attributes) || attributes.map_state != IsViewable) {
      return Box{};
    }
    int w = attributes.width, h = attributes.height;
    XImage* image = XGetImage(display_, window_, 0, 0, w, h, AllPlanes, ZPixmap);
    if (!image) return Box{};  // the window went away or changed meanwhile
    Box box;
    // The border's shadow lines are not text: look inside them.
    for (int y = 3; y < h - 3; ++y)
      for (int x = 3; x < w - 3; ++x) {
        unsigned long p = XGetPixel(image, x, y);
        int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        if (test(r, g, b)) {
          box.x0 = std::min(box.x0, x);
          box.y0 = std::min(box.y0, y);
          box.x1 = std::max(box.x1, x);
          box.y1 = std::max(box.y1, y);
        }
      }
    XDestroyImage(image);
    return box;
  }
  template <typename F>
  Box WaitFind(F test, std::chrono::milliseconds timeout = 5s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    Box box;
    while ((box = Find(test)).empty() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(50ms);
    return box;
  }
  void Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_EQ(RunCommand(argv, Env()), 0);
  }

  static inline Display* display_ = nullptr;
  static inline std::string name_;
  static inline std::unique_ptr<Subprocess> xvfb_;
  unsigned long window_ = 0;
};

bool Blue(int r, int g, int b) { return b > 180 && r < 90 && g < 90; }
bool Red(int r, int g, int b) { return r > 180 && g < 90 && b < 90; }
bool Ink(int r, int g, int b) { return r + g + b < 300; }

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

}  // namespace

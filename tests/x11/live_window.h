// A private Xvfb display for the tests that drive `marklet view` with
// xdotool, and pixel probes of its windows. Tests skip, with a message, where
// no X server can be started.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/subprocess.h"

namespace marklet::testing {

using namespace std::chrono_literals;

struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  bool empty() const { return x1 < 0; }
  int cx() const { return (x0 + x1) / 2; }
  int cy() const { return (y0 + y1) / 2; }
};

// A window's pixels as 0xRRGGBB.
struct Pixels {
  int w = 0, h = 0;
  std::vector<unsigned long> rgb;
  unsigned long at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * w + x]; }
};

inline bool Blue(int r, int g, int b) { return b > 180 && r < 90 && g < 90; }
inline bool Red(int r, int g, int b) { return r > 180 && g < 90 && b < 90; }
inline bool Ink(int r, int g, int b) { return r + g + b < 300; }

class LiveWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Probing a window that is gone meanwhile fails that call only.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    // Test processes run side by side: each starts from a number of its own.
    int first = 200 + static_cast<int>(getpid() % 700);
    for (int n = first; n < first + 30 && !display_; ++n) {
      if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) continue;
      // Built in place: GCC 12 warns falsely (-Wrestrict) on ":" + std::string.
      name_ = std::to_string(n);
      name_.insert(name_.begin(), ':');
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

  // The pixels of a window (the viewer's by default); empty when it is gone.
  Pixels Grab(unsigned long window = 0) {
    Pixels pixels;
    if (!window) window = window_;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable) return pixels;
    XImage* image = XGetImage(display_, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return pixels;
    pixels.w = attributes.width;
    pixels.h = attributes.height;
    pixels.rgb.resize(static_cast<std::size_t>(pixels.w) * pixels.h);
    for (int y = 0; y < pixels.h; ++y)
      for (int x = 0; x < pixels.w; ++x) pixels.rgb[static_cast<std::size_t>(y) * pixels.w + x] = XGetPixel(image, x, y) & 0xFFFFFF;
    XDestroyImage(image);
    return pixels;
  }

  // Where the colour test holds inside [x0, x1) x [y0, y1) of the pixels, as a bounding box.
  template <typename F>
  static Box Find(const Pixels& pixels, F test, int x0, int y0, int x1, int y1) {
    Box box;
    for (int y = std::max(0, y0); y < std::min(pixels.h, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(pixels.w, x1); ++x) {
        unsigned long p = pixels.at(x, y);
        if (test(static_cast<int>((p >> 16) & 255), static_cast<int>((p >> 8) & 255), static_cast<int>(p & 255))) {
          box.x0 = std::min(box.x0, x);
          box.y0 = std::min(box.y0, y);
          box.x1 = std::max(box.x1, x);
          box.y1 = std::max(box.y1, y);
        }
      }
    return box;
  }

  // The viewer's window, inside the border's shadow lines (which are not text).
  template <typename F>
  Box Find(F test) {
    Pixels pixels = Grab();
    return Find(pixels, test, 3, 3, pixels.w - 3, pixels.h - 3);
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
  // The first window `xdotool search --name NAME` lists, or 0.
  unsigned long SearchName(const std::string& name) {
    Subprocess search({"xdotool", "search", "--name", name}, Env());
    std::string line;
    if (!search.ReadLine(line, 3s) || line.empty()) return 0;
    return std::stoul(line);
  }
  unsigned long WaitSearchName(const std::string& name, std::chrono::milliseconds timeout = 5s) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    unsigned long window = 0;
    while (!(window = SearchName(name)) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(50ms);
    return window;
  }

  static inline Display* display_ = nullptr;
  static inline std::string name_;
  static inline std::unique_ptr<Subprocess> xvfb_;
  unsigned long window_ = 0;
};

}  // namespace marklet::testing

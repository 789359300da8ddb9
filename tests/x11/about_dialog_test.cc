// The About dialog as a user meets it in `marklet view` under Xvfb: F1 opens
// a modal transient window titled "Acerca de Marklet" without a close
// function, the main window takes no input meanwhile, hovering the mail link
// shows its key in a tooltip window, clicking it asks the shell to open it
// (printed: the viewer runs with --no-open), and the button, Alt+A or Enter
// close the dialog, which later F1 presses load again. Its title bar's close
// is refused; another client destroying its window unloads it.
// The fixture first: GoogleTest must come before the X headers' macros.
#include "x11/live_window.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;
using marklet::testing::Blue;
using marklet::testing::Box;
using marklet::testing::Ink;
using marklet::testing::LiveWindow;
using marklet::testing::Pixels;

constexpr char kTitle[] = "Acerca de Marklet";
constexpr char kMailKey[] = "mailto:info@marklet.example";
// The dialog's button, in pixels at 15 twips a pixel: 960, 2280, 1335 x 375 twips.
constexpr int kButtonX = 64 + 89 / 2, kButtonY = 152 + 25 / 2;

class AboutDialog : public LiveWindow {
 protected:
  // A viewer with a link near its left edge, clear of the dialog centred over it.
  std::unique_ptr<marklet::testing::Subprocess> Viewer() {
    auto view = View({"--text", "#ekey1<here> and plain text", "--width", "400", "--height", "60", "--prop",
                      "AutoSizeHeight=False", "--no-open"});
    link_ = WaitFind(Blue);
    EXPECT_FALSE(link_.empty()) << "the main window's link never showed";
    return view;
  }

  // F1 with the pointer on the main window's link; the dialog's window.
  unsigned long PressF1(marklet::testing::Subprocess& view, std::vector<std::string>* seen = nullptr) {
    Xdotool({"mousemove", std::to_string(link_.cx()), std::to_string(link_.cy())});
    Xdotool({"key", "F1"});
    EXPECT_TRUE(view.WaitFor("{\"form\":{\"op\":\"show\"}", 5s, seen)) << "the dialog did not show";
    unsigned long dialog = WaitSearchName(kTitle);
    EXPECT_NE(dialog, 0u) << "no window titled " << kTitle;
    return dialog;
  }

  std::vector<long> Property(unsigned long window, const char* name, Atom* type = nullptr) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display_, window, XInternAtom(display_, name, False), 0, 64, False, AnyPropertyType,
                           &actual, &format, &count, &after, &data) == Success &&
        data) {
      if (format == 32) {
        auto* longs = reinterpret_cast<long*>(data);
        values.assign(longs, longs + count);
      }
      XFree(data);
    }
    if (type) *type = actual;
    return values;
  }

  bool Viewable(unsigned long window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) && attributes.map_state == IsViewable;
  }

  // Waits until the dialog's window is gone or no longer shown.
  bool WaitGone(unsigned long dialog) {
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (Viewable(dialog) && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(50ms);
    return !Viewable(dialog);
  }

  Box link_;
};

TEST_F(AboutDialog, F1OpensAModalTransientDialogWithoutACloseFunction) {
  auto view = Viewer();
  std::vector<std::string> seen;
  unsigned long dialog = PressF1(*view, &seen);
  ASSERT_NE(dialog, 0u);
  EXPECT_NE(std::find(seen.begin(), seen.end(), "{\"form\":{\"op\":\"create\"},\"source\":\"frmAbout\"}"), seen.end());

  Atom type = None;
  std::vector<long> transient = Property(dialog, "WM_TRANSIENT_FOR");
  ASSERT_EQ(transient.size(), 1u);
  EXPECT_EQ(static_cast<unsigned long>(transient[0]), window_);
  EXPECT_EQ(Property(dialog, "_NET_WM_WINDOW_TYPE"),
            std::vector<long>{static_cast<long>(XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DIALOG", False))});
  std::vector<long> state = Property(dialog, "_NET_WM_STATE");
  EXPECT_NE(std::find(state.begin(), state.end(), static_cast<long>(XInternAtom(display_, "_NET_WM_STATE_MODAL", False))),
            state.end());
  // The system menu lost its close command: the window manager is asked for
  // the functions without close (flags bit 0: functions given; close is 32).
  std::vector<long> motif = Property(dialog, "_MOTIF_WM_HINTS", &type);
  ASSERT_EQ(motif.size(), 5u);
  EXPECT_EQ(type, XInternAtom(display_, "_MOTIF_WM_HINTS", False));
  EXPECT_TRUE(motif[0] & 1);
  EXPECT_FALSE(motif[1] & 32);

  // The design's client size, 3270 x 2775 twips.
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display_, dialog, &attributes));
  EXPECT_EQ(attributes.width, 218);
  EXPECT_EQ(attributes.height, 185);

  // The bold title to the right of the emblem, the emblem itself, and the
  // button's caption.
  Pixels pixels;
  Box title;
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    pixels = Grab(dialog);
    title = LiveWindow::Find(pixels, Ink, 45, 0, pixels.w, 45);
    if (!title.empty()) break;
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_FALSE(title.empty()) << "no title text in the dialog's top area";
  EXPECT_GT(title.x1 - title.x0, 60) << "the title is too short to be the title line";
  Box emblem = LiveWindow::Find(pixels, [](int r, int, int b) { return b > 100 && r < 80; }, 8, 10, 40, 42);
  EXPECT_FALSE(emblem.empty()) << "the emblem is not drawn";
  Box caption = LiveWindow::Find(pixels, Ink, 66, 154, 151, 175);
  EXPECT_FALSE(caption.empty()) << "the button has no caption";

  // The title bar's close is refused.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = dialog;
  close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  close.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, dialog, False, NoEventMask, &close);
  XFlush(display_);
  EXPECT_TRUE(view->WaitFor("{\"form\":{\"op\":\"close\",\"available\":false}", 5s));
  EXPECT_FALSE(view->WaitFor("unload", 300ms));
  EXPECT_TRUE(Viewable(dialog));

  // While the dialog is up the main window takes no input: moving off its
  // link and back raises nothing.
  Xdotool({"mousemove", "60", "40"});
  Xdotool({"mousemove", std::to_string(link_.cx()), std::to_string(link_.cy())});
  seen.clear();
  EXPECT_FALSE(view->WaitFor("\"event\":\"MouseMove\"", 700ms, &seen)) << (seen.empty() ? "" : seen.back());

  // Another client destroying the dialog's window unloads the form; the
  // viewer carries on.
  XDestroyWindow(display_, dialog);
  XFlush(display_);
  EXPECT_TRUE(view->WaitFor("{\"form\":{\"op\":\"unload\"}", 5s));
  Xdotool({"mousemove", "60", "40"});
  EXPECT_TRUE(view->WaitFor("\"event\":\"MouseMove\"", 5s)) << "the main window took no input afterwards";
}

TEST_F(AboutDialog, MailLinkShowsItsTooltipAndOpensThroughTheShell) {
  auto view = Viewer();
  unsigned long dialog = PressF1(*view);
  ASSERT_NE(dialog, 0u);
  Pixels pixels;
  Box links;
  auto deadline = std::chrono::steady_clock::now() + 5s;
  while ((links = LiveWindow::Find(pixels = Grab(dialog), Blue, 0, 0, 218, 185)).empty() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_FALSE(links.empty()) << "no links in the dialog";
  // The mail link is the lowest of the two.
  Box mail = LiveWindow::Find(pixels, Blue, 0, links.y1 - 8, 218, links.y1 + 1);
  ASSERT_FALSE(mail.empty());

  Xdotool({"mousemove", "--window", std::to_string(dialog), std::to_string(mail.cx()), std::to_string(mail.cy() - 1)});
  EXPECT_TRUE(view->WaitFor(std::string("{\"tooltip\":\"") + kMailKey + "\",\"source\":\"Marklet1\"}", 5s));
  unsigned long tooltip = WaitSearchName(kMailKey);
  ASSERT_NE(tooltip, 0u) << "no tooltip window with the link's key";
  EXPECT_TRUE(Viewable(tooltip));
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display_, tooltip, &attributes));
  EXPECT_TRUE(attributes.override_redirect);
  Window child;
  int dx = 0, dy = 0, tx = 0, ty = 0;
  XTranslateCoordinates(display_, dialog, DefaultRootWindow(display_), mail.cx(), mail.cy() - 1, &dx, &dy, &child);
  XTranslateCoordinates(display_, tooltip, DefaultRootWindow(display_), 0, 0, &tx, &ty, &child);
  EXPECT_GT(ty, dy) << "the tooltip is not below the pointer";
  EXPECT_LT(ty - dy, 40) << "the tooltip is not near the pointer";
  EXPECT_FALSE(LiveWindow::Find(Grab(tooltip), Ink, 2, 2, attributes.width - 2, attributes.height - 2).empty())
      << "the tooltip shows no text";
  // The control's own hand pointer over the dialog's link.
  XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->xhot, 11);
  EXPECT_EQ(cursor->yhot, 4);
  XFree(cursor);

  Xdotool({"click", "1"});
  std::vector<std::string> seen;
  ASSERT_TRUE(view->WaitFor("\"shell\"", 5s, &seen)) << "the link click asked the shell for nothing";
  EXPECT_EQ(seen.back(), std::string("{\"shell\":{\"op\":\"open\",\"file\":\"") + kMailKey +
                             "\"},\"source\":\"frmAbout\"}");

  // Off the links (in the dialog's text, below the title) the tooltip goes.
  Xdotool({"mousemove", "--window", std::to_string(dialog), "60", "60"});
  EXPECT_TRUE(view->WaitFor("{\"tooltip\":\"\",\"source\":\"Marklet1\"}", 5s));
  auto deadline2 = std::chrono::steady_clock::now() + 3s;
  while (Viewable(tooltip) && std::chrono::steady_clock::now() < deadline2) std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(Viewable(tooltip));
}

TEST_F(AboutDialog, ButtonAltAAndEnterCloseItAndF1LoadsItAgain) {
  auto view = Viewer();
  unsigned long dialog = PressF1(*view);
  ASSERT_NE(dialog, 0u);
  Xdotool({"mousemove", "--window", std::to_string(dialog), std::to_string(kButtonX), std::to_string(kButtonY)});
  Xdotool({"click", "1"});
  std::vector<std::string> seen;
  ASSERT_TRUE(view->WaitFor("{\"form\":{\"op\":\"unload\"}", 5s, &seen));
  EXPECT_NE(std::find(seen.begin(), seen.end(), "{\"form\":{\"op\":\"click\",\"name\":\"btnOk\"},\"source\":\"frmAbout\"}"),
            seen.end());
  EXPECT_TRUE(WaitGone(dialog));

  // The main window takes input again.
  Xdotool({"mousemove", std::to_string(link_.cx()), std::to_string(link_.cy())});
  seen.clear();
  ASSERT_TRUE(view->WaitFor("key1", 5s, &seen)) << "the main window took no input after the dialog closed";
  EXPECT_NE(seen.back().find("\"event\":\"MouseMove\""), std::string::npos) << seen.back();

  // Later presses load the same form again (it is not created anew).
  for (const char* key : {"alt+a", "Return"}) {
    seen.clear();
    dialog = PressF1(*view, &seen);
    ASSERT_NE(dialog, 0u) << key;
    for (const auto& line : seen) EXPECT_EQ(line.find("\"create\""), std::string::npos) << key;
    EXPECT_NE(std::find(seen.begin(), seen.end(), "{\"form\":{\"op\":\"load\"},\"source\":\"frmAbout\"}"), seen.end())
        << key;
    Xdotool({"key", key});
    EXPECT_TRUE(view->WaitFor("{\"form\":{\"op\":\"unload\"}", 5s)) << key << " did not close the dialog";
    EXPECT_TRUE(WaitGone(dialog)) << key;
  }
}

}  // namespace

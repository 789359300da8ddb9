// The live window host: one control on the raster surface in an X11 window.
// Window events become the control's surface events; exposure and repaint
// requests deliver Paint through the event loop; the pointer leaving the
// window becomes the mouse-leave message of the window-system layer, only
// after the control asked for it.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/raster/raster_container.h"

// Xlib's types stay out of this header (its macros clash with ordinary names).
struct _XDisplay;
union _XEvent;

namespace marklet::x11 {

class X11FormHost;

struct ViewOptions {
  raster::RasterOptions raster;
  int widthPx = 480;
  int heightPx = 200;
  std::string title = "Marklet";
  std::string cursorFile;  // the hand pointer (.cur); the default arrow when empty
};

class X11Host {
 public:
  // Opens the display (null: $DISPLAY) and creates the window; throws
  // MarkletError 5 when no display can be opened.
  explicit X11Host(const ViewOptions& options, const char* displayName = nullptr);
  ~X11Host();
  X11Host(const X11Host&) = delete;
  X11Host& operator=(const X11Host&) = delete;

  raster::RasterContainer& container() { return *container_; }
  _XDisplay* display() const { return display_; }
  unsigned long window() const { return window_; }
  // The modal forms shown over the window (the control's About dialog).
  X11FormHost& forms() { return *forms_; }
  // The hand pointer (0 when none was loaded).
  unsigned long handCursor() const { return handCursor_; }

  // Runs the event loop until the window is closed or Quit() is called.
  void Run();
  void Quit() { running_ = false; }
  // Processes the window events already pending, without blocking. Costs no
  // system call when nothing is queued; reads the connection only now and then.
  void ProcessPending();
  // Routes one event: the main window's own, a form's to the forms (input
  // for the main window is dropped while a form is modal).
  void Dispatch(_XEvent& event);
  // One round of the main window's upkeep: delivers the queued paint, follows
  // the control's size, sets the pointer and shows what changed.
  void Update();
  // Shows what the surface holds now, when it changed.
  void Present();
  // Resizes the window (the control follows through Resize).
  void ResizeWindow(int widthPx, int heightPx);

  // Host keys: called after the control got the key's events.
  std::function<void(unsigned long keysym)> onHostKey;
  // Called by the event loop between events, outside any control call.
  std::function<void()> onIdle;

 private:
  void Handle(_XEvent& event);
  void UpdatePointer();
  void FollowControlSize();
  Single ToTwipsX(int x) const;
  Single ToTwipsY(int y) const;

  _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
  bool windowGone_ = false;  // destroyed by another client
  unsigned long deleteWindow_ = 0;
  unsigned long handCursor_ = 0;
  Integer shownPointer_ = -1;
  std::unique_ptr<raster::RasterContainer> container_;
  std::unique_ptr<X11FormHost> forms_;
  bool running_ = false;
  unsigned pumpCalls_ = 0;
  std::chrono::steady_clock::time_point lastRead_{};
  std::uint64_t presentedRevision_ = ~0ull;  // of the image controls
  bool forceFull_ = true;
  int windowWidth_ = 0, windowHeight_ = 0;
  // Double clicks: a second press soon after a click.
  unsigned long lastClickTime_ = 0;
  int lastClickX_ = -100, lastClickY_ = -100;
  bool pressIsDouble_ = false;
};

// The control's button number for an X button (0 for none of its three), the
// buttons held in a modifier state, and its shift flags.
Integer ButtonFor(unsigned xbutton);
Integer ButtonsHeld(unsigned state);
Integer ShiftFor(unsigned state);

// Puts a Cairo image (RGB24 or ARGB32) into a drawable of the default visual at (x, y).
void PutImage(_XDisplay* display, unsigned long drawable, cairo_surface_t* image, int x, int y);

// Maps an X key symbol to the key code Windows hosts report (0 when none).
int VirtualKeyFor(unsigned long keysym);

}  // namespace marklet::x11

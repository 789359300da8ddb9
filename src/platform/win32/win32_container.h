// The Windows container: the control's window (a child window whose own
// procedure turns window messages into the control's notifications), the GDI
// surface behind it, the imgC pictures drawn over it, OLE pictures, the
// message pump and the modal message box.
//
// The control hooks this window: its module procedure replaces the window's
// and forwards every message to WindowProcedure below. The window's user-data
// slot belongs to the control; the container keeps itself in the window's
// extra bytes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "host/container.h"
#include "host/image_slots.h"
#include "host/forms.h"
#include "platform/win32/accessible_control.h"
#include "platform/win32/gdi_surface.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

class Win32Container;

// The image controls: windowless pictures drawn over the surface. The
// window forwards the pointer's moves and releases over them to the control.
class Win32Images : public ImageSlots {
 public:
  explicit Win32Images(Win32Container& owner) : owner_(owner) {}

  // Draws the visible pictures (lowest index first, so later ones lie on top).
  void Draw(HDC dc);
  // The topmost visible picture under a point of the window (pixels), or -1.
  Integer HitTest(int x, int y);
  // A picture's rectangle in the window, in pixels.
  RECT Bounds(Integer index);

 protected:
  // The window is drawn again after a change that shows.
  void Changed(Change change, Integer index, bool wasVisible) override;

 private:
  Win32Container& owner_;
};

class Win32Container : public Container {
 public:
  // Creates the control's window as a child of `parent`, at `bounds` in the
  // parent's client pixels.
  Win32Container(::HWND parent, const RECT& bounds);
  ~Win32Container() override;
  Win32Container(const Win32Container&) = delete;
  Win32Container& operator=(const Win32Container&) = delete;

  Surface& surface() override { return *surface_; }
  ImageArray& imgC() override { return images_; }
  WindowSystem& windows() override;
  void PropertyChanged(const std::u16string& name) override;
  std::u16string AmbientDisplayName() override { return ambientName; }
  OleColor AmbientBackColor() override { return ambientBackColor; }
  FontDesc AmbientFont() override { return ambientFont; }
  void DoEvents() override;
  void RaiseEvent(EventId id, EventArgs& args) override;
  Picture LoadPicture(const std::u16string& path) override;
  Single ScreenTwipsPerPixelX() override;
  Single ScreenTwipsPerPixelY() override;
  int MsgBox(const std::u16string& prompt, int buttons, const std::u16string& title) override;
  FormHost& forms() override;
  void ParseStarted() override {
    if (onParse) onParse();
  }
  void Painted() override;

  // The control: a Marklet made here (new, or loaded from a bag), or a site's
  // control made by a form. Creating runs Initialize and then InitProperties
  // or ReadProperties; the first paint follows from the message loop.
  void CreateControl(PropertyBag* bag = nullptr);
  // A new Marklet on this container, not yet initialised: the caller runs
  // its Initialize and then InitProperties or ReadProperties, and sees their errors.
  Marklet& NewControl();
  void SetSiteControl(std::unique_ptr<SiteControl> control);
  SiteControl* siteControl() { return control_.get(); }
  // The Marklet behind the control, when it is one.
  Marklet* control() { return marklet_; }
  // Terminates and releases the control; the window stays.
  void DestroyControl();
  // Runs one notification of the control; a MarkletError goes to onError.
  void Deliver(const char* name, const std::function<void()>& action);

  // Paint follows on the window's next WM_PAINT.
  void RequestPaint();
  // Delivers a requested Paint now, before the window asks for it.
  void PaintIfPending();
  // Copies the drawing and the pictures over it to `dc`, at (0, 0).
  void Present(HDC dc);
  // Removes the window class registration (a DLL being unloaded must: its
  // procedure goes with it).
  static void UnregisterWindowClass();
  bool PaintPending() const { return paintPending_; }

  GdiSurface& gdiSurface() { return *surface_; }
  Win32Images& images() { return images_; }
  ::HWND window() const { return hwnd_; }
  // Moves and sizes the window (pixels of the parent); Resize follows.
  void SetBounds(const RECT& bounds);
  // The surface point (twips) of a client pixel, as the pointer reports it.
  Single ToTwipsX(int x) const;
  Single ToTwipsY(int y) const;

  // Plays a left click at a client pixel through the window's own pointer
  // path: a move there, a press (when `press`) and a release. The real
  // pointer stays where it is and keeps its leave tracking; no leave is
  // played, so the hover look stays until the real pointer moves.
  void ReplayClick(POINT at, bool press);

  // The tooltip shown over the window; empty hides it.
  std::u16string ToolTipText() const { return toolTip_; }
  void SetToolTipText(const std::u16string& text);

  // How deep the window's procedure is in calls to the control; a form waits
  // for 0 before it takes its controls down.
  int busy() const { return busy_; }

  // The window's own procedure (the one the control's hook forwards to).
  static LRESULT CALLBACK WindowProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  std::u16string ambientName = u"Marklet1";
  OleColor ambientBackColor = 0x8000000Fu;
  FontDesc ambientFont{u"MS Sans Serif", 8.25f};

  // Hooks for the host program and the tests; all run on the window's thread.
  std::function<void(EventId, EventArgs&)> onEvent;
  std::function<void(const std::u16string&)> onPropertyChanged;
  // Before the box shows.
  std::function<void(const std::u16string& prompt, const std::u16string& title, int buttons)> onMessageBox;
  std::function<void(const char* notification, int number, const std::string& description)> onError;
  std::function<void()> onParse;
  // After a Paint the window delivered.
  std::function<void()> onPainted;
  // The control set its own height (pixels of the new window size).
  std::function<void(int width, int height)> onHeightSet;
  // Each message the window's own procedure receives, before it handles it.
  std::function<void(UINT msg)> onWindowMessage;
  // The calls into the control have all returned.
  std::function<void()> onIdle;

 private:
  friend class GdiSurface;
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void MouseButton(UINT msg, WPARAM wParam, LPARAM lParam);
  void MouseMove(WPARAM wParam, LPARAM lParam);
  void HeightSet(int width, int height);

  ::HWND hwnd_ = nullptr;
  ::HWND toolTipWindow_ = nullptr;
  std::u16string toolTip_;
  std::unique_ptr<GdiSurface> surface_;
  Win32Images images_;
  std::unique_ptr<SiteControl> control_;
  Marklet* marklet_ = nullptr;
  bool paintPending_ = false;
  int busy_ = 0;
  // The picture a button went down on (-1: the surface, -2: none), so the
  // release goes where the press went.
  Integer pressedImage_ = -2;
  bool pressIsDouble_ = false;
  std::unique_ptr<ControlAccessibility> accessibility_;
  bool replaying_ = false;
  // A leave request the replayed move made while the real pointer was
  // elsewhere was taken back; the real pointer's next move makes it.
  bool leaveOwed_ = false;
};

// Processes the messages waiting for this thread, without blocking. Returns
// false when WM_QUIT came (it is posted again for the outer loop).
bool PumpPendingMessages();

// The module holding the layer's resources (the hand pointer).
HINSTANCE ResourceModule();

}  // namespace marklet::win32

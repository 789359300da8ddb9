// A modal form of the live window host: a transient dialog window of the
// main window (fixed size, modal, the caption as its title) that draws its
// picture boxes and command buttons itself and hosts each control site on a
// raster container of its own, drawn into the form at the site's place and
// fed the pointer events of that area. Showing it runs a nested event loop
// until it unloads; meanwhile the main window still repaints but takes no
// input.
//
// The lifecycle is FormLifecycle's; this file holds the window and the modal
// loop (x11_form.cc), the translation of the window's events into the sites'
// and buttons' input (form_events.cc) and the drawing of what it shows
// (form_drawing.cc).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/form_lifecycle.h"
#include "platform/raster/raster_container.h"

union _XEvent;

namespace marklet::x11 {

class X11FormHost;

class X11Form : public FormLifecycle {
 public:
  X11Form(X11FormHost& host, const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code);
  ~X11Form() override;

  HWND hWnd() override { return Loaded() ? hwnd_ : 0; }
  WindowSystem& windows() override;

  // The X window while loaded (0 otherwise).
  unsigned long window() const { return window_; }
  // The form's X window when the handle is the form's or one of its sites' (else 0).
  unsigned long WindowFor(HWND hwnd) const;
  // An event of the form's window.
  void Handle(_XEvent& event);
  // The system menu may have changed: the window manager's functions follow it.
  void MenuChanged();
  // Draws what changed into the window.
  void Present();
  // A site's container (error 5 when there is none).
  raster::RasterContainer& SiteContainer(const std::u16string& name);

 private:
  class LoadedSite;
  struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  };

  // The lifecycle's hooks.
  void RunModal(HWND owner) override;
  void OpenWindow(HWND owner) override;
  std::unique_ptr<FormSite> MakeSite(const FormDesign::Control& control) override;
  void Report(const char* step) override { Tell(step); }
  void ReportError(const char* where, const MarkletError& error) override;
  void ReleaseSites() override;
  void CloseWindow() override;

  // The form's window.
  void CreateXWindow(HWND owner);
  void SetCloseFunction(bool available);
  // Passes a step to the host's onForm.
  void Tell(const std::string& op, const std::u16string& detail = {});
  // A call into a site's control or the form's code (FormLifecycle::Call);
  // its error goes to the host's onError, named by `where`.
  void Guarded(const char* where, const std::function<void()>& action);

  // Geometry: control rectangles in form pixels; buttons and picture boxes
  // lie above the sites.
  Rect RectOf(const FormDesign::Control& control) const;
  Rect SiteRect(const LoadedSite& site) const;
  int ControlAt(int x, int y) const;
  LoadedSite* SiteAt(int x, int y);
  static LoadedSite& Own(FormSite& site);

  // Input (form_events.cc).
  // A pointer event at form pixel (x, y) for a site's control, in its twips.
  void Deliver(LoadedSite& site, const char* name, int x, int y, unsigned state, Integer button);
  void PointerMoved(int x, int y, unsigned state);
  void Pressed(int x, int y, unsigned xbutton, unsigned state);
  void Released(int x, int y, unsigned xbutton, unsigned state);
  void LeaveSite();
  void KeyPressed(_XEvent& event);
  void ClickButton(std::size_t index);

  // Output (form_drawing.cc).
  void UpdateCursor();

  X11FormHost& host_;
  bool closeAvailable_ = true;
  HWND hwnd_ = 0;
  unsigned long window_ = 0;
  bool windowGone_ = false;  // destroyed by another client
  int widthPx_ = 0, heightPx_ = 0;
  LoadedSite* hover_ = nullptr;    // the site under the pointer
  LoadedSite* capture_ = nullptr;  // the site a held button was pressed on
  int pressedButton_ = -1;         // the command button held down, by control index
  bool pressedInside_ = false;
  bool needsPresent_ = true;
  unsigned long shownCursor_ = ~0ul;
};

// A control site of the loaded form, at its place in form pixels.
class X11Form::LoadedSite : public FormSite {
 public:
  LoadedSite(X11Form& form, const std::u16string& name, std::unique_ptr<raster::RasterContainer> container,
             int left, int top)
      : FormSite(name), x(left), y(top), rasterContainer(std::move(container)), form_(form) {}

  SiteControl& control() override { return *rasterContainer->siteControl(); }
  std::u16string ToolTipText() override { return tooltip_; }
  // The tip shows while the pointer is over the site's control.
  void SetToolTipText(const std::u16string& text) override;

  Container& container() override { return *rasterContainer; }
  void Attach(std::unique_ptr<SiteControl> control) override { rasterContainer->SetSiteControl(std::move(control)); }
  void Deliver(const char* notification, const std::function<void()>& action) override {
    rasterContainer->Deliver(notification, action);
  }
  void Detach() override { rasterContainer->DestroyControl(); }

  const int x, y;
  const std::unique_ptr<raster::RasterContainer> rasterContainer;
  std::uint64_t presentedImages = ~0ull;  // the image controls' revision last drawn

 private:
  X11Form& form_;
  std::u16string tooltip_;
};

}  // namespace marklet::x11

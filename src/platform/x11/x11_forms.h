// Modal forms of the live window host. A form is a transient dialog window
// of the main window (fixed size, modal, the caption as its title) that
// draws its picture boxes and command buttons itself and hosts each control
// site on a raster container of its own, drawn into the form at the site's
// place and fed the pointer events of that area. Showing a form runs a
// nested event loop until it unloads; meanwhile the main window still
// repaints but takes no input.
//
// The form's system menu lives in the host's window system; when its close
// command is removed the window manager is asked for no close function, and
// the window's close request is ignored.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/forms.h"
#include "platform/raster/raster_container.h"
#include "platform/raster/text_engine.h"

union _XEvent;

namespace marklet::x11 {

class X11Host;
class X11FormHost;

// A command button's caption: '&' marks the next character as the access key
// (shown underlined, pressed with Alt); "&&" is a plain '&'.
struct AccessCaption {
  std::u16string text;  // without the marks
  int key = -1;         // the access key's position in text, or -1
};
AccessCaption ParseAccessCaption(const std::u16string& caption);

class X11Form : public Form {
 public:
  X11Form(X11FormHost& host, const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code);
  ~X11Form() override;

  const std::u16string& name() const override { return design_.name; }
  void ShowModal(HWND owner) override;
  void Unload() override;
  bool Loaded() const override { return loaded_; }
  HWND hWnd() override { return loaded_ ? hwnd_ : 0; }
  ControlSite& Site(const std::u16string& name) override;
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
  void Load(HWND owner);
  void CreateWindow(HWND owner);
  void Report(const std::string& op, const std::u16string& detail = {});
  void SetCloseFunction(bool available);
  LoadedSite& FindSite(const std::u16string& name);
  // Runs a call into a site's control or the form's code. An unload asked
  // for meanwhile waits until the outermost such call has returned.
  // Errors go to the host's onError, named by `where`.
  void Guarded(const char* where, const std::function<void()>& action);
  // A pointer event at form pixel (x, y) for a site's control, in its twips.
  void Deliver(LoadedSite& site, const char* name, int x, int y, unsigned state, Integer button);
  // The hit test: buttons and picture boxes lie above the sites.
  int ControlAt(int x, int y) const;
  LoadedSite* SiteAt(int x, int y);
  Rect RectOf(const FormDesign::Control& control) const;
  Rect SiteRect(const LoadedSite& site) const;
  void PointerMoved(int x, int y, unsigned state);
  void Pressed(int x, int y, unsigned xbutton, unsigned state);
  void Released(int x, int y, unsigned xbutton, unsigned state);
  void LeaveSite();
  void KeyPressed(_XEvent& event);
  void ClickButton(std::size_t index);
  void UpdateCursor();
  void DrawButton(cairo_t* cr, std::size_t index);

  X11FormHost& host_;
  FormDesign design_;
  std::vector<Picture> pictures_;  // by control, decoded once
  std::unique_ptr<FormCode> code_;
  bool loaded_ = false;
  bool unloading_ = false;
  int dispatching_ = 0;
  bool unloadPending_ = false;
  bool closeAvailable_ = true;
  HWND hwnd_ = 0;
  unsigned long window_ = 0;
  bool windowGone_ = false;  // destroyed by another client
  int widthPx_ = 0, heightPx_ = 0;
  std::vector<std::unique_ptr<LoadedSite>> sites_;
  LoadedSite* hover_ = nullptr;    // the site under the pointer
  LoadedSite* capture_ = nullptr;  // the site a held button was pressed on
  int pressedButton_ = -1;         // the command button held down, by control index
  bool pressedInside_ = false;
  bool needsPresent_ = true;
  unsigned long shownCursor_ = ~0ul;
};

class X11FormHost : public FormHost {
 public:
  explicit X11FormHost(X11Host& host);
  ~X11FormHost() override;
  X11FormHost(const X11FormHost&) = delete;
  X11FormHost& operator=(const X11FormHost&) = delete;

  Form* FindForm(const std::u16string& name) override;
  Form& CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) override;

  X11Host& x11() { return host_; }
  raster::SimpleWindowSystem& windows();
  raster::TextEngine& text() { return text_; }

  // Whether the window is a form's or the tooltip's.
  bool Owns(unsigned long window) const;
  void Handle(_XEvent& event);
  // The form shown modally on top, or null.
  X11Form* ModalForm() { return modal_.empty() ? nullptr : modal_.back(); }
  void BeginModal(X11Form& form) { modal_.push_back(&form); }
  void EndModal(X11Form& form);
  // The X window that a handle of the window system stands for (the main
  // window, a form or a form's site); the main window when none.
  unsigned long XWindowFor(HWND hwnd) const;

  // The tooltip: a small window with the text just below the pointer's last
  // known place; an empty text hides it.
  void ShowTooltip(const std::u16string& text);
  void HideTooltip();
  bool TooltipShown() const { return tooltipShown_; }
  void SetPointerRoot(int x, int y) {
    pointerRootX_ = x;
    pointerRootY_ = y;
  }

  // What the host reports: a form's steps ("create", "load", "show", "unload",
  // "close" when the title bar's close was refused, "click" with a button's
  // name), a site's tooltip changes, and errors of the sites' controls and the
  // forms' code.
  std::function<void(const std::u16string& form, const std::string& op, const std::u16string& detail)> onForm;
  std::function<void(const std::u16string& site, const std::u16string& text)> onTooltip;
  std::function<void(const char* where, int number, const std::string& description)> onError;
  // Carries out a form's ShellExecuteA (the file in UTF-8); returns whether it
  // was handed on. The default opens it with the desktop's opener.
  std::function<bool(const std::u16string& form, const std::string& operation, const std::string& file)> onShellExecute;

 private:
  X11Form* FormOf(HWND hwnd);
  X11Host& host_;
  raster::TextEngine text_;
  std::vector<std::unique_ptr<X11Form>> forms_;
  std::vector<X11Form*> modal_;
  unsigned long tooltip_ = 0;
  bool tooltipShown_ = false;
  std::u16string tooltipText_;
  int pointerRootX_ = 0, pointerRootY_ = 0;
};

}  // namespace marklet::x11

// The modal forms of the live window host, by name: it routes the events of
// their windows (input only to the form on top), keeps the stack of modal
// forms, the tooltip their sites share, and carries out what the forms ask of
// the window system (the system menu's close command, ShellExecuteA).
//
// The form's system menu lives in the host's window system; when its close
// command is removed the window manager is asked for no close function, and
// the window's close request is ignored.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/form_lifecycle.h"
#include "platform/raster/raster_container.h"
#include "platform/raster/text_engine.h"
#include "platform/x11/tooltip.h"
#include "platform/x11/x11_form.h"

union _XEvent;

namespace marklet::x11 {

class X11Host;

class X11FormHost : public FormRegistry<X11Form> {
 public:
  explicit X11FormHost(X11Host& host);
  ~X11FormHost() override;
  X11FormHost(const X11FormHost&) = delete;
  X11FormHost& operator=(const X11FormHost&) = delete;

  X11Host& x11() { return host_; }
  raster::SimpleWindowSystem& windows();
  raster::TextEngine& text() { return text_; }
  Tooltip& tooltip() { return tooltip_; }

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
  Picture Decode(std::span<const unsigned char> bytes, const std::string& what) override;
  std::unique_ptr<X11Form> MakeForm(const FormDesign& design, std::vector<Picture> pictures,
                                    std::unique_ptr<FormCode> code) override;
  void Created(X11Form& form) override;
  X11Form* FormOf(HWND hwnd);

  X11Host& host_;
  raster::TextEngine text_;
  Tooltip tooltip_;
  std::vector<X11Form*> modal_;
};

}  // namespace marklet::x11

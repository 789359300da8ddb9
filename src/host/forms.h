// Modal forms a host shows for the component: a window with a caption and
// fixed child controls (picture boxes, command buttons and sites that host a
// control of the component), driven by the form's code.
//
// A form is created once from its design and kept by the host; each show
// loads it (window and child controls are made, the code's Load runs),
// shows it modally and returns when it unloads (the code's Unload runs, the
// child controls are terminated and the window goes).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "host/numeric.h"
#include "host/values.h"
#include "host/window_system.h"

namespace marklet {

class Container;
class PropertyBag;
enum class EventId : int;
using EventArgs = std::vector<Variant>;

// A control of the component placed on a form's site, as the host sees it:
// the notifications a container delivers, and property access by name (as a
// form's code reaches its controls).
class SiteControl {
 public:
  virtual ~SiteControl() = default;
  virtual void Initialize() = 0;
  virtual void ReadProperties(PropertyBag& bag) = 0;
  virtual void Paint() = 0;
  virtual void Resize() = 0;
  virtual void Terminate() = 0;
  virtual void MouseDown(Integer& button, Integer& shift, Single& x, Single& y) = 0;
  virtual void MouseMove(Integer& button, Integer& shift, Single& x, Single& y) = 0;
  virtual void MouseUp(Integer& button, Integer& shift, Single& x, Single& y) = 0;
  virtual void Click() = 0;
  virtual Variant GetProperty(const std::u16string& name) = 0;
  virtual void SetProperty(const std::u16string& name, const Variant& value) = 0;
};

// Makes the control for a site, on the container the host gives the site.
using SiteControlFactory = std::function<std::unique_ptr<SiteControl>(Container&)>;

// A form's design, in twips.
struct FormDesign {
  enum class Kind { PictureBox, CommandButton, ControlSite };
  struct Control {
    Kind kind = Kind::PictureBox;
    std::u16string name;
    Single left = 0, top = 0, width = 0, height = 0;
    std::u16string caption;                       // CommandButton
    std::span<const unsigned char> image;         // PictureBox: an image file's bytes
    SiteControlFactory create;                    // ControlSite
    std::vector<std::pair<std::u16string, Variant>> stored;  // ControlSite: its stored properties
  };
  std::u16string name;
  std::u16string caption;
  Single clientWidth = 0, clientHeight = 0;
  std::vector<Control> controls;
};

// A control site of a loaded form.
class ControlSite {
 public:
  virtual ~ControlSite() = default;
  virtual SiteControl& control() = 0;
  // The extender's tooltip text.
  virtual std::u16string ToolTipText() = 0;
  virtual void SetToolTipText(const std::u16string& text) = 0;
};

class Form;

// The code behind a form.
class FormCode {
 public:
  virtual ~FormCode() = default;
  // After the window and the child controls exist (sites have read their
  // stored properties), before the form shows. An error here unloads the
  // form again and is the failure of the show.
  virtual void Load(Form& form) = 0;
  // Before the child controls and the window go.
  virtual void Unload(Form& form) = 0;
  virtual void ButtonClick(Form& form, const std::u16string& button) = 0;
  // An event that the control on a site raised.
  virtual void ControlEvent(Form& form, const std::u16string& site, EventId id, EventArgs& args) = 0;
};

class Form {
 public:
  virtual ~Form() = default;
  virtual const std::u16string& name() const = 0;
  // Loads the form, shows it modally over `owner` and returns once it has
  // unloaded. Error 400 when it is showing already.
  virtual void ShowModal(HWND owner) = 0;
  // Ends the modal show; a no-op when the form is not loaded.
  virtual void Unload() = 0;
  virtual bool Loaded() const = 0;
  // While loaded: the window, and the site of that name (error 5 for none).
  virtual HWND hWnd() = 0;
  virtual ControlSite& Site(const std::u16string& name) = 0;
  // The window system the form's window lives in.
  virtual WindowSystem& windows() = 0;
};

class FormHost {
 public:
  virtual ~FormHost() = default;
  // The form created earlier under this name, or null.
  virtual Form* FindForm(const std::u16string& name) = 0;
  // Creates a form from its design; the host keeps it and its code. Error 481
  // for a picture box image it cannot decode; nothing is kept then.
  virtual Form& CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) = 0;
};

}  // namespace marklet

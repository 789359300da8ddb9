// The form's window events as its user means them: pointer moves, presses and
// releases go to the site under the pointer (or the one a held button was
// pressed on) in the site's twips, or press and release a command button;
// Enter and Alt with an access key click a button; the title bar's close and
// another client destroying the window unload the form.

#include "platform/x11/command_button.h"
#include "platform/x11/window_properties.h"
#include "platform/x11/x11_form.h"
#include "platform/x11/x11_form_host.h"
#include "platform/x11/x11_host.h"

// Last: Xlib's macros clash with the project's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace marklet::x11 {

void X11Form::Handle(XEvent& event) {
  if (!Loaded() || Unloading()) return;
  Display* display = host_.x11().display();
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) needsPresent_ = true;
      break;
    case MapNotify:
      // The modal form takes the keyboard (a window manager may do so too).
      XSetInputFocus(display, window_, RevertToPointerRoot, CurrentTime);
      break;
    case MotionNotify:
      // Only the latest of a burst of moves matters.
      while (XCheckTypedWindowEvent(display, window_, MotionNotify, &event)) {
      }
      host_.tooltip().SetPointerRoot(event.xmotion.x_root, event.xmotion.y_root);
      PointerMoved(event.xmotion.x, event.xmotion.y, event.xmotion.state);
      break;
    case ButtonPress:
      host_.tooltip().SetPointerRoot(event.xbutton.x_root, event.xbutton.y_root);
      Pressed(event.xbutton.x, event.xbutton.y, event.xbutton.button, event.xbutton.state);
      break;
    case ButtonRelease:
      host_.tooltip().SetPointerRoot(event.xbutton.x_root, event.xbutton.y_root);
      Released(event.xbutton.x, event.xbutton.y, event.xbutton.button, event.xbutton.state);
      break;
    case KeyPress:
      KeyPressed(event);
      break;
    case LeaveNotify:
      // While a button is held the pointer belongs to what it was pressed on.
      if (event.xcrossing.mode == NotifyNormal && !capture_ && pressedButton_ < 0) LeaveSite();
      break;
    case DestroyNotify:
      // Another client destroyed the window: the form unloads without it.
      if (event.xdestroywindow.window == window_) {
        windowGone_ = true;
        Guarded("Unload", [&] { Unload(); });
      }
      break;
    case ClientMessage:
      if (static_cast<Atom>(event.xclient.data.l[0]) == AtomOf(display, "WM_DELETE_WINDOW")) {
        // The title bar's close: refused once the system menu lost its close command.
        Tell("close", closeAvailable_ ? u"true" : u"false");
        if (closeAvailable_) Guarded("Unload", [&] { Unload(); });
      }
      break;
    default:
      break;
  }
  if (Loaded() && !Unloading()) UpdateCursor();
}

void X11Form::Deliver(LoadedSite& site, const char* name, int x, int y, unsigned state, Integer button) {
  raster::RasterContainer& container = *site.rasterContainer;
  auto& options = container.options();
  int border = container.rasterSurface().BorderPixels();
  Single tx = static_cast<Single>((x - site.x - border) * static_cast<double>(options.tppX));
  Single ty = static_cast<Single>((y - site.y - border) * static_cast<double>(options.tppY));
  Integer b = button, s = ShiftFor(state);
  std::string what = name;
  Guarded(name, [&] {
    container.Deliver(name, [&] {
      SiteControl& control = *container.siteControl();
      if (what == "MouseMove") control.MouseMove(b, s, tx, ty);
      else if (what == "MouseDown") control.MouseDown(b, s, tx, ty);
      else control.MouseUp(b, s, tx, ty);
    });
  });
}

void X11Form::PointerMoved(int x, int y, unsigned state) {
  if (pressedButton_ >= 0) {
    bool inside = RectOf(design().controls[pressedButton_]).Contains(x, y);
    if (inside != pressedInside_) {
      pressedInside_ = inside;
      needsPresent_ = true;
    }
    return;
  }
  LoadedSite* target = capture_;
  if (!target) {
    LoadedSite* over = SiteAt(x, y);
    if (hover_ && hover_ != over) {
      LeaveSite();
      if (!Loaded()) return;
    }
    hover_ = target = over;
  }
  if (target) Deliver(*target, "MouseMove", x, y, state, ButtonsHeld(state));
}

void X11Form::Pressed(int x, int y, unsigned xbutton, unsigned state) {
  Integer b = ButtonFor(xbutton);
  if (b == 0) return;
  if (pressedButton_ >= 0) return;
  if (!capture_) {
    int index = ControlAt(x, y);
    if (index >= 0) {
      // Command buttons take the left button; picture boxes take nothing.
      if (b == 1 && design().controls[index].kind == FormDesign::Kind::CommandButton) {
        pressedButton_ = index;
        pressedInside_ = true;
        needsPresent_ = true;
      }
      return;
    }
    capture_ = SiteAt(x, y);
    if (!capture_) return;
    hover_ = capture_;
  }
  Deliver(*capture_, "MouseDown", x, y, state, b);
}

void X11Form::Released(int x, int y, unsigned xbutton, unsigned state) {
  Integer b = ButtonFor(xbutton);
  if (b == 0) return;
  if (pressedButton_ >= 0) {
    if (b != 1) return;
    int index = pressedButton_;
    bool inside = RectOf(design().controls[index]).Contains(x, y);
    pressedButton_ = -1;
    needsPresent_ = true;
    if (inside) ClickButton(static_cast<std::size_t>(index));
    return;
  }
  LoadedSite* site = capture_;
  if (!site) return;
  bool inside = SiteAt(x, y) == site;
  bool last = (ButtonsHeld(state) & ~b) == 0;
  Deliver(*site, "MouseUp", x, y, state, b);
  if (!Loaded()) return;
  if (b == 1 && inside) {
    raster::RasterContainer& container = *site->rasterContainer;
    Guarded("Click", [&] { container.Deliver("Click", [&] { container.siteControl()->Click(); }); });
    if (!Loaded()) return;
  }
  if (last && capture_ == site) {
    capture_ = nullptr;
    if (!inside) LeaveSite();
  }
}

void X11Form::LeaveSite() {
  LoadedSite* site = hover_;
  hover_ = nullptr;
  if (!site) return;
  host_.tooltip().Hide();
  raster::RasterContainer& container = *site->rasterContainer;
  Guarded("MouseLeave", [&] { container.simpleWindows().DeliverMouseLeave(container.rasterSurface().hWnd()); });
}

void X11Form::KeyPressed(XEvent& event) {
  char buffer[8];
  KeySym keysym = 0;
  XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
  const auto& controls = design().controls;
  // Enter presses the form's first command button, its default.
  if (keysym == XK_Return || keysym == XK_KP_Enter) {
    for (std::size_t i = 0; i < controls.size(); ++i) {
      if (controls[i].kind == FormDesign::Kind::CommandButton) {
        ClickButton(i);
        return;
      }
    }
    return;
  }
  if (!(event.xkey.state & Mod1Mask)) return;
  KeySym plain = XLookupKeysym(&event.xkey, 0);
  char16_t key = 0;
  if (plain >= XK_a && plain <= XK_z) key = static_cast<char16_t>(u'A' + (plain - XK_a));
  else if (plain >= XK_0 && plain <= XK_9) key = static_cast<char16_t>(u'0' + (plain - XK_0));
  if (!key) return;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].kind == FormDesign::Kind::CommandButton && AccessKey(controls[i].caption) == key) {
      ClickButton(i);
      return;
    }
  }
}

void X11Form::ClickButton(std::size_t index) {
  std::u16string button = design().controls[index].name;
  Tell("click", button);
  Guarded("ButtonClick", [&] { code().ButtonClick(*this, button); });
}

}  // namespace marklet::x11

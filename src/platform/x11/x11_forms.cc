#include "platform/x11/x11_forms.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>

#include "host/container.h"
#include "host/error.h"
#include "host/stored_property_bag.h"
#include "host/values.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/raster/ole_colors.h"
#include "platform/raster/picture_surface.h"
#include "platform/x11/desktop_open.h"
#include "platform/x11/x11_host.h"

namespace marklet::x11 {

namespace {

constexpr OleColor kButtonFace = 0x8000000Fu;
constexpr OleColor kButtonShadow = 0x80000010u;
constexpr OleColor kButtonText = 0x80000012u;
constexpr OleColor kButtonHighlight = 0x80000014u;
constexpr OleColor kDarkShadow = 0x80000015u;
constexpr OleColor kLight = 0x80000016u;
constexpr OleColor kTooltipText = 0x80000017u;
constexpr OleColor kTooltipBack = 0x80000018u;

// The window manager's function bits (_MOTIF_WM_HINTS).
constexpr long kMwmHintsFunctions = 1;
constexpr long kMwmFuncMove = 4;
constexpr long kMwmFuncClose = 32;

// The form's own font: 8.25 points.
constexpr double kFormFontPoints = 8.25;

// ShellExecuteA's results: above 32 is success.
constexpr LONG_PTR kShellDone = 33;
constexpr LONG_PTR kShellNoAssociation = 31;

[[noreturn]] void NoSuch(const char* what, const std::u16string& name) {
  throw MarkletError(ErrorNumber::InvalidProcedureCall,
                     std::string("Invalid procedure call or argument: no ") + what + " '" + U16ToUtf8(name) + "'");
}

void SetSource(cairo_t* cr, OleColor color) {
  raster::Rgb c = raster::OleToRgb(color);
  cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

void Fill(cairo_t* cr, int x, int y, int w, int h, OleColor color) {
  if (w <= 0 || h <= 0) return;
  SetSource(cr, color);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

unsigned long PixelOf(OleColor color) {
  raster::Rgb c = raster::OleToRgb(color);
  return (static_cast<unsigned long>(c.r) << 16) | (static_cast<unsigned long>(c.g) << 8) | c.b;
}

Atom AtomOf(Display* display, const char* name) { return XInternAtom(display, name, False); }

void SetAtomProperty(Display* display, Window window, const char* property, const char* value) {
  Atom atom = AtomOf(display, value);
  XChangeProperty(display, window, AtomOf(display, property), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&atom), 1);
}

// The title in both forms window managers read: WM_NAME in Latin-1 (other
// characters as '?') and _NET_WM_NAME in UTF-8.
void SetTitle(Display* display, Window window, const std::u16string& title) {
  std::string latin1;
  for (char16_t c : title) latin1.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
  std::string utf8 = U16ToUtf8(title);
  XChangeProperty(display, window, AtomOf(display, "_NET_WM_NAME"), AtomOf(display, "UTF8_STRING"), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
}

int FontPixels(Single tppY) { return std::max(1, static_cast<int>(std::lround(kFormFontPoints * 20 / tppY))); }

}  // namespace

AccessCaption ParseAccessCaption(const std::u16string& caption) {
  AccessCaption out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != u'&' && out.key < 0) out.key = static_cast<int>(out.text.size());
    }
    out.text.push_back(caption[i]);
  }
  return out;
}

// ---- X11Form ----

class X11Form::LoadedSite : public ControlSite {
 public:
  LoadedSite(X11Form& form, const FormDesign::Control& design) : form_(form), name(design.name) {}

  SiteControl& control() override { return *container->siteControl(); }
  std::u16string ToolTipText() override { return tooltip; }
  void SetToolTipText(const std::u16string& text) override {
    tooltip = text;
    X11FormHost& host = form_.host_;
    if (host.onTooltip) host.onTooltip(name, text);
    // The tip shows while the pointer is over its control.
    if (text.empty()) host.HideTooltip();
    else if (form_.hover_ == this || form_.capture_ == this) host.ShowTooltip(text);
  }

  X11Form& form_;
  std::u16string name;
  int x = 0, y = 0;  // pixels in the form
  std::unique_ptr<raster::RasterContainer> container;
  std::u16string tooltip;
  std::uint64_t presentedImages = ~0ull;
};

X11Form::X11Form(X11FormHost& host, const FormDesign& design, std::vector<Picture> pictures,
                 std::unique_ptr<FormCode> code)
    : host_(host), design_(design), pictures_(std::move(pictures)), code_(std::move(code)) {
  // The image bytes were decoded into pictures_; the design keeps no view of them.
  for (auto& control : design_.controls) control.image = {};
}

X11Form::~X11Form() {
  // A form still loaded when the host ends goes quietly.
  hover_ = capture_ = nullptr;
  sites_.clear();
  if (window_ && !windowGone_) XDestroyWindow(host_.x11().display(), window_);
  if (hwnd_) host_.windows().DestroyWindow(hwnd_);
}

WindowSystem& X11Form::windows() { return host_.windows(); }

X11Form::LoadedSite& X11Form::FindSite(const std::u16string& name) {
  for (auto& site : sites_)
    if (site->name == name) return *site;
  NoSuch("control site", name);
}

ControlSite& X11Form::Site(const std::u16string& name) { return FindSite(name); }

raster::RasterContainer& X11Form::SiteContainer(const std::u16string& name) { return *FindSite(name).container; }

unsigned long X11Form::WindowFor(HWND hwnd) const {
  if (!loaded_ || hwnd == 0) return 0;
  if (hwnd == hwnd_) return window_;
  for (const auto& site : sites_)
    if (site->container->rasterSurface().hWnd() == hwnd) return window_;
  return 0;
}

X11Form::Rect X11Form::RectOf(const FormDesign::Control& control) const {
  const auto& options = host_.x11().container().options();
  auto px = [](Single twips, Single tpp) { return static_cast<int>(std::lround(twips / tpp)); };
  return Rect{px(control.left, options.tppX), px(control.top, options.tppY), px(control.width, options.tppX),
              px(control.height, options.tppY)};
}

X11Form::Rect X11Form::SiteRect(const LoadedSite& site) const {
  auto& surface = site.container->rasterSurface();
  return Rect{site.x, site.y, surface.PixelWidth(), surface.PixelHeight()};
}

int X11Form::ControlAt(int x, int y) const {
  for (std::size_t i = design_.controls.size(); i-- > 0;) {
    const auto& control = design_.controls[i];
    if (control.kind != FormDesign::Kind::ControlSite && RectOf(control).Contains(x, y)) return static_cast<int>(i);
  }
  return -1;
}

X11Form::LoadedSite* X11Form::SiteAt(int x, int y) {
  if (ControlAt(x, y) >= 0) return nullptr;
  for (std::size_t i = sites_.size(); i-- > 0;)
    if (SiteRect(*sites_[i]).Contains(x, y)) return sites_[i].get();
  return nullptr;
}

void X11Form::Guarded(const char* where, const std::function<void()>& action) {
  ++dispatching_;
  try {
    action();
  } catch (const MarkletError& e) {
    if (host_.onError) host_.onError(where, e.number(), e.what());
  } catch (...) {
    --dispatching_;
    throw;
  }
  --dispatching_;
  if (dispatching_ == 0 && unloadPending_) Unload();
}

void X11Form::Report(const std::string& op, const std::u16string& detail) {
  if (host_.onForm) host_.onForm(design_.name, op, detail);
}

void X11Form::CreateWindow(HWND owner) {
  Display* display = host_.x11().display();
  int screen = DefaultScreen(display);
  Window root = RootWindow(display, screen);
  const auto& options = host_.x11().container().options();
  widthPx_ = std::clamp(static_cast<int>(std::lround(design_.clientWidth / options.tppX)), 1, 16384);
  heightPx_ = std::clamp(static_cast<int>(std::lround(design_.clientHeight / options.tppY)), 1, 16384);

  // Centred over the owner, kept on the screen.
  Window ownerWindow = host_.XWindowFor(owner);
  int x = 0, y = 0;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, ownerWindow, &attributes)) {
    Window child;
    int ox = 0, oy = 0;
    XTranslateCoordinates(display, ownerWindow, root, 0, 0, &ox, &oy, &child);
    x = ox + (attributes.width - widthPx_) / 2;
    y = oy + (attributes.height - heightPx_) / 2;
  }
  x = std::clamp(x, 0, std::max(0, DisplayWidth(display, screen) - widthPx_));
  y = std::clamp(y, 0, std::max(0, DisplayHeight(display, screen) - heightPx_));

  window_ = XCreateSimpleWindow(display, root, x, y, static_cast<unsigned>(widthPx_),
                                static_cast<unsigned>(heightPx_), 0, BlackPixel(display, screen),
                                PixelOf(kButtonFace));
  XSelectInput(display, window_,
               ExposureMask | StructureNotifyMask | PointerMotionMask | ButtonPressMask | ButtonReleaseMask |
                   KeyPressMask | KeyReleaseMask | LeaveWindowMask | EnterWindowMask);
  SetTitle(display, window_, design_.caption);
  XSetTransientForHint(display, window_, ownerWindow);

  XSizeHints* size = XAllocSizeHints();
  size->flags = PPosition | PSize | PMinSize | PMaxSize;
  size->x = x;
  size->y = y;
  size->width = size->min_width = size->max_width = widthPx_;
  size->height = size->min_height = size->max_height = heightPx_;
  XSetWMNormalHints(display, window_, size);
  XFree(size);
  XWMHints* hints = XAllocWMHints();
  hints->flags = InputHint | StateHint;
  hints->input = True;
  hints->initial_state = NormalState;
  XSetWMHints(display, window_, hints);
  XFree(hints);
  XClassHint* klass = XAllocClassHint();
  std::string resName = "marklet", resClass = "Marklet";
  klass->res_name = resName.data();
  klass->res_class = resClass.data();
  XSetClassHint(display, window_, klass);
  XFree(klass);
  Atom deleteWindow = AtomOf(display, "WM_DELETE_WINDOW");
  XSetWMProtocols(display, window_, &deleteWindow, 1);
  SetAtomProperty(display, window_, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG");
  SetAtomProperty(display, window_, "_NET_WM_STATE", "_NET_WM_STATE_MODAL");
  SetCloseFunction(true);
}

void X11Form::SetCloseFunction(bool available) {
  closeAvailable_ = available;
  if (!window_) return;
  Display* display = host_.x11().display();
  // flags, functions, decorations, input mode, status
  long hints[5] = {kMwmHintsFunctions, kMwmFuncMove | (available ? kMwmFuncClose : 0), 0, 0, 0};
  Atom motif = AtomOf(display, "_MOTIF_WM_HINTS");
  XChangeProperty(display, window_, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
  XFlush(display);
}

void X11Form::MenuChanged() {
  if (loaded_) SetCloseFunction(host_.windows().HasCloseCommand(hwnd_));
}

void X11Form::Load(HWND owner) {
  Report("load");
  hwnd_ = host_.windows().CreateWindow();
  CreateWindow(owner);
  loaded_ = true;
  needsPresent_ = true;
  shownCursor_ = ~0ul;
  try {
    raster::RasterContainer& main = host_.x11().container();
    for (const auto& control : design_.controls) {
      if (control.kind != FormDesign::Kind::ControlSite) continue;
      auto site = std::make_unique<LoadedSite>(*this, control);
      Rect rect = RectOf(control);
      site->x = rect.x;
      site->y = rect.y;
      raster::RasterOptions options = main.options();
      site->container = std::make_unique<raster::RasterContainer>(options, &host_.windows());
      raster::RasterContainer& container = *site->container;
      // The form's own ambient values, as a form hands them to its controls.
      container.ambientName = control.name;
      container.ambientBackColor = kButtonFace;
      container.ambientFont = FontDesc{u"MS Sans Serif", static_cast<Single>(kFormFontPoints)};
      container.rasterSurface().SetSize(control.width, control.height);
      container.SetFormHost(&host_);
      X11Host& x11 = host_.x11();
      container.pumpWindowEvents = [&x11] { x11.ProcessPending(); };
      std::u16string name = control.name;
      container.onEvent = [this, name](EventId id, EventArgs& args) { code_->ControlEvent(*this, name, id, args); };
      container.onError = host_.onError;
      container.SetSiteControl(control.create(container));
      sites_.push_back(std::move(site));
      SiteControl& hosted = *container.siteControl();
      container.Deliver("Initialize", [&] { hosted.Initialize(); });
      StoredPropertyBag bag(control.stored);
      container.Deliver("ReadProperties", [&] { hosted.ReadProperties(bag); });
    }
    code_->Load(*this);
  } catch (...) {
    Unload();
    throw;
  }
}

void X11Form::ShowModal(HWND owner) {
  if (loaded_) throw MarkletError(400, "Form already displayed; can't show modally");
  Load(owner);
  Report("show");
  Display* display = host_.x11().display();
  struct ModalScope {
    X11FormHost& host;
    X11Form& form;
    ~ModalScope() { host.EndModal(form); }
  } scope{host_, *this};
  host_.BeginModal(*this);
  for (auto& site : sites_) site->container->QueuePaint();
  XMapRaised(display, window_);
  XFlush(display);
  // The modal loop: the main window keeps repainting, the form's sites get
  // their paints, until the form unloads.
  while (loaded_) {
    host_.x11().Update();
    if (!loaded_) break;
    Guarded("Paint", [&] {
      for (auto& site : sites_) site->container->Pump();
    });
    if (!loaded_) break;
    Present();
    UpdateCursor();
    XEvent event;
    XNextEvent(display, &event);
    host_.x11().Dispatch(event);
    host_.x11().ProcessPending();
  }
}

void X11Form::Unload() {
  if (!loaded_ || unloading_) return;
  if (dispatching_ > 0) {
    unloadPending_ = true;
    return;
  }
  unloading_ = true;
  unloadPending_ = false;
  Report("unload");
  try {
    code_->Unload(*this);
  } catch (const MarkletError& e) {
    if (host_.onError) host_.onError("Unload", e.number(), e.what());
  }
  host_.HideTooltip();
  for (auto& site : sites_) site->container->DestroyControl();
  hover_ = capture_ = nullptr;
  pressedButton_ = -1;
  sites_.clear();
  Display* display = host_.x11().display();
  if (!windowGone_) XDestroyWindow(display, window_);
  XFlush(display);
  window_ = 0;
  windowGone_ = false;
  host_.windows().DestroyWindow(hwnd_);
  hwnd_ = 0;
  loaded_ = false;
  unloading_ = false;
}

void X11Form::Handle(XEvent& event) {
  if (!loaded_ || unloading_) return;
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
      host_.SetPointerRoot(event.xmotion.x_root, event.xmotion.y_root);
      PointerMoved(event.xmotion.x, event.xmotion.y, event.xmotion.state);
      break;
    case ButtonPress:
      host_.SetPointerRoot(event.xbutton.x_root, event.xbutton.y_root);
      Pressed(event.xbutton.x, event.xbutton.y, event.xbutton.button, event.xbutton.state);
      break;
    case ButtonRelease:
      host_.SetPointerRoot(event.xbutton.x_root, event.xbutton.y_root);
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
        Report("close", closeAvailable_ ? u"true" : u"false");
        if (closeAvailable_) Guarded("Unload", [&] { Unload(); });
      }
      break;
    default:
      break;
  }
  if (loaded_ && !unloading_) UpdateCursor();
}

void X11Form::Deliver(LoadedSite& site, const char* name, int x, int y, unsigned state, Integer button) {
  auto& options = site.container->options();
  int border = site.container->rasterSurface().BorderPixels();
  Single tx = static_cast<Single>((x - site.x - border) * static_cast<double>(options.tppX));
  Single ty = static_cast<Single>((y - site.y - border) * static_cast<double>(options.tppY));
  Integer b = button, s = ShiftFor(state);
  raster::RasterContainer& container = *site.container;
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
    bool inside = RectOf(design_.controls[pressedButton_]).Contains(x, y);
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
      if (!loaded_) return;
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
      if (b == 1 && design_.controls[index].kind == FormDesign::Kind::CommandButton) {
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
    bool inside = RectOf(design_.controls[index]).Contains(x, y);
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
  if (!loaded_) return;
  if (b == 1 && inside) {
    raster::RasterContainer& container = *site->container;
    Guarded("Click", [&] { container.Deliver("Click", [&] { container.siteControl()->Click(); }); });
    if (!loaded_) return;
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
  host_.HideTooltip();
  raster::RasterContainer& container = *site->container;
  Guarded("MouseLeave", [&] { container.simpleWindows().DeliverMouseLeave(container.rasterSurface().hWnd()); });
}

void X11Form::KeyPressed(XEvent& event) {
  char buffer[8];
  KeySym keysym = 0;
  XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
  auto firstButton = [&]() -> int {
    for (std::size_t i = 0; i < design_.controls.size(); ++i)
      if (design_.controls[i].kind == FormDesign::Kind::CommandButton) return static_cast<int>(i);
    return -1;
  };
  // Enter presses the form's first command button, its default.
  if (keysym == XK_Return || keysym == XK_KP_Enter) {
    if (int index = firstButton(); index >= 0) ClickButton(static_cast<std::size_t>(index));
    return;
  }
  if (!(event.xkey.state & Mod1Mask)) return;
  KeySym plain = XLookupKeysym(&event.xkey, 0);
  char16_t key = 0;
  if (plain >= XK_a && plain <= XK_z) key = static_cast<char16_t>(u'A' + (plain - XK_a));
  else if (plain >= XK_0 && plain <= XK_9) key = static_cast<char16_t>(u'0' + (plain - XK_0));
  if (!key) return;
  for (std::size_t i = 0; i < design_.controls.size(); ++i) {
    const auto& control = design_.controls[i];
    if (control.kind != FormDesign::Kind::CommandButton) continue;
    AccessCaption caption = ParseAccessCaption(control.caption);
    if (caption.key < 0) continue;
    char16_t c = caption.text[caption.key];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c == key) {
      ClickButton(i);
      return;
    }
  }
}

void X11Form::ClickButton(std::size_t index) {
  std::u16string name = design_.controls[index].name;
  Report("click", name);
  Guarded("ButtonClick", [&] { code_->ButtonClick(*this, name); });
}

void X11Form::UpdateCursor() {
  LoadedSite* site = capture_ ? capture_ : hover_;
  unsigned long cursor = 0;
  if (site && site->container->rasterSurface().MousePointer() == kPointerCustom) cursor = host_.x11().handCursor();
  if (cursor == shownCursor_) return;
  shownCursor_ = cursor;
  XDefineCursor(host_.x11().display(), window_, cursor ? cursor : None);
}

void X11Form::DrawButton(cairo_t* cr, std::size_t index) {
  const auto& control = design_.controls[index];
  Rect r = RectOf(control);
  bool down = pressedButton_ == static_cast<int>(index) && pressedInside_;
  Fill(cr, r.x, r.y, r.w, r.h, kButtonFace);
  if (down) {
    // Held: a dark frame with a shadow inside it, the caption a pixel lower right.
    for (auto [inset, color] : {std::pair{0, kDarkShadow}, std::pair{1, kButtonShadow}}) {
      Fill(cr, r.x + inset, r.y + inset, r.w - 2 * inset, 1, color);
      Fill(cr, r.x + inset, r.y + r.h - 1 - inset, r.w - 2 * inset, 1, color);
      Fill(cr, r.x + inset, r.y + inset, 1, r.h - 2 * inset, color);
      Fill(cr, r.x + r.w - 1 - inset, r.y + inset, 1, r.h - 2 * inset, color);
    }
  } else {
    // Raised: light above and left, shadow below and right, in two rings.
    Fill(cr, r.x, r.y, r.w - 1, 1, kButtonHighlight);
    Fill(cr, r.x, r.y, 1, r.h - 1, kButtonHighlight);
    Fill(cr, r.x, r.y + r.h - 1, r.w, 1, kDarkShadow);
    Fill(cr, r.x + r.w - 1, r.y, 1, r.h, kDarkShadow);
    Fill(cr, r.x + 1, r.y + 1, r.w - 3, 1, kLight);
    Fill(cr, r.x + 1, r.y + 1, 1, r.h - 3, kLight);
    Fill(cr, r.x + 1, r.y + r.h - 2, r.w - 2, 1, kButtonShadow);
    Fill(cr, r.x + r.w - 2, r.y + 1, 1, r.h - 2, kButtonShadow);
  }
  AccessCaption caption = ParseAccessCaption(control.caption);
  raster::TextEngine& text = host_.text();
  raster::RasterFont& font =
      text.Font(raster::FontKey{u"MS Sans Serif", FontPixels(host_.x11().container().options().tppY), false, false});
  int offset = down ? 1 : 0;
  int tx = r.x + (r.w - text.Width(font, caption.text)) / 2 + offset;
  int ty = r.y + (r.h - font.height()) / 2 + offset;
  cairo_save(cr);
  cairo_rectangle(cr, r.x + 2, r.y + 2, std::max(0, r.w - 4), std::max(0, r.h - 4));
  cairo_clip(cr);
  SetSource(cr, kButtonText);
  text.Draw(cr, font, caption.text, tx, ty, false);
  if (caption.key >= 0) {
    int ux = tx + text.Width(font, caption.text.substr(0, caption.key));
    int uw = text.Width(font, caption.text.substr(caption.key, 1));
    cairo_rectangle(cr, ux, ty + font.ascent() + font.underlinePosition(), uw, std::max(1, font.underlineThickness()));
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

void X11Form::Present() {
  if (!window_) return;
  bool changed = needsPresent_;
  for (auto& site : sites_) {
    raster::RasterSurface::Damage damage = site->container->rasterSurface().TakeDamage();
    if (damage.w > 0 && damage.h > 0) changed = true;
    std::uint64_t images = site->container->rasterImages().revision();
    if (images != site->presentedImages) {
      site->presentedImages = images;
      changed = true;
    }
  }
  if (!changed) return;
  needsPresent_ = false;
  // The form is small: it is composed whole, sites first, then the picture
  // boxes and buttons that lie above them.
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, widthPx_, heightPx_);
  cairo_t* cr = cairo_create(image);
  SetSource(cr, kButtonFace);
  cairo_paint(cr);
  for (auto& site : sites_) {
    Rect r = SiteRect(*site);
    cairo_save(cr);
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    cairo_clip(cr);
    cairo_translate(cr, r.x, r.y);
    site->container->PaintTo(cr);
    cairo_restore(cr);
  }
  for (std::size_t i = 0; i < design_.controls.size(); ++i) {
    const auto& control = design_.controls[i];
    if (control.kind == FormDesign::Kind::PictureBox) {
      cairo_surface_t* picture = raster::PictureSurface(pictures_[i]);
      if (!picture) continue;
      Rect r = RectOf(control);
      cairo_save(cr);
      cairo_rectangle(cr, r.x, r.y, r.w, r.h);
      cairo_clip(cr);
      cairo_set_source_surface(cr, picture, r.x, r.y);
      cairo_paint(cr);
      cairo_restore(cr);
    } else if (control.kind == FormDesign::Kind::CommandButton) {
      DrawButton(cr, i);
    }
  }
  cairo_destroy(cr);
  Display* display = host_.x11().display();
  PutImage(display, window_, image, 0, 0);
  cairo_surface_destroy(image);
  XFlush(display);
}

// ---- X11FormHost ----

X11FormHost::X11FormHost(X11Host& host) : host_(host) {
  raster::SimpleWindowSystem& system = windows();
  system.onMenuBarDrawn = [this](HWND hwnd) {
    if (X11Form* form = FormOf(hwnd)) form->MenuChanged();
  };
  system.onShellExecute = [this](HWND hwnd, const std::string& operation, const std::string& file) -> LONG_PTR {
    // The file comes in the ANSI code page; the desktop takes UTF-8.
    std::string target = U16ToUtf8(FromAnsi(file));
    X11Form* form = FormOf(hwnd);
    std::u16string source = form ? form->name() : std::u16string();
    bool handed = onShellExecute ? onShellExecute(source, operation, target)
                                 : (operation.empty() || operation == "open") && OpenWithDesktop(target);
    return handed ? kShellDone : kShellNoAssociation;
  };
}

X11FormHost::~X11FormHost() {
  raster::SimpleWindowSystem& system = windows();
  system.onMenuBarDrawn = nullptr;
  system.onShellExecute = nullptr;
  modal_.clear();
  forms_.clear();
  if (tooltip_) XDestroyWindow(host_.display(), tooltip_);
}

raster::SimpleWindowSystem& X11FormHost::windows() { return host_.container().simpleWindows(); }

Form* X11FormHost::FindForm(const std::u16string& name) {
  for (auto& form : forms_)
    if (form->name() == name) return form.get();
  return nullptr;
}

X11Form* X11FormHost::FormOf(HWND hwnd) {
  for (auto& form : forms_)
    if (form->Loaded() && form->hWnd() == hwnd) return form.get();
  return nullptr;
}

Form& X11FormHost::CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) {
  if (FindForm(design.name)) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Invalid procedure call or argument: a form '" + U16ToUtf8(design.name) + "' exists already");
  }
  const auto& options = host_.container().options();
  std::vector<Picture> pictures;
  for (const auto& control : design.controls) {
    Picture picture;
    if (control.kind == FormDesign::Kind::PictureBox && !control.image.empty()) {
      picture = DecodePictureData(control.image, options.tppX, options.tppY, true,
                                  "the picture of " + U16ToUtf8(control.name));
    }
    if (control.kind == FormDesign::Kind::ControlSite && !control.create) NoSuch("control for the site", control.name);
    pictures.push_back(picture);
  }
  forms_.push_back(std::make_unique<X11Form>(*this, design, std::move(pictures), std::move(code)));
  if (onForm) onForm(design.name, "create", u"");
  return *forms_.back();
}

bool X11FormHost::Owns(unsigned long window) const {
  if (window == 0) return false;
  if (window == tooltip_) return true;
  for (const auto& form : forms_)
    if (form->window() == window) return true;
  return false;
}

void X11FormHost::Handle(XEvent& event) {
  // The tooltip draws itself from its background.
  if (event.xany.window == tooltip_) return;
  for (auto& form : forms_) {
    if (form->window() != event.xany.window) continue;
    // Only the form on top takes input.
    bool input = event.type == MotionNotify || event.type == ButtonPress || event.type == ButtonRelease ||
                 event.type == KeyPress || event.type == KeyRelease;
    if (input && ModalForm() != form.get()) return;
    form->Handle(event);
    return;
  }
}

void X11FormHost::EndModal(X11Form& form) {
  auto it = std::find(modal_.rbegin(), modal_.rend(), &form);
  if (it != modal_.rend()) modal_.erase(std::next(it).base());
}

unsigned long X11FormHost::XWindowFor(HWND hwnd) const {
  for (const auto& form : forms_)
    if (unsigned long window = form->WindowFor(hwnd)) return window;
  return host_.window();
}

void X11FormHost::ShowTooltip(const std::u16string& text) {
  if (text.empty()) {
    HideTooltip();
    return;
  }
  if (tooltipShown_ && text == tooltipText_) return;
  tooltipText_ = text;
  Display* display = host_.display();
  int screen = DefaultScreen(display);
  raster::RasterFont& font =
      text_.Font(raster::FontKey{u"MS Sans Serif", FontPixels(host_.container().options().tppY), false, false});
  int screenW = DisplayWidth(display, screen), screenH = DisplayHeight(display, screen);
  int w = std::clamp(text_.Width(font, text) + 8, 1, std::max(1, screenW));
  int h = font.height() + 4;
  // Below the pointer's hot spot, clear of the pointer's image; above it near the bottom.
  int x = std::clamp(pointerRootX_, 0, std::max(0, screenW - w));
  int y = pointerRootY_ + 20;
  if (y + h > screenH) y = std::max(0, pointerRootY_ - h - 4);
  if (!tooltip_) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    tooltip_ = XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(w),
                             static_cast<unsigned>(h), 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWOverrideRedirect | CWSaveUnder, &attributes);
    SetAtomProperty(display, tooltip_, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_TOOLTIP");
  }
  SetTitle(display, tooltip_, text);
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_t* cr = cairo_create(image);
  Fill(cr, 0, 0, w, h, kTooltipText);
  Fill(cr, 1, 1, w - 2, h - 2, kTooltipBack);
  SetSource(cr, kTooltipText);
  text_.Draw(cr, font, text, 4, 2, false);
  cairo_destroy(cr);
  // The window shows its background by itself whenever it is exposed.
  Pixmap pixmap = XCreatePixmap(display, tooltip_, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                static_cast<unsigned>(DefaultDepth(display, screen)));
  PutImage(display, pixmap, image, 0, 0);
  cairo_surface_destroy(image);
  XSetWindowBackgroundPixmap(display, tooltip_, pixmap);
  XFreePixmap(display, pixmap);
  XMoveResizeWindow(display, tooltip_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XMapRaised(display, tooltip_);
  XClearWindow(display, tooltip_);
  XFlush(display);
  tooltipShown_ = true;
}

void X11FormHost::HideTooltip() {
  if (!tooltipShown_) return;
  tooltipShown_ = false;
  XUnmapWindow(host_.display(), tooltip_);
  XFlush(host_.display());
}

}  // namespace marklet::x11

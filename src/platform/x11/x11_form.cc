#include "platform/x11/x11_form.h"

#include <algorithm>
#include <cmath>

#include "host/container.h"
#include "host/error.h"
#include "platform/x11/form_style.h"
#include "platform/x11/window_properties.h"
#include "platform/x11/x11_form_host.h"
#include "platform/x11/x11_host.h"

// Last: Xlib's macros clash with the project's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace marklet::x11 {

void X11Form::LoadedSite::SetToolTipText(const std::u16string& text) {
  tooltip_ = text;
  X11FormHost& host = form_.host_;
  if (host.onTooltip) host.onTooltip(name(), text);
  if (text.empty()) {
    host.tooltip().Hide();
  } else if (form_.hover_ == this || form_.capture_ == this) {
    host.tooltip().Show(text, host.x11().container().options().tppY);
  }
}

X11Form::X11Form(X11FormHost& host, const FormDesign& design, std::vector<Picture> pictures,
                 std::unique_ptr<FormCode> code)
    : FormLifecycle(design, std::move(pictures), std::move(code)), host_(host) {}

X11Form::~X11Form() {
  // A form still loaded when the host ends goes quietly.
  hover_ = capture_ = nullptr;
  DiscardSites();
  if (window_ && !windowGone_) XDestroyWindow(host_.x11().display(), window_);
  if (hwnd_) host_.windows().DestroyWindow(hwnd_);
}

WindowSystem& X11Form::windows() { return host_.windows(); }

X11Form::LoadedSite& X11Form::Own(FormSite& site) { return static_cast<LoadedSite&>(site); }

raster::RasterContainer& X11Form::SiteContainer(const std::u16string& name) {
  return *Own(FindSite(name)).rasterContainer;
}

unsigned long X11Form::WindowFor(HWND hwnd) const {
  if (!Loaded() || hwnd == 0) return 0;
  if (hwnd == hwnd_) return window_;
  for (const auto& site : sites())
    if (Own(*site).rasterContainer->rasterSurface().hWnd() == hwnd) return window_;
  return 0;
}

X11Form::Rect X11Form::RectOf(const FormDesign::Control& control) const {
  const auto& options = host_.x11().container().options();
  auto px = [](Single twips, Single tpp) { return static_cast<int>(std::lround(twips / tpp)); };
  return Rect{px(control.left, options.tppX), px(control.top, options.tppY), px(control.width, options.tppX),
              px(control.height, options.tppY)};
}

X11Form::Rect X11Form::SiteRect(const LoadedSite& site) const {
  auto& surface = site.rasterContainer->rasterSurface();
  return Rect{site.x, site.y, surface.PixelWidth(), surface.PixelHeight()};
}

int X11Form::ControlAt(int x, int y) const {
  const auto& controls = design().controls;
  for (std::size_t i = controls.size(); i-- > 0;) {
    if (controls[i].kind != FormDesign::Kind::ControlSite && RectOf(controls[i]).Contains(x, y)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

X11Form::LoadedSite* X11Form::SiteAt(int x, int y) {
  if (ControlAt(x, y) >= 0) return nullptr;
  for (std::size_t i = sites().size(); i-- > 0;) {
    LoadedSite& site = Own(*sites()[i]);
    if (SiteRect(site).Contains(x, y)) return &site;
  }
  return nullptr;
}

void X11Form::Guarded(const char* where, const std::function<void()>& action) {
  Call([&] {
    try {
      action();
    } catch (const MarkletError& e) {
      ReportError(where, e);
    }
  });
}

void X11Form::Tell(const std::string& op, const std::u16string& detail) {
  if (host_.onForm) host_.onForm(name(), op, detail);
}

void X11Form::ReportError(const char* where, const MarkletError& error) {
  if (host_.onError) host_.onError(where, error.number(), error.what());
}

void X11Form::OpenWindow(HWND owner) {
  hwnd_ = host_.windows().CreateWindow();
  CreateXWindow(owner);
  needsPresent_ = true;
  shownCursor_ = ~0ul;
}

void X11Form::CreateXWindow(HWND owner) {
  Display* display = host_.x11().display();
  int screen = DefaultScreen(display);
  Window root = RootWindow(display, screen);
  const auto& options = host_.x11().container().options();
  widthPx_ = std::clamp(static_cast<int>(std::lround(design().clientWidth / options.tppX)), 1, 16384);
  heightPx_ = std::clamp(static_cast<int>(std::lround(design().clientHeight / options.tppY)), 1, 16384);

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
  SetTitle(display, window_, design().caption);
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
  SetWindowFunctions(display, window_, available);
  XFlush(display);
}

void X11Form::MenuChanged() {
  if (Loaded()) SetCloseFunction(host_.windows().HasCloseCommand(hwnd_));
}

std::unique_ptr<FormSite> X11Form::MakeSite(const FormDesign::Control& control) {
  auto container = std::make_unique<raster::RasterContainer>(host_.x11().container().options(), &host_.windows());
  // The form's own ambient values, as a form hands them to its controls.
  container->ambientName = control.name;
  container->ambientBackColor = kButtonFace;
  container->ambientFont = FontDesc{kFormFontName, static_cast<Single>(kFormFontPoints)};
  container->rasterSurface().SetSize(control.width, control.height);
  container->SetFormHost(&host_);
  X11Host& x11 = host_.x11();
  container->pumpWindowEvents = [&x11] { x11.ProcessPending(); };
  std::u16string name = control.name;
  container->onEvent = [this, name](EventId id, EventArgs& args) { RaiseControlEvent(name, id, args); };
  container->onError = host_.onError;
  Rect rect = RectOf(control);
  return std::make_unique<LoadedSite>(*this, control.name, std::move(container), rect.x, rect.y);
}

void X11Form::RunModal(HWND owner) {
  Load(owner);
  if (!Loaded()) return;
  Tell("show");
  Display* display = host_.x11().display();
  struct ModalScope {
    X11FormHost& host;
    X11Form& form;
    ~ModalScope() { host.EndModal(form); }
  } scope{host_, *this};
  host_.BeginModal(*this);
  for (const auto& site : sites()) Own(*site).rasterContainer->QueuePaint();
  XMapRaised(display, window_);
  XFlush(display);
  // The modal loop: the main window keeps repainting, the form's sites get
  // their paints, until the form unloads.
  while (Loaded()) {
    host_.x11().Update();
    if (!Loaded()) break;
    Guarded("Paint", [&] {
      for (const auto& site : sites()) Own(*site).rasterContainer->Pump();
    });
    if (!Loaded()) break;
    Present();
    UpdateCursor();
    XEvent event;
    XNextEvent(display, &event);
    host_.x11().Dispatch(event);
    host_.x11().ProcessPending();
  }
}

void X11Form::ReleaseSites() {
  host_.tooltip().Hide();
  hover_ = capture_ = nullptr;
  pressedButton_ = -1;
}

void X11Form::CloseWindow() {
  Display* display = host_.x11().display();
  if (!windowGone_) XDestroyWindow(display, window_);
  XFlush(display);
  window_ = 0;
  windowGone_ = false;
  host_.windows().DestroyWindow(hwnd_);
  hwnd_ = 0;
}

}  // namespace marklet::x11

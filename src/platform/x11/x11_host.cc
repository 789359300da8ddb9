#include "platform/x11/x11_host.h"

#include "host/error.h"
#include "platform/x11/cursor_file.h"
#include "platform/x11/x11_form_host.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xproto.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace marklet::x11 {

namespace {

constexpr Time kDoubleClickMs = 500;
constexpr int kDoubleClickSlopPx = 4;

// Giving a window the focus races with its mapping and with the window
// manager: a refusal is harmless. So are requests about a window that another
// client destroyed before its DestroyNotify arrived. Every other error goes
// to Xlib's handler.
XErrorHandler previousErrorHandler = nullptr;
int OnXError(Display* display, XErrorEvent* error) {
  if (error->request_code == X_SetInputFocus) return 0;
  if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
  return previousErrorHandler ? previousErrorHandler(display, error) : 0;
}

bool IsInput(int type) {
  return type == MotionNotify || type == ButtonPress || type == ButtonRelease || type == KeyPress ||
         type == KeyRelease || type == EnterNotify;
}

}  // namespace

// Button numbers the control's mouse events use.
Integer ButtonFor(unsigned xbutton) {
  switch (xbutton) {
    case Button1: return 1;
    case Button3: return 2;
    case Button2: return 4;
    default: return 0;
  }
}

Integer ButtonsHeld(unsigned state) {
  Integer b = 0;
  if (state & Button1Mask) b |= 1;
  if (state & Button3Mask) b |= 2;
  if (state & Button2Mask) b |= 4;
  return b;
}

Integer ShiftFor(unsigned state) {
  Integer s = 0;
  if (state & ShiftMask) s |= 1;
  if (state & ControlMask) s |= 2;
  if (state & Mod1Mask) s |= 4;
  return s;
}

void PutImage(Display* display, unsigned long drawable, cairo_surface_t* image, int x, int y) {
  cairo_surface_flush(image);
  int screen = DefaultScreen(display);
  int w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
  XImage* ximage = XCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap, 0,
                                reinterpret_cast<char*>(cairo_image_surface_get_data(image)),
                                static_cast<unsigned>(w), static_cast<unsigned>(h), 32,
                                cairo_image_surface_get_stride(image));
  if (!ximage) return;
  XPutImage(display, drawable, DefaultGC(display, screen), ximage, 0, 0, x, y, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
  ximage->data = nullptr;  // the pixels belong to the Cairo surface
  XDestroyImage(ximage);
}

int VirtualKeyFor(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return static_cast<int>(keysym - XK_a + 'A');
  if (keysym >= XK_A && keysym <= XK_Z) return static_cast<int>(keysym - XK_A + 'A');
  if (keysym >= XK_0 && keysym <= XK_9) return static_cast<int>(keysym - XK_0 + '0');
  if (keysym >= XK_F1 && keysym <= XK_F24) return static_cast<int>(keysym - XK_F1 + 112);
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<int>(keysym - XK_KP_0 + 96);
  switch (keysym) {
    case XK_BackSpace: return 8;
    case XK_Tab: case XK_ISO_Left_Tab: return 9;
    case XK_Return: case XK_KP_Enter: return 13;
    case XK_Shift_L: case XK_Shift_R: return 16;
    case XK_Control_L: case XK_Control_R: return 17;
    case XK_Alt_L: case XK_Alt_R: return 18;
    case XK_Pause: return 19;
    case XK_Caps_Lock: return 20;
    case XK_Escape: return 27;
    case XK_space: return 32;
    case XK_Page_Up: return 33;
    case XK_Page_Down: return 34;
    case XK_End: return 35;
    case XK_Home: return 36;
    case XK_Left: return 37;
    case XK_Up: return 38;
    case XK_Right: return 39;
    case XK_Down: return 40;
    case XK_Insert: return 45;
    case XK_Delete: return 46;
    case XK_KP_Multiply: return 106;
    case XK_KP_Add: return 107;
    case XK_KP_Subtract: return 109;
    case XK_KP_Decimal: return 110;
    case XK_KP_Divide: return 111;
    case XK_semicolon: return 186;
    case XK_equal: return 187;
    case XK_comma: return 188;
    case XK_minus: return 189;
    case XK_period: return 190;
    case XK_slash: return 191;
    case XK_grave: return 192;
    case XK_bracketleft: return 219;
    case XK_backslash: return 220;
    case XK_bracketright: return 221;
    case XK_apostrophe: return 222;
    default: return 0;
  }
}

X11Host::X11Host(const ViewOptions& options, const char* displayName) {
  // A busy server may refuse a connection now and then: try a few times.
  for (int attempt = 0; attempt < 20 && !display_; ++attempt) {
    if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    display_ = XOpenDisplay(displayName);
  }
  if (!display_) {
    const char* name = displayName ? displayName : std::getenv("DISPLAY");
    std::string why = name && *name ? std::string("the X display '") + name + "' is unreachable"
                                    : std::string("DISPLAY is unset");
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Cannot open a window: " + why +
                           "; run it inside an X session, or without a screen under xvfb-run (xvfb-run marklet view ...)");
  }
  container_ = std::make_unique<raster::RasterContainer>(options.raster);
  container_->rasterSurface().SetSize(static_cast<Single>(options.widthPx * options.raster.tppX),
                                      static_cast<Single>(options.heightPx * options.raster.tppY));
  // The window is as large as the surface's device pixels.
  const int windowWidth = container_->rasterSurface().DeviceWidth();
  const int windowHeight = container_->rasterSurface().DeviceHeight();
  int screen = DefaultScreen(display_);
  window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, windowWidth, windowHeight, 0,
                                BlackPixel(display_, screen), WhitePixel(display_, screen));
  XSelectInput(display_, window_,
               ExposureMask | StructureNotifyMask | PointerMotionMask | ButtonPressMask | ButtonReleaseMask |
                   KeyPressMask | KeyReleaseMask | LeaveWindowMask | EnterWindowMask);
  windowWidth_ = windowWidth;
  windowHeight_ = windowHeight;
  XStoreName(display_, window_, options.title.c_str());
  deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display_, window_, &deleteWindow_, 1);
  if (!options.cursorFile.empty()) {
    CursorImage image = ReadCursorFile(options.cursorFile);
    // The cursor grows with the drawing; its few pixels are sampled, not blended,
    // so its outline stays sharp.
    const double scale = options.raster.scale;
    const int w = std::max(1, static_cast<int>(std::lround(image.width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(image.height * scale)));
    XcursorImage* xc = XcursorImageCreate(w, h);
    xc->xhot = static_cast<XcursorDim>(std::min<long>(w - 1, std::lround(image.hotX * scale)));
    xc->yhot = static_cast<XcursorDim>(std::min<long>(h - 1, std::lround(image.hotY * scale)));
    for (int y = 0; y < h; ++y) {
      const int sy = std::min(image.height - 1, static_cast<int>(y / scale));
      for (int x = 0; x < w; ++x) {
        const int sx = std::min(image.width - 1, static_cast<int>(x / scale));
        xc->pixels[static_cast<std::size_t>(y) * w + x] = image.argb[static_cast<std::size_t>(sy) * image.width + sx];
      }
    }
    handCursor_ = XcursorImageLoadCursor(display_, xc);
    XcursorImageDestroy(xc);
  }
  static bool handlerSet = false;
  if (!handlerSet) {
    handlerSet = true;
    previousErrorHandler = XSetErrorHandler(&OnXError);
  }
  forms_ = std::make_unique<X11FormHost>(*this);
  container_->SetFormHost(forms_.get());
  container_->pumpWindowEvents = [this] { ProcessPending(); };
  XMapWindow(display_, window_);
  XFlush(display_);
}

X11Host::~X11Host() {
  container_->pumpWindowEvents = nullptr;
  container_->DestroyControl();
  forms_.reset();
  container_.reset();
  if (handCursor_) XFreeCursor(display_, handCursor_);
  if (window_ && !windowGone_) XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

Single X11Host::ToTwipsX(int x) const {
  int b = container_->rasterSurface().BorderPixels();
  return static_cast<Single>((x / container_->options().scale - b) * static_cast<double>(container_->options().tppX));
}

Single X11Host::ToTwipsY(int y) const {
  int b = container_->rasterSurface().BorderPixels();
  return static_cast<Single>((y / container_->options().scale - b) * static_cast<double>(container_->options().tppY));
}

void X11Host::ProcessPending() {
  // The events Xlib has already read are counted in the display itself:
  // looking costs neither a lock nor a system call. Reading the connection
  // does, so it happens only when a little time has passed since the last read.
  if (XQLength(display_) == 0) {
    if ((++pumpCalls_ & 63) != 0) return;
    auto now = std::chrono::steady_clock::now();
    if (now - lastRead_ < std::chrono::milliseconds(2)) return;
    lastRead_ = now;
    if (XEventsQueued(display_, QueuedAfterReading) == 0) return;
  }
  int queued = XQLength(display_);
  while (queued-- > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    Dispatch(event);
  }
}

void X11Host::Dispatch(XEvent& event) {
  if (event.xany.window != window_) {
    // A form's or the tooltip's; events of windows already gone are dropped.
    if (forms_->Owns(event.xany.window)) forms_->Handle(event);
    return;
  }
  if (X11Form* modal = forms_->ModalForm(); modal && IsInput(event.type)) {
    // Keys typed at the main window meanwhile belong to the modal form.
    if (event.type == KeyPress || event.type == KeyRelease) modal->Handle(event);
    return;
  }
  Handle(event);
}

void X11Host::UpdatePointer() {
  Integer pointer = container_->rasterSurface().MousePointer();
  if (pointer == shownPointer_) return;
  shownPointer_ = pointer;
  XDefineCursor(display_, window_, pointer == kPointerCustom && handCursor_ ? handCursor_ : None);
}

void X11Host::Present() {
  auto& surface = container_->rasterSurface();
  raster::RasterSurface::Damage damage = surface.TakeDamage();
  std::uint64_t images = container_->rasterImages().revision();
  if (images != presentedRevision_ || forceFull_) {
    // Image controls moved or the window was exposed: show everything.
    presentedRevision_ = images;
    forceFull_ = false;
    damage = raster::RasterSurface::Damage{0, 0, surface.DeviceWidth(), surface.DeviceHeight()};
  }
  if (damage.w == 0 || damage.h == 0) return;
  // Compose only the changed rectangle, on white, and put it into the window.
  cairo_surface_t* part = cairo_image_surface_create(CAIRO_FORMAT_RGB24, damage.w, damage.h);
  cairo_t* cr = cairo_create(part);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_translate(cr, -damage.x, -damage.y);
  container_->PaintTo(cr);
  cairo_destroy(cr);
  PutImage(display_, window_, part, damage.x, damage.y);
  cairo_surface_destroy(part);
  XFlush(display_);
}

void X11Host::ResizeWindow(int widthPx, int heightPx) {
  XResizeWindow(display_, window_, static_cast<unsigned>(std::max(1, widthPx)),
                static_cast<unsigned>(std::max(1, heightPx)));
  XFlush(display_);
}

void X11Host::Handle(XEvent& event) {
  Marklet* control = container_->control();
  auto guard = [&](const std::function<void()>& action) {
    try {
      action();
    } catch (const MarkletError& e) {
      if (container_->onError) container_->onError("input", e.number(), e.what());
    }
  };
  switch (event.type) {
    case Expose:
      if (event.xexpose.count == 0) {
        forceFull_ = true;
        container_->QueuePaint();
      }
      break;
    case ConfigureNotify: {
      auto& surface = container_->rasterSurface();
      int w = event.xconfigure.width, h = event.xconfigure.height;
      windowWidth_ = w;
      windowHeight_ = h;
      if (w != surface.DeviceWidth() || h != surface.DeviceHeight()) {
        const double scale = container_->options().scale;
        surface.SetSize(static_cast<Single>(w / scale * container_->options().tppX),
                        static_cast<Single>(h / scale * container_->options().tppY));
        container_->DeliverResize();
      }
      break;
    }
    case MotionNotify: {
      if (!control) break;
      // Only the latest of a burst of moves matters.
      while (XCheckTypedWindowEvent(display_, window_, MotionNotify, &event)) {
      }
      Integer b = ButtonsHeld(event.xmotion.state), s = ShiftFor(event.xmotion.state);
      Single x = ToTwipsX(event.xmotion.x), y = ToTwipsY(event.xmotion.y);
      guard([&] { control->SurfaceMouseMove(b, s, x, y); });
      break;
    }
    case ButtonPress: {
      if (!control) break;
      Integer b = ButtonFor(event.xbutton.button), s = ShiftFor(event.xbutton.state);
      if (b == 0) break;
      Single x = ToTwipsX(event.xbutton.x), y = ToTwipsY(event.xbutton.y);
      pressIsDouble_ = b == 1 && event.xbutton.time - lastClickTime_ <= kDoubleClickMs &&
                       std::abs(event.xbutton.x - lastClickX_) <= kDoubleClickSlopPx &&
                       std::abs(event.xbutton.y - lastClickY_) <= kDoubleClickSlopPx;
      if (pressIsDouble_) {
        lastClickTime_ = 0;
        guard([&] { control->SurfaceDblClick(); });
      } else {
        guard([&] { control->SurfaceMouseDown(b, s, x, y); });
      }
      break;
    }
    case ButtonRelease: {
      if (!control) break;
      Integer b = ButtonFor(event.xbutton.button), s = ShiftFor(event.xbutton.state);
      if (b == 0) break;
      Single x = ToTwipsX(event.xbutton.x), y = ToTwipsY(event.xbutton.y);
      guard([&] { control->SurfaceMouseUp(b, s, x, y); });
      if (b == 1 && !pressIsDouble_) {
        guard([&] { control->SurfaceClick(); });
        lastClickTime_ = event.xbutton.time;
        lastClickX_ = event.xbutton.x;
        lastClickY_ = event.xbutton.y;
      }
      pressIsDouble_ = false;
      break;
    }
    case KeyPress: {
      if (!control) break;
      char buffer[8];
      KeySym keysym = 0;
      int n = XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
      Integer code = static_cast<Integer>(VirtualKeyFor(keysym)), s = ShiftFor(event.xkey.state);
      if (code) guard([&] { control->SurfaceKeyDown(code, s); });
      if (n == 1) {
        Integer ascii = static_cast<unsigned char>(buffer[0]);
        guard([&] { control->SurfaceKeyPress(ascii); });
      }
      if (onHostKey) onHostKey(keysym);
      break;
    }
    case KeyRelease: {
      if (!control) break;
      // Auto-repeat sends a release right before the next press: not a real release.
      if (XEventsQueued(display_, QueuedAfterReading)) {
        XEvent next;
        XPeekEvent(display_, &next);
        if (next.type == KeyPress && next.xkey.time == event.xkey.time &&
            next.xkey.keycode == event.xkey.keycode) {
          break;
        }
      }
      KeySym keysym = XLookupKeysym(&event.xkey, 0);
      Integer code = static_cast<Integer>(VirtualKeyFor(keysym)), s = ShiftFor(event.xkey.state);
      if (code) guard([&] { control->SurfaceKeyUp(code, s); });
      break;
    }
    case LeaveNotify:
      if (event.xcrossing.mode == NotifyNormal) {
        container_->simpleWindows().DeliverMouseLeave(container_->rasterSurface().hWnd());
      }
      break;
    case ClientMessage:
      if (static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) running_ = false;
      break;
    case DestroyNotify:
      // Another client destroyed the window: there is nothing left to show.
      if (event.xdestroywindow.window == window_) {
        windowGone_ = true;
        running_ = false;
      }
      break;
    default:
      break;
  }
  UpdatePointer();
}

// The control may change its own height (AutoSizeHeight): the window follows.
void X11Host::FollowControlSize() {
  auto& surface = container_->rasterSurface();
  if (surface.DeviceWidth() != windowWidth_ || surface.DeviceHeight() != windowHeight_) {
    windowWidth_ = surface.DeviceWidth();
    windowHeight_ = surface.DeviceHeight();
    ResizeWindow(windowWidth_, windowHeight_);
  }
}

void X11Host::Update() {
  container_->Pump();
  FollowControlSize();
  UpdatePointer();
  Present();
}

void X11Host::Run() {
  running_ = true;
  container_->QueuePaint();
  while (running_) {
    if (onIdle) onIdle();
    Update();
    if (!running_) break;
    XEvent event;
    XNextEvent(display_, &event);
    Dispatch(event);
    ProcessPending();
  }
}

}  // namespace marklet::x11

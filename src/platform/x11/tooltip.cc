#include "platform/x11/tooltip.h"

#include <algorithm>

#include "platform/x11/form_style.h"
#include "platform/x11/window_properties.h"
#include "platform/x11/x11_host.h"

// Last: Xlib's macros clash with the project's names.
#include <X11/Xlib.h>

namespace marklet::x11 {

Tooltip::~Tooltip() {
  if (window_) XDestroyWindow(display_, window_);
}

void Tooltip::Show(const std::u16string& text, Single tppY) {
  if (text.empty()) {
    Hide();
    return;
  }
  if (shown_ && text == shownText_) return;
  shownText_ = text;
  Display* display = display_;
  int screen = DefaultScreen(display);
  raster::RasterFont& font = FormFont(text_, tppY);
  int screenW = DisplayWidth(display, screen), screenH = DisplayHeight(display, screen);
  int w = std::clamp(text_.Width(font, text) + 8, 1, std::max(1, screenW));
  int h = font.height() + 4;
  // Below the pointer's hot spot, clear of the pointer's image; above it near the bottom.
  int x = std::clamp(pointerX_, 0, std::max(0, screenW - w));
  int y = pointerY_ + 20;
  if (y + h > screenH) y = std::max(0, pointerY_ - h - 4);
  if (!window_) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    window_ = XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWOverrideRedirect | CWSaveUnder, &attributes);
    SetAtomProperty(display, window_, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_TOOLTIP");
  }
  SetTitle(display, window_, text);
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_t* cr = cairo_create(image);
  Fill(cr, 0, 0, w, h, kTooltipText);
  Fill(cr, 1, 1, w - 2, h - 2, kTooltipBack);
  SetSource(cr, kTooltipText);
  text_.Draw(cr, font, text, 4, 2, false);
  cairo_destroy(cr);
  // The window shows its background by itself whenever it is exposed.
  Pixmap pixmap = XCreatePixmap(display, window_, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                static_cast<unsigned>(DefaultDepth(display, screen)));
  PutImage(display, pixmap, image, 0, 0);
  cairo_surface_destroy(image);
  XSetWindowBackgroundPixmap(display, window_, pixmap);
  XFreePixmap(display, pixmap);
  XMoveResizeWindow(display, window_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  XMapRaised(display, window_);
  XClearWindow(display, window_);
  XFlush(display);
  shown_ = true;
}

void Tooltip::Hide() {
  if (!shown_) return;
  shown_ = false;
  XUnmapWindow(display_, window_);
  XFlush(display_);
}

}  // namespace marklet::x11

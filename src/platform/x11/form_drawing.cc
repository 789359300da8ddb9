// What the form shows: its image, composed whole whenever something in it
// changed (the sites first, then the picture boxes and command buttons that
// lie above them), and the pointer over its sites.

#include "platform/raster/picture_surface.h"
#include "platform/x11/command_button.h"
#include "platform/x11/form_style.h"
#include "platform/x11/x11_form.h"
#include "platform/x11/x11_form_host.h"
#include "platform/x11/x11_host.h"

// Last: Xlib's macros clash with the project's names.
#include <X11/Xlib.h>

namespace marklet::x11 {

void X11Form::UpdateCursor() {
  LoadedSite* site = capture_ ? capture_ : hover_;
  unsigned long cursor = 0;
  if (site && site->rasterContainer->rasterSurface().MousePointer() == kPointerCustom) {
    cursor = host_.x11().handCursor();
  }
  if (cursor == shownCursor_) return;
  shownCursor_ = cursor;
  XDefineCursor(host_.x11().display(), window_, cursor ? cursor : None);
}

void X11Form::Present() {
  if (!window_) return;
  bool changed = needsPresent_;
  for (const auto& held : sites()) {
    LoadedSite& site = Own(*held);
    raster::RasterSurface::Damage damage = site.rasterContainer->rasterSurface().TakeDamage();
    if (damage.w > 0 && damage.h > 0) changed = true;
    std::uint64_t images = site.rasterContainer->rasterImages().revision();
    if (images != site.presentedImages) {
      site.presentedImages = images;
      changed = true;
    }
  }
  if (!changed) return;
  needsPresent_ = false;
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, widthPx_, heightPx_);
  cairo_t* cr = cairo_create(image);
  SetSource(cr, kButtonFace);
  cairo_paint(cr);
  for (const auto& held : sites()) {
    LoadedSite& site = Own(*held);
    Rect r = SiteRect(site);
    cairo_save(cr);
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    cairo_clip(cr);
    cairo_translate(cr, r.x, r.y);
    site.rasterContainer->PaintTo(cr);
    cairo_restore(cr);
  }
  const auto& controls = design().controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const auto& control = controls[i];
    Rect r = RectOf(control);
    if (control.kind == FormDesign::Kind::PictureBox) {
      cairo_surface_t* picture = raster::PictureSurface(this->picture(i));
      if (!picture) continue;
      cairo_save(cr);
      cairo_rectangle(cr, r.x, r.y, r.w, r.h);
      cairo_clip(cr);
      cairo_set_source_surface(cr, picture, r.x, r.y);
      cairo_paint(cr);
      cairo_restore(cr);
    } else if (control.kind == FormDesign::Kind::CommandButton) {
      bool down = pressedButton_ == static_cast<int>(i) && pressedInside_;
      raster::RasterFont& font = FormFont(host_.text(), host_.x11().container().options().tppY);
      DrawCommandButton(cr, r.x, r.y, r.w, r.h, control.caption, down, host_.text(), font);
    }
  }
  cairo_destroy(cr);
  Display* display = host_.x11().display();
  PutImage(display, window_, image, 0, 0);
  cairo_surface_destroy(image);
  XFlush(display);
}

}  // namespace marklet::x11

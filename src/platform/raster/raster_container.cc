#include "platform/raster/raster_container.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "host/error.h"
#include "host/font_attribute.h"
#include "platform/files/replace_file.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/raster/picture_surface.h"

namespace marklet::raster {

// ---- SimpleWindowSystem ----

namespace {

// A standard system menu: restore, move, size, minimise, maximise, separator, close.
std::vector<std::string> StandardMenu() {
  return {"restore", "move", "size", "minimize", "maximize", "separator", "close"};
}

constexpr LONG_PTR kNoAssociation = 31;  // SE_ERR_NOASSOC

}  // namespace


HWND SimpleWindowSystem::CreateWindow() {
  HWND hwnd = WindowTable::CreateWindow();
  windows_[hwnd].menu = StandardMenu();
  return hwnd;
}

void SimpleWindowSystem::DestroyWindow(HWND hwnd) {
  windows_.erase(hwnd);
  WindowTable::DestroyWindow(hwnd);
}

void SimpleWindowSystem::MouseTracked(HWND hwnd, bool valid) {
  if (valid && onTrackMouse) onTrackMouse(hwnd);
}

SimpleWindowSystem::Window* SimpleWindowSystem::Find(HWND hwnd) {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : &it->second;
}

bool SimpleWindowSystem::HasCloseCommand(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return false;
  const auto& menu = it->second.menu;
  return std::find(menu.begin(), menu.end(), "close") != menu.end();
}

// The menu handle is the window's handle + 1 (window handles are 16 apart).
HMENU SimpleWindowSystem::GetSystemMenu(HWND hwnd, bool revert) {
  Window* window = Find(hwnd);
  if (!window) return 0;
  if (revert) {
    window->menu = StandardMenu();
    return 0;
  }
  return hwnd + 1;
}

int SimpleWindowSystem::GetMenuItemCount(HMENU menu) {
  Window* window = Find(menu - 1);
  return window ? static_cast<int>(window->menu.size()) : -1;
}

bool SimpleWindowSystem::RemoveMenu(HMENU menu, UINT position, UINT flags) {
  Window* window = Find(menu - 1);
  if (!window || !(flags & MF_BYPOSITION) || position >= window->menu.size()) return false;
  window->menu.erase(window->menu.begin() + position);
  return true;
}

bool SimpleWindowSystem::DrawMenuBar(HWND hwnd) {
  if (!Find(hwnd)) return false;
  if (onMenuBarDrawn) onMenuBarDrawn(hwnd);
  return true;
}

LONG_PTR SimpleWindowSystem::ShellExecuteA(HWND hwnd, const std::string& operation, const std::string& file,
                                           const std::string&, const std::string&, int) {
  return onShellExecute ? onShellExecute(hwnd, operation, file) : kNoAssociation;
}

// ---- RasterImages ----


// ---- RasterContainer ----

RasterContainer::RasterContainer(RasterOptions options, SimpleWindowSystem* windows)
    : options_(std::move(options)),
      ownWindows_(windows ? nullptr : std::make_unique<SimpleWindowSystem>()),
      windows_(windows ? windows : ownWindows_.get()),
      surface_(*this) {
  surface_.SetHwnd(windows_->CreateWindow());
}

RasterContainer::~RasterContainer() {
  control_.reset();
  siteControl_.reset();
  windows_->DestroyWindow(surface_.hWnd());
}

void RasterContainer::PropertyChanged(const std::u16string& name) {
  if (onPropertyChanged) onPropertyChanged(name);
}

void RasterContainer::DoEvents() { Pump(); }

void RasterContainer::RaiseEvent(EventId id, EventArgs& args) {
  if (onEvent) onEvent(id, args);
}

Picture RasterContainer::LoadPicture(const std::u16string& path) {
  return LoadPictureFile(path, options_.tppX, options_.tppY, true, options_.pictureRoot.value_or(""), &pictures_);
}

int RasterContainer::MsgBox(const std::u16string& prompt, int, const std::u16string& title) {
  if (onMessageBox) onMessageBox(prompt, title);
  return 1;
}

void RasterContainer::Deliver(const char* name, const std::function<void()>& action) {
  try {
    action();
  } catch (const MarkletError& e) {
    if (onError) onError(name, e.number(), e.what());
  }
}

void RasterContainer::ChangeFontAttribute(std::u16string_view attribute, const Variant& value) {
  if (!control_) return;
  Marklet& c = *control_;
  FontDesc changed = WithFontAttribute(c.Font(), attribute, value);
  Deliver("FontChanged", [&] { c.SurfaceFontChanged(changed); });
}

void RasterContainer::CreateControl(PropertyBag* bag) {
  siteControl_.reset();
  control_ = std::make_unique<Marklet>(*this);
  Marklet& c = *control_;
  Deliver("Initialize", [&] { c.Initialize(); });
  if (bag) Deliver("ReadProperties", [&] { ReadNamingSource(*bag, [&] { c.ReadProperties(*bag); }); });
  else Deliver("InitProperties", [&] { c.InitProperties(); });
}

void RasterContainer::SetSiteControl(std::unique_ptr<SiteControl> control) {
  control_.reset();
  siteControl_ = std::move(control);
}

void RasterContainer::DestroyControl() {
  if (control_) {
    Deliver("Terminate", [&] { control_->Terminate(); });
    control_.reset();
  }
  if (siteControl_) {
    Deliver("Terminate", [&] { siteControl_->Terminate(); });
    siteControl_.reset();
  }
}

void RasterContainer::Pump() {
  // A handler that keeps asking for paints must not recurse without end.
  if (pumpDepth_ > 8) return;
  ++pumpDepth_;
  if (pumpWindowEvents) pumpWindowEvents();
  if (paintQueued_ && (control_ || siteControl_)) {
    paintQueued_ = false;
    if (control_) Deliver("Paint", [&] { control_->Paint(); });
    else Deliver("Paint", [&] { siteControl_->Paint(); });
  }
  --pumpDepth_;
}

void RasterContainer::DeliverResize() {
  if (control_) Deliver("Resize", [&] { control_->Resize(); });
  else if (siteControl_) Deliver("Resize", [&] { siteControl_->Resize(); });
}

cairo_surface_t* RasterContainer::Compose() {
  cairo_surface_t* base = surface_.image();
  int w = cairo_image_surface_get_width(base), h = cairo_image_surface_get_height(base);
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(out);
  if (cairo_status_t status = cairo_status(cr); status != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    cairo_surface_destroy(out);
    throw MarkletError(7, "Out of memory: no " + std::to_string(w) + " x " + std::to_string(h) +
                              " pixel surface to compose the control on (" + cairo_status_to_string(status) + ")");
  }
  try {
    PaintTo(cr);
  } catch (...) {
    cairo_destroy(cr);
    cairo_surface_destroy(out);
    throw;
  }
  cairo_destroy(cr);
  return out;
}

void RasterContainer::PaintTo(cairo_t* cr) {
  cairo_surface_t* base = surface_.image();
  int w = surface_.PixelWidth(), h = surface_.PixelHeight();
  cairo_save(cr);
  cairo_set_source_surface(cr, base, 0, 0);
  cairo_paint(cr);
  // The image controls are placed in the control's pixels, as it draws.
  if (options_.scale != 1) cairo_scale(cr, options_.scale, options_.scale);
  int b = surface_.BorderPixels();
  // Image controls sit inside the client area, over the drawing.
  cairo_rectangle(cr, b, b, w - 2 * b, h - 2 * b);
  cairo_clip(cr);
  for (const auto& image : images_.images()) {
    if (!image.loaded || !image.visible || !image.picture) continue;
    double x = b + std::round(image.left / options_.tppX);
    double y = b + std::round(image.top / options_.tppY);
    // Only the part left of and above the far edges can show.
    auto reach = [](double edge, double at) {
      double room = std::ceil(edge - at);
      return room >= INT_MAX ? INT_MAX : room > 1 ? static_cast<int>(room) : 1;
    };
    cairo_surface_t* pic = PictureSurface(image.picture, reach(w - b, x), reach(h - b, y));
    if (!pic) continue;
    cairo_set_source_surface(cr, pic, x, y);
    cairo_paint(cr);
  }
  cairo_restore(cr);
}

std::string RasterContainer::EncodePng() {
  struct Sink {
    std::string bytes;
    static cairo_status_t Write(void* self, const unsigned char* data, unsigned int length) {
      try {
        static_cast<Sink*>(self)->bytes.append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      } catch (...) {
        return CAIRO_STATUS_NO_MEMORY;  // nothing may be thrown through cairo
      }
    }
  } sink;
  cairo_surface_t* out = Compose();
  cairo_status_t status = cairo_surface_write_to_png_stream(out, &Sink::Write, &sink);
  cairo_surface_destroy(out);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw MarkletError(7, std::string("Out of memory: cannot encode the picture as PNG (") +
                              cairo_status_to_string(status) + ")");
  }
  return std::move(sink.bytes);
}

void RasterContainer::WritePng(const std::string& path) { files::ReplaceFile(path, EncodePng()); }

}  // namespace marklet::raster

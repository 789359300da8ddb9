#include "platform/raster/raster_container.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

#include "host/error.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/raster/picture_surface.h"

namespace marklet::raster {

// ---- SimpleWindowSystem ----

LRESULT SimpleWindowSystem::DefaultProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

HWND SimpleWindowSystem::CreateWindow() {
  HWND hwnd = next_;
  next_ += 0x10;
  windows_[hwnd].wndProc = ProcToLong(&DefaultProc);
  return hwnd;
}

void SimpleWindowSystem::DestroyWindow(HWND hwnd) { windows_.erase(hwnd); }

bool SimpleWindowSystem::LeaveRequested(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  return it != windows_.end() && it->second.leaveRequested;
}

bool SimpleWindowSystem::DeliverMouseLeave(HWND hwnd) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end() || !it->second.leaveRequested) return false;
  it->second.leaveRequested = false;
  LongToProc(it->second.wndProc)(hwnd, WM_MOUSELEAVE, 0, 0);
  return true;
}

LONG_PTR SimpleWindowSystem::SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return 0;
  LONG_PTR* slot = index == GWL_WNDPROC ? &it->second.wndProc
                   : index == GWL_USERDATA ? &it->second.userData
                                           : nullptr;
  if (!slot) return 0;
  LONG_PTR previous = *slot;
  *slot = value;
  return previous;
}

LONG_PTR SimpleWindowSystem::GetWindowLongA(HWND hwnd, int index) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return 0;
  if (index == GWL_WNDPROC) return it->second.wndProc;
  if (index == GWL_USERDATA) return it->second.userData;
  return 0;
}

LRESULT SimpleWindowSystem::CallWindowProcA(LONG_PTR previous, HWND hwnd, UINT msg, WPARAM wParam,
                                            LPARAM lParam) {
  return previous ? LongToProc(previous)(hwnd, msg, wParam, lParam) : 0;
}

LRESULT SimpleWindowSystem::DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefaultProc(hwnd, msg, wParam, lParam);
}

bool SimpleWindowSystem::TrackMouseEvent(TRACKMOUSEEVENT& request) {
  auto it = windows_.find(request.hwndTrack);
  if (it == windows_.end() || request.cbSize != 16 || !(request.dwFlags & TME_LEAVE)) return false;
  it->second.leaveRequested = true;
  if (onTrackMouse) onTrackMouse(request.hwndTrack);
  return true;
}

HMENU SimpleWindowSystem::GetSystemMenu(HWND hwnd, bool revert) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end() || revert) return 0;
  return hwnd + 1;
}

int SimpleWindowSystem::GetMenuItemCount(HMENU menu) {
  auto it = windows_.find(menu - 1);
  return it == windows_.end() ? -1 : it->second.menuItems;
}

bool SimpleWindowSystem::RemoveMenu(HMENU menu, UINT position, UINT flags) {
  auto it = windows_.find(menu - 1);
  if (it == windows_.end() || !(flags & MF_BYPOSITION) || static_cast<int>(position) >= it->second.menuItems) {
    return false;
  }
  --it->second.menuItems;
  return true;
}

bool SimpleWindowSystem::DrawMenuBar(HWND hwnd) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return false;
  // The close command is the last item of a standard system menu.
  if (it->second.menuItems < 7 && onSystemMenuTrimmed) onSystemMenuTrimmed(hwnd);
  return true;
}

LONG_PTR SimpleWindowSystem::ShellExecuteA(HWND, const std::string& operation, const std::string& file,
                                           const std::string&, const std::string&, int) {
  if (onShellExecute) onShellExecute(operation, file);
  return 33;
}

// ---- RasterImages ----

RasterImages::RasterImages() {
  images_.resize(1);
  images_[0].loaded = true;
}

RasterImages::Image& RasterImages::Member(Integer index) {
  if (!IsLoaded(index)) {
    throw MarkletError(340, "Control array element '" + std::to_string(index) + "' doesn't exist");
  }
  return images_[index];
}

Integer RasterImages::UBound() {
  for (std::size_t i = images_.size(); i-- > 0;)
    if (images_[i].loaded) return static_cast<Integer>(i);
  return 0;
}

bool RasterImages::IsLoaded(Integer index) {
  return index >= 0 && static_cast<std::size_t>(index) < images_.size() && images_[index].loaded;
}

void RasterImages::Load(Integer index) {
  ++revision_;
  if (index < 0) throw MarkletError(ErrorNumber::SubscriptOutOfRange, "Subscript out of range");
  if (IsLoaded(index)) throw MarkletError(360, "Object already loaded");
  if (static_cast<std::size_t>(index) >= images_.size()) images_.resize(index + 1);
  images_[index] = Image{};
  images_[index].loaded = true;
}

void RasterImages::Unload(Integer index) {
  ++revision_;
  if (index == 0) throw MarkletError(362, "Can't unload controls created at design time");
  Member(index);
  images_[index] = Image{};
  while (images_.size() > 1 && !images_.back().loaded) images_.pop_back();
}

void RasterImages::SetPicture(Integer index, const Picture& picture) {
  Member(index).picture = picture;
  ++revision_;
}

void RasterImages::Move(Integer index, Single left, Single top) {
  Image& image = Member(index);
  image.left = left;
  image.top = top;
  ++revision_;
}

void RasterImages::SetVisible(Integer index, bool visible) {
  Member(index).visible = visible;
  ++revision_;
}
bool RasterImages::Visible(Integer index) { return Member(index).visible; }
Single RasterImages::Left(Integer index) { return Member(index).left; }
Single RasterImages::Top(Integer index) { return Member(index).top; }

// ---- RasterContainer ----

RasterContainer::RasterContainer(RasterOptions options)
    : options_(std::move(options)), surface_(*this) {
  surface_.SetHwnd(windows_.CreateWindow());
}

RasterContainer::~RasterContainer() {
  control_.reset();
  windows_.DestroyWindow(surface_.hWnd());
}

void RasterContainer::PropertyChanged(const std::u16string& name) {
  if (onPropertyChanged) onPropertyChanged(name);
}

void RasterContainer::DoEvents() { Pump(); }

void RasterContainer::RaiseEvent(EventId id, EventArgs& args) {
  if (onEvent) onEvent(id, args);
}

Picture RasterContainer::LoadPicture(const std::u16string& path) {
  if (options_.pictureRoot) {
    std::string file = U16ToUtf8(path);
    char resolvedRoot[PATH_MAX], resolvedFile[PATH_MAX];
    if (!realpath(options_.pictureRoot->c_str(), resolvedRoot) || !realpath(file.c_str(), resolvedFile)) {
      throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + file + "'");
    }
    std::string root = resolvedRoot;
    if (root.back() != '/') root += '/';
    if (std::string(resolvedFile).rfind(root, 0) != 0) {
      throw MarkletError(ErrorNumber::FileNotFound,
                         "File not found: '" + file + "' lies outside the picture folder '" +
                             *options_.pictureRoot + "'");
    }
  }
  return LoadPictureFile(path, options_.tppX, options_.tppY, true);
}

int RasterContainer::MsgBox(const std::u16string& prompt, int, const std::u16string& title) {
  if (onMessageBox) onMessageBox(prompt, title);
  return 1;
}

void RasterContainer::Notify(const char* name, const std::function<void()>& action) {
  try {
    action();
  } catch (const MarkletError& e) {
    if (onError) onError(name, e.number(), e.what());
  }
}

void RasterContainer::CreateControl(PropertyBag* bag) {
  control_ = std::make_unique<Marklet>(*this);
  Marklet& c = *control_;
  Notify("Initialize", [&] { c.Initialize(); });
  if (bag) Notify("ReadProperties", [&] { c.ReadProperties(*bag); });
  else Notify("InitProperties", [&] { c.InitProperties(); });
}

void RasterContainer::DestroyControl() {
  if (!control_) return;
  Notify("Terminate", [&] { control_->Terminate(); });
  control_.reset();
}

void RasterContainer::Pump() {
  // A handler that keeps asking for paints must not recurse without end.
  if (pumpDepth_ > 8) return;
  ++pumpDepth_;
  if (pumpWindowEvents) pumpWindowEvents();
  if (paintQueued_ && control_) {
    paintQueued_ = false;
    Notify("Paint", [&] { control_->Paint(); });
  }
  --pumpDepth_;
}

void RasterContainer::DeliverResize() {
  if (control_) Notify("Resize", [&] { control_->Resize(); });
}

cairo_surface_t* RasterContainer::Compose() {
  cairo_surface_t* base = surface_.image();
  int w = cairo_image_surface_get_width(base), h = cairo_image_surface_get_height(base);
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(out);
  PaintTo(cr);
  cairo_destroy(cr);
  return out;
}

void RasterContainer::PaintTo(cairo_t* cr) {
  cairo_surface_t* base = surface_.image();
  int w = cairo_image_surface_get_width(base), h = cairo_image_surface_get_height(base);
  cairo_save(cr);
  cairo_set_source_surface(cr, base, 0, 0);
  cairo_paint(cr);
  int b = surface_.BorderPixels();
  // Image controls sit inside the client area, over the drawing.
  cairo_rectangle(cr, b, b, w - 2 * b, h - 2 * b);
  cairo_clip(cr);
  for (const auto& image : images_.images()) {
    if (!image.loaded || !image.visible || !image.picture) continue;
    cairo_surface_t* pic = PictureSurface(image.picture);
    if (!pic) continue;
    double x = b + std::round(image.left / options_.tppX);
    double y = b + std::round(image.top / options_.tppY);
    cairo_set_source_surface(cr, pic, x, y);
    cairo_paint(cr);
  }
  cairo_restore(cr);
}

void RasterContainer::WritePng(const std::string& path) {
  cairo_surface_t* out = Compose();
  cairo_status_t status = cairo_surface_write_to_png(out, path.c_str());
  cairo_surface_destroy(out);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw MarkletError(75, "Path/File access error: cannot write '" + path + "': " +
                               cairo_status_to_string(status));
  }
}

}  // namespace marklet::raster

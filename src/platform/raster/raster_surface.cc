#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "host/error.h"
#include "host/font_size.h"
#include "platform/raster/ole_colors.h"
#include "platform/raster/picture_surface.h"
#include "platform/raster/raster_container.h"

namespace marklet::raster {

namespace {

void SetSource(cairo_t* cr, OleColor color) {
  Rgb rgb = OleToRgb(color);
  cairo_set_source_rgb(cr, rgb.r / 255.0, rgb.g / 255.0, rgb.b / 255.0);
}

[[noreturn]] void Refuse(const std::string& what) {
  throw MarkletError(ErrorNumber::InvalidPropertyValue, "Invalid property value: " + what);
}

// Pixels for a length in twips, as the surface rounds them (at least 1).
int ToPixels(Single twips, Single tpp) {
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(twips) / tpp)));
}

[[noreturn]] void NoSurface(int w, int h, const std::string& why) {
  throw MarkletError(7, "Out of memory: no " + std::to_string(w) + " x " + std::to_string(h) +
                            " pixel drawing surface (" + why + ")");
}

}  // namespace

RasterSurface::RasterSurface(RasterContainer& owner) : owner_(owner) {
  fontPixels_ = PixelsForSize(font_.size);
  Allocate(PixelWidth(), PixelHeight());
  Clear();
}

RasterSurface::~RasterSurface() {
  batch_.Drop();
  if (cr_) cairo_destroy(cr_);
  if (image_) cairo_surface_destroy(image_);
}

int RasterSurface::BorderPixels() const {
  if (borderStyle_ == 0) return 0;
  return appearance_ == 1 ? 2 : 1;
}

int RasterSurface::PixelWidth() const { return ToPixels(width_, owner_.options().tppX); }

int RasterSurface::PixelHeight() const { return ToPixels(height_, owner_.options().tppY); }

int RasterSurface::DevicePixels(int pixels) const {
  return std::max(1, static_cast<int>(std::lround(pixels * owner_.options().scale)));
}

int MaxSurfaceHeight(int widthPixels) {
  return static_cast<int>(std::min<std::int64_t>(kMaxSurfaceSide, kSurfaceBudgetPixels / std::max(1, widthPixels)));
}

// The pixels live in a buffer that only grows, so resizing back and forth
// reuses the memory instead of allocating a new surface each time. The new
// surface is made before the old one goes, so a failure leaves the old one
// drawing.
void RasterSurface::Allocate(int logicalW, int logicalH) {
  const double scale = owner_.options().scale;
  const int w = DevicePixels(logicalW), h = DevicePixels(logicalH);
  int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, w);
  if (stride <= 0) NoSurface(w, h, "too wide");
  std::size_t bytes = static_cast<std::size_t>(stride) * h;
  std::vector<unsigned char> grown;
  if (bytes > pixels_.size()) {
    try {
      grown.resize(bytes);
    } catch (const std::bad_alloc&) {
      NoSurface(w, h, "no memory for its pixels");
    }
  }
  unsigned char* data = grown.empty() ? pixels_.data() : grown.data();
  cairo_surface_t* image = cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, w, h, stride);
  if (cairo_status_t status = cairo_surface_status(image); status != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(image);
    NoSurface(w, h, cairo_status_to_string(status));
  }
  cairo_t* cr = cairo_create(image);
  if (cairo_status_t status = cairo_status(cr); status != CAIRO_STATUS_SUCCESS) {
    cairo_destroy(cr);
    cairo_surface_destroy(image);
    NoSurface(w, h, cairo_status_to_string(status));
  }
  // Everything is drawn in the control's pixels; the context makes them
  // device pixels, so text is rasterised at the finer size.
  if (scale != 1) cairo_scale(cr, scale, scale);
  batch_.Drop();
  if (cr_) cairo_destroy(cr_);
  if (image_) cairo_surface_destroy(image_);
  if (!grown.empty()) pixels_.swap(grown);
  image_ = image;
  cr_ = cr;
}

Single RasterSurface::HeldHeight(int widthPixels, Single height, std::optional<HeightHold>& hold) const {
  Single tppY = owner_.options().tppY;
  // The budget counts device pixels: the most of the control's pixels whose
  // device height still fits.
  const double scale = owner_.options().scale;
  int most = std::max(1, static_cast<int>(MaxSurfaceHeight(DevicePixels(widthPixels)) / scale));
  double asked = static_cast<double>(height) / tppY;
  hold.reset();
  if (asked < most + 0.5) return height;
  hold = HeightHold{asked >= INT_MAX ? INT_MAX : static_cast<int>(std::lround(asked)), most};
  return static_cast<Single>(most * static_cast<double>(tppY));
}

void RasterSurface::SetSize(Single width, Single height) {
  const std::string size = "size " + FormatSingle(width) + " x " + FormatSingle(height) + " twips";
  if (!(width >= 0) || !(height >= 0) || std::isinf(width) || std::isinf(height)) Refuse(size);
  // The side is counted in device pixels, which --scale multiplies.
  double deviceWidth = static_cast<double>(width) / owner_.options().tppX * owner_.options().scale;
  if (deviceWidth >= kMaxSurfaceSide + 0.5) {
    Refuse(size + ", " + FormatSingle(static_cast<Single>(std::round(deviceWidth))) + " device pixels wide (at most " +
           std::to_string(kMaxSurfaceSide) + " pixels a side)");
  }
  int w = ToPixels(width, owner_.options().tppX);
  std::optional<HeightHold> hold;
  Single held = HeldHeight(w, height, hold);
  Allocate(w, ToPixels(held, owner_.options().tppY));
  width_ = width;
  height_ = held;
  heightHold_ = hold;
  Clear();
}

// Clearing fills the client area with the background colour (or leaves it
// transparent), draws the background picture and the border.
void RasterSurface::Damaged(int x0, int y0, int x1, int y1) {
  if (damageX1_ <= damageX0_ || damageY1_ <= damageY0_) {
    damageX0_ = x0, damageY0_ = y0, damageX1_ = x1, damageY1_ = y1;
  } else {
    damageX0_ = std::min(damageX0_, x0);
    damageY0_ = std::min(damageY0_, y0);
    damageX1_ = std::max(damageX1_, x1);
    damageY1_ = std::max(damageY1_, y1);
  }
}

RasterSurface::Damage RasterSurface::TakeDamage() {
  int x0 = std::max(0, damageX0_), y0 = std::max(0, damageY0_);
  int x1 = std::min(PixelWidth(), damageX1_), y1 = std::min(PixelHeight(), damageY1_);
  damageX0_ = damageY0_ = damageX1_ = damageY1_ = 0;
  if (x1 <= x0 || y1 <= y0) return Damage{};
  const double scale = owner_.options().scale;
  if (scale == 1) return Damage{x0, y0, x1 - x0, y1 - y0};
  int dx0 = static_cast<int>(std::floor(x0 * scale)), dy0 = static_cast<int>(std::floor(y0 * scale));
  int dx1 = std::min(DeviceWidth(), static_cast<int>(std::ceil(x1 * scale)));
  int dy1 = std::min(DeviceHeight(), static_cast<int>(std::ceil(y1 * scale)));
  return Damage{dx0, dy0, dx1 - dx0, dy1 - dy0};
}

void RasterSurface::Clear() {
  // What is cleared need not be drawn.
  batch_.Drop();
  Damaged(0, 0, PixelWidth(), PixelHeight());
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  if (backStyle_ == 0) {
    cairo_set_source_rgba(cr_, 0, 0, 0, 0);
  } else {
    SetSource(cr_, backColor_);
  }
  cairo_paint(cr_);
  cairo_restore(cr_);
  if (picture_) {
    int b = BorderPixels();
    cairo_surface_t* pic = PictureSurface(picture_, PixelWidth() - b, PixelHeight() - b);
    if (pic) {
      cairo_set_source_surface(cr_, pic, b, b);
      cairo_paint(cr_);
    }
  }
  DrawBorder();
}

void RasterSurface::DrawBorder() {
  int b = BorderPixels();
  if (b == 0) return;
  batch_.Flush();
  int w = PixelWidth(), h = PixelHeight();
  Damaged(0, 0, w, h);
  cairo_save(cr_);
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  auto rect = [&](int x, int y, int rw, int rh, double gray) {
    cairo_set_source_rgb(cr_, gray, gray, gray);
    cairo_rectangle(cr_, x, y, rw, rh);
    cairo_fill(cr_);
  };
  if (b == 1) {
    // Flat: one black pixel a side.
    rect(0, 0, w, 1, 0);
    rect(0, h - 1, w, 1, 0);
    rect(0, 0, 1, h, 0);
    rect(w - 1, 0, 1, h, 0);
  } else {
    // Sunken 3-D: shadow above and left, light below and right.
    rect(0, 0, w, 1, 128 / 255.0);
    rect(0, 0, 1, h, 128 / 255.0);
    rect(0, h - 1, w, 1, 1.0);
    rect(w - 1, 0, 1, h, 1.0);
    rect(1, 1, w - 2, 1, 64 / 255.0);
    rect(1, 1, 1, h - 2, 64 / 255.0);
    rect(1, h - 2, w - 2, 1, 212 / 255.0);
    rect(w - 2, 1, 1, h - 2, 212 / 255.0);
  }
  cairo_restore(cr_);
}

void RasterSurface::Cls() {
  Clear();
  currentX_ = 0;
  currentY_ = 0;
}

void RasterSurface::SetBackColor(OleColor color) {
  OleToRgb(color);  // refuses an unknown colour before anything changes
  backColor_ = color;
  Clear();
}

void RasterSurface::SetForeColor(OleColor color) {
  OleToRgb(color);
  foreColor_ = color;
}

int RasterSurface::PixelsForSize(Single size) const {
  if (!FontSizeAccepted(size)) Refuse("font size " + FormatSingle(size));
  double pixels = RoundHalfEven(static_cast<double>(size) * 20.0 / owner_.options().tppY);
  return std::max(1, static_cast<int>(pixels));
}

FontDesc RasterSurface::Font() {
  FontDesc f = font_;
  f.size = FontSize();
  f.underline = underline_;
  f.weight = f.bold ? 700 : 400;
  return f;
}

void RasterSurface::SetFont(const FontDesc& font) {
  if (font.name.empty() || font.name.size() > 31) Refuse("font name '" + U16ToUtf8(font.name) + "'");
  int pixels = PixelsForSize(font.size);
  font_ = font;
  font_.bold = font.bold || font.weight >= 600;
  fontPixels_ = pixels;
  current_ = nullptr;
  underline_ = font.underline;
}

void RasterSurface::SetFontName(const std::u16string& name) {
  if (name.empty() || name.size() > 31) Refuse("font name '" + U16ToUtf8(name) + "'");
  if (name != font_.name) current_ = nullptr;
  font_.name = name;
}

Single RasterSurface::FontSize() {
  return ReportedFontSize(fontPixels_ * static_cast<double>(owner_.options().tppY) / 20.0);
}

void RasterSurface::SetFontSize(Single size) {
  int pixels = PixelsForSize(size);
  if (pixels != fontPixels_) current_ = nullptr;
  fontPixels_ = pixels;
}

RasterFont& RasterSurface::Current() {
  if (!current_) current_ = &text_.Font(FontKey{font_.name, fontPixels_, font_.bold, font_.italic});
  return *current_;
}

void RasterSurface::Print(const std::u16string& text) {
  int b = BorderPixels();
  double x = b + std::round(currentX_ / owner_.options().tppX);
  double y = b + std::round(currentY_ / owner_.options().tppY);
  RasterFont& font = Current();
  Rgb rgb = OleToRgb(foreColor_);
  int width = text_.Draw(batch_, cr_, font, text, x, y, underline_, rgb.r / 255.0, rgb.g / 255.0, rgb.b / 255.0);
  // Glyphs may reach a little beyond their advance (italic, overhangs).
  int slack = 2 + font.height() / 4;
  Damaged(static_cast<int>(x) - slack, static_cast<int>(y) - slack, static_cast<int>(x) + width + slack,
          static_cast<int>(y) + font.height() + slack);
  currentX_ = static_cast<Single>(currentX_ + width * static_cast<double>(owner_.options().tppX));
}

Single RasterSurface::TextWidth(const std::u16string& text) {
  return static_cast<Single>(text_.Width(Current(), text) * static_cast<double>(owner_.options().tppX));
}

Single RasterSurface::TextHeight(const std::u16string&) {
  return static_cast<Single>(Current().height() * static_cast<double>(owner_.options().tppY));
}

Single RasterSurface::ScaleWidth() {
  double inner = width_ - 2.0 * BorderPixels() * owner_.options().tppX;
  return static_cast<Single>(std::max(0.0, inner));
}

Single RasterSurface::ScaleHeight() {
  double inner = height_ - 2.0 * BorderPixels() * owner_.options().tppY;
  return static_cast<Single>(std::max(0.0, inner));
}

// A height past the surface budget is held at the most the budget allows
// for this width; the paint goes on and the host can tell (heightHold).
void RasterSurface::SetHeight(Single height) {
  if (!(height >= 0) || std::isinf(height)) Refuse("height " + FormatSingle(height));
  std::optional<HeightHold> hold;
  Single held = HeldHeight(PixelWidth(), height, hold);
  heightHold_ = hold;
  if (held == height_) return;
  Allocate(PixelWidth(), ToPixels(held, owner_.options().tppY));
  height_ = held;
  Clear();
  owner_.DeliverResize();
}

Single RasterSurface::ScaleX(Single value, ScaleMode from, ScaleMode to) {
  return ScaleBetween(value, from, to, owner_.options().tppX);
}

Single RasterSurface::ScaleY(Single value, ScaleMode from, ScaleMode to) {
  return ScaleBetween(value, from, to, owner_.options().tppY);
}

void RasterSurface::SetBackStyle(Integer style) {
  if (style != 0 && style != 1) Refuse("BackStyle " + std::to_string(style));
  backStyle_ = style;
}

void RasterSurface::SetAppearance(Integer appearance) {
  if (appearance != 0 && appearance != 1) Refuse("Appearance " + std::to_string(appearance));
  appearance_ = appearance;
  DrawBorder();
}

void RasterSurface::SetBorderStyle(Integer style) {
  if (style != 0 && style != 1) Refuse("BorderStyle " + std::to_string(style));
  borderStyle_ = style;
  DrawBorder();
}

void RasterSurface::SetMousePointer(Integer pointer) {
  if (pointer < 0 || (pointer > 15 && pointer != 99)) Refuse("MousePointer " + std::to_string(pointer));
  mousePointer_ = pointer;
}

void RasterSurface::Refresh() { owner_.QueuePaint(); }

}  // namespace marklet::raster

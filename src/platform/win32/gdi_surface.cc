#include "platform/win32/win_api.h"

#include "platform/win32/gdi_surface.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/error.h"
#include "host/font_size.h"
#include "platform/win32/ole_picture.h"
#include "platform/win32/win32_container.h"

namespace marklet::win32 {

namespace {

[[noreturn]] void Refuse(const std::string& what) {
  throw MarkletError(ErrorNumber::InvalidPropertyValue, "Invalid property value: " + what);
}

int ToPixels(Single twips, double tpp) { return static_cast<int>(std::lround(twips / tpp)); }

// More fonts than a text uses at once; past it the cache starts again.
constexpr std::size_t kFontCacheSize = 32;

}  // namespace

COLORREF TranslateColor(OleColor color) {
  COLORREF rgb = 0;
  if (FAILED(::OleTranslateColor(color, nullptr, &rgb))) {
    char text[16];
    std::snprintf(text, sizeof text, "&H%08X", static_cast<unsigned>(color));
    Refuse(std::string("colour ") + text);
  }
  return rgb;
}

GdiSurface::GdiSurface(Win32Container& owner, ::HWND hwnd) : owner_(owner), hwnd_(hwnd) {
  HDC screen = ::GetDC(nullptr);
  // The screen's resolution sets every scale; without a screen there is none.
  if (!screen || ::GetDeviceCaps(screen, LOGPIXELSX) <= 0 || ::GetDeviceCaps(screen, LOGPIXELSY) <= 0) {
    if (screen) ::ReleaseDC(nullptr, screen);
    throw MarkletError(ErrorNumber::InvalidProcedureCall, "Cannot draw: the screen is not available");
  }
  tppX_ = 1440.0 / ::GetDeviceCaps(screen, LOGPIXELSX);
  tppY_ = 1440.0 / ::GetDeviceCaps(screen, LOGPIXELSY);
  logPixelsY_ = ::GetDeviceCaps(screen, LOGPIXELSY);
  dc_ = ::CreateCompatibleDC(screen);
  ::ReleaseDC(nullptr, screen);
  ::SetBkMode(dc_, TRANSPARENT);
  ::SetTextAlign(dc_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
  font_.pixels = PixelsForSize(8.25f);
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  Allocate(client.right - client.left, client.bottom - client.top);
}

GdiSurface::~GdiSurface() {
  if (oldFont_) ::SelectObject(dc_, oldFont_);
  for (auto& [key, font] : fonts_) ::DeleteObject(font.first);
  if (oldBitmap_) ::SelectObject(dc_, oldBitmap_);
  if (bitmap_) ::DeleteObject(bitmap_);
  if (dc_) ::DeleteDC(dc_);
}

int GdiSurface::BorderPixels() const {
  if (borderStyle_ == 0) return 0;
  return appearance_ == 1 ? 2 : 1;
}

void GdiSurface::Allocate(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = std::max(1, width_);
  info.bmiHeader.biHeight = -std::max(1, height_);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) throw MarkletError(7, "Out of memory: a surface of " + std::to_string(width_) + " x " +
                                         std::to_string(height_) + " pixels");
  HGDIOBJ previous = ::SelectObject(dc_, bitmap);
  if (!oldBitmap_) oldBitmap_ = previous;
  if (bitmap_) ::DeleteObject(bitmap_);
  bitmap_ = bitmap;
  Clear();
}

void GdiSurface::Resized(int width, int height) {
  if (width == width_ && height == height_) return;
  Allocate(width, height);
}

void GdiSurface::Invalidate(const RECT* rect) { ::InvalidateRect(hwnd_, rect, FALSE); }

void GdiSurface::ClipToClient() {
  ::SelectClipRgn(dc_, nullptr);
  int b = BorderPixels();
  ::IntersectClipRect(dc_, b, b, width_ - b, height_ - b);
}

// Clearing fills the client area with the background colour (a transparent
// control shows its container's colour), draws the background picture and
// the border.
void GdiSurface::Clear() {
  ::SelectClipRgn(dc_, nullptr);
  RECT all{0, 0, width_, height_};
  COLORREF fill = TranslateColor(backStyle_ == 0 ? owner_.AmbientBackColor() : backColor_);
  HBRUSH brush = ::CreateSolidBrush(fill);
  ::FillRect(dc_, &all, brush);
  ::DeleteObject(brush);
  ClipToClient();
  if (picture_) RenderPicture(dc_, picture_, BorderPixels(), BorderPixels());
  DrawBorder();
  Invalidate();
}

void GdiSurface::DrawBorder() {
  int b = BorderPixels();
  if (b > 0) {
    ::SelectClipRgn(dc_, nullptr);
    RECT all{0, 0, width_, height_};
    if (b == 1) {
      ::FrameRect(dc_, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    } else {
      ::DrawEdge(dc_, &all, EDGE_SUNKEN, BF_RECT);
    }
  }
  ClipToClient();
  Invalidate();
}

void GdiSurface::Cls() {
  Clear();
  currentX_ = 0;
  currentY_ = 0;
}

void GdiSurface::SetBackColor(OleColor color) {
  TranslateColor(color);  // refuses an unknown colour before anything changes
  backColor_ = color;
  Clear();
}

void GdiSurface::SetForeColor(OleColor color) {
  TranslateColor(color);
  foreColor_ = color;
}

int GdiSurface::PixelsForSize(Single size) const {
  if (!FontSizeAccepted(size)) Refuse("font size " + FormatSingle(size));
  double pixels = RoundHalfEven(static_cast<double>(size) * logPixelsY_ / 72.0);
  return std::max(1, static_cast<int>(pixels));
}

const TEXTMETRICW& GdiSurface::Select() {
  if (selected_) return selected_->second;
  FontKey key{font_.name, font_.pixels, font_.bold, font_.italic, font_.underline, font_.strikethrough,
              font_.charset};
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    if (fonts_.size() >= kFontCacheSize) {
      if (oldFont_) ::SelectObject(dc_, oldFont_);
      oldFont_ = nullptr;
      for (auto& [k, font] : fonts_) ::DeleteObject(font.first);
      fonts_.clear();
    }
    LOGFONTW lf{};
    lf.lfHeight = -font_.pixels;
    lf.lfWeight = font_.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font_.italic;
    lf.lfUnderline = font_.underline;
    lf.lfStrikeOut = font_.strikethrough;
    lf.lfCharSet = static_cast<BYTE>(font_.charset);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::size_t n = std::min<std::size_t>(font_.name.size(), LF_FACESIZE - 1);
    std::copy_n(font_.name.data(), n, reinterpret_cast<char16_t*>(lf.lfFaceName));
    HFONT font = ::CreateFontIndirectW(&lf);
    if (!font) Refuse("font '" + U16ToUtf8(font_.name) + "'");
    HGDIOBJ previous = ::SelectObject(dc_, font);
    if (!oldFont_) oldFont_ = previous;
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc_, &metrics);
    it = fonts_.emplace(key, std::make_pair(font, metrics)).first;
  } else {
    HGDIOBJ previous = ::SelectObject(dc_, it->second.first);
    if (!oldFont_) oldFont_ = previous;
  }
  selected_ = &it->second;
  return selected_->second;
}

FontDesc GdiSurface::Font() {
  FontDesc f;
  f.name = font_.name;
  f.size = FontSize();
  f.bold = font_.bold;
  f.italic = font_.italic;
  f.underline = font_.underline;
  f.strikethrough = font_.strikethrough;
  f.weight = font_.bold ? 700 : 400;
  f.charset = font_.charset;
  return f;
}

void GdiSurface::SetFont(const FontDesc& font) {
  if (font.name.empty() || font.name.size() >= LF_FACESIZE) Refuse("font name '" + U16ToUtf8(font.name) + "'");
  int pixels = PixelsForSize(font.size);
  font_.name = font.name;
  font_.pixels = pixels;
  font_.bold = font.bold || font.weight >= 600;
  font_.italic = font.italic;
  font_.underline = font.underline;
  font_.strikethrough = font.strikethrough;
  font_.charset = font.charset;
  selected_ = nullptr;
}

void GdiSurface::SetFontName(const std::u16string& name) {
  if (name.empty() || name.size() >= LF_FACESIZE) Refuse("font name '" + U16ToUtf8(name) + "'");
  if (name != font_.name) selected_ = nullptr;
  font_.name = name;
}

// The size of the font GDI realised: a bitmap face answers with the nearest
// size it has.
Single GdiSurface::FontSize() {
  const TEXTMETRICW& metrics = Select();
  double em = metrics.tmHeight - metrics.tmInternalLeading;
  return ReportedFontSize(em * 72.0 / logPixelsY_);
}

void GdiSurface::SetFontSize(Single size) {
  int pixels = PixelsForSize(size);
  if (pixels != font_.pixels) selected_ = nullptr;
  font_.pixels = pixels;
}

void GdiSurface::SetFontBold(bool bold) {
  if (bold != font_.bold) selected_ = nullptr;
  font_.bold = bold;
}

void GdiSurface::SetFontItalic(bool italic) {
  if (italic != font_.italic) selected_ = nullptr;
  font_.italic = italic;
}

void GdiSurface::SetFontUnderline(bool underline) {
  if (underline != font_.underline) selected_ = nullptr;
  font_.underline = underline;
}

void GdiSurface::Print(const std::u16string& text) {
  const TEXTMETRICW& metrics = Select();
  int b = BorderPixels();
  int x = b + ToPixels(currentX_, tppX_);
  int y = b + ToPixels(currentY_, tppY_);
  int length = static_cast<int>(text.size());
  ::SetTextColor(dc_, TranslateColor(foreColor_));
  ::TextOutW(dc_, x, y, reinterpret_cast<const wchar_t*>(text.data()), length);
  SIZE extent{0, 0};
  if (length > 0) ::GetTextExtentPoint32W(dc_, reinterpret_cast<const wchar_t*>(text.data()), length, &extent);
  RECT drawn{x, y, x + extent.cx + metrics.tmOverhang + metrics.tmMaxCharWidth, y + metrics.tmHeight};
  Invalidate(&drawn);
  currentX_ = static_cast<Single>(currentX_ + extent.cx * tppX_);
}

Single GdiSurface::TextWidth(const std::u16string& text) {
  Select();
  if (text.empty()) return 0;
  SIZE extent{0, 0};
  ::GetTextExtentPoint32W(dc_, reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(text.size()),
                          &extent);
  return static_cast<Single>(extent.cx * tppX_);
}

Single GdiSurface::TextHeight(const std::u16string&) { return static_cast<Single>(Select().tmHeight * tppY_); }

Single GdiSurface::ScaleWidth() {
  return static_cast<Single>(std::max(0, width_ - 2 * BorderPixels()) * tppX_);
}

Single GdiSurface::ScaleHeight() {
  return static_cast<Single>(std::max(0, height_ - 2 * BorderPixels()) * tppY_);
}

// The window takes the new height; its WM_SIZE resizes the bitmap and
// delivers Resize before this returns.
void GdiSurface::SetHeight(Single height) {
  if (!(height >= 0) || height > 16384 * tppY_) Refuse("height " + FormatSingle(height));
  int pixels = ToPixels(height, tppY_);
  if (pixels == height_) return;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, width_, pixels, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  owner_.HeightSet(width_, pixels);
}

Single GdiSurface::ScaleX(Single value, ScaleMode from, ScaleMode to) {
  return ScaleBetween(value, from, to, tppX_);
}

Single GdiSurface::ScaleY(Single value, ScaleMode from, ScaleMode to) {
  return ScaleBetween(value, from, to, tppY_);
}

void GdiSurface::SetBackStyle(Integer style) {
  if (style != 0 && style != 1) Refuse("BackStyle " + std::to_string(style));
  backStyle_ = style;
}

void GdiSurface::SetEnabled(bool enabled) {
  enabled_ = enabled;
  ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

void GdiSurface::SetAppearance(Integer appearance) {
  if (appearance != 0 && appearance != 1) Refuse("Appearance " + std::to_string(appearance));
  appearance_ = appearance;
  DrawBorder();
}

void GdiSurface::SetBorderStyle(Integer style) {
  if (style != 0 && style != 1) Refuse("BorderStyle " + std::to_string(style));
  borderStyle_ = style;
  DrawBorder();
}

HCURSOR GdiSurface::Cursor() const {
  if (mousePointer_ == kPointerCustom) {
    HCURSOR hand = ::LoadCursorW(ResourceModule(), MAKEINTRESOURCEW(1));
    return hand ? hand : ::LoadCursorW(nullptr, IDC_HAND);
  }
  static const LPCWSTR kStandard[16] = {IDC_ARROW,  IDC_ARROW,  IDC_CROSS,    IDC_IBEAM, IDC_ARROW, IDC_SIZEALL,
                                        IDC_SIZENESW, IDC_SIZENS, IDC_SIZENWSE, IDC_SIZEWE, IDC_UPARROW,
                                        IDC_WAIT,   IDC_NO,     IDC_APPSTARTING, IDC_HELP, IDC_SIZEALL};
  int index = mousePointer_ >= 0 && mousePointer_ < 16 ? mousePointer_ : 0;
  return ::LoadCursorW(nullptr, kStandard[index]);
}

// A new pointer shows at once when the pointer is over the window, as it is
// while the control handles a move.
void GdiSurface::ApplyCursorIfInside() {
  POINT at{};
  if (::GetCursorPos(&at) && ::WindowFromPoint(at) == hwnd_) ::SetCursor(Cursor());
}

void GdiSurface::SetMousePointer(Integer pointer) {
  if (pointer < 0 || (pointer > 15 && pointer != kPointerCustom)) Refuse("MousePointer " + std::to_string(pointer));
  mousePointer_ = pointer;
  ApplyCursorIfInside();
}

void GdiSurface::Refresh() { owner_.RequestPaint(); }

}  // namespace marklet::win32

#include "platform/trace/trace_surface.h"

#include <algorithm>
#include <cmath>

#include "host/error.h"
#include "host/font_size.h"
#include "platform/trace/json.h"
#include "platform/trace/trace_container.h"

namespace marklet::trace {

TraceSurface::TraceSurface(TraceContainer& owner) : owner_(owner) {
  state_.fontPixels = PixelsForSize(8.25f);
}

void TraceSurface::Check(const char* op) { owner_.Check(op); }

int TraceSurface::PixelsForSize(Single size) const {
  if (!FontSizeAccepted(size)) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: font size " + FormatSingle(size));
  }
  double pixels = RoundHalfEven(static_cast<double>(size) * 20.0 / owner_.world().tppY);
  return std::max(1, static_cast<int>(pixels));
}

Single TraceSurface::SizeForPixels(int pixels) const {
  return ReportedFontSize(pixels * static_cast<double>(owner_.world().tppY) / 20.0);
}

int TraceSurface::BorderPixels() const {
  if (state_.borderStyle == 0) return 0;
  return state_.appearance == 1 ? 2 : 1;
}

void TraceSurface::Cls() {
  Check("Cls");
  state_.currentX = 0;
  state_.currentY = 0;
  owner_.Emit("cls", "true");
}

OleColor TraceSurface::BackColor() {
  Check("BackColor");
  return state_.backColor;
}

void TraceSurface::SetBackColor(OleColor color) {
  Check("BackColor");
  state_.backColor = color;
  owner_.Emit("backcolor", JsonColor(color));
}

OleColor TraceSurface::ForeColor() {
  Check("ForeColor");
  return state_.foreColor;
}

void TraceSurface::SetForeColor(OleColor color) {
  Check("ForeColor");
  state_.foreColor = color;
}

FontDesc TraceSurface::Font() {
  Check("FontName");
  FontDesc f;
  f.name = state_.fontName;
  f.size = SizeForPixels(state_.fontPixels);
  f.bold = state_.bold;
  f.italic = state_.italic;
  f.underline = state_.underline;
  f.strikethrough = state_.strikethrough;
  f.weight = state_.bold ? 700 : 400;
  f.charset = state_.charset;
  return f;
}

void TraceSurface::SetFont(const FontDesc& font) {
  Check("FontName");
  if (font.name.empty() || font.name.size() > 31) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: font name '" + U16ToUtf8(font.name) + "'");
  }
  int pixels = PixelsForSize(font.size);
  state_.fontName = font.name;
  state_.fontPixels = pixels;
  state_.bold = font.bold || font.weight >= 600;
  state_.italic = font.italic;
  state_.underline = font.underline;
  state_.strikethrough = font.strikethrough;
  state_.charset = font.charset;
}

std::u16string TraceSurface::FontName() {
  Check("FontName");
  return state_.fontName;
}

void TraceSurface::SetFontName(const std::u16string& name) {
  Check("FontName");
  if (name.empty() || name.size() > 31) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: font name '" + U16ToUtf8(name) + "'");
  }
  state_.fontName = name;
}

Single TraceSurface::FontSize() {
  Check("FontSize");
  return SizeForPixels(state_.fontPixels);
}

void TraceSurface::SetFontSize(Single size) {
  Check("FontSize");
  state_.fontPixels = PixelsForSize(size);
}

bool TraceSurface::FontBold() {
  Check("FontBold");
  return state_.bold;
}
void TraceSurface::SetFontBold(bool bold) {
  Check("FontBold");
  state_.bold = bold;
}
bool TraceSurface::FontItalic() {
  Check("FontItalic");
  return state_.italic;
}
void TraceSurface::SetFontItalic(bool italic) {
  Check("FontItalic");
  state_.italic = italic;
}
bool TraceSurface::FontUnderline() {
  Check("FontUnderline");
  return state_.underline;
}
void TraceSurface::SetFontUnderline(bool underline) {
  Check("FontUnderline");
  state_.underline = underline;
}

Single TraceSurface::CurrentX() {
  Check("CurrentX");
  return state_.currentX;
}
void TraceSurface::SetCurrentX(Single x) {
  Check("CurrentX");
  state_.currentX = x;
}
Single TraceSurface::CurrentY() {
  Check("CurrentY");
  return state_.currentY;
}
void TraceSurface::SetCurrentY(Single y) {
  Check("CurrentY");
  state_.currentY = y;
}

void TraceSurface::Print(const std::u16string& text) {
  Check("Print");
  JsonObject p;
  p.Sng("x", state_.currentX)
      .Sng("y", state_.currentY)
      .Str("text", text)
      .Str("font", state_.fontName)
      .Sng("size", SizeForPixels(state_.fontPixels))
      .Bool("bold", state_.bold)
      .Bool("italic", state_.italic)
      .Bool("underline", state_.underline)
      .Raw("color", JsonColor(state_.foreColor));
  owner_.Emit("print", p.str());
  double advance = static_cast<double>(text.size()) * (std::max(1, state_.fontPixels / 2) + (state_.bold ? 1 : 0)) *
                   owner_.world().tppX;
  state_.currentX = static_cast<Single>(state_.currentX + advance);
}

Single TraceSurface::TextWidth(const std::u16string& text) {
  Check("TextWidth");
  double perUnit = std::max(1, state_.fontPixels / 2) + (state_.bold ? 1 : 0);
  return static_cast<Single>(static_cast<double>(text.size()) * perUnit * owner_.world().tppX);
}

Single TraceSurface::TextHeight(const std::u16string&) {
  Check("TextHeight");
  return static_cast<Single>((state_.fontPixels + 2) * static_cast<double>(owner_.world().tppY));
}

Single TraceSurface::ScaleWidth() {
  double inner = state_.width - 2.0 * BorderPixels() * owner_.world().tppX;
  return static_cast<Single>(std::max(0.0, inner));
}

Single TraceSurface::ScaleHeight() {
  double inner = state_.height - 2.0 * BorderPixels() * owner_.world().tppY;
  return static_cast<Single>(std::max(0.0, inner));
}

Single TraceSurface::Width() { return state_.width; }

Single TraceSurface::Height() {
  Check("Height");
  return state_.height;
}

void TraceSurface::SetHeight(Single height) {
  Check("Height");
  if (!(height >= 0) || height > 2147483647.0f) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: height " + FormatSingle(height));
  }
  owner_.Emit("height", JsonSingle(height));
  if (height == state_.height) return;
  state_.height = height;
  owner_.Deliver("Resize", [this] {
    if (owner_.control()) owner_.control()->Resize();
    else if (owner_.siteControl()) owner_.siteControl()->Resize();
  });
}

Single TraceSurface::ScaleX(Single value, ScaleMode from, ScaleMode to) {
  Check("ScaleX");
  return ScaleBetween(value, from, to, owner_.world().tppX);
}

Single TraceSurface::ScaleY(Single value, ScaleMode from, ScaleMode to) {
  Check("ScaleY");
  return ScaleBetween(value, from, to, owner_.world().tppY);
}

Integer TraceSurface::BackStyle() {
  Check("BackStyle");
  return state_.backStyle;
}

void TraceSurface::SetBackStyle(Integer style) {
  Check("BackStyle");
  if (style != 0 && style != 1) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: BackStyle " + std::to_string(style));
  }
  state_.backStyle = style;
}

Picture TraceSurface::GetPicture() {
  Check("Picture");
  return state_.picture;
}

void TraceSurface::SetPicture(const Picture& picture) {
  Check("Picture");
  state_.picture = picture;
}

bool TraceSurface::Enabled() {
  Check("Enabled");
  return state_.enabled;
}

void TraceSurface::SetEnabled(bool enabled) {
  Check("Enabled");
  state_.enabled = enabled;
}

Integer TraceSurface::Appearance() {
  Check("Appearance");
  return state_.appearance;
}

void TraceSurface::SetAppearance(Integer appearance) {
  Check("Appearance");
  if (appearance != 0 && appearance != 1) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: Appearance " + std::to_string(appearance));
  }
  state_.appearance = appearance;
}

Integer TraceSurface::BorderStyle() {
  Check("BorderStyle");
  return state_.borderStyle;
}

void TraceSurface::SetBorderStyle(Integer style) {
  Check("BorderStyle");
  if (style != 0 && style != 1) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: BorderStyle " + std::to_string(style));
  }
  state_.borderStyle = style;
}

Integer TraceSurface::MousePointer() {
  Check("MousePointer");
  return state_.mousePointer;
}

void TraceSurface::SetMousePointer(Integer pointer) {
  Check("MousePointer");
  if (pointer < 0 || (pointer > 15 && pointer != 99)) {
    throw MarkletError(ErrorNumber::InvalidPropertyValue,
                       "Invalid property value: MousePointer " + std::to_string(pointer));
  }
  state_.mousePointer = pointer;
  owner_.Emit("pointer", std::to_string(pointer));
}

void TraceSurface::Refresh() {
  Check("Refresh");
  owner_.Emit("refresh", "true");
  owner_.QueuePaint();
}

HWND TraceSurface::hWnd() { return state_.hwnd; }

}  // namespace marklet::trace

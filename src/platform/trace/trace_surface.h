// Metrics: fonts have a whole pixel height h = max(1, round(size x 20 / tppY));
// each UTF-16 code unit advances max(1, h div 2) pixels, one more when bold;
// every string is h + 2 pixels high. The border takes 0, 1 or 2 pixels a side.
#pragma once

#include <string>

#include "host/surface.h"
#include "host/values.h"

namespace marklet::trace {

class TraceContainer;

// The control's surface on the trace container.
class TraceSurface : public Surface {
 public:
  TraceSurface(TraceContainer& owner);

  void Cls() override;
  OleColor BackColor() override;
  void SetBackColor(OleColor color) override;
  OleColor ForeColor() override;
  void SetForeColor(OleColor color) override;
  FontDesc Font() override;
  void SetFont(const FontDesc& font) override;
  std::u16string FontName() override;
  void SetFontName(const std::u16string& name) override;
  Single FontSize() override;
  void SetFontSize(Single size) override;
  bool FontBold() override;
  void SetFontBold(bool bold) override;
  bool FontItalic() override;
  void SetFontItalic(bool italic) override;
  bool FontUnderline() override;
  void SetFontUnderline(bool underline) override;
  Single CurrentX() override;
  void SetCurrentX(Single x) override;
  Single CurrentY() override;
  void SetCurrentY(Single y) override;
  void Print(const std::u16string& text) override;
  Single TextWidth(const std::u16string& text) override;
  Single TextHeight(const std::u16string& text) override;
  Single ScaleWidth() override;
  Single ScaleHeight() override;
  Single Width() override;
  Single Height() override;
  void SetHeight(Single height) override;
  Single ScaleX(Single value, ScaleMode from, ScaleMode to) override;
  Single ScaleY(Single value, ScaleMode from, ScaleMode to) override;
  Integer BackStyle() override;
  void SetBackStyle(Integer style) override;
  Picture GetPicture() override;
  void SetPicture(const Picture& picture) override;
  bool Enabled() override;
  void SetEnabled(bool enabled) override;
  Integer Appearance() override;
  void SetAppearance(Integer appearance) override;
  Integer BorderStyle() override;
  void SetBorderStyle(Integer style) override;
  Integer MousePointer() override;
  void SetMousePointer(Integer pointer) override;
  void Refresh() override;
  HWND hWnd() override;

  // The surface's own values, as a host sets them at design time: no
  // record, no failure injection, no notification.
  struct State {
    Single width = 1350;
    Single height = 570;
    std::u16string fontName = u"MS Sans Serif";
    int fontPixels = 11;  // 8.25 points at 15 twips per pixel
    bool bold = false, italic = false, underline = false, strikethrough = false;
    Integer charset = 0;
    OleColor foreColor = 0x80000012u;
    OleColor backColor = 0x8000000Fu;
    Integer backStyle = 1;
    Integer appearance = 1;
    Integer borderStyle = 1;
    bool enabled = true;
    Picture picture;
    Integer mousePointer = 0;
    Single currentX = 0;
    Single currentY = 0;
    HWND hwnd = 0;
  };
  State& state() { return state_; }

  // Pixel height for a point size, or error 380 for a size the surface refuses.
  int PixelsForSize(Single size) const;
  Single SizeForPixels(int pixels) const;
  // Border pixels per side.
  int BorderPixels() const;
  // Sets the outer size without a notification (the `resize` command delivers one itself).
  void SetSizeQuietly(Single width, Single height) {
    state_.width = width;
    state_.height = height;
  }

 private:
  void Check(const char* op);
  TraceContainer& owner_;
  State state_;
};

}  // namespace marklet::trace

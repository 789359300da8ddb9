// The control's drawing surface on GDI: a memory bitmap the size of the
// control's window keeps what was drawn (so Print, Cls and the pen behave as
// a retained surface), and the window shows it. Lengths are twips; fonts are
// made with CreateFontIndirectW and their sizes read back from the font GDI
// realised; colours are OLE colours translated with OleTranslateColor.
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "host/surface.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

class Win32Container;

class GdiSurface : public Surface {
 public:
  GdiSurface(Win32Container& owner, ::HWND hwnd);
  ~GdiSurface() override;
  GdiSurface(const GdiSurface&) = delete;
  GdiSurface& operator=(const GdiSurface&) = delete;

  void Cls() override;
  OleColor BackColor() override { return backColor_; }
  void SetBackColor(OleColor color) override;
  OleColor ForeColor() override { return foreColor_; }
  void SetForeColor(OleColor color) override;
  FontDesc Font() override;
  void SetFont(const FontDesc& font) override;
  std::u16string FontName() override { return font_.name; }
  void SetFontName(const std::u16string& name) override;
  Single FontSize() override;
  void SetFontSize(Single size) override;
  bool FontBold() override { return font_.bold; }
  void SetFontBold(bool bold) override;
  bool FontItalic() override { return font_.italic; }
  void SetFontItalic(bool italic) override;
  bool FontUnderline() override { return font_.underline; }
  void SetFontUnderline(bool underline) override;
  Single CurrentX() override { return currentX_; }
  void SetCurrentX(Single x) override { currentX_ = x; }
  Single CurrentY() override { return currentY_; }
  void SetCurrentY(Single y) override { currentY_ = y; }
  void Print(const std::u16string& text) override;
  Single TextWidth(const std::u16string& text) override;
  Single TextHeight(const std::u16string& text) override;
  Single ScaleWidth() override;
  Single ScaleHeight() override;
  Single Width() override { return static_cast<Single>(width_ * tppX_); }
  Single Height() override { return static_cast<Single>(height_ * tppY_); }
  void SetHeight(Single height) override;
  Single ScaleX(Single value, ScaleMode from, ScaleMode to) override;
  Single ScaleY(Single value, ScaleMode from, ScaleMode to) override;
  Integer BackStyle() override { return backStyle_; }
  void SetBackStyle(Integer style) override;
  Picture GetPicture() override { return picture_; }
  void SetPicture(const Picture& picture) override { picture_ = picture; }
  bool Enabled() override { return enabled_; }
  void SetEnabled(bool enabled) override;
  Integer Appearance() override { return appearance_; }
  void SetAppearance(Integer appearance) override;
  Integer BorderStyle() override { return borderStyle_; }
  void SetBorderStyle(Integer style) override;
  Integer MousePointer() override { return mousePointer_; }
  void SetMousePointer(Integer pointer) override;
  void Refresh() override;
  HWND hWnd() override { return Handle(hwnd_); }

  // The window's client area took a new size (pixels): the bitmap follows, cleared.
  void Resized(int width, int height);
  int PixelWidth() const { return width_; }
  int PixelHeight() const { return height_; }
  int BorderPixels() const;
  double TppX() const { return tppX_; }
  double TppY() const { return tppY_; }
  // The memory device context holding the drawn surface, border included.
  HDC dc() const { return dc_; }
  // The pointer the MousePointer value stands for.
  HCURSOR Cursor() const;

 private:
  struct FontState {
    std::u16string name = u"MS Sans Serif";
    int pixels = 11;  // the requested em height
    bool bold = false, italic = false, underline = false, strikethrough = false;
    Integer charset = 0;
  };
  using FontKey = std::tuple<std::u16string, int, bool, bool, bool, bool, Integer>;

  void Allocate(int width, int height);
  void Clear();
  void DrawBorder();
  void ClipToClient();
  void Invalidate(const RECT* rect = nullptr);
  // Selects the font the state describes (made once per state) and returns
  // its metrics.
  const TEXTMETRICW& Select();
  int PixelsForSize(Single size) const;
  void ApplyCursorIfInside();

  Win32Container& owner_;
  ::HWND hwnd_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
  int width_ = 0, height_ = 0;
  double tppX_ = 15, tppY_ = 15;
  int logPixelsY_ = 96;

  FontState font_;
  std::map<FontKey, std::pair<HFONT, TEXTMETRICW>> fonts_;
  const std::pair<HFONT, TEXTMETRICW>* selected_ = nullptr;

  OleColor foreColor_ = 0x80000012u, backColor_ = 0x8000000Fu;
  Integer backStyle_ = 1, appearance_ = 1, borderStyle_ = 1, mousePointer_ = 0;
  bool enabled_ = true;
  Picture picture_;
  Single currentX_ = 0, currentY_ = 0;
};

// An OLE colour as a COLORREF; error 380 for one OleTranslateColor refuses.
COLORREF TranslateColor(OleColor color);

}  // namespace marklet::win32

// The control's drawing surface: a retained surface measured in twips with a
// font, colours, a pen and the design-time values the container keeps.
// Every failing call throws MarkletError.
#pragma once

#include <string>

#include "host/numeric.h"
#include "host/values.h"
#include "host/window_system.h"

namespace marklet {

// Scale modes of ScaleX/ScaleY.
enum class ScaleMode : int { Twips = 1, Pixels = 3, HiMetric = 8 };

// `value` measured in `from` units, in `to` units, along an axis of
// `twipsPerPixel`: what every surface's ScaleX and ScaleY answer. An unknown
// mode throws 380 naming it.
Single ScaleBetween(Single value, ScaleMode from, ScaleMode to, double twipsPerPixel);

// MousePointer values the control uses.
constexpr Integer kPointerDefault = 0;
constexpr Integer kPointerCustom = 99;

class Surface {
 public:
  virtual ~Surface() = default;

  // Clears to the background colour (and picture) and puts the pen at 0, 0.
  virtual void Cls() = 0;
  // Setting the background colour fills the surface with it, clearing it.
  virtual OleColor BackColor() = 0;
  virtual void SetBackColor(OleColor color) = 0;
  virtual OleColor ForeColor() = 0;
  virtual void SetForeColor(OleColor color) = 0;

  // The whole font object. A refused font (name or size) throws 380 and keeps the old one.
  virtual FontDesc Font() = 0;
  virtual void SetFont(const FontDesc& font) = 0;
  virtual std::u16string FontName() = 0;
  virtual void SetFontName(const std::u16string& name) = 0;
  // Reading back gives the size in use, which may be rounded to a renderable one.
  virtual Single FontSize() = 0;
  virtual void SetFontSize(Single size) = 0;
  virtual bool FontBold() = 0;
  virtual void SetFontBold(bool bold) = 0;
  virtual bool FontItalic() = 0;
  virtual void SetFontItalic(bool italic) = 0;
  virtual bool FontUnderline() = 0;
  virtual void SetFontUnderline(bool underline) = 0;

  // The pen, in twips from the inner top-left corner.
  virtual Single CurrentX() = 0;
  virtual void SetCurrentX(Single x) = 0;
  virtual Single CurrentY() = 0;
  virtual void SetCurrentY(Single y) = 0;
  // Draws the text at the pen and leaves the pen just after it on the same line.
  virtual void Print(const std::u16string& text) = 0;
  virtual Single TextWidth(const std::u16string& text) = 0;
  virtual Single TextHeight(const std::u16string& text) = 0;

  // ScaleWidth/ScaleHeight: the inside the control draws in; Width/Height:
  // the outer size, border included. All in twips.
  virtual Single ScaleWidth() = 0;
  virtual Single ScaleHeight() = 0;
  virtual Single Width() = 0;
  virtual Single Height() = 0;
  // Setting the outer height raises Resize (re-entrantly) when it changes.
  virtual void SetHeight(Single height) = 0;
  virtual Single ScaleX(Single value, ScaleMode from, ScaleMode to) = 0;
  virtual Single ScaleY(Single value, ScaleMode from, ScaleMode to) = 0;

  // Design-time values the container keeps and persists: BackStyle 0
  // transparent, 1 opaque; Appearance 0 flat, 1 3-D; BorderStyle 0 none,
  // 1 single.
  virtual Integer BackStyle() = 0;
  virtual void SetBackStyle(Integer style) = 0;
  virtual Picture GetPicture() = 0;
  virtual void SetPicture(const Picture& picture) = 0;
  virtual bool Enabled() = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual Integer Appearance() = 0;
  virtual void SetAppearance(Integer appearance) = 0;
  virtual Integer BorderStyle() = 0;
  virtual void SetBorderStyle(Integer style) = 0;
  // kPointerDefault, or kPointerCustom for the hand the host shows over links.
  virtual Integer MousePointer() = 0;
  virtual void SetMousePointer(Integer pointer) = 0;

  // Asks for a repaint; the container delivers Paint later.
  virtual void Refresh() = 0;
  // The window-system handle of the control's window (host/window_system.h).
  virtual HWND hWnd() = 0;
};

}  // namespace marklet

// Marklet: a label control whose Text is written in a small markup language.
//
// The class is written against the container interface alone. It holds the
// properties, the lifecycle and the wiring of the engine's parts, each of
// which owns its data: the parser fills a ParsedText (markup/parser.h), a
// RenderPass paints it and leaves the PaintedLinks (render/render_pass.h),
// and a SurfaceInput works on both for the pointer, the hover looks and the
// window hook (input/surface_input.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/container.h"
#include "host/numeric.h"
#include "host/values.h"
#include "input/link_view.h"
#include "input/surface_input.h"
#include "markup/parser.h"
#include "markup/records.h"
#include "render/render_pass.h"

namespace marklet {

// Enumerations of the automation surface (the type library spells borde's
// second member with its accented letter; C++ names it Solido). linkdisp_en
// lives with the link looks, in input/hover_state.h.
enum apariencia : Long { cPlano = 0, c3d = 1 };
enum transparencia : Long { Transparente = 0, Opaco = 1 };
enum borde : Long { Ninguno = 0, Solido = 1 };

class Marklet {
 public:
  // The container owns the control's surface and outlives the control.
  explicit Marklet(Container& container);
  ~Marklet();
  Marklet(const Marklet&) = delete;
  Marklet& operator=(const Marklet&) = delete;

  // ---- Properties (every accessor throws MarkletError on failure) ----
  // Setters notify the container (PropertyChanged with the property's name)
  // and, where the look changes, ask it for a repaint. Colours are OLE colours
  // (0x00BBGGRR, or 0x800000nn for a system colour).

  // Extra space between lines and the left margin, in pixels, 0..2184; a value
  // outside shows the host's range message box and is not stored (no error).
  Integer LineSpacing() const { return lineSpacing_; }
  void SetLineSpacing(Integer value);
  // The background picture, held by the container's surface.
  Picture GetPicture();
  void SetPicture(const Picture& picture);
  OleColor BackColor() const { return backColor_; }
  void SetBackColor(OleColor value);
  // Whether text that overflows ends with the More link (key "!More").
  bool ShowMoreLink() const { return showMoreLink_; }
  void SetShowMoreLink(bool value);
  // Whether MouseMove and OnLinkClick carry the link's text (its key always).
  bool GetTextOnEvent() const { return getTextOnEvent_; }
  void SetGetTextOnEvent(bool value);
  // False joins the source lines into one line.
  bool MultiLine() const { return !singleLine_; }
  void SetMultiLine(bool value);
  // Whether each paint sets the control's height to the drawn text's.
  bool AutoSizeHeight() const { return autoSizeHeight_; }
  void SetAutoSizeHeight(bool value);
  bool UnderlineLink() const { return look_.underline; }
  void SetUnderlineLink(bool value);
  Integer LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(Integer value);
  // How a link looks under the pointer (linkdisp_en, input/hover_state.h):
  // 0 unchanged, 1 ActiveLinkColor with the underline toggled, 2
  // ActiveLinkColor only, 3 the underline toggled only. Any value is stored;
  // other than 0 or 2 it makes the background opaque.
  Long LinkDisplay() const { return look_.display; }
  void SetLinkDisplay(Long value);
  // The spaces a tab becomes while MultiLine is on; shows at the next parse.
  Byte TabSize() const { return tabSize_; }
  void SetTabSize(Byte value);
  OleColor ForeColor() const { return foreColor_; }
  void SetForeColor(OleColor value);
  OleColor LinkColor() const { return look_.color; }
  void SetLinkColor(OleColor value);
  OleColor ActiveLinkColor() const { return look_.activeColor; }
  void SetActiveLinkColor(OleColor value);
  // The Text without its markup, as the last parse left it.
  std::u16string FormatedText() const { return parsed_.formatedText; }
  // Enabled, Font, Appearance (apariencia) and BorderStyle (borde) live in the
  // container's surface and are read from it on every get.
  bool Enabled();
  void SetEnabled(bool value);
  FontDesc Font();
  void SetFont(const FontDesc& font);
  Long Appearance();
  void SetAppearance(Long value);
  // The markup text; setting it parses it and requests a repaint.
  const std::u16string& Text() const { return text_; }
  void SetText(const std::u16string& value);
  const std::u16string& MoreLinkText() const { return moreLinkText_; }
  void SetMoreLinkText(const std::u16string& value);
  Long BorderStyle();
  void SetBorderStyle(Long value);

  // ---- Methods ----
  // Shows the About dialog modally through the container's forms.
  void About();
  // Asks the container for a repaint.
  void Refresh();

  // ---- Lifecycle notifications from the container ----
  // A container calls them in this order: Initialize; InitProperties (a new
  // instance: the defaults) or ReadProperties (a saved one, from the bag);
  // then Resize, Paint and Show as its window asks; WriteProperties to save;
  // Terminate before destroying the control.
  void Initialize();
  void InitProperties();
  void ReadProperties(PropertyBag& bag);
  void WriteProperties(PropertyBag& bag);
  void Resize();
  void Paint();
  void Show();
  void Terminate();
  // The host's font object changed an attribute (its Name, Size, Bold...):
  // handled as a Font set with `font`, the whole changed font. Unlike the
  // setter it raises the surface's refusal (380), after the notification,
  // the layout reset and the repaint request have run, so the host can put
  // its object back to Font() and report the error.
  void SurfaceFontChanged(const FontDesc& font);

  // ---- Surface input events from the container ----
  // Positions are twips from the control's top-left corner; button and shift
  // are the 1/2/4 masks hosts report. The arguments are references because
  // the events the control raises may change them.
  void SurfaceClick() { input_.Click(); }
  void SurfaceDblClick() { input_.DblClick(); }
  void SurfaceKeyDown(Integer& keyCode, Integer& shift) { input_.KeyDown(keyCode, shift); }
  void SurfaceKeyPress(Integer& keyAscii) { input_.KeyPress(keyAscii); }
  void SurfaceKeyUp(Integer& keyCode, Integer& shift) { input_.KeyUp(keyCode, shift); }
  void SurfaceMouseDown(Integer& button, Integer& shift, Single& x, Single& y) {
    input_.MouseDown(button, shift, x, y);
  }
  void SurfaceMouseMove(Integer& button, Integer& shift, Single& x, Single& y) {
    input_.MouseMove(button, shift, x, y);
  }
  void SurfaceMouseUp(Integer& button, Integer& shift, Single& x, Single& y) {
    input_.MouseUp(button, shift, x, y);
  }
  void ImageMouseMove(Integer index, Integer& button, Integer& shift, Single& x, Single& y) {
    input_.ImageMouseMove(index, button, shift, x, y);
  }
  void ImageMouseUp(Integer index, Integer& button, Integer& shift, Single& x, Single& y) {
    input_.ImageMouseUp(index, button, shift, x, y);
  }

  // ---- Read-only views of the internal tables (diagnostics and tests) ----
  const std::vector<RunRecord>& Runs() const { return parsed_.runs; }
  Integer LastRun() const { return parsed_.lastRun; }
  const std::vector<LinkRecord>& Links() const { return parsed_.links; }
  Integer LinkCount() const { return parsed_.linkCount; }
  const std::vector<ImageRecord>& Images() const { return parsed_.images; }
  Integer ImageCount() const { return parsed_.imageCount; }
  const std::vector<LinkSegment>& LinkSegments() const { return painted_.segments; }
  bool MoreLinkShown() const { return painted_.moreLinkShown; }
  bool LayoutReady() const { return layoutReady_; }
  Integer HoverLink() const { return input_.hover().link(); }
  Integer HoverSegment() const { return input_.hover().segment(); }
  const StyleState& Style() const { return parsed_.style; }
  Long TwipsPerPixelX() const { return twipsPerPixelX_; }
  Long TwipsPerPixelY() const { return twipsPerPixelY_; }
  bool Hooked() const { return input_.hook().Hooked(); }
  bool LeaveTracking() const { return input_.hook().LeaveTracking(); }
  // The links the last paint drew, and the link the pointer would find at a
  // point (input/link_view.h).
  std::vector<DrawnLink> DrawnLinks() const {
    return ::marklet::DrawnLinks(parsed_, painted_, input_.hover().LinkUnderPointer());
  }
  Integer LinkAtPoint(Single x, Single y) const { return ::marklet::LinkAtPoint(parsed_, painted_, x, y); }

  Container& container() { return container_; }

 private:
  Surface& surface() { return container_.surface(); }
  void RequestRepaint();
  void NotifyChanged(const char16_t* name);
  void CheckRange(Integer value, bool& accepted);
  // The Font setter's steps; raises the surface's refusal after all of them.
  void ApplyFont(const FontDesc& font);

  // Parses the Text into parsed_ with the control's settings (markup/parser.h).
  void ParseText(const std::u16string& text);

  // Paints the parsed text with the control's settings (render/render_pass.h).
  void RenderText();

  Container& container_;

  // Stored properties.
  std::u16string text_;
  bool getTextOnEvent_ = false;
  Integer leftMargin_ = 0;
  bool autoSizeHeight_ = false;
  OleColor foreColor_ = 0;
  OleColor backColor_ = 0;
  Byte tabSize_ = 0;
  Integer lineSpacing_ = 0;
  Long twipsPerPixelX_ = 0;
  Long twipsPerPixelY_ = 0;
  bool showMoreLink_ = false;
  std::u16string moreLinkText_;
  bool singleLine_ = false;

  // The font last accepted by the surface from the Font setter or from
  // loading, as the surface read it back: what Font reports, what is saved and
  // what each parse starts from. Drawing may change the surface's drawing
  // font; it never changes this.
  FontDesc acceptedFont_;
  bool hasAcceptedFont_ = false;

  // Parse results.
  ParsedText parsed_;
  bool layoutReady_ = false;

  // What the last paint left for the pointer.
  PaintedLinks painted_;

  // The look of links: LinkDisplay, UnderlineLink, LinkColor, ActiveLinkColor.
  LinkLook look_;

  // The pointer, hover and window hook, working on the tables above.
  SurfaceInput input_;
};

}  // namespace marklet

// Marklet: a label control whose Text is written in a small markup language.
//
// The class is written against the container interface alone. Its behaviour
// lives in the subsystem folders: control/ (properties, persistence,
// lifecycle), markup/ (parsing), render/ (drawing), input/ (hit testing,
// events and the window hook).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/container.h"
#include "host/numeric.h"
#include "host/values.h"
#include "markup/parser.h"
#include "markup/records.h"
#include "render/render_pass.h"

namespace marklet {

// Enumerations of the automation surface (the type library spells borde's
// second member with its accented letter; C++ names it Solido).
enum apariencia : Long { cPlano = 0, c3d = 1 };
enum transparencia : Long { Transparente = 0, Opaco = 1 };
enum borde : Long { Ninguno = 0, Solido = 1 };
enum linkdisp_en : Long { Normal = 0, NotU_NotC = 1, NotC = 2, NotU = 3 };

class Marklet {
 public:
  explicit Marklet(Container& container);
  ~Marklet();
  Marklet(const Marklet&) = delete;
  Marklet& operator=(const Marklet&) = delete;

  // ---- Properties (every accessor throws MarkletError on failure) ----
  Integer LineSpacing() const { return lineSpacing_; }
  void SetLineSpacing(Integer value);
  Picture GetPicture();
  void SetPicture(const Picture& picture);
  OleColor BackColor() const { return backColor_; }
  void SetBackColor(OleColor value);
  bool ShowMoreLink() const { return showMoreLink_; }
  void SetShowMoreLink(bool value);
  bool GetTextOnEvent() const { return getTextOnEvent_; }
  void SetGetTextOnEvent(bool value);
  bool MultiLine() const { return !singleLine_; }
  void SetMultiLine(bool value);
  bool AutoSizeHeight() const { return autoSizeHeight_; }
  void SetAutoSizeHeight(bool value);
  bool UnderlineLink() const { return underlineLink_; }
  void SetUnderlineLink(bool value);
  Integer LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(Integer value);
  Long LinkDisplay() const { return linkDisplay_; }
  void SetLinkDisplay(Long value);
  Byte TabSize() const { return tabSize_; }
  void SetTabSize(Byte value);
  OleColor ForeColor() const { return foreColor_; }
  void SetForeColor(OleColor value);
  OleColor LinkColor() const { return linkColor_; }
  void SetLinkColor(OleColor value);
  OleColor ActiveLinkColor() const { return activeLinkColor_; }
  void SetActiveLinkColor(OleColor value);
  std::u16string FormatedText() const { return parsed_.formatedText; }
  bool Enabled();
  void SetEnabled(bool value);
  FontDesc Font();
  void SetFont(const FontDesc& font);
  Long Appearance();
  void SetAppearance(Long value);
  const std::u16string& Text() const { return text_; }
  void SetText(const std::u16string& value);
  const std::u16string& MoreLinkText() const { return moreLinkText_; }
  void SetMoreLinkText(const std::u16string& value);
  Long BorderStyle();
  void SetBorderStyle(Long value);

  // ---- Methods ----
  void About();
  void Refresh();

  // ---- Lifecycle notifications from the container ----
  void Initialize();
  void InitProperties();
  void ReadProperties(PropertyBag& bag);
  void WriteProperties(PropertyBag& bag);
  void Resize();
  void Paint();
  void Show();
  void Terminate();

  // ---- Surface input events from the container ----
  void SurfaceClick();
  void SurfaceDblClick();
  void SurfaceKeyDown(Integer& keyCode, Integer& shift);
  void SurfaceKeyPress(Integer& keyAscii);
  void SurfaceKeyUp(Integer& keyCode, Integer& shift);
  void SurfaceMouseDown(Integer& button, Integer& shift, Single& x, Single& y);
  void SurfaceMouseMove(Integer& button, Integer& shift, Single& x, Single& y);
  void SurfaceMouseUp(Integer& button, Integer& shift, Single& x, Single& y);
  void ImageMouseMove(Integer index, Integer& button, Integer& shift, Single& x, Single& y);
  void ImageMouseUp(Integer index, Integer& button, Integer& shift, Single& x, Single& y);

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
  Integer HoverLink() const { return hoverLink_; }
  Integer HoverSegment() const { return hoverSegment_; }
  const StyleState& Style() const { return parsed_.style; }
  Long TwipsPerPixelX() const { return twipsPerPixelX_; }
  Long TwipsPerPixelY() const { return twipsPerPixelY_; }
  bool Hooked() const { return prevWndProc_ != 0; }
  bool LeaveTracking() const { return leaveTracking_; }

  // The window procedure the hook forwards to (input/window_hook.cc).
  LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // The module-level procedure registered for every hooked window.
  static LRESULT SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  Container& container() { return container_; }

 private:
  Surface& surface() { return container_.surface(); }
  void RequestRepaint();
  void NotifyChanged(const char16_t* name);
  void CheckRange(Integer value, bool& accepted);

  // Parses the Text into parsed_ with the control's settings (markup/parser.h).
  void ParseText(const std::u16string& text);

  // Paints the parsed text with the control's settings (render/render_pass.h).
  void RenderText();

  // input/hover.cc
  void UpdateHover(Single x, Single y);
  void ClearHover(bool found, bool raiseMouseOut);
  void RestoreSegments();
  void DrawLinkLook(const std::u16string& text, Single x, Single y, bool hover, bool isSegment,
                    Integer index);
  void DrawLink(Integer index, bool hover);
  void DrawSegmentsOf(Integer segment, bool hover);
  // The index into Links of the link under the pointer, or -1 when there is
  // none or the hover indices lie beyond the tables as they stand.
  Integer LinkUnderPointer() const;

  // input/events.cc, input/window_hook.cc
  void RequestMouseLeave();
  void HookWindow();
  void UnhookWindow();
  void RaiseLinkEvent(EventId id, EventArgs& args, Integer link);
  // Unit tests of input/ fill the tables by hand.
  friend struct InputTestAccess;

  Container& container_;

  // Stored properties.
  std::u16string text_;
  bool getTextOnEvent_ = false;
  Integer leftMargin_ = 0;
  bool autoSizeHeight_ = false;
  OleColor foreColor_ = 0;
  OleColor linkColor_ = 0;
  OleColor backColor_ = 0;
  bool underlineLink_ = false;
  Byte tabSize_ = 0;
  Integer lineSpacing_ = 0;
  Long twipsPerPixelX_ = 0;
  Long twipsPerPixelY_ = 0;
  Long linkDisplay_ = Normal;
  OleColor activeLinkColor_ = 0;
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
  // Non-zero while an event whose arguments refer into Links is being raised.
  int linksLocked_ = 0;

  // What the last paint left for the pointer.
  PaintedLinks painted_;

  // Hover state.
  Integer hoverLink_ = -1;
  Integer hoverSegment_ = -1;

  // Window hook state.
  bool leaveTracking_ = false;
  LONG_PTR prevWndProc_ = 0;
  HWND hookedHwnd_ = 0;
};

}  // namespace marklet

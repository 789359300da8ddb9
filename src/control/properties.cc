// The property surface: every setter stores (or hands the value to the
// surface), notifies the container with the property's own name, marks the
// layout stale where the runs change, then asks for a repaint. Setters never
// compare with the old value.
#include <optional>

#include "control/marklet.h"
#include "host/error.h"

namespace marklet {

namespace {

constexpr Integer kMaxPixelSetting = 2184;
const char16_t kRangeMessage[] = u"El valor introducido está fuera del intervalo permitido.";
// The component's default application title.
const char16_t kApplicationTitle[] = u"MarkletControl";

}  // namespace

void Marklet::RequestRepaint() { surface().Refresh(); }

void Marklet::NotifyChanged(const char16_t* name) { container_.PropertyChanged(name); }

// LineSpacing and LeftMargin accept 0..2184 pixels. Anything else shows the
// range message and the setter returns success without changing anything.
void Marklet::CheckRange(Integer value, bool& accepted) {
  accepted = value >= 0 && value <= kMaxPixelSetting;
  if (!accepted) container_.MsgBox(kRangeMessage, kMsgBoxOkOnly | kMsgBoxCritical, kApplicationTitle);
}

void Marklet::SetLineSpacing(Integer value) {
  bool accepted;
  CheckRange(value, accepted);
  if (!accepted) return;
  lineSpacing_ = value;
  NotifyChanged(u"LineSpacing");
  RequestRepaint();
}

Picture Marklet::GetPicture() { return surface().GetPicture(); }

void Marklet::SetPicture(const Picture& picture) {
  surface().SetPicture(picture);
  NotifyChanged(u"Picture");
}

void Marklet::SetBackColor(OleColor value) {
  backColor_ = value;
  NotifyChanged(u"BackColor");
  RequestRepaint();
}

void Marklet::SetShowMoreLink(bool value) {
  showMoreLink_ = value;
  NotifyChanged(u"ShowMoreLink");
  layoutReady_ = false;
  RequestRepaint();
}

void Marklet::SetGetTextOnEvent(bool value) {
  getTextOnEvent_ = value;
  NotifyChanged(u"GetTextOnEvent");
  RequestRepaint();
}

void Marklet::SetMultiLine(bool value) {
  singleLine_ = !value;
  NotifyChanged(u"MultiLine");
  layoutReady_ = false;
  RequestRepaint();
}

void Marklet::SetAutoSizeHeight(bool value) {
  autoSizeHeight_ = value;
  NotifyChanged(u"AutoSizeHeight");
  RequestRepaint();
}

void Marklet::SetUnderlineLink(bool value) {
  look_.underline = value;
  NotifyChanged(u"UnderlineLink");
  RequestRepaint();
}

void Marklet::SetLeftMargin(Integer value) {
  bool accepted;
  CheckRange(value, accepted);
  if (!accepted) return;
  leftMargin_ = value;
  NotifyChanged(u"LeftMargin");
  RequestRepaint();
}

// Links may not react with an underline change on a transparent background
// (the erase-print needs an opaque one), so any LinkDisplay other than Normal
// and NotC makes the background opaque. Going back never makes it transparent.
void Marklet::SetLinkDisplay(Long value) {
  look_.display = value;
  NotifyChanged(u"LinkDisplay");
  if (surface().BackStyle() == 0 && value != Normal && value != NotC) {
    surface().SetBackStyle(1);
    NotifyChanged(u"BackStyle");
  }
  RequestRepaint();
}

// A new tab size shows at the next parse; it neither invalidates nor repaints.
void Marklet::SetTabSize(Byte value) {
  tabSize_ = value;
  NotifyChanged(u"TabSize");
}

void Marklet::SetForeColor(OleColor value) {
  foreColor_ = value;
  NotifyChanged(u"ForeColor");
  RequestRepaint();
}

void Marklet::SetLinkColor(OleColor value) {
  look_.color = value;
  NotifyChanged(u"LinkColor");
  RequestRepaint();
}

void Marklet::SetActiveLinkColor(OleColor value) {
  look_.activeColor = value;
  NotifyChanged(u"ActiveLinkColor");
  RequestRepaint();
}

bool Marklet::Enabled() { return surface().Enabled(); }

void Marklet::SetEnabled(bool value) {
  surface().SetEnabled(value);
  NotifyChanged(u"Enabled");
}

FontDesc Marklet::Font() {
  if (!hasAcceptedFont_) return surface().Font();
  return acceptedFont_;
}

// The Font setter always reports success: a font the surface refuses leaves
// the previous one in place, and every later step still runs.
void Marklet::SetFont(const FontDesc& font) {
  try {
    ApplyFont(font);
  } catch (const MarkletError&) {
  }
}

// The same steps as the setter; the surface's refusal is raised once they
// have all run, so the host can undo the change on its font object and report it.
void Marklet::SurfaceFontChanged(const FontDesc& font) { ApplyFont(font); }

void Marklet::ApplyFont(const FontDesc& font) {
  std::optional<MarkletError> refused;
  try {
    surface().SetFont(font);
    acceptedFont_ = surface().Font();
    hasAcceptedFont_ = true;
  } catch (const MarkletError& e) {
    refused = e;
  }
  try {
    NotifyChanged(u"Font");
  } catch (const MarkletError&) {
  }
  layoutReady_ = false;
  try {
    RequestRepaint();
  } catch (const MarkletError&) {
  }
  if (refused) throw *refused;
}

Long Marklet::Appearance() { return surface().Appearance(); }

void Marklet::SetAppearance(Long value) {
  Integer narrowed = CInt(static_cast<std::int64_t>(value));
  surface().SetAppearance(narrowed);
  NotifyChanged(u"Appearance");
}

Long Marklet::BorderStyle() { return surface().BorderStyle(); }

void Marklet::SetBorderStyle(Long value) {
  Integer narrowed = CInt(static_cast<std::int64_t>(value));
  surface().SetBorderStyle(narrowed);
  NotifyChanged(u"BorderStyle");
}

// Setting Text parses and draws at once, even when the text is unchanged.
void Marklet::SetText(const std::u16string& value) {
  text_ = value;
  NotifyChanged(u"Text");
  layoutReady_ = false;
  surface().Cls();
  ParseText(text_);
  RenderText();
}

void Marklet::SetMoreLinkText(const std::u16string& value) {
  moreLinkText_ = value;
  NotifyChanged(u"MoreLinkText");
  layoutReady_ = false;
  RequestRepaint();
}

void Marklet::Refresh() { RequestRepaint(); }

}  // namespace marklet

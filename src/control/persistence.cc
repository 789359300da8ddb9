// Initialising a new instance and reading and writing the property bag, keys
// in their fixed orders. Read and write orders differ on purpose; stored
// files rely on the keys and defaults, never on the order.
#include <algorithm>

#include "control/marklet.h"
#include "host/error.h"

namespace marklet {

namespace {

constexpr OleColor kButtonTextColor = 0x80000012u;
constexpr OleColor kBlue = 0xFF0000u;
constexpr Integer kMaxPixelSetting = 2184;

Variant V(bool v) { return Variant::FromBool(v); }
Variant VI(Integer v) { return Variant::FromInteger(v); }
Variant VL(Long v) { return Variant::FromLong(v); }
Variant VC(OleColor v) { return Variant::FromLong(static_cast<Long>(v)); }
OleColor ToColor(const Variant& v) { return static_cast<OleColor>(v.ToLong()); }

// Stored pixel settings outside the range the setters allow are clamped into
// it, so a hand-edited or foreign file never makes every paint fail.
Integer ClampPixelSetting(Integer v) { return std::clamp<Integer>(v, 0, kMaxPixelSetting); }

}  // namespace

void Marklet::InitProperties() {
  text_ = container_.AmbientDisplayName();
  backColor_ = container_.AmbientBackColor();
  autoSizeHeight_ = true;
  look_.color = kBlue;
  look_.underline = true;
  tabSize_ = 5;
  look_.activeColor = kBlue;
  moreLinkText_ = u"...+";
  showMoreLink_ = true;
}

void Marklet::ReadProperties(PropertyBag& bag) {
  OleColor ambientBack = container_.AmbientBackColor();
  backColor_ = ToColor(bag.ReadProperty(u"BackColor", VC(ambientBack)));
  singleLine_ = !bag.ReadProperty(u"MultiLine", V(true)).ToBool();
  foreColor_ = ToColor(bag.ReadProperty(u"ForeColor", VC(kButtonTextColor)));
  surface().SetEnabled(bag.ReadProperty(u"Enabled", V(true)).ToBool());
  showMoreLink_ = bag.ReadProperty(u"ShowMoreLink", V(false)).ToBool();
  {
    FontDesc ambientFont = container_.AmbientFont();
    FontDesc font = bag.ReadProperty(u"Font", Variant::FromFont(ambientFont)).ToFont();
    surface().SetFont(font);
    acceptedFont_ = surface().Font();
    hasAcceptedFont_ = true;
  }
  surface().SetAppearance(bag.ReadProperty(u"Appearance", VI(1)).ToInteger());
  surface().SetBackStyle(bag.ReadProperty(u"BackStyle", VI(1)).ToInteger());
  surface().SetBorderStyle(bag.ReadProperty(u"BorderStyle", VI(1)).ToInteger());
  text_ = bag.ReadProperty(u"Text", Variant::FromString(u"")).ToString();
  moreLinkText_ = bag.ReadProperty(u"MoreLinkText", Variant::FromString(u"...+")).ToString();
  autoSizeHeight_ = bag.ReadProperty(u"AutoSizeHeight", V(false)).ToBool();
  leftMargin_ = ClampPixelSetting(bag.ReadProperty(u"LeftMargin", VI(0)).ToInteger());
  look_.color = ToColor(bag.ReadProperty(u"LinkColor", VC(kBlue)));
  look_.underline = bag.ReadProperty(u"UnderlineLink", V(true)).ToBool();
  SetPicture(bag.ReadProperty(u"Picture", Variant::FromPicture(nullptr)).ToPicture());
  tabSize_ = bag.ReadProperty(u"TabSize", Variant::FromByte(5)).ToByte();
  lineSpacing_ = ClampPixelSetting(bag.ReadProperty(u"LineSpacing", VI(0)).ToInteger());
  look_.display = bag.ReadProperty(u"LinkDisplay", VI(0)).ToLong();
  look_.activeColor = ToColor(bag.ReadProperty(u"ActiveLinkColor", VC(LinkColor())));
  getTextOnEvent_ = bag.ReadProperty(u"GetTextOnEvent", V(false)).ToBool();
}

void Marklet::WriteProperties(PropertyBag& bag) {
  OleColor ambientBack = container_.AmbientBackColor();
  bag.WriteProperty(u"BackColor", VC(backColor_), VC(ambientBack));
  bag.WriteProperty(u"ForeColor", VC(foreColor_), VC(kButtonTextColor));
  bag.WriteProperty(u"Enabled", V(surface().Enabled()), V(true));
  bag.WriteProperty(u"ShowMoreLink", V(showMoreLink_), V(false));
  {
    // The font first, then the ambient default: a failure of either stops here in that order.
    Variant font = Variant::FromFont(Font());
    bag.WriteProperty(u"Font", font, Variant::FromFont(container_.AmbientFont()));
  }
  bag.WriteProperty(u"Appearance", VI(surface().Appearance()), VI(1));
  bag.WriteProperty(u"BackStyle", VI(surface().BackStyle()), VI(1));
  bag.WriteProperty(u"BorderStyle", VI(surface().BorderStyle()), VI(1));
  bag.WriteProperty(u"Text", Variant::FromString(text_), Variant::FromString(u""));
  bag.WriteProperty(u"MoreLinkText", Variant::FromString(moreLinkText_), Variant::FromString(u"...+"));
  bag.WriteProperty(u"AutoSizeHeight", V(autoSizeHeight_), V(false));
  bag.WriteProperty(u"LeftMargin", VI(leftMargin_), VI(0));
  bag.WriteProperty(u"LinkColor", VC(look_.color), VC(kBlue));
  bag.WriteProperty(u"UnderlineLink", V(look_.underline), V(true));
  bag.WriteProperty(u"Picture", Variant::FromPicture(GetPicture()), Variant::FromPicture(nullptr));
  bag.WriteProperty(u"TabSize", Variant::FromByte(tabSize_), Variant::FromByte(5));
  bag.WriteProperty(u"LineSpacing", VI(lineSpacing_), VI(0));
  bag.WriteProperty(u"LinkDisplay", VL(look_.display), VI(0));
  bag.WriteProperty(u"ActiveLinkColor", VC(look_.activeColor), VC(LinkColor()));
  bag.WriteProperty(u"MultiLine", V(!singleLine_), V(true));
  bag.WriteProperty(u"GetTextOnEvent", V(getTextOnEvent_), V(false));
}

}  // namespace marklet

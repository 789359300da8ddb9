#include "control/dispatch.h"

#include <array>

#include "host/error.h"

namespace marklet {

namespace {

constexpr std::array<MemberInfo, 23> kMembers{{
    {"LineSpacing", 0x68030016, MemberKind::Property, AutoType::Integer, true},
    {"Picture", 0x68030015, MemberKind::Property, AutoType::Picture, true},
    {"BackColor", 0x68030014, MemberKind::Property, AutoType::OleColor, true},
    {"ShowMoreLink", 0x68030013, MemberKind::Property, AutoType::Boolean, true},
    {"GetTextOnEvent", 0x68030012, MemberKind::Property, AutoType::Boolean, true},
    {"MultiLine", 0x68030011, MemberKind::Property, AutoType::Boolean, true},
    {"AutoSizeHeight", 0x68030010, MemberKind::Property, AutoType::Boolean, true},
    {"UnderlineLink", 0x6803000E, MemberKind::Property, AutoType::Boolean, true},
    {"LeftMargin", 0x6803000D, MemberKind::Property, AutoType::Integer, true},
    {"LinkDisplay", 0x6803000C, MemberKind::Property, AutoType::LinkDisplay, true},
    {"TabSize", 0x6803000B, MemberKind::Property, AutoType::Byte, true},
    {"ForeColor", 0x6803000A, MemberKind::Property, AutoType::OleColor, true},
    {"About", kDispidAboutBox, MemberKind::Method, AutoType::Void, false},
    {"LinkColor", 0x68030009, MemberKind::Property, AutoType::OleColor, true},
    {"ActiveLinkColor", 0x68030008, MemberKind::Property, AutoType::OleColor, true},
    {"FormatedText", 0x68030007, MemberKind::Property, AutoType::String, false},
    {"Enabled", 0x68030006, MemberKind::Property, AutoType::Boolean, true},
    {"Font", 0x68030005, MemberKind::Property, AutoType::Font, true},
    {"Appearance", 0x68030004, MemberKind::Property, AutoType::Apariencia, true},
    {"Text", 0x68030002, MemberKind::Property, AutoType::String, true},
    {"MoreLinkText", 0x68030001, MemberKind::Property, AutoType::String, true},
    {"BorderStyle", 0x68030000, MemberKind::Property, AutoType::Borde, true},
    {"Refresh", 0x6003001A, MemberKind::Method, AutoType::Void, false},
}};

const std::vector<EventInfo>& EventTable() {
  static const std::vector<EventInfo> events{
      {"Click", EventId::Click, {}},
      {"DblClick", EventId::DblClick, {}},
      {"KeyDown", EventId::KeyDown, {{"KeyCode", AutoType::Integer}, {"Shift", AutoType::Integer}}},
      {"KeyPress", EventId::KeyPress, {{"KeyAscii", AutoType::Integer}}},
      {"KeyUp", EventId::KeyUp, {{"KeyCode", AutoType::Integer}, {"Shift", AutoType::Integer}}},
      {"MouseDown", EventId::MouseDown,
       {{"Button", AutoType::Integer}, {"Shift", AutoType::Integer}, {"X", AutoType::Single},
        {"Y", AutoType::Single}}},
      {"MouseMove", EventId::MouseMove,
       {{"LinkText", AutoType::String}, {"LinkKey", AutoType::String}, {"Button", AutoType::Integer},
        {"Shift", AutoType::Integer}, {"X", AutoType::Single}, {"Y", AutoType::Single}}},
      {"MouseUp", EventId::MouseUp,
       {{"Button", AutoType::Integer}, {"Shift", AutoType::Integer}, {"X", AutoType::Single},
        {"Y", AutoType::Single}}},
      {"OnLinkClick", EventId::OnLinkClick,
       {{"LinkText", AutoType::String}, {"LinkKey", AutoType::String}}},
      {"MouseOut", EventId::MouseOut, {}},
  };
  return events;
}

const std::vector<EnumInfo>& EnumTable() {
  static const std::vector<EnumInfo> enums{
      {"apariencia", AutoType::Apariencia, kAparienciaGuid, {{"cPlano", 0}, {"c3d", 1}}},
      {"transparencia", AutoType::Void, kTransparenciaGuid, {{"Transparente", 0}, {"Opaco", 1}}},
      {"borde", AutoType::Borde, kBordeGuid, {{"Ninguno", 0}, {"S\xC3\xB3lido", 1}}},
      {"linkdisp_en", AutoType::LinkDisplay, kLinkDisplayGuid,
       {{"Normal", 0}, {"NotU_NotC", 1}, {"NotC", 2}, {"NotU", 3}}},
  };
  return enums;
}

bool EqualsIgnoreCase(std::u16string_view a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char16_t x = a[i];
    char16_t y = static_cast<unsigned char>(b[i]);
    if (x >= u'A' && x <= u'Z') x += 32;
    if (y >= u'A' && y <= u'Z') y += 32;
    if (x != y) return false;
  }
  return i == a.size() && b[i] == 0;
}

OleColor ToColor(const Variant& v) { return static_cast<OleColor>(v.ToLong()); }

}  // namespace

std::span<const MemberInfo> Members() { return kMembers; }
std::span<const EventInfo> Events() { return EventTable(); }
std::span<const EnumInfo> Enumerations() { return EnumTable(); }

const EnumInfo* FindEnumeration(AutoType type) {
  if (type == AutoType::Void) return nullptr;
  for (const auto& e : EnumTable())
    if (e.type == type) return &e;
  return nullptr;
}

const MemberInfo* FindMember(std::u16string_view name) {
  for (const auto& m : kMembers)
    if (EqualsIgnoreCase(name, m.name)) return &m;
  return nullptr;
}

const MemberInfo* FindMember(Long dispid) {
  for (const auto& m : kMembers)
    if (m.dispid == dispid) return &m;
  return nullptr;
}

const EventInfo* FindEvent(std::u16string_view name) {
  for (const auto& e : EventTable())
    if (EqualsIgnoreCase(name, e.name)) return &e;
  return nullptr;
}

const EventInfo* FindEvent(EventId id) {
  for (const auto& e : EventTable())
    if (e.id == id) return &e;
  return nullptr;
}

Variant CoerceTo(AutoType type, const Variant& value) {
  switch (type) {
    case AutoType::Integer: return Variant::FromInteger(value.ToInteger());
    case AutoType::Long:
    case AutoType::OleColor:
    case AutoType::Apariencia:
    case AutoType::Borde:
    case AutoType::LinkDisplay: return Variant::FromLong(value.ToLong());
    case AutoType::Byte: return Variant::FromByte(value.ToByte());
    case AutoType::Single: return Variant::FromSingle(value.ToSingle());
    case AutoType::Boolean: return Variant::FromBool(value.ToBool());
    case AutoType::String: return Variant::FromString(value.ToString());
    case AutoType::Font: return Variant::FromFont(value.ToFont());
    case AutoType::Picture: return Variant::FromPicture(value.ToPicture());
    case AutoType::Void: return Variant();
  }
  return Variant();
}

namespace {

Variant Get(Marklet& c, Long dispid) {
  switch (dispid) {
    case 0x68030016: return Variant::FromInteger(c.LineSpacing());
    case 0x68030015: return Variant::FromPicture(c.GetPicture());
    case 0x68030014: return Variant::FromLong(static_cast<Long>(c.BackColor()));
    case 0x68030013: return Variant::FromBool(c.ShowMoreLink());
    case 0x68030012: return Variant::FromBool(c.GetTextOnEvent());
    case 0x68030011: return Variant::FromBool(c.MultiLine());
    case 0x68030010: return Variant::FromBool(c.AutoSizeHeight());
    case 0x6803000E: return Variant::FromBool(c.UnderlineLink());
    case 0x6803000D: return Variant::FromInteger(c.LeftMargin());
    case 0x6803000C: return Variant::FromLong(c.LinkDisplay());
    case 0x6803000B: return Variant::FromByte(c.TabSize());
    case 0x6803000A: return Variant::FromLong(static_cast<Long>(c.ForeColor()));
    case 0x68030009: return Variant::FromLong(static_cast<Long>(c.LinkColor()));
    case 0x68030008: return Variant::FromLong(static_cast<Long>(c.ActiveLinkColor()));
    case 0x68030007: return Variant::FromString(c.FormatedText());
    case 0x68030006: return Variant::FromBool(c.Enabled());
    case 0x68030005: return Variant::FromFont(c.Font());
    case 0x68030004: return Variant::FromLong(c.Appearance());
    case 0x68030002: return Variant::FromString(c.Text());
    case 0x68030001: return Variant::FromString(c.MoreLinkText());
    case 0x68030000: return Variant::FromLong(c.BorderStyle());
  }
  throw MarkletError(ErrorNumber::InvalidProcedureCall, "Member has no value to read");
}

void Put(Marklet& c, const MemberInfo& m, const Variant& raw) {
  Variant v = CoerceTo(m.type, raw);
  switch (m.dispid) {
    case 0x68030016: c.SetLineSpacing(v.ToInteger()); return;
    case 0x68030015: c.SetPicture(v.AsPicture()); return;
    case 0x68030014: c.SetBackColor(ToColor(v)); return;
    case 0x68030013: c.SetShowMoreLink(v.AsBool()); return;
    case 0x68030012: c.SetGetTextOnEvent(v.AsBool()); return;
    case 0x68030011: c.SetMultiLine(v.AsBool()); return;
    case 0x68030010: c.SetAutoSizeHeight(v.AsBool()); return;
    case 0x6803000E: c.SetUnderlineLink(v.AsBool()); return;
    case 0x6803000D: c.SetLeftMargin(v.ToInteger()); return;
    case 0x6803000C: c.SetLinkDisplay(v.ToLong()); return;
    case 0x6803000B: c.SetTabSize(v.ToByte()); return;
    case 0x6803000A: c.SetForeColor(ToColor(v)); return;
    case 0x68030009: c.SetLinkColor(ToColor(v)); return;
    case 0x68030008: c.SetActiveLinkColor(ToColor(v)); return;
    case 0x68030006: c.SetEnabled(v.AsBool()); return;
    case 0x68030005: c.SetFont(v.AsFont()); return;
    case 0x68030004: c.SetAppearance(v.ToLong()); return;
    case 0x68030002: c.SetText(v.AsString()); return;
    case 0x68030001: c.SetMoreLinkText(v.AsString()); return;
    case 0x68030000: c.SetBorderStyle(v.ToLong()); return;
  }
}

}  // namespace

Variant Invoke(Marklet& control, Long dispid, InvokeKind kind, std::span<const Variant> args) {
  const MemberInfo* m = FindMember(dispid);
  if (!m) throw MarkletError(ErrorNumber::NotSupported, "Object doesn't support this property or method");
  if (m->kind == MemberKind::Method) {
    if (kind != InvokeKind::Call && kind != InvokeKind::Get) {
      throw MarkletError(ErrorNumber::InvalidProcedureCall,
                         std::string(m->name) + " is a method and cannot be assigned");
    }
    if (!args.empty()) {
      throw MarkletError(ErrorNumber::InvalidProcedureCall,
                         std::string(m->name) + " takes no arguments");
    }
    if (m->dispid == kDispidAboutBox) control.About();
    else control.Refresh();
    return Variant();
  }
  switch (kind) {
    case InvokeKind::Get:
    case InvokeKind::Call:
      if (!args.empty()) {
        throw MarkletError(ErrorNumber::InvalidProcedureCall,
                           std::string(m->name) + " takes no arguments when read");
      }
      return Get(control, m->dispid);
    case InvokeKind::Put:
      if (!m->canPut) {
        throw MarkletError(ErrorNumber::PropertyReadOnly,
                           std::string("Property is read-only: ") + m->name);
      }
      if (args.size() != 1) {
        throw MarkletError(ErrorNumber::InvalidProcedureCall,
                           std::string(m->name) + " takes exactly one value");
      }
      Put(control, *m, args[0]);
      return Variant();
  }
  return Variant();
}

Variant Invoke(Marklet& control, std::u16string_view name, InvokeKind kind,
               std::span<const Variant> args) {
  const MemberInfo* m = FindMember(name);
  if (!m) {
    throw MarkletError(ErrorNumber::NotSupported, "Object doesn't support this property or method: " + U16ToUtf8(name));
  }
  return Invoke(control, m->dispid, kind, args);
}

}  // namespace marklet

#include "control/dispatch.h"

#include <array>

#include "host/error.h"

namespace marklet {

namespace {

OleColor ToColor(const Variant& v) { return static_cast<OleColor>(v.ToLong()); }
Variant FromColor(OleColor c) { return Variant::FromLong(static_cast<Long>(c)); }

// The interface in vtable order: each property's get accessor, then its put
// or putref when it has one; the methods take no arguments. Hosts compiled
// against the type library call by slot, so rows are only ever appended.
constexpr std::array kMembers{
    MemberInfo{"LineSpacing", 0x68030016, MemberKind::Property, AutoType::Integer,
               [](Marklet& c) { return Variant::FromInteger(c.LineSpacing()); },
               [](Marklet& c, const Variant& v) { c.SetLineSpacing(v.ToInteger()); }},
    MemberInfo{"Picture", 0x68030015, MemberKind::Property, AutoType::Picture,
               [](Marklet& c) { return Variant::FromPicture(c.GetPicture()); },
               [](Marklet& c, const Variant& v) { c.SetPicture(v.AsPicture()); }},
    MemberInfo{"BackColor", 0x68030014, MemberKind::Property, AutoType::OleColor,
               [](Marklet& c) { return FromColor(c.BackColor()); },
               [](Marklet& c, const Variant& v) { c.SetBackColor(ToColor(v)); }},
    MemberInfo{"ShowMoreLink", 0x68030013, MemberKind::Property, AutoType::Boolean,
               [](Marklet& c) { return Variant::FromBool(c.ShowMoreLink()); },
               [](Marklet& c, const Variant& v) { c.SetShowMoreLink(v.AsBool()); }},
    MemberInfo{"GetTextOnEvent", 0x68030012, MemberKind::Property, AutoType::Boolean,
               [](Marklet& c) { return Variant::FromBool(c.GetTextOnEvent()); },
               [](Marklet& c, const Variant& v) { c.SetGetTextOnEvent(v.AsBool()); }},
    MemberInfo{"MultiLine", 0x68030011, MemberKind::Property, AutoType::Boolean,
               [](Marklet& c) { return Variant::FromBool(c.MultiLine()); },
               [](Marklet& c, const Variant& v) { c.SetMultiLine(v.AsBool()); }},
    MemberInfo{"AutoSizeHeight", 0x68030010, MemberKind::Property, AutoType::Boolean,
               [](Marklet& c) { return Variant::FromBool(c.AutoSizeHeight()); },
               [](Marklet& c, const Variant& v) { c.SetAutoSizeHeight(v.AsBool()); }},
    MemberInfo{"UnderlineLink", 0x6803000E, MemberKind::Property, AutoType::Boolean,
               [](Marklet& c) { return Variant::FromBool(c.UnderlineLink()); },
               [](Marklet& c, const Variant& v) { c.SetUnderlineLink(v.AsBool()); }},
    MemberInfo{"LeftMargin", 0x6803000D, MemberKind::Property, AutoType::Integer,
               [](Marklet& c) { return Variant::FromInteger(c.LeftMargin()); },
               [](Marklet& c, const Variant& v) { c.SetLeftMargin(v.ToInteger()); }},
    MemberInfo{"LinkDisplay", 0x6803000C, MemberKind::Property, AutoType::LinkDisplay,
               [](Marklet& c) { return Variant::FromLong(c.LinkDisplay()); },
               [](Marklet& c, const Variant& v) { c.SetLinkDisplay(v.ToLong()); }},
    MemberInfo{"TabSize", 0x6803000B, MemberKind::Property, AutoType::Byte,
               [](Marklet& c) { return Variant::FromByte(c.TabSize()); },
               [](Marklet& c, const Variant& v) { c.SetTabSize(v.ToByte()); }},
    MemberInfo{"ForeColor", 0x6803000A, MemberKind::Property, AutoType::OleColor,
               [](Marklet& c) { return FromColor(c.ForeColor()); },
               [](Marklet& c, const Variant& v) { c.SetForeColor(ToColor(v)); }},
    MemberInfo{"About", kDispidAboutBox, MemberKind::Method, AutoType::Void,
               [](Marklet& c) { c.About(); return Variant(); }, nullptr},
    MemberInfo{"LinkColor", 0x68030009, MemberKind::Property, AutoType::OleColor,
               [](Marklet& c) { return FromColor(c.LinkColor()); },
               [](Marklet& c, const Variant& v) { c.SetLinkColor(ToColor(v)); }},
    MemberInfo{"ActiveLinkColor", 0x68030008, MemberKind::Property, AutoType::OleColor,
               [](Marklet& c) { return FromColor(c.ActiveLinkColor()); },
               [](Marklet& c, const Variant& v) { c.SetActiveLinkColor(ToColor(v)); }},
    MemberInfo{"FormatedText", 0x68030007, MemberKind::Property, AutoType::String,
               [](Marklet& c) { return Variant::FromString(c.FormatedText()); },
               nullptr},
    MemberInfo{"Enabled", 0x68030006, MemberKind::Property, AutoType::Boolean,
               [](Marklet& c) { return Variant::FromBool(c.Enabled()); },
               [](Marklet& c, const Variant& v) { c.SetEnabled(v.AsBool()); }},
    MemberInfo{"Font", 0x68030005, MemberKind::Property, AutoType::Font,
               [](Marklet& c) { return Variant::FromFont(c.Font()); },
               [](Marklet& c, const Variant& v) { c.SetFont(v.AsFont()); }},
    MemberInfo{"Appearance", 0x68030004, MemberKind::Property, AutoType::Apariencia,
               [](Marklet& c) { return Variant::FromLong(c.Appearance()); },
               [](Marklet& c, const Variant& v) { c.SetAppearance(v.ToLong()); }},
    MemberInfo{"Text", 0x68030002, MemberKind::Property, AutoType::String,
               [](Marklet& c) { return Variant::FromString(c.Text()); },
               [](Marklet& c, const Variant& v) { c.SetText(v.AsString()); }},
    MemberInfo{"MoreLinkText", 0x68030001, MemberKind::Property, AutoType::String,
               [](Marklet& c) { return Variant::FromString(c.MoreLinkText()); },
               [](Marklet& c, const Variant& v) { c.SetMoreLinkText(v.AsString()); }},
    MemberInfo{"BorderStyle", 0x68030000, MemberKind::Property, AutoType::Borde,
               [](Marklet& c) { return Variant::FromLong(c.BorderStyle()); },
               [](Marklet& c, const Variant& v) { c.SetBorderStyle(v.ToLong()); }},
    MemberInfo{"Refresh", 0x6003001A, MemberKind::Method, AutoType::Void,
               [](Marklet& c) { c.Refresh(); return Variant(); }, nullptr},
};

constexpr bool SameName(const char* a, const char* b) {
  for (; *a || *b; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
    char y = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b + 32) : *b;
    if (x != y) return false;
  }
  return true;
}

// Lookups by DISPID and by name take the first match, so a repeat would hide a row.
constexpr bool RowsAreDistinct() {
  for (std::size_t i = 0; i < kMembers.size(); ++i)
    for (std::size_t j = i + 1; j < kMembers.size(); ++j)
      if (kMembers[i].dispid == kMembers[j].dispid || SameName(kMembers[i].name, kMembers[j].name))
        return false;
  return true;
}
static_assert(RowsAreDistinct(), "two members share a DISPID or a name");

constexpr bool RowsAreWellFormed() {
  for (const MemberInfo& m : kMembers) {
    if (!m.get) return false;
    if (m.kind == MemberKind::Method && (m.put || m.type != AutoType::Void)) return false;
  }
  return true;
}
static_assert(RowsAreWellFormed(), "a member lacks its getter, or a method has a setter or a type");

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
    return m->get(control);
  }
  switch (kind) {
    case InvokeKind::Get:
    case InvokeKind::Call:
      if (!args.empty()) {
        throw MarkletError(ErrorNumber::InvalidProcedureCall,
                           std::string(m->name) + " takes no arguments when read");
      }
      return m->get(control);
    case InvokeKind::Put:
      if (!m->canPut()) {
        throw MarkletError(ErrorNumber::PropertyReadOnly,
                           std::string("Property is read-only: ") + m->name);
      }
      if (args.size() != 1) {
        throw MarkletError(ErrorNumber::InvalidProcedureCall,
                           std::string(m->name) + " takes exactly one value");
      }
      m->put(control, CoerceTo(m->type, args[0]));
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

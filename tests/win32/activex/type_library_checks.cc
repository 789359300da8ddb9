// The control's type library read back through ITypeLib and ITypeInfo, both
// as registered and from the file written beside the server: the library's
// attributes, its seven types, every member of the automation interface in
// vtable order, the enumerations with their Latin-1 names and help strings,
// the events with their by-reference arguments, and the control class.
#include "platform/win32/win_api.h"

#include <string>
#include <vector>

// server.h first: its helpers name the SDK's DWORD, which the control's
// headers would otherwise shadow inside namespace marklet.
#include "server.h"
#include "suite_runner.h"

#include "control/dispatch.h"

namespace marklet::win32 {
namespace {

using activex_suite::EnsureRegistered;
using activex_suite::SuiteFolder;
using activex_suite::ToGuid;


// "*" ahead of a type's description (built by appending: GCC 12 warns
// falsely about a prepending concatenation).
std::string PointerTo(const std::string& type) {
  std::string out("*");
  out += type;
  return out;
}

std::string Narrow(const wchar_t* text) { return text ? U16ToUtf8(FromWide(text)) : std::string(); }

// A name or help string of a type (MEMBERID_NIL) or of one of its members.
std::string Documentation(ITypeInfo* info, MEMBERID id, bool help = false) {
  BSTR name = nullptr, doc = nullptr;
  if (FAILED(info->GetDocumentation(id, &name, &doc, nullptr, nullptr))) return "?";
  std::string out = Narrow(help ? doc : name);
  ::SysFreeString(name);
  ::SysFreeString(doc);
  return out;
}

// A parameter's type as "library.Name" for types defined in a library, with a
// "*" for each level of pointer: "*stdole.IFontDisp", "I2", "*BSTR".
std::string Describe(ITypeInfo* info, const TYPEDESC& t) {
  switch (t.vt) {
    case VT_PTR: return PointerTo(Describe(info, *t.lptdesc));
    case VT_USERDEFINED: {
      ComRef<ITypeInfo> referenced;
      if (FAILED(info->GetRefTypeInfo(t.hreftype, referenced.put()))) return "?ref";
      ComRef<ITypeLib> library;
      UINT index = 0;
      if (FAILED(referenced->GetContainingTypeLib(library.put(), &index))) return "?lib";
      BSTR libraryName = nullptr;
      library->GetDocumentation(-1, &libraryName, nullptr, nullptr, nullptr);
      std::string out = Narrow(libraryName) + "." + Documentation(referenced.get(), MEMBERID_NIL);
      ::SysFreeString(libraryName);
      return out;
    }
    case VT_I2: return "I2";
    case VT_I4: return "I4";
    case VT_UI1: return "UI1";
    case VT_R4: return "R4";
    case VT_BOOL: return "BOOL";
    case VT_BSTR: return "BSTR";
    case VT_HRESULT: return "HRESULT";
    case VT_VOID: return "VOID";
    default: return "vt" + std::to_string(t.vt);
  }
}

// What a value of each automation type must be in the library.
std::string Expected(AutoType type) {
  switch (type) {
    case AutoType::Integer: return "I2";
    case AutoType::Long: return "I4";
    case AutoType::Byte: return "UI1";
    case AutoType::Single: return "R4";
    case AutoType::Boolean: return "BOOL";
    case AutoType::OleColor: return "stdole.OLE_COLOR";
    case AutoType::String: return "BSTR";
    // stdole2's dispinterfaces whose IIDs are IFontDisp's and IPictureDisp's.
    case AutoType::Font: return "*stdole.Font";
    case AutoType::Picture: return "*stdole.Picture";
    case AutoType::Apariencia: return "MarkletControl.apariencia";
    case AutoType::Borde: return "MarkletControl.borde";
    case AutoType::LinkDisplay: return "MarkletControl.linkdisp_en";
    case AutoType::Void: return "VOID";
  }
  return "?";
}

std::wstring LibraryFile() { return SuiteFolder() + L"MarkletControl.tlb"; }

// The library as registered and as loaded from its file, with a label each.
struct Library {
  const char* label;
  ComRef<ITypeLib> library;
};

void LoadBoth(Library (&both)[2]) {
  both[0].label = "registered";
  both[1].label = "file";
  if (!EnsureRegistered()) return;
  CHECK(::LoadRegTypeLib(ToGuid(kTypeLibraryGuid), 1, 0, LOCALE_NEUTRAL, both[0].library.put()) == S_OK);
  CHECK(::LoadTypeLibEx(LibraryFile().c_str(), REGKIND_NONE, both[1].library.put()) == S_OK);
}

struct TypeAttributes {
  TYPEKIND kind = TKIND_MAX;
  ::WORD flags = 0;
  ::WORD functions = 0, variables = 0, implemented = 0, vtableSize = 0;
  ::WORD major = 0, minor = 0;
};

TypeAttributes Attributes(ITypeInfo* info) {
  TypeAttributes out;
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return out;
  out = {attr->typekind, attr->wTypeFlags, attr->cFuncs, attr->cVars, attr->cImplTypes, attr->cbSizeVft,
         attr->wMajorVerNum, attr->wMinorVerNum};
  info->ReleaseTypeAttr(attr);
  return out;
}

SUITE_CASE(type_library_attributes_and_types) {
  Library both[2];
  LoadBoth(both);
  for (Library& l : both) {
    REQUIRE(l.library.get());
    TLIBATTR* attr = nullptr;
    REQUIRE(l.library->GetLibAttr(&attr) == S_OK);
    CHECK_MSG(::IsEqualGUID(attr->guid, ToGuid(kTypeLibraryGuid)), l.label);
    CHECK(attr->wMajorVerNum == 1 && attr->wMinorVerNum == 0);
    CHECK((attr->wLibFlags & LIBFLAG_FCONTROL) != 0);
    CHECK(attr->syskind == SYS_WIN64);
    CHECK(attr->lcid == 0);
    l.library->ReleaseTLibAttr(attr);
    BSTR name = nullptr, help = nullptr;
    CHECK(l.library->GetDocumentation(-1, &name, &help, nullptr, nullptr) == S_OK);
    CHECK(Narrow(name) == "MarkletControl");
    CHECK(Narrow(help) == "Marklet markup label control");
    ::SysFreeString(name);
    ::SysFreeString(help);
    CHECK(l.library->GetTypeInfoCount() == 7);

    struct Expect {
      const marklet::Guid& guid;
      const char* name;
      TYPEKIND kind;
      WORD flags;
    };
    const Expect types[] = {
        {kInterfaceGuid, "_Marklet", TKIND_DISPATCH,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE},
        {kEventInterfaceGuid, "__Marklet", TKIND_DISPATCH,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE},
        {kAparienciaGuid, "apariencia", TKIND_ENUM, 0},
        {kTransparenciaGuid, "transparencia", TKIND_ENUM, 0},
        {kBordeGuid, "borde", TKIND_ENUM, 0},
        {kLinkDisplayGuid, "linkdisp_en", TKIND_ENUM, 0},
        {kClassGuid, "Marklet", TKIND_COCLASS, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL},
    };
    for (const Expect& t : types) {
      ComRef<ITypeInfo> info;
      if (!CHECK_MSG(l.library->GetTypeInfoOfGuid(ToGuid(t.guid), info.put()) == S_OK, t.name)) continue;
      TypeAttributes a = Attributes(info.get());
      CHECK_MSG(Documentation(info.get(), MEMBERID_NIL) == t.name, t.name);
      CHECK_MSG(a.kind == t.kind, t.name);
      // The system marks types reached through IDispatch as dispatchable:
      // Windows every dispatch interface, Wine's library builder only the class.
      CHECK_MSG((a.flags & ~TYPEFLAG_FDISPATCHABLE) == t.flags,
                std::string(t.name) + " flags " + std::to_string(a.flags));
    }
  }
}

// One function the vtable interface must have, in order.
struct Accessor {
  const MemberInfo* member;
  INVOKEKIND kind;
};

std::vector<Accessor> ExpectedAccessors() {
  std::vector<Accessor> out;
  for (const MemberInfo& m : Members()) {
    if (m.kind == MemberKind::Method) {
      out.push_back({&m, INVOKE_FUNC});
      continue;
    }
    out.push_back({&m, INVOKE_PROPERTYGET});
    bool object = m.type == AutoType::Font || m.type == AutoType::Picture;
    if (m.canPut()) out.push_back({&m, object ? INVOKE_PROPERTYPUTREF : INVOKE_PROPERTYPUT});
  }
  return out;
}

SUITE_CASE(type_library_dual_interface_in_vtable_order) {
  Library both[2];
  LoadBoth(both);
  const std::vector<Accessor> expected = ExpectedAccessors();
  // 21 properties, 20 of them settable, and the two methods.
  CHECK(expected.size() == 43);
  for (Library& l : both) {
    REQUIRE(l.library.get());
    ComRef<ITypeInfo> dispatch;
    REQUIRE(l.library->GetTypeInfoOfGuid(ToGuid(kInterfaceGuid), dispatch.put()) == S_OK);
    // The dual interface's vtable side.
    HREFTYPE ref = 0;
    REQUIRE(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref) == S_OK);
    ComRef<ITypeInfo> vtable;
    REQUIRE(dispatch->GetRefTypeInfo(ref, vtable.put()) == S_OK);
    TypeAttributes a = Attributes(vtable.get());
    CHECK_MSG(a.kind == TKIND_INTERFACE, l.label);
    CHECK((a.flags & TYPEFLAG_FDUAL) && (a.flags & TYPEFLAG_FOLEAUTOMATION) && (a.flags & TYPEFLAG_FHIDDEN) &&
          (a.flags & TYPEFLAG_FNONEXTENSIBLE));
    CHECK(a.major == 1 && a.minor == 0);
    CHECK(a.implemented == 1);
    CHECK(a.functions == expected.size());
    CHECK(a.vtableSize == (7 + expected.size()) * sizeof(void*));
    HREFTYPE base = 0;
    ComRef<ITypeInfo> baseInfo;
    CHECK(vtable->GetRefTypeOfImplType(0, &base) == S_OK && vtable->GetRefTypeInfo(base, baseInfo.put()) == S_OK);
    if (baseInfo.get()) CHECK(Documentation(baseInfo.get(), MEMBERID_NIL) == "IDispatch");

    for (std::size_t n = 0; n < expected.size() && n < a.functions; ++n) {
      const MemberInfo& m = *expected[n].member;
      FUNCDESC* f = nullptr;
      if (!CHECK(vtable->GetFuncDesc(static_cast<UINT>(n), &f) == S_OK)) continue;
      std::string what = std::string(l.label) + " " + m.name + " #" + std::to_string(n);
      CHECK_MSG(f->memid == m.dispid, what);
      CHECK_MSG(f->invkind == expected[n].kind, what);
      CHECK_MSG(f->funckind == FUNC_PUREVIRTUAL, what);
      CHECK_MSG(f->callconv == CC_STDCALL, what);
      CHECK_MSG(f->oVft == static_cast<SHORT>((7 + n) * sizeof(void*)), what + " oVft " + std::to_string(f->oVft));
      CHECK_MSG(Describe(vtable.get(), f->elemdescFunc.tdesc) == "HRESULT", what);
      CHECK_MSG(Documentation(vtable.get(), f->memid) == m.name, what);
      if (expected[n].kind == INVOKE_FUNC) {
        CHECK_MSG(f->cParams == 0, what);
      } else if (CHECK_MSG(f->cParams == 1, what)) {
        const ELEMDESC& p = f->lprgelemdescParam[0];
        bool get = expected[n].kind == INVOKE_PROPERTYGET;
        std::string type = Describe(vtable.get(), p.tdesc);
        CHECK_MSG(type == (get ? PointerTo(Expected(m.type)) : Expected(m.type)), what + " " + type);
        CHECK_MSG(p.paramdesc.wParamFlags == (get ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN), what);
      }
      vtable->ReleaseFuncDesc(f);
    }

    // Names through the dispatch side, in any case.
    struct Name {
      const wchar_t* name;
      DISPID id;
    };
    const Name names[] = {{L"Text", 0x68030002},        {L"text", 0x68030002},  {L"TEXT", 0x68030002},
                          {L"linkdisplay", 0x6803000C}, {L"About", -552},       {L"REFRESH", 0x6003001A},
                          {L"FormatedText", 0x68030007}};
    for (const Name& n : names) {
      LPOLESTR one = const_cast<LPOLESTR>(n.name);
      MEMBERID id = 0;
      CHECK_MSG(dispatch->GetIDsOfNames(&one, 1, &id) == S_OK && id == n.id, Narrow(n.name));
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    MEMBERID id = 0;
    CHECK(dispatch->GetIDsOfNames(&unknown, 1, &id) == DISP_E_UNKNOWNNAME);
  }
}

SUITE_CASE(type_library_enumerations_with_help_strings) {
  Library both[2];
  LoadBoth(both);
  for (Library& l : both) {
    REQUIRE(l.library.get());
    for (const EnumInfo& e : Enumerations()) {
      ComRef<ITypeInfo> info;
      if (!CHECK_MSG(l.library->GetTypeInfoOfGuid(ToGuid(e.guid), info.put()) == S_OK, e.name)) continue;
      TypeAttributes a = Attributes(info.get());
      CHECK_MSG(a.variables == e.members.size(), e.name);
      CHECK(a.major == 1 && a.minor == 0);
      for (std::size_t i = 0; i < e.members.size() && i < a.variables; ++i) {
        VARDESC* v = nullptr;
        if (!CHECK(info->GetVarDesc(static_cast<UINT>(i), &v) == S_OK)) continue;
        std::string what = std::string(l.label) + " " + e.members[i].name;
        CHECK_MSG(v->varkind == VAR_CONST, what);
        CHECK_MSG(v->lpvarValue && V_VT(v->lpvarValue) == VT_I4 && V_I4(v->lpvarValue) == e.members[i].value, what);
        CHECK_MSG(Documentation(info.get(), v->memid) == e.members[i].name, what);
        CHECK_MSG(Documentation(info.get(), v->memid, true) == e.members[i].name, what);
        info->ReleaseVarDesc(v);
      }
    }
    // The accented member by its UTF-16 name, independent of the tables.
    ComRef<ITypeInfo> borde;
    REQUIRE(l.library->GetTypeInfoOfGuid(ToGuid(kBordeGuid), borde.put()) == S_OK);
    VARDESC* v = nullptr;
    REQUIRE(borde->GetVarDesc(1, &v) == S_OK);
    BSTR name = nullptr;
    UINT count = 0;
    CHECK(borde->GetNames(v->memid, &name, 1, &count) == S_OK && count == 1);
    CHECK_MSG(name && std::wstring(name) == L"S\u00F3lido", Narrow(name));
    ::SysFreeString(name);
    borde->ReleaseVarDesc(v);
  }
}

SUITE_CASE(type_library_events_by_reference) {
  Library both[2];
  LoadBoth(both);
  for (Library& l : both) {
    REQUIRE(l.library.get());
    ComRef<ITypeInfo> info;
    REQUIRE(l.library->GetTypeInfoOfGuid(ToGuid(kEventInterfaceGuid), info.put()) == S_OK);
    TypeAttributes a = Attributes(info.get());
    HREFTYPE ref = 0;
    CHECK(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref) != S_OK);  // dispatch only
    // The functions past any inherited from IDispatch are the events, in order.
    REQUIRE(a.functions >= Events().size());
    const std::size_t first = a.functions - Events().size();
    for (std::size_t i = 0; i < Events().size(); ++i) {
      const EventInfo& e = Events()[i];
      FUNCDESC* f = nullptr;
      if (!CHECK(info->GetFuncDesc(static_cast<UINT>(first + i), &f) == S_OK)) continue;
      std::string what = std::string(l.label) + " " + e.name;
      CHECK_MSG(f->memid == static_cast<MEMBERID>(e.id), what);
      CHECK_MSG(f->memid == static_cast<MEMBERID>(i + 1), what);
      CHECK_MSG(f->funckind == FUNC_DISPATCH && f->invkind == INVOKE_FUNC, what);
      CHECK_MSG(Describe(info.get(), f->elemdescFunc.tdesc) == "VOID", what);
      if (CHECK_MSG(f->cParams == static_cast<SHORT>(e.params.size()), what)) {
        BSTR names[8] = {};
        UINT count = 0;
        CHECK(info->GetNames(f->memid, names, 8, &count) == S_OK);
        CHECK_MSG(count == e.params.size() + 1, what);
        CHECK_MSG(Narrow(names[0]) == e.name, what);
        for (std::size_t p = 0; p < e.params.size(); ++p) {
          const ELEMDESC& d = f->lprgelemdescParam[p];
          CHECK_MSG(p + 1 < count && Narrow(names[p + 1]) == e.params[p].name, what + " " + e.params[p].name);
          CHECK_MSG(Describe(info.get(), d.tdesc) == PointerTo(Expected(e.params[p].type)), what + " " + e.params[p].name);
          CHECK_MSG(d.paramdesc.wParamFlags == (PARAMFLAG_FIN | PARAMFLAG_FOUT), what);
        }
        for (BSTR n : names) ::SysFreeString(n);
      }
      info->ReleaseFuncDesc(f);
    }
    // Event names too resolve in any case.
    LPOLESTR name = const_cast<LPOLESTR>(L"onlinkclick");
    MEMBERID id = 0;
    CHECK(info->GetIDsOfNames(&name, 1, &id) == S_OK && id == static_cast<MEMBERID>(EventId::OnLinkClick));
  }
}

SUITE_CASE(type_library_control_class) {
  Library both[2];
  LoadBoth(both);
  for (Library& l : both) {
    REQUIRE(l.library.get());
    ComRef<ITypeInfo> info;
    REQUIRE(l.library->GetTypeInfoOfGuid(ToGuid(kClassGuid), info.put()) == S_OK);
    TypeAttributes a = Attributes(info.get());
    CHECK(a.major == 1 && a.minor == 0);
    REQUIRE(a.implemented == 2);
    const marklet::Guid* guids[] = {&kInterfaceGuid, &kEventInterfaceGuid};
    const INT flags[] = {IMPLTYPEFLAG_FDEFAULT, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE};
    for (UINT i = 0; i < 2; ++i) {
      HREFTYPE ref = 0;
      ComRef<ITypeInfo> implemented;
      REQUIRE(info->GetRefTypeOfImplType(i, &ref) == S_OK);
      REQUIRE(info->GetRefTypeInfo(ref, implemented.put()) == S_OK);
      TYPEATTR* attr = nullptr;
      REQUIRE(implemented->GetTypeAttr(&attr) == S_OK);
      CHECK_MSG(::IsEqualGUID(attr->guid, ToGuid(*guids[i])), l.label);
      implemented->ReleaseTypeAttr(attr);
      INT implFlags = 0;
      CHECK(info->GetImplTypeFlags(i, &implFlags) == S_OK && implFlags == flags[i]);
    }
  }
}

}  // namespace
}  // namespace marklet::win32

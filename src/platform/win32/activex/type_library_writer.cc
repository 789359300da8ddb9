#include "platform/win32/activex/type_library_writer.h"

#include "platform/win32/com_ref.h"

#include <deque>
#include <string>
#include <vector>

#include "control/dispatch.h"
#include "host/values.h"
#include "platform/win32/activex/module.h"

namespace marklet::win32::activex {
namespace {


#define RETURN_IF_FAILED(expr)    \
  do {                            \
    HRESULT hr_ = (expr);         \
    if (FAILED(hr_)) return hr_;  \
  } while (0)

// Names in this library are stored in the Latin-1 code page: every name in
// the tables must have a Latin-1 spelling, which its UTF-16 form then is.
HRESULT WideName(const char* utf8, std::wstring& out) {
  std::u16string name = Utf8ToU16(utf8);
  for (char16_t c : name)
    if (c > 0xFF) return TYPE_E_INVALIDSTATE;
  out.assign(name.begin(), name.end());
  return S_OK;
}

std::wstring WideAscii(const char* ascii) {
  std::wstring out;
  for (; *ascii; ++ascii) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*ascii)));
  return out;
}

// The standard automation types the library refers to in stdole2.tlb.
struct StandardTypes {
  ComRef<ITypeInfo> dispatch;
  ComRef<ITypeInfo> fontDisp;
  ComRef<ITypeInfo> pictureDisp;
  ComRef<ITypeInfo> oleColor;
};

// The type of stdole2 with the given name.
HRESULT FindStandardType(ITypeLib* stdole, const wchar_t* wanted, ComRef<ITypeInfo>& info) {
  UINT count = stdole->GetTypeInfoCount();
  for (UINT i = 0; i < count; ++i) {
    BSTR name = nullptr;
    if (FAILED(stdole->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr))) continue;
    bool found = name && std::wstring(name) == wanted;
    ::SysFreeString(name);
    if (found) return stdole->GetTypeInfo(i, info.put());
  }
  return TYPE_E_ELEMENTNOTFOUND;
}

// Font and Picture values are pointers to stdole2's Font and Picture
// dispinterfaces, found by the IIDs of IFontDisp and IPictureDisp. (stdole2's
// IFontDisp and IPictureDisp are GUID-less aliases of them, which some
// library builders cannot refer to across libraries.) OLE_COLOR is stdole2's
// alias of an unsigned long; it has a GUID, and is found by its name.
HRESULT LoadStandardTypes(StandardTypes& types) {
  ComRef<ITypeLib> stdole;
  RETURN_IF_FAILED(::LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, stdole.put()));
  RETURN_IF_FAILED(stdole->GetTypeInfoOfGuid(IID_IDispatch, types.dispatch.put()));
  RETURN_IF_FAILED(stdole->GetTypeInfoOfGuid(IID_IFontDisp, types.fontDisp.put()));
  RETURN_IF_FAILED(stdole->GetTypeInfoOfGuid(IID_IPictureDisp, types.pictureDisp.put()));
  return FindStandardType(stdole.get(), L"OLE_COLOR", types.oleColor);
}

// The library's enumerations as type information the interfaces refer to.
struct EnumerationTypes {
  std::vector<AutoType> types;
  std::vector<ITypeInfo*> infos;  // owned by the creators below
};

HRESULT AddReference(ICreateTypeInfo* creator, ITypeInfo* referenced, HREFTYPE& ref) {
  return creator->AddRefTypeInfo(referenced, &ref);
}

// Type descriptions for one function's parameters; nested descriptions point
// into the same storage, whose elements never move.
class TypeDescs {
 public:
  TYPEDESC* Make(VARTYPE vt) {
    TYPEDESC& t = storage_.emplace_back();
    t.vt = vt;
    return &t;
  }
  TYPEDESC* Pointer(TYPEDESC* to) {
    TYPEDESC* t = Make(VT_PTR);
    t->lptdesc = to;
    return t;
  }
  TYPEDESC* User(HREFTYPE ref) {
    TYPEDESC* t = Make(VT_USERDEFINED);
    t->hreftype = ref;
    return t;
  }

 private:
  std::deque<TYPEDESC> storage_;
};

// The references one type information holds to the types its members use.
class MemberTypes {
 public:
  MemberTypes(ICreateTypeInfo* creator, const StandardTypes& standard, const EnumerationTypes& enums)
      : creator_(creator), standard_(standard), enums_(enums) {}

  // The type of a value of `type` as passed by value.
  HRESULT Value(AutoType type, TypeDescs& descs, TYPEDESC*& out) {
    switch (type) {
      case AutoType::Integer: out = descs.Make(VT_I2); return S_OK;
      case AutoType::Long: out = descs.Make(VT_I4); return S_OK;
      case AutoType::Byte: out = descs.Make(VT_UI1); return S_OK;
      case AutoType::Single: out = descs.Make(VT_R4); return S_OK;
      case AutoType::Boolean: out = descs.Make(VT_BOOL); return S_OK;
      case AutoType::String: out = descs.Make(VT_BSTR); return S_OK;
      case AutoType::Void: out = descs.Make(VT_VOID); return S_OK;
      case AutoType::OleColor: return UserDefined(standard_.oleColor.get(), descs, out);
      case AutoType::Font:
      case AutoType::Picture: {
        ITypeInfo* info = type == AutoType::Font ? standard_.fontDisp.get() : standard_.pictureDisp.get();
        TYPEDESC* object = nullptr;
        RETURN_IF_FAILED(UserDefined(info, descs, object));
        out = descs.Pointer(object);
        return S_OK;
      }
      case AutoType::Apariencia:
      case AutoType::Borde:
      case AutoType::LinkDisplay:
        for (std::size_t i = 0; i < enums_.types.size(); ++i)
          if (enums_.types[i] == type) return UserDefined(enums_.infos[i], descs, out);
        return TYPE_E_ELEMENTNOTFOUND;
    }
    return E_UNEXPECTED;
  }

 private:
  HRESULT UserDefined(ITypeInfo* info, TypeDescs& descs, TYPEDESC*& out) {
    HREFTYPE ref = 0;
    RETURN_IF_FAILED(AddReference(creator_, info, ref));
    out = descs.User(ref);
    return S_OK;
  }

  ICreateTypeInfo* creator_;
  const StandardTypes& standard_;
  const EnumerationTypes& enums_;
};

HRESULT SetVersion(ICreateTypeInfo* creator) {
  return creator->SetVersion(kTypeLibraryMajorVersion, kTypeLibraryMinorVersion);
}

HRESULT WriteEnumeration(ICreateTypeInfo* creator, const EnumInfo& e) {
  RETURN_IF_FAILED(creator->SetGuid(ToGuid(e.guid)));
  RETURN_IF_FAILED(SetVersion(creator));
  for (std::size_t i = 0; i < e.members.size(); ++i) {
    const EnumMember& m = e.members[i];
    std::wstring name;
    RETURN_IF_FAILED(WideName(m.name, name));
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = m.value;
    VARDESC var{};
    var.memid = static_cast<MEMBERID>(0x40000000 + i);
    var.lpvarValue = &value;
    var.elemdescVar.tdesc.vt = VT_I4;
    var.varkind = VAR_CONST;
    UINT index = static_cast<UINT>(i);
    RETURN_IF_FAILED(creator->AddVarDesc(index, &var));
    RETURN_IF_FAILED(creator->SetVarName(index, name.data()));
    // Each member's help string is its own name.
    RETURN_IF_FAILED(creator->SetVarDocString(index, name.data()));
  }
  return creator->LayOut();
}

// One function of an interface: its description and its name (parameters
// named only where the tables name them).
HRESULT AddFunction(ICreateTypeInfo* creator, UINT index, FUNCDESC& func, const std::vector<std::wstring>& names) {
  RETURN_IF_FAILED(creator->AddFuncDesc(index, &func));
  std::vector<LPOLESTR> pointers;
  for (const std::wstring& n : names) pointers.push_back(const_cast<LPOLESTR>(n.c_str()));
  return creator->SetFuncAndParamNames(index, pointers.data(), static_cast<UINT>(pointers.size()));
}

// The vtable interface behind the dual _Marklet: for each property its get
// accessor and then, when it can be set, its put (or, for objects, putref)
// accessor; the methods take no arguments. Functions go in table order, so the
// n-th one occupies vtable slot 7 + n after IUnknown and IDispatch.
HRESULT WriteInterface(ICreateTypeInfo* creator, const StandardTypes& standard, const EnumerationTypes& enums) {
  RETURN_IF_FAILED(creator->SetGuid(ToGuid(kInterfaceGuid)));
  RETURN_IF_FAILED(SetVersion(creator));
  HREFTYPE dispatch = 0;
  RETURN_IF_FAILED(AddReference(creator, standard.dispatch.get(), dispatch));
  RETURN_IF_FAILED(creator->AddImplType(0, dispatch));
  RETURN_IF_FAILED(creator->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                                         TYPEFLAG_FOLEAUTOMATION));
  MemberTypes types(creator, standard, enums);
  UINT index = 0;
  for (const MemberInfo& m : Members()) {
    std::wstring name;
    RETURN_IF_FAILED(WideName(m.name, name));
    FUNCDESC func{};
    func.memid = m.dispid;
    func.funckind = FUNC_PUREVIRTUAL;
    func.callconv = CC_STDCALL;
    func.elemdescFunc.tdesc.vt = VT_HRESULT;
    if (m.kind == MemberKind::Method) {
      func.invkind = INVOKE_FUNC;
      RETURN_IF_FAILED(AddFunction(creator, index++, func, {name}));
      continue;
    }
    TypeDescs descs;
    TYPEDESC* value = nullptr;
    RETURN_IF_FAILED(types.Value(m.type, descs, value));
    ELEMDESC param{};
    param.tdesc.vt = VT_PTR;
    param.tdesc.lptdesc = value;
    param.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
    func.invkind = INVOKE_PROPERTYGET;
    func.cParams = 1;
    func.lprgelemdescParam = &param;
    RETURN_IF_FAILED(AddFunction(creator, index++, func, {name}));
    if (!m.canPut()) continue;
    param = ELEMDESC{};
    param.tdesc = *value;
    param.paramdesc.wParamFlags = PARAMFLAG_FIN;
    func.invkind = m.putsByReference() ? INVOKE_PROPERTYPUTREF : INVOKE_PROPERTYPUT;
    RETURN_IF_FAILED(AddFunction(creator, index++, func, {name}));
  }
  return creator->LayOut();
}

// The event interface: dispatch only, every argument by reference so a
// handler may assign to it.
HRESULT WriteEventInterface(ICreateTypeInfo* creator, const StandardTypes& standard, const EnumerationTypes& enums) {
  RETURN_IF_FAILED(creator->SetGuid(ToGuid(kEventInterfaceGuid)));
  HREFTYPE dispatch = 0;
  RETURN_IF_FAILED(AddReference(creator, standard.dispatch.get(), dispatch));
  RETURN_IF_FAILED(creator->AddImplType(0, dispatch));
  RETURN_IF_FAILED(creator->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE));
  MemberTypes types(creator, standard, enums);
  UINT index = 0;
  for (const EventInfo& e : Events()) {
    std::vector<std::wstring> names(1);
    RETURN_IF_FAILED(WideName(e.name, names[0]));
    TypeDescs descs;
    std::vector<ELEMDESC> params(e.params.size());
    for (std::size_t i = 0; i < e.params.size(); ++i) {
      TYPEDESC* value = nullptr;
      RETURN_IF_FAILED(types.Value(e.params[i].type, descs, value));
      params[i].tdesc.vt = VT_PTR;
      params[i].tdesc.lptdesc = value;
      params[i].paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOUT;
      names.emplace_back();
      RETURN_IF_FAILED(WideName(e.params[i].name, names.back()));
    }
    FUNCDESC func{};
    func.memid = static_cast<MEMBERID>(e.id);
    func.funckind = FUNC_DISPATCH;
    func.invkind = INVOKE_FUNC;
    func.callconv = CC_STDCALL;
    func.elemdescFunc.tdesc.vt = VT_VOID;
    func.cParams = static_cast<SHORT>(params.size());
    func.lprgelemdescParam = params.empty() ? nullptr : params.data();
    RETURN_IF_FAILED(AddFunction(creator, index++, func, names));
  }
  return creator->LayOut();
}

HRESULT WriteClass(ICreateTypeInfo* creator, ITypeInfo* automation, ITypeInfo* events) {
  RETURN_IF_FAILED(creator->SetGuid(ToGuid(kClassGuid)));
  RETURN_IF_FAILED(SetVersion(creator));
  RETURN_IF_FAILED(creator->SetTypeFlags(TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL));
  HREFTYPE ref = 0;
  RETURN_IF_FAILED(AddReference(creator, automation, ref));
  RETURN_IF_FAILED(creator->AddImplType(0, ref));
  RETURN_IF_FAILED(creator->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT));
  RETURN_IF_FAILED(AddReference(creator, events, ref));
  RETURN_IF_FAILED(creator->AddImplType(1, ref));
  RETURN_IF_FAILED(creator->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE));
  return creator->LayOut();
}

HRESULT CreateInfo(ICreateTypeLib2* library, const std::wstring& name, TYPEKIND kind, ComRef<ICreateTypeInfo>& creator,
                   ComRef<ITypeInfo>& info) {
  RETURN_IF_FAILED(library->CreateTypeInfo(const_cast<LPOLESTR>(name.c_str()), kind, creator.put()));
  return creator->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(info.put()));
}

// The library built once per process for a server whose library is not
// registered: written to a temporary file and loaded from it.
struct TemporaryLibrary {
  ITypeLib* library = nullptr;
  HRESULT status = E_FAIL;
  std::wstring path;  // kept only while the file could not be deleted

  TemporaryLibrary() {
    wchar_t folder[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
      status = HRESULT_FROM_WIN32(::GetLastError());
      return;
    }
    std::wstring file = std::wstring(folder, length) + L"MarkletControl-" + std::to_wstring(::GetCurrentProcessId()) +
                        L"-" + std::to_wstring(::GetTickCount64()) + L".tlb";
    status = WriteTypeLibrary(file);
    if (SUCCEEDED(status)) status = ::LoadTypeLibEx(file.c_str(), REGKIND_NONE, &library);
    if (!::DeleteFileW(file.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) path = file;
  }
  // When the server unloads: the server's reference goes (oleaut32, which the
  // server imports, is still loaded), and so does the file, when it could not
  // be deleted while the library was loaded.
  ~TemporaryLibrary() {
    if (library) library->Release();
    if (!path.empty()) ::DeleteFileW(path.c_str());
  }
};

}  // namespace

HRESULT WriteTypeLibrary(const std::wstring& path) {
  // A file of that name is replaced, not written over.
  if (!::DeleteFileW(path.c_str())) {
    DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return HRESULT_FROM_WIN32(error);
  }
  StandardTypes standard;
  RETURN_IF_FAILED(LoadStandardTypes(standard));

  ComRef<ICreateTypeLib2> library;
  RETURN_IF_FAILED(::CreateTypeLib2(SYS_WIN64, path.c_str(), library.put()));
  RETURN_IF_FAILED(library->SetGuid(ToGuid(kTypeLibraryGuid)));
  std::wstring libraryName = WideAscii(kTypeLibraryName);
  RETURN_IF_FAILED(library->SetName(libraryName.data()));
  RETURN_IF_FAILED(library->SetVersion(kTypeLibraryMajorVersion, kTypeLibraryMinorVersion));
  std::wstring help = WideAscii(kTypeLibraryHelpString);
  RETURN_IF_FAILED(library->SetDocString(help.data()));
  RETURN_IF_FAILED(library->SetLcid(LOCALE_NEUTRAL));
  RETURN_IF_FAILED(library->SetLibFlags(LIBFLAG_FCONTROL));

  // The types in declaration order: the two interfaces (declared ahead), the
  // enumerations, the class.
  ComRef<ICreateTypeInfo> interfaceCreator, eventCreator, classCreator;
  ComRef<ITypeInfo> interfaceInfo, eventInfo, classInfo;
  RETURN_IF_FAILED(CreateInfo(library.get(), WideAscii(kInterfaceName), TKIND_INTERFACE, interfaceCreator,
                              interfaceInfo));
  RETURN_IF_FAILED(CreateInfo(library.get(), WideAscii(kEventInterfaceName), TKIND_DISPATCH, eventCreator,
                              eventInfo));

  std::vector<ComRef<ICreateTypeInfo>> enumCreators(Enumerations().size());
  std::vector<ComRef<ITypeInfo>> enumInfos(Enumerations().size());
  EnumerationTypes enums;
  for (std::size_t i = 0; i < Enumerations().size(); ++i) {
    const EnumInfo& e = Enumerations()[i];
    std::wstring name;
    RETURN_IF_FAILED(WideName(e.name, name));
    RETURN_IF_FAILED(CreateInfo(library.get(), name, TKIND_ENUM, enumCreators[i], enumInfos[i]));
    RETURN_IF_FAILED(WriteEnumeration(enumCreators[i].get(), e));
    enums.types.push_back(e.type);
    enums.infos.push_back(enumInfos[i].get());
  }

  RETURN_IF_FAILED(WriteInterface(interfaceCreator.get(), standard, enums));
  RETURN_IF_FAILED(WriteEventInterface(eventCreator.get(), standard, enums));
  RETURN_IF_FAILED(CreateInfo(library.get(), WideAscii(kClassName), TKIND_COCLASS, classCreator, classInfo));
  RETURN_IF_FAILED(WriteClass(classCreator.get(), interfaceInfo.get(), eventInfo.get()));
  return library->SaveAllChanges();
}

HRESULT LoadControlTypeLibrary(ITypeLib** library) {
  if (!library) return E_POINTER;
  *library = nullptr;
  if (SUCCEEDED(::LoadRegTypeLib(ToGuid(kTypeLibraryGuid), kTypeLibraryMajorVersion, kTypeLibraryMinorVersion,
                                 LOCALE_NEUTRAL, library))) {
    return S_OK;
  }
  // Built on first use; the initialisation of a function-local static is
  // itself thread-safe.
  static TemporaryLibrary temporary;
  if (FAILED(temporary.status)) return temporary.status;
  temporary.library->AddRef();
  *library = temporary.library;
  return S_OK;
}

HRESULT LoadControlTypeInfo(const GUID& guid, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  ComRef<ITypeLib> library;
  RETURN_IF_FAILED(LoadControlTypeLibrary(library.put()));
  return library->GetTypeInfoOfGuid(guid, info);
}

}  // namespace marklet::win32::activex

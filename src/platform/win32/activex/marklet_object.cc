// The object's life, its automation interface and its outgoing calls
// (events and property-change notices). Persistence and embedding are in
// object_persistence.cc and object_embedding.cc.
#include "platform/win32/activex/marklet_object.h"

#include <new>

#include "control/dispatch.h"
#include "control/type_library.h"
#include "platform/win32/activex/designer_interfaces.h"
#include "platform/win32/activex/module.h"
#include "platform/win32/activex/script_event_binding.h"
#include "platform/win32/activex/type_library_writer.h"

namespace marklet::win32::activex {
namespace {

constexpr wchar_t kParkingClass[] = L"MarkletControlParking";

// Objects alive on this thread; the parking window goes with the last one.
thread_local int objectsOnThread = 0;
thread_local ::HWND parkingWindow = nullptr;

// A hidden window that holds the controls' windows of this thread while no
// container has them.
::HWND ParkingWindow() {
  if (parkingWindow && ::IsWindow(parkingWindow)) return parkingWindow;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ServerModule();
  wc.lpszClassName = kParkingClass;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
  parkingWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, kParkingClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    ServerModule(), nullptr);
  return parkingWindow;
}

void ReleaseParkingWindow() {
  if (objectsOnThread > 0 || !parkingWindow) return;
  ::DestroyWindow(parkingWindow);
  parkingWindow = nullptr;
  ::UnregisterClassW(kParkingClass, ServerModule());
}

// The screen's pixels per logical inch, horizontally and vertically.
SIZE ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  SIZE dpi{::GetDeviceCaps(screen, LOGPIXELSX), ::GetDeviceCaps(screen, LOGPIXELSY)};
  ::ReleaseDC(nullptr, screen);
  if (dpi.cx <= 0) dpi.cx = 96;
  if (dpi.cy <= 0) dpi.cy = 96;
  return dpi;
}

// The size a newly placed control comes with: 1350 by 570 twips.
constexpr int kDesignWidthTwips = 1350;
constexpr int kDesignHeightTwips = 570;

const GUID& AutomationIid() {
  static const GUID iid = ToGuid(kInterfaceGuid);
  return iid;
}

}  // namespace

// ---- The site container ----

SiteContainer::SiteContainer(MarkletObject& owner, ::HWND parking, const RECT& bounds)
    : Win32Container(parking, bounds), owner_(owner) {}

void SiteContainer::PropertyChanged(const std::u16string& name) {
  Win32Container::PropertyChanged(name);
  owner_.OnPropertyChanged(name);
}

void SiteContainer::RaiseEvent(EventId id, EventArgs& args) {
  Win32Container::RaiseEvent(id, args);
  owner_.OnEvent(id, args);
}

namespace {

// An ambient property of the site, or an empty variant when the site has
// none or does not know it.
bool ReadAmbient(MarkletObject& owner, DISPID id, VARIANT* out) {
  ::VariantInit(out);
  ComRef<IDispatch> ambient = owner.AmbientDispatch();
  if (!ambient) return false;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return SUCCEEDED(ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, out, nullptr,
                                   nullptr));
}

template <typename T, typename Convert>
T AmbientOr(MarkletObject& owner, DISPID id, T fallback, Convert convert) {
  VARIANT value;
  if (!ReadAmbient(owner, id, &value)) return fallback;
  T out = fallback;
  try {
    out = convert(FromVariant(value));
  } catch (const MarkletError&) {
    out = fallback;
  }
  ::VariantClear(&value);
  return out;
}

}  // namespace

// A container that does not give an ambient property leaves its default:
// no display name, the button-face colour, the designer's standard font.
std::u16string SiteContainer::AmbientDisplayName() {
  return AmbientOr(owner_, DISPID_AMBIENT_DISPLAYNAME, std::u16string(),
                   [](const Variant& v) { return v.ToString(); });
}

OleColor SiteContainer::AmbientBackColor() {
  return AmbientOr(owner_, DISPID_AMBIENT_BACKCOLOR, OleColor{0x8000000Fu},
                   [](const Variant& v) { return static_cast<OleColor>(v.ToLong()); });
}

FontDesc SiteContainer::AmbientFont() {
  return AmbientOr(owner_, DISPID_AMBIENT_FONT, FontDesc{u"MS Sans Serif", 8.25f},
                   [](const Variant& v) { return v.ToFont(); });
}

// ---- Life ----

MarkletObject::MarkletObject()
    : events_(*this, ToGuid(kEventInterfaceGuid), true), propertyNotify_(*this, IID_IPropertyNotifySink, false) {
  AddObject();
  ++objectsOnThread;
}

MarkletObject::~MarkletObject() {
  if (fontLink_) fontLink_->Disconnect();
  events_.Clear();
  propertyNotify_.Clear();
  container_.reset();
  inPlaceSite_.reset();
  site_.reset();
  viewSink_.reset();
  adviseHolder_.reset();
  --objectsOnThread;
  ReleaseParkingWindow();
  ReleaseObject();
}

HRESULT MarkletObject::Create(REFIID iid, void** out) {
  *out = nullptr;
  MarkletObject* object = new (std::nothrow) MarkletObject();
  if (!object) return E_OUTOFMEMORY;
  HRESULT hr = object->Start();
  if (SUCCEEDED(hr)) hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

HRESULT MarkletObject::Start() {
  try {
    parking_ = ParkingWindow();
    // Without a window (no display, a class or window the system refused)
    // there is no control: creation fails with the control's error, where
    // the system's error code alone may read as success.
    if (!parking_) {
      throw MarkletError(ErrorNumber::InvalidProcedureCall,
                         "Cannot create the control's window: the system refused it (error " +
                             std::to_string(::GetLastError()) + "; is there a display?)");
    }
    SIZE dpi = ScreenDpi();
    RECT bounds{0, 0, ::MulDiv(kDesignWidthTwips, dpi.cx, 1440), ::MulDiv(kDesignHeightTwips, dpi.cy, 1440)};
    container_ = std::make_unique<SiteContainer>(*this, parking_, bounds);
    container_->onHeightSet = [this](int width, int height) { HeightSet(width, height); };
    container_->onError = [this](const char* notification, int number, const std::string& description) {
      RecordError(notification, number, description);
    };
    extent_ = PixelsToHiMetric(bounds.right, bounds.bottom);
    container_->NewControl().Initialize();
    return S_OK;
  } catch (...) {
    return ReportCurrentException(IID_IUnknown);
  }
}

HRESULT MarkletObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) || ::IsEqualIID(iid, AutomationIid())) {
    *out = static_cast<IMarkletAutomation*>(this);
  } else if (::IsEqualIID(iid, IID_IConnectionPointContainer)) {
    *out = static_cast<IConnectionPointContainer*>(this);
  } else if (::IsEqualIID(iid, IID_IProvideClassInfo) || ::IsEqualIID(iid, IID_IProvideClassInfo2)) {
    *out = static_cast<IProvideClassInfo2*>(this);
  } else if (::IsEqualIID(iid, IID_IPersistPropertyBag)) {
    *out = static_cast<IPersistPropertyBag*>(this);
  } else if (::IsEqualIID(iid, IID_IPersistStreamInit)) {
    *out = static_cast<IPersistStreamInit*>(this);
  } else if (::IsEqualIID(iid, IID_IPersist)) {
    *out = static_cast<IPersistStreamInit*>(this);
  } else if (::IsEqualIID(iid, IID_IOleObject)) {
    *out = static_cast<IOleObject*>(this);
  } else if (::IsEqualIID(iid, IID_IOleInPlaceObject)) {
    *out = static_cast<IOleInPlaceObject*>(this);
  } else if (::IsEqualIID(iid, IID_IOleWindow)) {
    *out = static_cast<IOleInPlaceObject*>(this);
  } else if (::IsEqualIID(iid, IID_IOleInPlaceActiveObject)) {
    *out = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (::IsEqualIID(iid, IID_IOleControl)) {
    *out = static_cast<IOleControl*>(this);
  } else if (::IsEqualIID(iid, IID_IViewObject) || ::IsEqualIID(iid, IID_IViewObject2)) {
    *out = static_cast<IViewObject2*>(this);
  } else if (::IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *out = static_cast<ISupportErrorInfo*>(this);
  } else if (IsDesignerInterface(iid)) {
    return CreateDesignerInterface(*this, static_cast<IMarkletAutomation*>(this), iid, out);
  } else if (IsEventBinderInterface(iid)) {
    return CreateEventBinder(*this, static_cast<IMarkletAutomation*>(this), iid, out);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG MarkletObject::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }

ULONG MarkletObject::Release() {
  LONG left = ::InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

void MarkletObject::EnsureInitialised() {
  if (initialised_) return;
  initialised_ = true;
  control().InitProperties();
  container_->RequestPaint();
}

// ---- IDispatch ----

HRESULT MarkletObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  ComRef<ITypeInfo> info;
  *count = SUCCEEDED(LoadControlTypeInfo(AutomationIid(), info.put())) ? 1 : 0;
  return S_OK;
}

HRESULT MarkletObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return LoadControlTypeInfo(AutomationIid(), info);
}

HRESULT MarkletObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  if (count == 0) return S_OK;
  ComRef<ITypeInfo> info;
  if (SUCCEEDED(LoadControlTypeInfo(AutomationIid(), info.put()))) {
    return ::DispGetIDsOfNames(info.get(), names, count, ids);
  }
  // Without type information the member table answers (members take no named arguments).
  const MemberInfo* member = names[0] ? FindMember(FromWide(names[0])) : nullptr;
  ids[0] = member ? member->dispid : DISPID_UNKNOWN;
  for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return member && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT MarkletObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* exception, UINT* argError) {
  if (!::IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!params) return E_INVALIDARG;
  const MemberInfo* member = FindMember(static_cast<Long>(id));
  if (!member) return DISP_E_MEMBERNOTFOUND;
  bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  // An assignment names its value DISPID_PROPERTYPUT; no member takes other named arguments.
  UINT named = params->cNamedArgs;
  if (put) {
    if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTOPTIONAL;
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if ((flags & DISPATCH_PROPERTYPUTREF) && !(flags & DISPATCH_PROPERTYPUT) && !member->putsByReference())
      return DISP_E_MEMBERNOTFOUND;
  } else {
    if (named != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    if (member->kind == MemberKind::Method && !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  }
  if (result) ::VariantInit(result);
  AddRef();
  HRESULT hr = S_OK;
  try {
    EnsureInitialised();
    if (put) {
      Variant value;
      try {
        value = FromVariant(params->rgvarg[0]);
      } catch (const MarkletError&) {
        if (argError) *argError = 0;
        throw;
      }
      Variant args[] = {value};
      marklet::Invoke(control(), member->dispid, InvokeKind::Put, args);
    } else if (member->kind == MemberKind::Method) {
      marklet::Invoke(control(), member->dispid, InvokeKind::Call);
    } else if (member->type == AutoType::Font) {
      if (result) {
        V_DISPATCH(result) = FontObject();
        V_VT(result) = VT_DISPATCH;
      }
    } else {
      Variant value = marklet::Invoke(control(), member->dispid, InvokeKind::Get);
      if (result) ToVariant(value, member->type, result);
    }
  } catch (...) {
    if (result) ::VariantClear(result);
    hr = FillExceptionInfo(exception);
  }
  Release();
  return hr;
}

// ---- The automation vtable ----

HRESULT MarkletObject::GetProperty(DISPID id, VARIANT* out) {
  ::VariantInit(out);
  try {
    EnsureInitialised();
    const MemberInfo* member = FindMember(static_cast<Long>(id));
    ToVariant(marklet::Invoke(control(), id, InvokeKind::Get), member->type, out);
    return S_OK;
  } catch (...) {
    ::VariantClear(out);
    return ReportCurrentException(AutomationIid());
  }
}

template <typename T, typename Convert>
HRESULT MarkletObject::GetAs(DISPID id, T* out, Convert convert) {
  if (!out) return E_POINTER;
  try {
    EnsureInitialised();
    *out = convert(marklet::Invoke(control(), id, InvokeKind::Get));
    return S_OK;
  } catch (...) {
    return ReportCurrentException(AutomationIid());
  }
}

HRESULT MarkletObject::PutProperty(DISPID id, const Variant& value) {
  AddRef();
  HRESULT hr = S_OK;
  try {
    EnsureInitialised();
    Variant args[] = {value};
    marklet::Invoke(control(), id, InvokeKind::Put, args);
  } catch (...) {
    hr = ReportCurrentException(AutomationIid());
  }
  Release();
  return hr;
}

HRESULT MarkletObject::CallMethod(DISPID id) {
  AddRef();
  HRESULT hr = S_OK;
  try {
    EnsureInitialised();
    marklet::Invoke(control(), id, InvokeKind::Call);
  } catch (...) {
    hr = ReportCurrentException(AutomationIid());
  }
  Release();
  return hr;
}

namespace {

// The DISPID of the member an accessor serves, found in the member table by
// the name the interface gives both; the accessors are declared in the
// table's order (marklet_object.h), which is the type library's vtable order.
// A name the table lacks gives DISPID_UNKNOWN, which the dispatch layer
// refuses with error 438.
DISPID DispidOf(std::u16string_view name) {
  const MemberInfo* member = FindMember(name);
  return member ? member->dispid : DISPID_UNKNOWN;
}

SHORT AsShort(const Variant& v) { return v.ToInteger(); }
LONG AsLong(const Variant& v) { return v.ToLong(); }
OLE_COLOR AsColor(const Variant& v) { return static_cast<OLE_COLOR>(v.ToLong()); }
VARIANT_BOOL AsBool(const Variant& v) { return v.ToBool() ? VARIANT_TRUE : VARIANT_FALSE; }
BYTE AsByte(const Variant& v) { return v.ToByte(); }
BSTR AsBstr(const Variant& v) { return ToBstr(v.ToString()); }
Variant Bool(VARIANT_BOOL v) { return Variant::FromBool(v != VARIANT_FALSE); }
Variant Color(OLE_COLOR v) { return Variant::FromLong(static_cast<Long>(v)); }
Variant String(BSTR v) { return Variant::FromString(FromBstr(v)); }

}  // namespace

#define MARKLET_GETTER(Name, CType, As) \
  HRESULT MarkletObject::get_##Name(CType* value) { return GetAs(DispidOf(u"" #Name), value, As); }
#define MARKLET_ACCESSORS(Name, CType, As, From) \
  MARKLET_GETTER(Name, CType, As)                \
  HRESULT MarkletObject::put_##Name(CType value) { return PutProperty(DispidOf(u"" #Name), From(value)); }

MARKLET_ACCESSORS(LineSpacing, SHORT, AsShort, Variant::FromInteger)
MARKLET_ACCESSORS(BackColor, OLE_COLOR, AsColor, Color)
MARKLET_ACCESSORS(ShowMoreLink, VARIANT_BOOL, AsBool, Bool)
MARKLET_ACCESSORS(GetTextOnEvent, VARIANT_BOOL, AsBool, Bool)
MARKLET_ACCESSORS(MultiLine, VARIANT_BOOL, AsBool, Bool)
MARKLET_ACCESSORS(AutoSizeHeight, VARIANT_BOOL, AsBool, Bool)
MARKLET_ACCESSORS(UnderlineLink, VARIANT_BOOL, AsBool, Bool)
MARKLET_ACCESSORS(LeftMargin, SHORT, AsShort, Variant::FromInteger)
MARKLET_ACCESSORS(LinkDisplay, LONG, AsLong, Variant::FromLong)
MARKLET_ACCESSORS(TabSize, BYTE, AsByte, Variant::FromByte)
MARKLET_ACCESSORS(ForeColor, OLE_COLOR, AsColor, Color)
MARKLET_ACCESSORS(LinkColor, OLE_COLOR, AsColor, Color)
MARKLET_ACCESSORS(ActiveLinkColor, OLE_COLOR, AsColor, Color)
MARKLET_GETTER(FormatedText, BSTR, AsBstr)
MARKLET_ACCESSORS(Enabled, VARIANT_BOOL, AsBool, Bool)
MARKLET_ACCESSORS(Appearance, LONG, AsLong, Variant::FromLong)
MARKLET_ACCESSORS(Text, BSTR, AsBstr, String)
MARKLET_ACCESSORS(MoreLinkText, BSTR, AsBstr, String)
MARKLET_ACCESSORS(BorderStyle, LONG, AsLong, Variant::FromLong)
#undef MARKLET_ACCESSORS
#undef MARKLET_GETTER

HRESULT MarkletObject::get_Picture(IPictureDisp** value) {
  return GetAs(DispidOf(u"Picture"), value, [](const Variant& v) { return PictureDispOf(v.ToPicture()); });
}

HRESULT MarkletObject::putref_Picture(IPictureDisp* value) {
  try {
    return PutProperty(DispidOf(u"Picture"), Variant::FromPicture(PictureOf(value)));
  } catch (...) {
    return ReportCurrentException(AutomationIid());
  }
}

HRESULT MarkletObject::About() { return CallMethod(DispidOf(u"About")); }
HRESULT MarkletObject::Refresh() { return CallMethod(DispidOf(u"Refresh")); }

HRESULT MarkletObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return ::IsEqualIID(iid, AutomationIid()) || ::IsEqualIID(iid, IID_IDispatch) ? S_OK : S_FALSE;
}

// ---- Outgoing calls ----

HRESULT MarkletObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (!points) return E_POINTER;
  *points = new (std::nothrow) ConnectionPointEnumerator({&events_, &propertyNotify_});
  return *points ? S_OK : E_OUTOFMEMORY;
}

HRESULT MarkletObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  ConnectionPoint* found = nullptr;
  if (::IsEqualIID(iid, events_.iid())) found = &events_;
  else if (::IsEqualIID(iid, IID_IPropertyNotifySink)) found = &propertyNotify_;
  if (!found) return CONNECT_E_NOCONNECTION;
  found->AddRef();
  *point = found;
  return S_OK;
}

HRESULT MarkletObject::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  return LoadControlTypeInfo(ToGuid(kClassGuid), info);
}

HRESULT MarkletObject::GetGUID(::DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *guid = events_.iid();
  return S_OK;
}

void MarkletObject::OnPropertyChanged(const std::u16string& name) {
  dirty_ = true;
  if (name == u"Font") ShowFontOnObject();
  const MemberInfo* member = FindMember(name);
  DISPID id = member ? member->dispid : DISPID_UNKNOWN;
  AddRef();
  for (const ComRef<IUnknown>& sink : propertyNotify_.Sinks()) {
    static_cast<IPropertyNotifySink*>(sink.get())->OnChanged(id);
  }
  Release();
}

// Every argument goes by reference, so a handler's assignment comes back to
// the control; the next sink sees what the previous one left.
void MarkletObject::OnEvent(EventId id, EventArgs& args) {
  if (eventsFrozen_ > 0) return;
  const EventInfo* info = FindEvent(id);
  if (!info || info->params.size() != args.size()) return;
  std::vector<ComRef<IUnknown>> sinks = events_.Sinks();
  if (sinks.empty()) return;
  AddRef();
  const size_t n = args.size();
  for (const ComRef<IUnknown>& sink : sinks) {
    std::vector<VARIANT> slots(n);
    std::vector<SHORT> shorts(n, 0);
    std::vector<FLOAT> singles(n, 0.0f);
    std::vector<BSTR> strings(n, nullptr);
    for (size_t i = 0; i < n; ++i) {
      VARIANT& slot = slots[n - 1 - i];  // arguments go right to left
      ::VariantInit(&slot);
      switch (info->params[i].type) {
        case AutoType::String:
          strings[i] = ToBstr(args[i].ToString());
          V_VT(&slot) = VT_BYREF | VT_BSTR;
          V_BSTRREF(&slot) = &strings[i];
          break;
        case AutoType::Single:
          singles[i] = args[i].ToSingle();
          V_VT(&slot) = VT_BYREF | VT_R4;
          V_R4REF(&slot) = &singles[i];
          break;
        default:
          shorts[i] = args[i].ToInteger();
          V_VT(&slot) = VT_BYREF | VT_I2;
          V_I2REF(&slot) = &shorts[i];
          break;
      }
    }
    DISPPARAMS params{slots.data(), nullptr, static_cast<UINT>(n), 0};
    static_cast<IDispatch*>(sink.get())
        ->Invoke(static_cast<DISPID>(id), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
    for (size_t i = 0; i < n; ++i) {
      switch (info->params[i].type) {
        case AutoType::String:
          args[i] = Variant::FromString(FromBstr(strings[i]));
          ::SysFreeString(strings[i]);
          break;
        case AutoType::Single: args[i] = Variant::FromSingle(singles[i]); break;
        default: args[i] = Variant::FromInteger(shorts[i]); break;
      }
    }
  }
  Release();
}

ComRef<IDispatch> MarkletObject::AmbientDispatch() {
  ComRef<IDispatch> ambient;
  if (site_) site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ambient.put()));
  return ambient;
}

}  // namespace marklet::win32::activex

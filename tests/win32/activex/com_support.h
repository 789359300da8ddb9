// What a container gives the control, built for the suite: an event sink,
// a property-change sink, a property bag, and automation calls by name.
#pragma once

#include "platform/win32/win_api.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "control/type_library.h"
#include "platform/win32/event_sink.h"
#include "server.h"

extern "C" {
// The ATL host window's functions (atl.dll); the SDK declares them in headers
// the cross compiler does not have.
BOOL WINAPI AtlAxWinInit();
HRESULT WINAPI AtlAxGetControl(HWND window, IUnknown** control);
}

namespace marklet::win32::activex_suite {

// The ATL host window class, registered once per process for every check
// that uses it. Wine's AtlAxWinInit fails when the class is registered
// already, so a second call is not made.
inline bool AtlHostReady() {
  static const bool ready = AtlAxWinInit() != FALSE;
  return ready;
}

// The control created by its ProgID (registering the server first).
inline IDispatch* NewControl() {
  IDispatch* control = nullptr;
  if (!EnsureRegistered()) return nullptr;
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(L"MarkletControl.Marklet", &clsid))) return nullptr;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&control)))) {
    return nullptr;
  }
  return control;
}

template <typename T>
T* Query(IUnknown* object, const IID& iid) {
  T* out = nullptr;
  if (!object || FAILED(object->QueryInterface(iid, reinterpret_cast<void**>(&out)))) return nullptr;
  return out;
}

// A control made ready the way a container makes a new one: created, then InitNew.
inline IDispatch* NewInitialisedControl() {
  IDispatch* control = NewControl();
  if (!control) return nullptr;
  if (IPersistStreamInit* persist = Query<IPersistStreamInit>(control, IID_IPersistStreamInit)) {
    persist->InitNew();
    persist->Release();
  }
  return control;
}

// The description of the thread's error information, taken (and so
// cleared); empty when there is none.
inline std::wstring TakeErrorDescription() {
  std::wstring description;
  IErrorInfo* info = nullptr;
  if (::GetErrorInfo(0, &info) == S_OK && info) {
    BSTR text = nullptr;
    info->GetDescription(&text);
    if (text) description = text;
    ::SysFreeString(text);
    info->Release();
  }
  return description;
}

// The outcome of one automation call.
struct Call {
  HRESULT hr = E_FAIL;
  VARIANT value{};
  EXCEPINFO exception{};
  Call() { ::VariantInit(&value); }
  ~Call() {
    ::VariantClear(&value);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  std::wstring Description() const { return exception.bstrDescription ? exception.bstrDescription : L""; }
  // The control's error number from a DISP_E_EXCEPTION (0 for none).
  int ErrorNumber() const {
    return hr == DISP_E_EXCEPTION && HRESULT_FACILITY(exception.scode) == FACILITY_CONTROL ? HRESULT_CODE(exception.scode) : 0;
  }
};

inline DISPID IdOf(IDispatch* control, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

inline void Get(IDispatch* control, DISPID id, Call& call) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  call.hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &call.value,
                            &call.exception, nullptr);
}

// Assigns `value` (by value, or by reference for objects when `byRef`).
inline void Put(IDispatch* control, DISPID id, const VARIANT& value, Call& call, bool byRef = false) {
  VARIANT arg = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  call.hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, byRef ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT,
                            &params, nullptr, &call.exception, nullptr);
}

inline VARIANT Text(const wchar_t* text) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = ::SysAllocString(text);
  return v;
}
inline VARIANT Int(int n) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}
inline VARIANT Bool(bool b) {
  VARIANT v;
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// Sets a property by name; HRESULT of the call.
inline HRESULT Set(IDispatch* control, const wchar_t* name, VARIANT value) {
  Call call;
  Put(control, IdOf(control, name), value, call);
  ::VariantClear(&value);
  return call.hr;
}

// A property by name, as text (numbers in decimal; empty on failure).
inline std::wstring Read(IDispatch* control, const wchar_t* name) {
  Call call;
  Get(control, IdOf(control, name), call);
  if (FAILED(call.hr)) return L"<error>";
  if (V_VT(&call.value) == VT_DISPATCH) return V_DISPATCH(&call.value) ? L"<object>" : L"<nothing>";
  if (V_VT(&call.value) == VT_BOOL) return V_BOOL(&call.value) ? L"True" : L"False";
  VARIANT text;
  ::VariantInit(&text);
  if (FAILED(::VariantChangeType(&text, &call.value, 0, VT_BSTR))) return L"<?>";
  std::wstring out = V_BSTR(&text);
  ::VariantClear(&text);
  return out;
}

// A simple COM object base: reference counting and QueryInterface for one
// interface besides IUnknown.
template <typename Interface>
class SuiteObject : public Interface {
 public:
  explicit SuiteObject(const IID& iid) : iid_(iid) {}
  virtual ~SuiteObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, iid_) || Also(iid)) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  virtual bool Also(REFIID) { return false; }

 private:
  IID iid_;
  ULONG references_ = 1;
};

// One event as the sink saw it: its DISPID and each argument as text, in
// declaration order.
struct SeenEvent {
  DISPID id;
  std::vector<std::wstring> args;
};

// A sink for the control's events. `onEvent` may assign to the arguments
// (they come by reference): it gets them in declaration order.
class EventSink final : public EventSinkBase {
 public:
  void OnEvent(DISPID id, DISPPARAMS& params) override {
    SeenEvent seen{id, {}};
    std::vector<VARIANT*> args;
    for (UINT i = params.cArgs; i-- > 0;) args.push_back(&params.rgvarg[i]);
    for (VARIANT* arg : args) {
      VARIANT text;
      ::VariantInit(&text);
      // Each argument must come by reference.
      if (!(V_VT(arg) & VT_BYREF)) {
        seen.args.push_back(L"<by value>");
      } else if (SUCCEEDED(::VariantChangeType(&text, arg, 0, VT_BSTR))) {
        seen.args.push_back(V_BSTR(&text));
      } else {
        seen.args.push_back(L"<?>");
      }
      ::VariantClear(&text);
    }
    events.push_back(seen);
    if (onEvent) onEvent(id, args);
  }

  int Count(DISPID id) const {
    int n = 0;
    for (const SeenEvent& e : events) n += e.id == id;
    return n;
  }
  const SeenEvent* Last(DISPID id) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->id == id) return &*it;
    return nullptr;
  }
  std::vector<SeenEvent> events;
  std::function<void(DISPID, std::vector<VARIANT*>&)> onEvent;
};

class PropertyNotifySink final : public SuiteObject<IPropertyNotifySink> {
 public:
  PropertyNotifySink() : SuiteObject(IID_IPropertyNotifySink) {}
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    changed.push_back(id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
  std::vector<DISPID> changed;
};

// Advises a sink on the control's connection point for `iid`; the cookie, 0 on failure.
inline ::DWORD Connect(IUnknown* control, const IID& iid, IUnknown* sink) {
  IConnectionPointContainer* container = Query<IConnectionPointContainer>(control, IID_IConnectionPointContainer);
  if (!container) return 0;
  IConnectionPoint* point = nullptr;
  ::DWORD cookie = 0;
  if (SUCCEEDED(container->FindConnectionPoint(iid, &point))) {
    if (FAILED(point->Advise(sink, &cookie))) cookie = 0;
    point->Release();
  }
  container->Release();
  return cookie;
}

inline bool Disconnect(IUnknown* control, const IID& iid, ::DWORD cookie) {
  IConnectionPointContainer* container = Query<IConnectionPointContainer>(control, IID_IConnectionPointContainer);
  if (!container) return false;
  IConnectionPoint* point = nullptr;
  bool ok = SUCCEEDED(container->FindConnectionPoint(iid, &point)) && SUCCEEDED(point->Unadvise(cookie));
  if (point) point->Release();
  container->Release();
  return ok;
}

// A property bag that keeps what it is given, in order, as a container's
// would; Read of an absent key answers E_INVALIDARG.
class MemoryPropertyBag final : public SuiteObject<IPropertyBag> {
 public:
  MemoryPropertyBag() : SuiteObject(IID_IPropertyBag) {}
  ~MemoryPropertyBag() override {
    for (auto& [key, value] : values) ::VariantClear(&value);
  }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    auto it = values.find(name);
    if (it == values.end()) return E_INVALIDARG;
    return ::VariantCopy(value, &it->second);
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
    writes.push_back(name);
    VARIANT copy;
    ::VariantInit(&copy);
    HRESULT hr = ::VariantCopy(&copy, value);
    if (FAILED(hr)) return hr;
    ::VariantClear(&values[name]);
    values[name] = copy;
    return S_OK;
  }
  std::map<std::wstring, VARIANT> values;
  std::vector<std::wstring> writes;
};

}  // namespace marklet::win32::activex_suite

#include "platform/win32/activex/script_event_binding.h"

#include <new>
#include <vector>

#include <activscp.h>

#include "control/dispatch.h"
#include "platform/win32/activex/com_values.h"
#include "platform/win32/activex/marklet_object.h"
#include "platform/win32/activex/tear_off.h"
#include "platform/win32/com_ref.h"

namespace marklet::win32::activex {
namespace {

constexpr GUID kBindEventHandlerIid = {0x63CDBCB0, 0xC1B1, 0x11D0, {0x93, 0x36, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

// A sink on the object's event connection point that calls one handler for
// one event.
class BoundHandler final : public IDispatch {
 public:
  BoundHandler(EventId event, IDispatch* handler) : event_(event), handler_(ComRef<IDispatch>::Share(handler)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (id != static_cast<DISPID>(event_) || !params) return S_OK;
    std::vector<VARIANT> values(params->cArgs);
    for (VARIANT& v : values) ::VariantInit(&v);
    for (UINT i = 0; i < params->cArgs; ++i) ::VariantCopyInd(&values[i], &params->rgvarg[i]);
    DISPPARAMS byValue{values.data(), nullptr, params->cArgs, 0};
    VARIANT result;
    ::VariantInit(&result);
    handler_->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_METHOD, &byValue, &result, nullptr, nullptr);
    ::VariantClear(&result);
    for (VARIANT& v : values) ::VariantClear(&v);
    return S_OK;
  }

 private:
  ~BoundHandler() = default;
  LONG references_ = 1;
  EventId event_;
  ComRef<IDispatch> handler_;
};

class EventBinder final : public TearOff<EventBinder, IBindEventHandler> {
 public:
  EventBinder(MarkletObject& owner, IUnknown* ownerUnknown) : TearOff(ownerUnknown), owner_(owner) {}

  void* Own(REFIID iid) {
    return ::IsEqualIID(iid, kBindEventHandlerIid) ? static_cast<IBindEventHandler*>(this) : nullptr;
  }

  // The handler stays bound for the life of the object.
  HRESULT STDMETHODCALLTYPE BindHandler(LPCOLESTR event, IDispatch* handler) override {
    if (!event || !handler) return E_POINTER;
    const EventInfo* info = FindEvent(FromWide(event));
    if (!info) return DISP_E_UNKNOWNNAME;
    GUID events{};
    owner_.GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events);
    ComRef<IConnectionPoint> point;
    HRESULT hr = owner_.FindConnectionPoint(events, point.put());
    if (FAILED(hr)) return hr;
    ComRef<BoundHandler> sink(new (std::nothrow) BoundHandler(info->id, handler));
    if (!sink) return E_OUTOFMEMORY;
    ::DWORD cookie = 0;
    return point->Advise(static_cast<IDispatch*>(sink.get()), &cookie);
  }

 private:
  friend TearOff;
  ~EventBinder() = default;
  MarkletObject& owner_;
};

}  // namespace

bool IsEventBinderInterface(REFIID iid) { return ::IsEqualIID(iid, kBindEventHandlerIid); }

HRESULT CreateEventBinder(MarkletObject& owner, IUnknown* ownerUnknown, REFIID iid, void** out) {
  *out = nullptr;
  if (!IsEventBinderInterface(iid)) return E_NOINTERFACE;
  return EventBinder::Create(iid, out, owner, ownerUnknown);
}

}  // namespace marklet::win32::activex

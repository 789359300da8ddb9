// What a container writes to receive the control's events: an IDispatch
// that the event connection point calls by DISPID, every argument by
// reference. Hosts derive from it and handle OnEvent.
#pragma once

#include "control/type_library.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

class EventSinkBase : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IDispatch) ||
        ::IsEqualIID(iid, ToGuid(kEventInterfaceGuid))) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
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
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    if (!params) return E_INVALIDARG;
    OnEvent(id, *params);
    return S_OK;
  }

 protected:
  virtual ~EventSinkBase() = default;
  // `params.rgvarg` holds the arguments last first, as automation passes them.
  virtual void OnEvent(DISPID id, DISPPARAMS& params) = 0;

 private:
  ULONG references_ = 1;
};

}  // namespace marklet::win32

// The reference counting and identity of a tear-off: a small object that
// carries a few interfaces of the control and is made only when a client asks
// for one of them. It keeps the object alive while it lives, answers every
// other interface through the object's IUnknown, and so the object stays the
// one identity a client can compare.
#pragma once

#include <new>
#include <utility>

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

// `Derived` (final) says which of `Interfaces` answers an IID in
// `void* Own(REFIID)`, nullptr for those it leaves to the object, and makes
// this class a friend when its destructor is private.
template <typename Derived, typename... Interfaces>
class TearOff : public Interfaces... {
 public:
  // Hands out `iid` of a new tear-off made from `args`; E_OUTOFMEMORY when
  // it could not be made.
  template <typename... Args>
  static HRESULT Create(REFIID iid, void** out, Args&&... args) {
    *out = nullptr;
    auto* made = new (std::nothrow) Derived(std::forward<Args>(args)...);
    if (!made) return E_OUTOFMEMORY;
    HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    void* own = static_cast<Derived*>(this)->Own(iid);
    if (!own) return unknown_->QueryInterface(iid, out);
    *out = own;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) {
      unknown_->Release();
      delete static_cast<Derived*>(this);
    }
    return static_cast<ULONG>(left);
  }

 protected:
  // Holds a reference on `ownerUnknown`, the object's IUnknown, until the
  // last reference on the tear-off goes.
  explicit TearOff(IUnknown* ownerUnknown) : unknown_(ownerUnknown) { unknown_->AddRef(); }
  ~TearOff() = default;

 private:
  LONG references_ = 1;
  IUnknown* unknown_;
};

}  // namespace marklet::win32::activex

// The class factory of the control class. One static instance serves the
// module; it does not count as a live object, only its locks do.
#pragma once

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

class ClassFactory final : public IClassFactory {
 public:
  static ClassFactory& Instance();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

}  // namespace marklet::win32::activex

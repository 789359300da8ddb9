#include "platform/win32/activex/class_factory.h"

#include "platform/win32/activex/marklet_object.h"
#include "platform/win32/activex/module.h"

namespace marklet::win32::activex {

ClassFactory& ClassFactory::Instance() {
  static ClassFactory factory;
  return factory;
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IClassFactory)) {
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return MarkletObject::Create(iid, out);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  if (lock) AddLock();
  else ReleaseLock();
  return S_OK;
}

}  // namespace marklet::win32::activex

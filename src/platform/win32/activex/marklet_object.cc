#include "platform/win32/activex/marklet_object.h"

namespace marklet::win32::activex {

HRESULT MarkletObject::Create(REFIID, void** out) {
  *out = nullptr;
  return E_NOTIMPL;
}

}  // namespace marklet::win32::activex

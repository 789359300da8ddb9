#include "platform/win32/activex/type_library_writer.h"

namespace marklet::win32::activex {

HRESULT WriteTypeLibrary(const std::wstring&) { return E_NOTIMPL; }
HRESULT LoadControlTypeLibrary(ITypeLib** library) {
  if (library) *library = nullptr;
  return E_NOTIMPL;
}
HRESULT LoadControlTypeInfo(const GUID&, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

}  // namespace marklet::win32::activex

#include "platform/win32/activex/registration.h"

namespace marklet::win32::activex {

HRESULT RegisterServer(HMODULE, RegistrationScope) { return E_NOTIMPL; }
HRESULT UnregisterServer(HMODULE, RegistrationScope) { return E_NOTIMPL; }

}  // namespace marklet::win32::activex

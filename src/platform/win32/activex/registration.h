// Registration of the server: the class, its programmatic identifier and the
// type library, per machine (HKEY_LOCAL_MACHINE\Software\Classes, what
// HKEY_CLASSES_ROOT shows every user) or per user
// (HKEY_CURRENT_USER\Software\Classes). Unregistering removes exactly the
// keys registering wrote, and nothing else.
#pragma once

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

enum class RegistrationScope { Machine, User };

// `module` is the server DLL (its path goes under InprocServer32; the type
// library file is written beside it).
HRESULT RegisterServer(HMODULE module, RegistrationScope scope);
HRESULT UnregisterServer(HMODULE module, RegistrationScope scope);

}  // namespace marklet::win32::activex

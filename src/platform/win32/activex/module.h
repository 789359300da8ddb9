// The server module: its handle, the count of live objects and locks that
// DllCanUnloadNow reports.
#pragma once

#include "control/type_library.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

HMODULE ServerModule();

// Every COM object the server hands out counts itself while it lives;
// IClassFactory::LockServer adds locks. The module can unload when both are 0.
void AddObject();
void ReleaseObject();
void AddLock();
void ReleaseLock();
long LiveObjects();


}  // namespace marklet::win32::activex

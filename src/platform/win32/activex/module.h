// The server module: its handle, the count of live objects and locks that
// DllCanUnloadNow reports, and GUID conversion from the control's constants.
#pragma once

#include "control/type_library.h"
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

inline GUID ToGuid(const marklet::Guid& g) {
  GUID out{g.data1, g.data2, g.data3, {}};
  for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
  return out;
}

}  // namespace marklet::win32::activex

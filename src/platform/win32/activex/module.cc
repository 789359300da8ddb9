// The four standard exports of an in-process server, plus DllInstall for
// per-user registration (`regsvr32 /n /i:user MarkletControl.dll`).
#include "platform/win32/activex/module.h"

#include <atomic>

#include "platform/win32/activex/class_factory.h"
#include "platform/win32/activex/registration.h"
#include "platform/win32/win32_container.h"

namespace marklet::win32::activex {
namespace {

HMODULE module = nullptr;
std::atomic<long> objects{0};
std::atomic<long> locks{0};

}  // namespace

HMODULE ServerModule() { return module; }
void AddObject() { ++objects; }
void ReleaseObject() { --objects; }
void AddLock() { ++locks; }
void ReleaseLock() { --locks; }
long LiveObjects() { return objects.load(); }

}  // namespace marklet::win32::activex

using namespace marklet::win32::activex;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, ::DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    module = instance;
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    // Window classes outlive the DLL that registered them unless removed.
    marklet::win32::Win32Container::UnregisterWindowClass();
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return objects.load() == 0 && locks.load() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!::IsEqualCLSID(clsid, marklet::win32::ToGuid(marklet::kClassGuid))) return CLASS_E_CLASSNOTAVAILABLE;
  return ClassFactory::Instance().QueryInterface(iid, out);
}

STDAPI DllRegisterServer() { return RegisterServer(module, RegistrationScope::Machine); }
STDAPI DllUnregisterServer() { return UnregisterServer(module, RegistrationScope::Machine); }

// `regsvr32 /i:user` (with /n: only this) registers for the current user;
// `regsvr32 /u /i:user` removes that registration.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  RegistrationScope scope = RegistrationScope::Machine;
  if (commandLine && ::lstrcmpiW(commandLine, L"user") == 0) scope = RegistrationScope::User;
  else if (commandLine && *commandLine) return E_INVALIDARG;
  return install ? RegisterServer(module, scope) : UnregisterServer(module, scope);
}

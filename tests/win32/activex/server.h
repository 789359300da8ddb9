// What the ActiveX suite needs to reach the server: its file beside the
// suite, regsvr32, and the server's own exports once COM has loaded it.
#pragma once

#include "platform/win32/win_api.h"

#include <string>

#include "control/type_library.h"
#include "platform/win32/com_ref.h"

namespace marklet::win32::activex_suite {

using win32::ToGuid;


// The folder the suite runs from, with a trailing backslash.
inline std::wstring SuiteFolder() {
  wchar_t path[MAX_PATH];
  ::DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

inline std::wstring ServerPath() { return SuiteFolder() + L"MarkletControl.dll"; }

// Runs a program to its end and returns its exit code (-1 when it could not start).
inline int RunProgram(std::wstring commandLine, ::DWORD timeoutMs = 60000) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
    return -1;
  }
  ::CloseHandle(process.hThread);
  ::DWORD code = static_cast<::DWORD>(-1);
  if (::WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

// regsvr32 /s with the given switches on the server, e.g. L"" or L"/u" or L"/n /i:user".
inline int Regsvr32(const std::wstring& switches) {
  return RunProgram(L"regsvr32.exe /s " + switches + L" \"" + ServerPath() + L"\"");
}

// Registers the server per machine, once per run of the suite; later cases
// create the control by its ProgID.
inline bool EnsureRegistered() {
  static bool registered = Regsvr32(L"") == 0;
  return registered;
}

// The server's DllCanUnloadNow, once COM has loaded it into this process;
// S_OK when no object or lock is alive.
inline HRESULT ServerCanUnloadNow() {
  HMODULE server = ::GetModuleHandleW(L"MarkletControl.dll");
  if (!server) return S_OK;
  auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(::GetProcAddress(server, "DllCanUnloadNow")));
  return canUnload ? canUnload() : E_FAIL;
}

}  // namespace marklet::win32::activex_suite

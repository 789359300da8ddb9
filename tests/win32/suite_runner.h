// The check runner the Windows suites share: named cases, checks that count
// failures and go on, a case filter from the command line, and the message
// loop and input helpers the checks drive real windows with.
#pragma once

#include "platform/win32/win_api.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "host/error.h"
#include "host/values.h"
#include "platform/win32/win32_container.h"

namespace marklet::win32 {

// ---- A small check runner ----

inline int checkFailures = 0;

// `file` is the checking source's path; only its last component is printed.
inline bool Check(bool ok, const std::string& what, int line, const char* file = "") {
  if (!ok) {
    ++checkFailures;
    std::string name = file;
    name = name.substr(name.find_last_of("/\\") + 1);
    std::printf("  %s:%d: check failed: %s\n", name.c_str(), line, what.c_str());
    std::fflush(stdout);
  }
  return ok;
}
#define CHECK(cond) Check((cond), #cond, __LINE__, __FILE__)
#define CHECK_MSG(cond, msg) Check((cond), std::string(#cond) + " (" + (msg) + ")", __LINE__, __FILE__)
#define REQUIRE(cond) \
  if (!Check((cond), #cond, __LINE__, __FILE__)) return

struct SuiteCase {
  const char* name;
  void (*run)();
};
inline std::vector<SuiteCase>& Cases() {
  static std::vector<SuiteCase> cases;
  return cases;
}
struct Register {
  Register(const char* name, void (*run)()) { Cases().push_back({name, run}); }
};
#define SUITE_CASE(name)              \
  void name();                        \
  const Register name##Registered{#name, &name}; \
  void name()

// ---- Message loop and input helpers ----

inline void PumpFor(int ms) {
  ::DWORD end = ::GetTickCount() + static_cast<::DWORD>(ms);
  do {
    PumpPendingMessages();
    ::Sleep(5);
  } while (static_cast<int>(end - ::GetTickCount()) > 0);
}

inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  ::DWORD end = ::GetTickCount() + static_cast<::DWORD>(timeoutMs);
  while (!done()) {
    if (static_cast<int>(end - ::GetTickCount()) <= 0) return false;
    PumpPendingMessages();
    ::Sleep(5);
  }
  return true;
}

inline void SendButton(::DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  ::SendInput(1, &input, sizeof input);
}

inline void ClickHere() {
  SendButton(MOUSEEVENTF_LEFTDOWN);
  ::Sleep(30);
  SendButton(MOUSEEVENTF_LEFTUP);
}

// Runs every case, or those whose names contain one of the arguments; 0 when
// at least one ran and all passed.
inline int RunCases(int argc, wchar_t** argv) {
  int failed = 0, run = 0;
  for (const SuiteCase& c : Cases()) {
    bool selected = argc <= 1;
    for (int i = 1; i < argc; ++i) {
      std::u16string name = FromWide(argv[i]);
      selected = selected || Utf8ToU16(c.name).find(name) != std::u16string::npos;
    }
    if (!selected) continue;
    ++run;
    std::printf("[ RUN  ] %s\n", c.name);
    std::fflush(stdout);
    int before = checkFailures;
    try {
      c.run();
    } catch (const MarkletError& e) {
      Check(false, std::string("error ") + std::to_string(e.number()) + ": " + e.what(), 0);
    } catch (const std::exception& e) {
      Check(false, e.what(), 0);
    }
    bool ok = checkFailures == before;
    failed += ok ? 0 : 1;
    std::printf("[ %s ] %s\n", ok ? " OK " : "FAIL", c.name);
    std::fflush(stdout);
  }
  std::printf("%d of %d passed\n", run - failed, run);
  return failed == 0 && run > 0 ? 0 : 1;
}

// A suite's whole program: OLE started, the cases named on the command line
// run (all of them without one), OLE ended. A suite whose frames sit at
// (60, 60) while the pointer waits at (700, 500) passes its name in
// `needsDesktop`, and refuses a desktop smaller than 800 x 600 pixels.
inline int SuiteMain(const char* needsDesktop = nullptr) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  ::OleInitialize(nullptr);
  int code = 1;
  if (needsDesktop && (::GetSystemMetrics(SM_CXSCREEN) < 800 || ::GetSystemMetrics(SM_CYSCREEN) < 600)) {
    std::printf("%s: the screen (desktop) must be at least 800 x 600 pixels\n", needsDesktop);
  } else {
    code = RunCases(argc, argv);
  }
  ::OleUninitialize();
  ::LocalFree(argv);
  return code;
}

}  // namespace marklet::win32

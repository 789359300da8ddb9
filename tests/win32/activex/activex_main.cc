// The ActiveX suite: MarkletControl.dll registered with regsvr32, created by
// its ProgID, driven through its automation, event, persistence and embedding
// interfaces, and hosted in a real ATL host window. Runs under Wine on Xvfb
// (scripts/windows-test.sh) or on Windows.
//
//   activex-suite.exe [NAME ...]    runs all checks, or those whose names contain a NAME
#include "platform/win32/win_api.h"

#include "suite_runner.h"

int main() { return marklet::win32::SuiteMain(); }

// The trace container's window system: the shared window table with what a
// scenario can observe of each window.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/window_table.h"

namespace marklet::trace {

class TraceWorld;

// The window table (host/window_table.h) with each window's source, system
// menus and shell calls; mouse-leave requests and deliveries are recorded.
class TraceWindowSystem : public WindowTable {
 public:
  explicit TraceWindowSystem(TraceWorld& world) : WindowTable(0x10010), world_(world) {}

  HWND CreateWindow(const std::string& source);
  void DestroyWindow(HWND hwnd);
  bool Exists(HWND hwnd) const { return windows_.count(hwnd) != 0; }
  // How many messages were handed to DefWindowProcA.
  int DefWindowProcCalls() const { return defWindowProcCalls_; }
  // Whether the window's system menu still offers the close command.
  bool HasCloseCommand(HWND hwnd) const;

  LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  HMENU GetSystemMenu(HWND hwnd, bool revert) override;
  int GetMenuItemCount(HMENU menu) override;
  bool RemoveMenu(HMENU menu, UINT position, UINT flags) override;
  bool DrawMenuBar(HWND hwnd) override;
  LONG_PTR ShellExecuteA(HWND hwnd, const std::string& operation, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int showCommand) override;

 private:
  void MouseTracked(HWND hwnd, bool valid) override;
  void DeliveringMouseLeave(HWND hwnd) override;

  struct Window {
    std::string source;
    HMENU systemMenu = 0;
  };
  std::string SourceOf(HWND hwnd) const;
  TraceWorld& world_;
  std::map<HWND, Window> windows_;
  std::map<HMENU, std::vector<std::string>> menus_;
  int defWindowProcCalls_ = 0;
};

}  // namespace marklet::trace

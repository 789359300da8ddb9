// The window-system calls of the control mapped onto the real user32,
// comctl32 and shell32 entries. Window longs and procedure addresses pass
// through unchanged (the control's window procedure is registered as is);
// the mouse-leave request is rewritten into the native record, whose size
// on 64-bit Windows differs from the 16 bytes the control fills in.
//
// One instance serves the whole process: the control's module window
// procedure finds its window system through a per-thread pointer set when a
// window is hooked, so every container on a thread must hand out the same one.
#pragma once

#include <functional>
#include <string>

#include "host/window_system.h"

namespace marklet::win32 {

class Win32WindowSystem : public WindowSystem {
 public:
  static Win32WindowSystem& Instance();

  LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) override;
  LONG_PTR GetWindowLongA(HWND hwnd, int index) override;
  LRESULT CallWindowProcA(LONG_PTR previous, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool TrackMouseEvent(TRACKMOUSEEVENT& request) override;
  HMENU GetSystemMenu(HWND hwnd, bool revert) override;
  int GetMenuItemCount(HMENU menu) override;
  bool RemoveMenu(HMENU menu, UINT position, UINT flags) override;
  bool DrawMenuBar(HWND hwnd) override;
  LONG_PTR ShellExecuteA(HWND hwnd, const std::string& operation, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int showCommand) override;

  // Observers, told after the real call with what it was given and returned
  // (the host program prints them, the tests check them). Called on the
  // window's thread.
  std::function<void(HWND hwnd, bool ok)> onTrackMouseEvent;
  std::function<void(HMENU menu, UINT position, UINT flags, bool ok)> onRemoveMenu;
  std::function<void(HWND hwnd, const std::string& operation, const std::string& file, LONG_PTR result)>
      onShellExecute;
  // When false, ShellExecuteA is only reported (result 33, as a successful
  // open), so tests can click links without starting other programs.
  bool shellExecuteEnabled = true;

 private:
  Win32WindowSystem() = default;
};

}  // namespace marklet::win32

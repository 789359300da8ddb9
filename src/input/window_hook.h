// Mouse-leave tracking: the hook replaces the control window's procedure
// with SubclassProc, asks for a one-shot mouse-leave message after each
// entry, and on that message runs its leave action. Every message then goes
// on to the procedure that was there before. The whole path of a leave is
// told where hosts without real windows deliver it, in host/window_table.cc.
//
// The window's user-data slot holds a plain, non-owning pointer to the hook
// that hooked it.
#pragma once

#include <functional>

#include "host/container.h"

namespace marklet {

class WindowHook {
 public:
  // `onLeave` runs for each mouse-leave message, before the previous
  // procedure gets it; a MarkletError it throws goes no further.
  WindowHook(Container& container, std::function<void()> onLeave)
      : container_(container), onLeave_(std::move(onLeave)) {}
  WindowHook(const WindowHook&) = delete;
  WindowHook& operator=(const WindowHook&) = delete;

  // Hooks the surface's window; hooking twice changes nothing.
  void Hook();
  // Puts the previous procedure back, and clears the user-data slot while it
  // still names this hook, so a message that reaches SubclassProc after the
  // hook is gone finds none.
  void Unhook();
  // Asks for one mouse-leave message, unless one is asked for already.
  void RequestMouseLeave();

  bool Hooked() const { return prevWndProc_ != 0; }
  bool LeaveTracking() const { return leaveTracking_; }

  // The module-level procedure registered for every hooked window.
  static LRESULT SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  Container& container_;
  std::function<void()> onLeave_;
  bool leaveTracking_ = false;
  LONG_PTR prevWndProc_ = 0;
  HWND hookedHwnd_ = 0;
};

}  // namespace marklet

// The window table of the hosts that imitate the window system (the trace
// container and the raster host): per window its procedure, its user data
// and whether a mouse-leave message was asked for. Each host adds what it
// keeps besides (sources, system menus) and what it records, through the two
// hooks, the way ImageSlots is shared.
#pragma once

#include <map>

#include "host/window_system.h"

namespace marklet {

class WindowTable : public WindowSystem {
 public:
  // Handles start at `firstHandle` and are 16 apart.
  explicit WindowTable(HWND firstHandle) : next_(firstHandle) {}

  // A new window whose procedure is DefaultProc.
  HWND CreateWindow();
  void DestroyWindow(HWND hwnd);
  bool LeaveRequested(HWND hwnd) const;
  // Delivers WM_MOUSELEAVE through the window's current procedure when a
  // leave was asked for; returns whether it was.
  bool DeliverMouseLeave(HWND hwnd);

  LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) final;
  LONG_PTR GetWindowLongA(HWND hwnd, int index) final;
  LRESULT CallWindowProcA(LONG_PTR previous, HWND hwnd, UINT msg, WPARAM wParam,
                          LPARAM lParam) final;
  LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool TrackMouseEvent(TRACKMOUSEEVENT& request) final;

  // The default procedure every window starts with; it takes every message
  // and does nothing.
  static LRESULT DefaultProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  // After each mouse-leave request, valid or not.
  virtual void MouseTracked(HWND hwnd, bool valid) { (void)hwnd, (void)valid; }
  // Just before a mouse-leave message goes to the window's procedure.
  virtual void DeliveringMouseLeave(HWND hwnd) { (void)hwnd; }

 private:
  struct Window {
    LONG_PTR wndProc = 0;
    LONG_PTR userData = 0;
    bool leaveRequested = false;
  };
  std::map<HWND, Window> windows_;
  HWND next_;
};

}  // namespace marklet

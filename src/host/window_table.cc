#include "host/window_table.h"

namespace marklet {

LRESULT WindowTable::DefaultProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

HWND WindowTable::CreateWindow() {
  HWND hwnd = next_;
  next_ += 0x10;
  windows_[hwnd].wndProc = ProcToLong(&DefaultProc);
  return hwnd;
}

void WindowTable::DestroyWindow(HWND hwnd) { windows_.erase(hwnd); }

bool WindowTable::LeaveRequested(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  return it != windows_.end() && it->second.leaveRequested;
}

// The path of a mouse-leave. The host sees the pointer leave the control's
// window (an X11 LeaveNotify, a script's `leave`) and calls this. The window
// asked for the message with TrackMouseEvent when the pointer last moved over
// it (WindowHook::RequestMouseLeave); the request is one-shot, so it is
// spent here. The message goes to the window's current procedure, which,
// while a control lives on the window, is WindowHook::SubclassProc. That
// procedure finds the hook through the window's user data, read through the
// window system its thread registered; the hook runs its leave action (the
// hovered link gets its look back, then MouseOut is raised) and hands the
// message on to the procedure that was there before it.
bool WindowTable::DeliverMouseLeave(HWND hwnd) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end() || !it->second.leaveRequested) return false;
  it->second.leaveRequested = false;
  DeliveringMouseLeave(hwnd);
  LongToProc(it->second.wndProc)(hwnd, WM_MOUSELEAVE, 0, 0);
  return true;
}

LONG_PTR WindowTable::SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return 0;
  LONG_PTR* slot = index == GWL_WNDPROC    ? &it->second.wndProc
                   : index == GWL_USERDATA ? &it->second.userData
                                           : nullptr;
  if (!slot) return 0;
  LONG_PTR previous = *slot;
  *slot = value;
  return previous;
}

LONG_PTR WindowTable::GetWindowLongA(HWND hwnd, int index) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return 0;
  if (index == GWL_WNDPROC) return it->second.wndProc;
  if (index == GWL_USERDATA) return it->second.userData;
  return 0;
}

LRESULT WindowTable::CallWindowProcA(LONG_PTR previous, HWND hwnd, UINT msg, WPARAM wParam,
                                     LPARAM lParam) {
  return previous ? LongToProc(previous)(hwnd, msg, wParam, lParam) : 0;
}

LRESULT WindowTable::DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefaultProc(hwnd, msg, wParam, lParam);
}

bool WindowTable::TrackMouseEvent(TRACKMOUSEEVENT& request) {
  auto it = windows_.find(request.hwndTrack);
  bool valid = it != windows_.end() && request.cbSize == sizeof(std::uint32_t) * 4 &&
               (request.dwFlags & TME_LEAVE) != 0;
  if (valid) it->second.leaveRequested = true;
  MouseTracked(request.hwndTrack, valid);
  return valid;
}

}  // namespace marklet

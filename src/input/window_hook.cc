// The window hook: installing and removing it, the procedure every hooked
// window runs, and the one-shot mouse-leave requests.
#include "input/window_hook.h"

#include "host/error.h"

namespace marklet {

namespace {

// The window system of the thread's hooked windows, registered by Hook:
// SubclassProc receives only a window handle and needs it to read the
// window's user data. A thread has one window system.
thread_local WindowSystem* hookedWindowSystem = nullptr;

// The instance that the message being forwarded on this thread belongs to.
// It is read once per message, so a nested message that clears it when it
// ends does not disturb the message around it.
thread_local WindowHook* forwardingInstance = nullptr;

constexpr DWORD kTrackMouseEventSize = 16;

}  // namespace

void WindowHook::Hook() {
  if (prevWndProc_ != 0) return;
  WindowSystem& windows = container_.windows();
  hookedWindowSystem = &windows;
  Surface& surface = container_.surface();
  // No message is dispatched between installing the procedure and storing the
  // instance, so SubclassProc never sees the window without its instance.
  prevWndProc_ = windows.SetWindowLongA(surface.hWnd(), GWL_WNDPROC, ProcToLong(&SubclassProc));
  hookedHwnd_ = surface.hWnd();
  windows.SetWindowLongA(surface.hWnd(), GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void WindowHook::Unhook() {
  if (prevWndProc_ == 0) return;
  WindowSystem& windows = container_.windows();
  windows.SetWindowLongA(hookedHwnd_, GWL_WNDPROC, prevWndProc_);
  prevWndProc_ = 0;
  if (windows.GetWindowLongA(hookedHwnd_, GWL_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
    windows.SetWindowLongA(hookedHwnd_, GWL_USERDATA, 0);
  }
}

// Errors never leave a window procedure: each step runs even when the one
// before it failed, and the result is 0 when forwarding failed.
LRESULT WindowHook::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowSystem* windows = hookedWindowSystem;
  if (windows == nullptr) return 0;
  LONG_PTR address = 0;
  try {
    address = windows->GetWindowLongA(hwnd, GWL_USERDATA);
  } catch (...) {
  }
  forwardingInstance = reinterpret_cast<WindowHook*>(address);
  WindowHook* instance = forwardingInstance;
  LRESULT result = 0;
  try {
    // A window whose slot holds no instance cannot be forwarded to its
    // previous procedure (only the instance knows it): the window's default
    // procedure takes the message.
    result = instance != nullptr ? instance->WindowProc(hwnd, msg, wParam, lParam)
                                 : windows->DefWindowProcA(hwnd, msg, wParam, lParam);
  } catch (...) {
  }
  forwardingInstance = nullptr;
  return result;
}

LRESULT WindowHook::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WindowSystem& windows = container_.windows();
  if (msg == WM_MOUSELEAVE) {
    leaveTracking_ = false;
    // The previous procedure gets the leave message even when restoring the
    // link's look failed.
    try {
      onLeave_();
    } catch (const MarkletError&) {
    }
  }
  if (prevWndProc_ == 0) return windows.DefWindowProcA(hwnd, msg, wParam, lParam);
  return windows.CallWindowProcA(prevWndProc_, hwnd, msg, wParam, lParam);
}

// One mouse-leave message per entry: the request is one-shot, and the next
// move after a leave asks again.
void WindowHook::RequestMouseLeave() {
  if (leaveTracking_) return;
  TRACKMOUSEEVENT request;
  request.cbSize = kTrackMouseEventSize;
  request.dwFlags = TME_LEAVE;
  request.hwndTrack = container_.surface().hWnd();
  request.dwHoverTime = 0;
  container_.windows().TrackMouseEvent(request);
  leaveTracking_ = true;
}

}  // namespace marklet

#include "platform/win32/win_api.h"

#include "platform/win32/win32_window_system.h"

// The control registers its module procedure as the window procedure itself,
// and window longs carry it and the instance address whole: that takes
// pointer-sized handles and the one calling convention of 64-bit Windows.
#ifndef _WIN64
#error "The Windows host is built for 64-bit Windows only"
#endif
static_assert(sizeof(marklet::HWND) == sizeof(::HWND) && sizeof(marklet::LONG_PTR) == sizeof(::LONG_PTR) &&
              sizeof(marklet::WPARAM) == sizeof(::WPARAM) && sizeof(marklet::LPARAM) == sizeof(::LPARAM) &&
              sizeof(marklet::LRESULT) == sizeof(::LRESULT) && sizeof(marklet::UINT) == sizeof(::UINT));

namespace marklet::win32 {

Win32WindowSystem& Win32WindowSystem::Instance() {
  static Win32WindowSystem instance;
  return instance;
}

// GWL_WNDPROC (-4) and GWL_USERDATA (-21) are the same slots as
// GWLP_WNDPROC and GWLP_USERDATA; on 64-bit Windows only the pointer-sized
// entries reach them whole.
LONG_PTR Win32WindowSystem::SetWindowLongA(HWND hwnd, int index, LONG_PTR value) {
  return ::SetWindowLongPtrA(Native(hwnd), index, value);
}

LONG_PTR Win32WindowSystem::GetWindowLongA(HWND hwnd, int index) {
  return ::GetWindowLongPtrA(Native(hwnd), index);
}

LRESULT Win32WindowSystem::CallWindowProcA(LONG_PTR previous, HWND hwnd, UINT msg, WPARAM wParam,
                                           LPARAM lParam) {
  return ::CallWindowProcA(reinterpret_cast<::WNDPROC>(previous), Native(hwnd), msg, wParam, lParam);
}

LRESULT Win32WindowSystem::DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcA(Native(hwnd), msg, wParam, lParam);
}

bool Win32WindowSystem::TrackMouseEvent(TRACKMOUSEEVENT& request) {
  // The control fills in the 32-bit record (16 bytes); the native one carries
  // its own size, and only a request of the control's size is taken.
  bool ok = false;
  if (request.cbSize == 16) {
    ::TRACKMOUSEEVENT native{};
    native.cbSize = sizeof native;
    native.dwFlags = request.dwFlags;
    native.hwndTrack = Native(request.hwndTrack);
    native.dwHoverTime = request.dwHoverTime;
    ok = ::_TrackMouseEvent(&native) != FALSE;
  }
  if (onTrackMouseEvent) onTrackMouseEvent(request.hwndTrack, ok);
  return ok;
}

HMENU Win32WindowSystem::GetSystemMenu(HWND hwnd, bool revert) {
  return reinterpret_cast<HMENU>(::GetSystemMenu(Native(hwnd), revert ? TRUE : FALSE));
}

int Win32WindowSystem::GetMenuItemCount(HMENU menu) {
  return ::GetMenuItemCount(reinterpret_cast<::HMENU>(menu));
}

bool Win32WindowSystem::RemoveMenu(HMENU menu, UINT position, UINT flags) {
  // The flags go through as the control passes them (MF_BYPOSITION | MF_REMOVE);
  // RemoveMenu reads the position flag.
  bool ok = ::RemoveMenu(reinterpret_cast<::HMENU>(menu), position, flags) != FALSE;
  if (onRemoveMenu) onRemoveMenu(menu, position, flags, ok);
  return ok;
}

bool Win32WindowSystem::DrawMenuBar(HWND hwnd) { return ::DrawMenuBar(Native(hwnd)) != FALSE; }

LONG_PTR Win32WindowSystem::ShellExecuteA(HWND hwnd, const std::string& operation, const std::string& file,
                                          const std::string& parameters, const std::string& directory,
                                          int showCommand) {
  LONG_PTR result = 33;
  if (shellExecuteEnabled) {
    auto text = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    result = reinterpret_cast<LONG_PTR>(::ShellExecuteA(Native(hwnd), text(operation), text(file),
                                                        text(parameters), text(directory), showCommand));
  }
  if (onShellExecute) onShellExecute(hwnd, operation, file, result);
  return result;
}

}  // namespace marklet::win32

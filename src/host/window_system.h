// The window-system calls the control makes on its own window, with the
// names, constants and semantics of the platform's user32/comctl32/shell32
// entries. Handles, window-long values and procedure addresses are
// pointer-sized, so an instance address fits and a Windows host maps each
// call straight onto the real one.
#pragma once

#include <cstdint>
#include <string>

namespace marklet {

using HWND = std::uintptr_t;
using HMENU = std::uintptr_t;
using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using DWORD = std::uint32_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr int GWL_WNDPROC = -4;
constexpr int GWL_USERDATA = -21;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_REMOVE = 0x1000;

struct TRACKMOUSEEVENT {
  DWORD cbSize = 0;
  DWORD dwFlags = 0;
  HWND hwndTrack = 0;
  DWORD dwHoverTime = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Window longs: GWL_WNDPROC takes and returns a procedure address (as a
  // LONG_PTR); GWL_USERDATA a free pointer-sized value. Returns the previous value.
  virtual LONG_PTR SetWindowLongA(HWND hwnd, int index, LONG_PTR value) = 0;
  virtual LONG_PTR GetWindowLongA(HWND hwnd, int index) = 0;
  // Calls the procedure whose address `previous` is (as returned by SetWindowLongA).
  virtual LRESULT CallWindowProcA(LONG_PTR previous, HWND hwnd, UINT msg, WPARAM wParam,
                                  LPARAM lParam) = 0;
  // The window's default procedure, for messages no instance can take.
  virtual LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  // Asks for one mouse-leave message for request.hwndTrack.
  virtual bool TrackMouseEvent(TRACKMOUSEEVENT& request) = 0;

  virtual HMENU GetSystemMenu(HWND hwnd, bool revert) = 0;
  virtual int GetMenuItemCount(HMENU menu) = 0;
  virtual bool RemoveMenu(HMENU menu, UINT position, UINT flags) = 0;
  virtual bool DrawMenuBar(HWND hwnd) = 0;
  // `file` is in the ANSI code page, as the platform's A entry takes it.
  virtual LONG_PTR ShellExecuteA(HWND hwnd, const std::string& operation, const std::string& file,
                                 const std::string& parameters, const std::string& directory,
                                 int showCommand) = 0;
};

// Converts a procedure address to and from the pointer-sized value that window longs hold.
inline LONG_PTR ProcToLong(WNDPROC proc) { return reinterpret_cast<LONG_PTR>(proc); }
inline WNDPROC LongToProc(LONG_PTR value) { return reinterpret_cast<WNDPROC>(value); }

}  // namespace marklet

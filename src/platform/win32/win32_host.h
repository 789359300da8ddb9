// A top-level window hosting one control: the control's window fills the
// frame's client area, follows the frame's size, and the frame follows the
// control when the control sets its own height (AutoSizeHeight).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/win32/win32_container.h"
#include "platform/win32/win_api.h"

namespace marklet::win32 {

struct HostOptions {
  int widthPx = 480;   // the control's size
  int heightPx = 200;
  int x = CW_USEDEFAULT;  // the frame's position on the screen
  int y = CW_USEDEFAULT;
  std::u16string title = u"Marklet";
};

class Win32Host {
 public:
  explicit Win32Host(const HostOptions& options);
  ~Win32Host();
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  Win32Container& container() { return *container_; }
  ::HWND frame() const { return frame_; }

  // Shows the frame and gives the control the keyboard.
  void Show();
  // Runs the message loop until the frame is closed or Quit is called;
  // returns the exit code.
  int Run();
  void Quit(int code = 0) { ::PostQuitMessage(code); }

 private:
  static LRESULT CALLBACK FrameProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void FitFrameTo(int width, int height);

  ::HWND frame_ = nullptr;
  std::unique_ptr<Win32Container> container_;
  bool fitting_ = false;
};

}  // namespace marklet::win32

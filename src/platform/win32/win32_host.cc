#include "platform/win32/win_api.h"

#include "platform/win32/win32_host.h"

#include "host/error.h"

namespace marklet::win32 {

namespace {

constexpr wchar_t kFrameClass[] = L"MarkletHostFrame";
constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

void RegisterFrameClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &DefWindowProcW;
  wc.hInstance = ResourceModule();
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kFrameClass;
  registered = ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

Win32Host::Win32Host(const HostOptions& options) {
  RegisterFrameClass();
  RECT outer{0, 0, options.widthPx, options.heightPx};
  ::AdjustWindowRectEx(&outer, kFrameStyle, FALSE, 0);
  frame_ = ::CreateWindowExW(0, kFrameClass, Wide(options.title), kFrameStyle, options.x, options.y,
                             outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, ResourceModule(),
                             nullptr);
  if (!frame_) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Cannot create the host window (error " + std::to_string(::GetLastError()) + ")");
  }
  RECT client{};
  ::GetClientRect(frame_, &client);
  container_ = std::make_unique<Win32Container>(frame_, client);
  container_->onHeightSet = [this](int width, int height) { FitFrameTo(width, height); };
  ::SetWindowLongPtrW(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(frame_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameProcedure));
}

Win32Host::~Win32Host() {
  if (::IsWindow(frame_)) {
    container_.reset();
    ::SetWindowLongPtrW(frame_, GWLP_USERDATA, 0);
    ::DestroyWindow(frame_);
  }
  container_.reset();
}

void Win32Host::Show() {
  ::ShowWindow(frame_, SW_SHOW);
  ::UpdateWindow(frame_);
  ::SetForegroundWindow(frame_);
  ::SetFocus(container_->window());
}

int Win32Host::Run() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

void Win32Host::FitFrameTo(int width, int height) {
  RECT client{};
  ::GetClientRect(frame_, &client);
  if (client.right == width && client.bottom == height) return;
  RECT outer{0, 0, width, height};
  ::AdjustWindowRectEx(&outer, kFrameStyle, FALSE, 0);
  fitting_ = true;
  ::SetWindowPos(frame_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  fitting_ = false;
}

LRESULT CALLBACK Win32Host::FrameProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Host*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && self->container_) {
    switch (msg) {
      case WM_SIZE:
        // The control follows the frame, except while the frame follows the control.
        if (!self->fitting_) self->container_->SetBounds(RECT{0, 0, LOWORD(lParam), HIWORD(lParam)});
        return 0;
      case WM_SETFOCUS:
        ::SetFocus(self->container_->window());
        return 0;
      case WM_DESTROY:
        // The control lets go of its window while the window still exists.
        self->container_->DestroyControl();
        ::PostQuitMessage(0);
        return 0;
      default:
        break;
    }
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace marklet::win32

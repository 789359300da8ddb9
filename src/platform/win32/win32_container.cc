#include "platform/win32/win_api.h"

#include "platform/win32/win32_container.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "control/hosted_marklet.h"
#include "host/error.h"
#include "platform/win32/ole_picture.h"
#include "platform/win32/win32_forms.h"
#include "platform/win32/win32_window_system.h"

namespace marklet::win32 {

namespace {

constexpr char kWindowClass[] = "MarkletControlWindow";

// The window class is ANSI, as the control's hook is: the procedure
// addresses its window longs hold are then the procedures themselves.
bool& WindowClassRegistered();

void RegisterWindowClass() {
  bool& registered = WindowClassRegistered();
  if (registered) return;
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &Win32Container::WindowProcedure;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = ResourceModule();
  wc.lpszClassName = kWindowClass;
  registered = ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool& WindowClassRegistered() {
  static bool registered = false;
  return registered;
}

Integer ShiftState() {
  Integer shift = 0;
  if (::GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (::GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (::GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

Integer ButtonsHeld(WPARAM wParam) {
  Integer buttons = 0;
  if (wParam & MK_LBUTTON) buttons |= 1;
  if (wParam & MK_RBUTTON) buttons |= 2;
  if (wParam & MK_MBUTTON) buttons |= 4;
  return buttons;
}

int ToPixels(Single twips, double tpp) { return static_cast<int>(std::lround(twips / tpp)); }

// Messages handled per pump: enough for anything queued, and a bound when a
// window keeps producing them.
constexpr int kPumpLimit = 1000;
constexpr int kPumpDepthLimit = 32;

}  // namespace

HINSTANCE ResourceModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ResourceModule), &module);
  return module;
}

bool PumpPendingMessages() {
  static thread_local int depth = 0;
  if (depth >= kPumpDepthLimit) return true;
  ++depth;
  bool running = true;
  MSG msg;
  for (int n = 0; n < kPumpLimit && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      running = false;
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  --depth;
  return running;
}

// ---- Win32Images ----

void Win32Images::Changed(Change change, Integer, bool wasVisible) {
  if (change != Change::Unload || wasVisible) ::InvalidateRect(owner_.window(), nullptr, FALSE);
}

RECT Win32Images::Bounds(Integer index) {
  Image& image = Member(index);
  GdiSurface& surface = owner_.gdiSurface();
  int b = surface.BorderPixels();
  RECT r{};
  r.left = b + ToPixels(image.left, surface.TppX());
  r.top = b + ToPixels(image.top, surface.TppY());
  SIZE size = PicturePixels(image.picture, surface.dc());
  r.right = r.left + size.cx;
  r.bottom = r.top + size.cy;
  return r;
}

void Win32Images::Draw(HDC dc) {
  for (std::size_t i = 0; i < images().size(); ++i) {
    const Image& image = images()[i];
    if (!image.loaded || !image.visible || !image.picture) continue;
    RECT r = Bounds(static_cast<Integer>(i));
    RenderPicture(dc, image.picture, r.left, r.top);
  }
}

Integer Win32Images::HitTest(int x, int y) {
  GdiSurface& surface = owner_.gdiSurface();
  int b = surface.BorderPixels();
  if (x < b || y < b || x >= surface.PixelWidth() - b || y >= surface.PixelHeight() - b) return -1;
  POINT at{x, y};
  for (std::size_t i = images().size(); i-- > 0;) {
    const Image& image = images()[i];
    if (!image.loaded || !image.visible || !image.picture) continue;
    RECT r = Bounds(static_cast<Integer>(i));
    if (::PtInRect(&r, at)) return static_cast<Integer>(i);
  }
  return -1;
}

// ---- Win32Container ----

Win32Container::Win32Container(::HWND parent, const RECT& bounds) : images_(*this) {
  RegisterWindowClass();
  hwnd_ = ::CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                            bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                            parent, nullptr, ResourceModule(), nullptr);
  if (!hwnd_) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Cannot create the control's window (error " + std::to_string(::GetLastError()) + ")");
  }
  try {
    surface_ = std::make_unique<GdiSurface>(*this, hwnd_);
    accessibility_ = std::make_unique<ControlAccessibility>(*this);
  } catch (...) {
    ::DestroyWindow(hwnd_);
    throw;
  }
  ::SetWindowLongPtrA(hwnd_, 0, reinterpret_cast<LONG_PTR>(this));
}

Win32Container::~Win32Container() {
  DestroyControl();
  accessibility_.reset();
  if (toolTipWindow_) ::DestroyWindow(toolTipWindow_);
  if (::IsWindow(hwnd_)) {
    ::SetWindowLongPtrA(hwnd_, 0, 0);
    ::DestroyWindow(hwnd_);
  }
}

WindowSystem& Win32Container::windows() { return Win32WindowSystem::Instance(); }

void Win32Container::PropertyChanged(const std::u16string& name) {
  if (name == u"Text" && accessibility_) accessibility_->TextChanged();
  if (onPropertyChanged) onPropertyChanged(name);
}

void Win32Container::Painted() {
  if (accessibility_) accessibility_->Painted();
}

void Win32Container::DoEvents() { PumpPendingMessages(); }

void Win32Container::RaiseEvent(EventId id, EventArgs& args) {
  if (onEvent) onEvent(id, args);
}

Picture Win32Container::LoadPicture(const std::u16string& path) { return LoadPictureFile(path); }

Single Win32Container::ScreenTwipsPerPixelX() { return static_cast<Single>(surface_->TppX()); }
Single Win32Container::ScreenTwipsPerPixelY() { return static_cast<Single>(surface_->TppY()); }

// The box's button and icon flags have the values of the platform's MB_ flags.
int Win32Container::MsgBox(const std::u16string& prompt, int buttons, const std::u16string& title) {
  if (onMessageBox) onMessageBox(prompt, title, buttons);
  ::HWND owner = ::GetAncestor(hwnd_, GA_ROOT);
  return ::MessageBoxW(owner, Wide(prompt), Wide(title), static_cast<UINT>(buttons));
}

FormHost& Win32Container::forms() { return Win32FormHost::Instance(); }

// Nothing may leave a window procedure: every failure of the control becomes
// a report.
void Win32Container::Deliver(const char* name, const std::function<void()>& action) {
  ++busy_;
  try {
    action();
  } catch (const MarkletError& e) {
    if (onError) onError(name, e.number(), e.what());
  } catch (const std::bad_alloc&) {
    if (onError) onError(name, 7, "Out of memory");
  } catch (const std::exception& e) {
    if (onError) onError(name, static_cast<int>(ErrorNumber::InvalidProcedureCall), e.what());
  }
  if (--busy_ == 0 && onIdle) onIdle();
}

void Win32Container::CreateControl(PropertyBag* bag) {
  Marklet& control = NewControl();
  Deliver("Initialize", [&] { control.Initialize(); });
  if (bag) {
    Deliver("ReadProperties", [&] { ReadNamingSource(*bag, [&] { control.ReadProperties(*bag); }); });
  } else {
    Deliver("InitProperties", [&] { control.InitProperties(); });
  }
  RequestPaint();
}

void Win32Container::SetSiteControl(std::unique_ptr<SiteControl> control) {
  DestroyControl();
  control_ = std::move(control);
  auto* hosted = dynamic_cast<HostedMarklet*>(control_.get());
  marklet_ = hosted ? &hosted->control() : nullptr;
}

void Win32Container::DestroyControl() {
  if (!control_) return;
  SiteControl& control = *control_;
  Deliver("Terminate", [&] { control.Terminate(); });
  control_.reset();
  marklet_ = nullptr;
  paintPending_ = false;
}

void Win32Container::RequestPaint() {
  paintPending_ = true;
  ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void Win32Container::SetBounds(const RECT& bounds) {
  ::MoveWindow(hwnd_, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, TRUE);
}

void Win32Container::HeightSet(int width, int height) {
  if (onHeightSet) onHeightSet(width, height);
}

void Win32Container::SetToolTipText(const std::u16string& text) {
  toolTip_ = text;
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_IDISHWND;
  info.hwnd = ::GetParent(hwnd_);
  info.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  info.lpszText = const_cast<wchar_t*>(Wide(toolTip_));
  if (!toolTipWindow_) {
    toolTipWindow_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                       ::GetAncestor(hwnd_, GA_ROOT), nullptr, ResourceModule(), nullptr);
    if (!toolTipWindow_) return;
    ::SendMessageW(toolTipWindow_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  } else {
    ::SendMessageW(toolTipWindow_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  }
  ::SendMessageW(toolTipWindow_, TTM_ACTIVATE, text.empty() ? FALSE : TRUE, 0);
}

Single Win32Container::ToTwipsX(int x) const {
  return static_cast<Single>((x - surface_->BorderPixels()) * surface_->TppX());
}

Single Win32Container::ToTwipsY(int y) const {
  return static_cast<Single>((y - surface_->BorderPixels()) * surface_->TppY());
}

LRESULT CALLBACK Win32Container::WindowProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Container*>(::GetWindowLongPtrA(hwnd, 0));
  if (!self || !self->surface_) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
  if (self->onWindowMessage) self->onWindowMessage(msg);
  return self->OnMessage(msg, wParam, lParam);
}

void Win32Container::Present(HDC dc) {
  GdiSurface& surface = *surface_;
  int w = surface.PixelWidth(), h = surface.PixelHeight(), b = surface.BorderPixels();
  ::BitBlt(dc, 0, 0, w, h, surface.dc(), 0, 0, SRCCOPY);
  // The pictures lie over the drawing, inside the border.
  int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, b, b, w - b, h - b);
  images_.Draw(dc);
  ::RestoreDC(dc, saved);
}

void Win32Container::MouseMove(WPARAM wParam, LPARAM lParam) {
  if (!control_) return;
  int px = GET_X_LPARAM(lParam), py = GET_Y_LPARAM(lParam);
  Integer button = ButtonsHeld(wParam), shift = ShiftState();
  Integer image = pressedImage_ != -2 ? pressedImage_ : (marklet_ ? images_.HitTest(px, py) : -1);
  if (image >= 0 && marklet_ && images_.IsLoaded(image)) {
    RECT r = images_.Bounds(image);
    Single x = static_cast<Single>((px - r.left) * surface_->TppX());
    Single y = static_cast<Single>((py - r.top) * surface_->TppY());
    Deliver("imgC_MouseMove", [&] { marklet_->ImageMouseMove(image, button, shift, x, y); });
  } else {
    Single x = ToTwipsX(px), y = ToTwipsY(py);
    Deliver("MouseMove", [&] { control_->MouseMove(button, shift, x, y); });
  }
}

void Win32Container::MouseButton(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!control_) return;
  int px = GET_X_LPARAM(lParam), py = GET_Y_LPARAM(lParam);
  Integer button = 0;
  bool down = false, dbl = false;
  switch (msg) {
    case WM_LBUTTONDOWN: button = 1, down = true; break;
    case WM_LBUTTONDBLCLK: button = 1, down = true, dbl = true; break;
    case WM_LBUTTONUP: button = 1; break;
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: button = 2, down = true; break;
    case WM_RBUTTONUP: button = 2; break;
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: button = 4, down = true; break;
    case WM_MBUTTONUP: button = 4; break;
    default: return;
  }
  Integer shift = ShiftState();
  if (down) {
    if (::GetFocus() != hwnd_) ::SetFocus(hwnd_);
    // A replayed release follows at once; capturing would only make the
    // system move the real pointer's window again when it is let go.
    if (!replaying_) ::SetCapture(hwnd_);
    // The release goes where the press went, as a pressed button holds the pointer.
    Integer image = marklet_ ? images_.HitTest(px, py) : -1;
    pressedImage_ = image >= 0 ? image : -1;
    // A picture takes its own presses; the control reacts to its moves and releases only.
    if (image >= 0) return;
    Single x = ToTwipsX(px), y = ToTwipsY(py);
    if (dbl && marklet_) {
      pressIsDouble_ = true;
      Deliver("DblClick", [&] { marklet_->SurfaceDblClick(); });
    } else {
      Deliver("MouseDown", [&] { control_->MouseDown(button, shift, x, y); });
    }
    return;
  }
  Integer target = pressedImage_ != -2 ? pressedImage_ : (marklet_ ? images_.HitTest(px, py) : -1);
  if (!(wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
    pressedImage_ = -2;
    if (::GetCapture() == hwnd_) ::ReleaseCapture();
  }
  if (target >= 0 && marklet_ && images_.IsLoaded(target)) {
    RECT r = images_.Bounds(target);
    Single x = static_cast<Single>((px - r.left) * surface_->TppX());
    Single y = static_cast<Single>((py - r.top) * surface_->TppY());
    Deliver("imgC_MouseUp", [&] { marklet_->ImageMouseUp(target, button, shift, x, y); });
    return;
  }
  Single x = ToTwipsX(px), y = ToTwipsY(py);
  Deliver("MouseUp", [&] { control_->MouseUp(button, shift, x, y); });
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  POINT at{px, py};
  bool inside = ::PtInRect(&client, at) != FALSE;
  if (button == 1) {
    if (!pressIsDouble_ && inside && control_) Deliver("Click", [&] { control_->Click(); });
    pressIsDouble_ = false;
  }
}

void Win32Container::PaintIfPending() {
  if (paintPending_ && control_) {
    paintPending_ = false;
    SiteControl& control = *control_;
    Deliver("Paint", [&] { control.Paint(); });
    if (onPainted) onPainted();
  }
}

Marklet& Win32Container::NewControl() {
  DestroyControl();
  control_ = HostedMarklet::Create(*this);
  marklet_ = &static_cast<HostedMarklet&>(*control_).control();
  return *marklet_;
}

void Win32Container::UnregisterWindowClass() {
  if (WindowClassRegistered() && ::UnregisterClassA(kWindowClass, ResourceModule())) WindowClassRegistered() = false;
}

LRESULT Win32Container::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (toolTipWindow_ && msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
    MSG relayed{hwnd_, msg, wParam, lParam, 0, {0, 0}};
    ::SendMessageW(toolTipWindow_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  switch (msg) {
    case WM_PAINT: {
      PaintIfPending();
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd_, &ps);
      Present(dc);
      ::EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SIZE: {
      int w = LOWORD(lParam), h = HIWORD(lParam);
      if (w == surface_->PixelWidth() && h == surface_->PixelHeight()) return 0;
      Deliver("Resize", [&] {
        surface_->Resized(w, h);
        if (control_) control_->Resize();
      });
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(surface_->Cursor());
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (leaveOwed_ && !replaying_) {
        leaveOwed_ = false;
        marklet::TRACKMOUSEEVENT request{16, 2 /* TME_LEAVE */, Handle(hwnd_), 0};
        windows().TrackMouseEvent(request);
      }
      MouseMove(wParam, lParam);
      return 0;
    case WM_GETOBJECT: {
      LRESULT result = 0;
      if (accessibility_ && accessibility_->AnswerGetObject(wParam, lParam, result)) return result;
      break;
    }
    case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
      MouseButton(msg, wParam, lParam);
      return 0;
    case WM_KEYDOWN: case WM_SYSKEYDOWN:
      if (marklet_) {
        Integer code = static_cast<Integer>(wParam & 0xFF), shift = ShiftState();
        Deliver("KeyDown", [&] { marklet_->SurfaceKeyDown(code, shift); });
      }
      break;
    case WM_KEYUP: case WM_SYSKEYUP:
      if (marklet_) {
        Integer code = static_cast<Integer>(wParam & 0xFF), shift = ShiftState();
        Deliver("KeyUp", [&] { marklet_->SurfaceKeyUp(code, shift); });
      }
      break;
    case WM_CHAR:
      // An ANSI window: the character arrives in the ANSI code page.
      if (marklet_) {
        Integer ascii = static_cast<Integer>(wParam & 0xFF);
        Deliver("KeyPress", [&] { marklet_->SurfaceKeyPress(ascii); });
      }
      return 0;
    default:
      if (accessibility_ && accessibility_->HandleMessage(msg, wParam, lParam)) return 0;
      break;
  }
  return ::DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void Win32Container::ReplayClick(POINT at, bool press) {
  if (!control_) return;
  const bool wasTracking = marklet_ && marklet_->LeaveTracking();
  ++busy_;
  replaying_ = true;
  const LPARAM where = MAKELPARAM(at.x, at.y);
  ::SendMessageW(hwnd_, WM_MOUSEMOVE, 0, where);
  if (press) ::SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, where);
  ::SendMessageW(hwnd_, WM_LBUTTONUP, 0, where);
  replaying_ = false;
  // The move asked for a leave message. With the real pointer elsewhere the
  // system either sends one at once, which would end the hover the click
  // left, or waits for a leave of a pointer that never came in, and then no
  // later leave is reported. The request is taken back and made again on the
  // real pointer's next move.
  POINT pointer{};
  const bool pointerHere = ::GetCursorPos(&pointer) && ::WindowFromPoint(pointer) == hwnd_;
  if (!wasTracking && marklet_ && marklet_->LeaveTracking() && !pointerHere) {
    ::TRACKMOUSEEVENT cancel{sizeof cancel, TME_CANCEL | 2 /* TME_LEAVE */, hwnd_, 0};
    ::_TrackMouseEvent(&cancel);
    MSG pending;
    while (::PeekMessageW(&pending, hwnd_, 0x02A3, 0x02A3, PM_REMOVE)) {
    }
    leaveOwed_ = true;
  }
  if (--busy_ == 0 && onIdle) onIdle();
}

}  // namespace marklet::win32

#include "platform/win32/win_api.h"

#include "platform/win32/win32_forms.h"

#include <algorithm>
#include <cmath>

#include "host/container.h"
#include "host/error.h"
#include "platform/win32/ole_picture.h"
#include "platform/win32/win32_container.h"
#include "platform/win32/win32_window_system.h"

namespace marklet::win32 {

namespace {

constexpr wchar_t kPictureBoxClass[] = L"MarkletPictureBox";
// Ends the dialog once the form's controls are idle.
constexpr UINT kUnloadMessage = WM_APP + 0x4D;
constexpr int kFirstControlId = 1000;
// Wine adds an "About Wine" command (and a separator) below Close in every
// system menu.
constexpr UINT kWineAboutCommand = 0xF141;

// A picture box: a child window that shows its picture at its top left.
LRESULT CALLBACK PictureBoxProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    ::FillRect(dc, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    if (auto* picture = reinterpret_cast<const Picture*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
      RenderPicture(dc, *picture, 0, 0);
    }
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterPictureBoxClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &PictureBoxProcedure;
  wc.hInstance = ResourceModule();
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kPictureBoxClass;
  registered = ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

double TwipsPerPixel(int axis) {
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, axis);
  ::ReleaseDC(nullptr, screen);
  return 1440.0 / (dpi > 0 ? dpi : 96);
}

int Px(Single twips, double tpp) { return static_cast<int>(std::lround(twips / tpp)); }

// The form's code trims the system menu by position, which assumes the
// standard menu with Close last; an extra command some systems append after
// Close is taken off first, so Close is last there too.
void StandardSystemMenu(::HWND hwnd) {
  ::HMENU menu = ::GetSystemMenu(hwnd, FALSE);
  if (!menu) return;
  for (int i = ::GetMenuItemCount(menu); i-- > 0;) {
    if (::GetMenuItemID(menu, i) != kWineAboutCommand) continue;
    ::DeleteMenu(menu, i, MF_BYPOSITION);
    if (i > 0 && (::GetMenuState(menu, i - 1, MF_BYPOSITION) & MF_SEPARATOR)) ::DeleteMenu(menu, i - 1, MF_BYPOSITION);
    break;
  }
}

}  // namespace

// ---- Win32Form ----

class Win32Form::LoadedSite : public FormSite {
 public:
  LoadedSite(const std::u16string& siteName, std::unique_ptr<Win32Container> siteContainer)
      : FormSite(siteName), container_(std::move(siteContainer)) {}

  Win32Container& win32Container() { return *container_; }

  SiteControl& control() override {
    if (!container_->siteControl()) RaiseNoSuch("control on the site", name());
    return *container_->siteControl();
  }
  std::u16string ToolTipText() override { return container_->ToolTipText(); }
  void SetToolTipText(const std::u16string& text) override { container_->SetToolTipText(text); }

  Container& container() override { return *container_; }
  void Attach(std::unique_ptr<SiteControl> control) override { container_->SetSiteControl(std::move(control)); }
  void Deliver(const char* notification, const std::function<void()>& action) override {
    container_->Deliver(notification, action);
  }
  void Detach() override { container_->DestroyControl(); }

 private:
  std::unique_ptr<Win32Container> container_;
};

Win32Form::Win32Form(const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code)
    : FormLifecycle(design, std::move(pictures), std::move(code)) {}

Win32Form::~Win32Form() {
  DiscardSites();
  if (font_) ::DeleteObject(font_);
}

WindowSystem& Win32Form::windows() { return Win32WindowSystem::Instance(); }

Win32Form::LoadedSite& Win32Form::Own(FormSite& site) { return static_cast<LoadedSite&>(site); }

Win32Container& Win32Form::SiteContainer(const std::u16string& name) { return Own(FindSite(name)).win32Container(); }

bool Win32Form::Busy() const {
  return std::any_of(sites().begin(), sites().end(),
                     [](const auto& site) { return Own(*site).win32Container().busy() > 0; });
}

// The dialog is owned by the top-level window of the control that shows it;
// the system's modal loop disables that window until the dialog ends. The
// form loads once the dialog's window exists (WM_INITDIALOG).
void Win32Form::RunModal(HWND owner) {
  ownerHandle_ = owner;
  owner_ = owner ? ::GetAncestor(Native(owner), GA_ROOT) : nullptr;
  // An in-memory dialog template: frame and caption only; the controls are
  // made on WM_INITDIALOG in pixels from the design's twips.
  std::vector<WORD> tmpl;
  auto push32 = [&](DWORD v) {
    tmpl.push_back(LOWORD(v));
    tmpl.push_back(HIWORD(v));
  };
  push32(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN);
  push32(0);
  for (int i = 0; i < 5; ++i) tmpl.push_back(0);  // no items; x, y, cx, cy
  tmpl.push_back(0);                              // no menu
  tmpl.push_back(0);                              // the dialog class
  for (char16_t c : design().caption) tmpl.push_back(c);
  tmpl.push_back(0);
  loadFailed_ = false;
  INT_PTR result = ::DialogBoxIndirectParamW(ResourceModule(), reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()),
                                             owner_, &DialogProcedure, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  if (loadFailed_) throw MarkletError(loadErrorNumber_, loadErrorMessage_);
  if (result == -1) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Cannot show the form '" + U16ToUtf8(name()) + "' (error " +
                           std::to_string(::GetLastError()) + ")");
  }
}

void Win32Form::UnloadWhenIdle() {
  if (hwnd_) ::PostMessageW(hwnd_, kUnloadMessage, 0, 0);
}

INT_PTR CALLBACK Win32Form::DialogProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    reinterpret_cast<Win32Form*>(lParam)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->OnMessage(msg, wParam, lParam) : FALSE;
}

void Win32Form::OpenWindow(HWND) {
  tppX_ = TwipsPerPixel(LOGPIXELSX);
  tppY_ = TwipsPerPixel(LOGPIXELSY);
  RECT frame{0, 0, Px(design().clientWidth, tppX_), Px(design().clientHeight, tppY_)};
  DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
  DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
  ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  int w = frame.right - frame.left, h = frame.bottom - frame.top;
  RECT around{};
  if (!owner_ || !::GetWindowRect(owner_, &around)) ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  int x = std::max(0, static_cast<int>(around.left + (around.right - around.left - w) / 2));
  int y = std::max(0, static_cast<int>(around.top + (around.bottom - around.top - h) / 2));
  ::SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);

  HDC screen = ::GetDC(nullptr);
  int fontPixels = ::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
  ::ReleaseDC(nullptr, screen);
  if (!font_) {
    font_ = ::CreateFontW(-fontPixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
  }
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  StandardSystemMenu(hwnd_);
  if (auto& host = Win32FormHost::Instance(); host.onFormLoaded) host.onFormLoaded(*this);
  RegisterPictureBoxClass();
}

void Win32Form::PlaceControl(std::size_t index) {
  const auto& control = design().controls[index];
  RECT r{Px(control.left, tppX_), Px(control.top, tppY_), Px(control.left + control.width, tppX_),
         Px(control.top + control.height, tppY_)};
  auto* id = reinterpret_cast<::HMENU>(static_cast<INT_PTR>(kFirstControlId + index));
  if (control.kind == FormDesign::Kind::PictureBox) {
    ::HWND box = ::CreateWindowExW(0, kPictureBoxClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, r.left,
                                   r.top, r.right - r.left, r.bottom - r.top, hwnd_, id, ResourceModule(), nullptr);
    ::SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&picture(index)));
    children_.push_back(box);
    pictureBoxes_.push_back(box);
  } else if (control.kind == FormDesign::Kind::CommandButton) {
    ::HWND button = ::CreateWindowExW(
        0, L"BUTTON", Wide(control.caption), WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_PUSHBUTTON,
        r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd_, id, ResourceModule(), nullptr);
    ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    children_.push_back(button);
  }
}

std::unique_ptr<FormSite> Win32Form::MakeSite(const FormDesign::Control& control) {
  RECT r{Px(control.left, tppX_), Px(control.top, tppY_), Px(control.left + control.width, tppX_),
         Px(control.top + control.height, tppY_)};
  auto container = std::make_unique<Win32Container>(hwnd_, r);
  Win32Container& c = *container;
  // The form's own ambient values, as a form hands them to its controls.
  c.ambientName = control.name;
  c.ambientBackColor = 0x8000000Fu;
  c.ambientFont = FontDesc{u"MS Sans Serif", 8.25f};
  std::u16string name = control.name;
  c.onEvent = [this, name, &c](EventId id, EventArgs& args) {
    try {
      RaiseControlEvent(name, id, args);
    } catch (const MarkletError& e) {
      if (c.onError) c.onError(EventName(id), e.number(), e.what());
    } catch (const std::exception& e) {
      if (c.onError) c.onError(EventName(id), static_cast<int>(ErrorNumber::InvalidProcedureCall), e.what());
    }
  };
  c.onIdle = [this] {
    if (UnloadPending() && hwnd_) ::PostMessageW(hwnd_, kUnloadMessage, 0, 0);
  };
  return std::make_unique<LoadedSite>(name, std::move(container));
}

void Win32Form::ControlsLoaded() {
  auto& host = Win32FormHost::Instance();
  for (const auto& site : sites()) {
    Win32Container& c = Own(*site).win32Container();
    if (host.onSiteLoaded) host.onSiteLoaded(*this, site->name(), c);
    c.RequestPaint();
  }
  // The pictures lie above the control sites that overlap them.
  for (::HWND box : pictureBoxes_) ::SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  pictureBoxes_.clear();
}

void Win32Form::CloseWindow() {
  for (::HWND child : children_) ::DestroyWindow(child);
  children_.clear();
  pictureBoxes_.clear();
}

INT_PTR Win32Form::OnMessage(UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      try {
        Load(ownerHandle_);
      } catch (const std::exception& e) {
        // The load took the form down again; the show fails with its error.
        auto* error = dynamic_cast<const MarkletError*>(&e);
        loadFailed_ = true;
        loadErrorNumber_ = error ? error->number() : static_cast<int>(ErrorNumber::InvalidProcedureCall);
        loadErrorMessage_ = e.what();
        ::EndDialog(hwnd_, 0);
        return TRUE;
      }
      for (::HWND child : children_) {
        if (::GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) {
          ::SetFocus(child);
          return FALSE;
        }
      }
      return TRUE;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      const auto& controls = design().controls;
      if (HIWORD(wParam) == BN_CLICKED && id >= kFirstControlId &&
          id < kFirstControlId + static_cast<int>(controls.size()) && Loaded()) {
        const auto& control = controls[id - kFirstControlId];
        if (control.kind == FormDesign::Kind::CommandButton) {
          try {
            Call([&] { code().ButtonClick(*this, control.name); });
          } catch (const std::exception&) {
            // A failing click handler leaves the dialog as it is.
          }
        }
      }
      // Enter and Esc do nothing: the form has no default or cancel button.
      return TRUE;
    }
    case WM_CLOSE: {
      // The title bar's close command unloads only while the system menu has it.
      ::HMENU menu = ::GetSystemMenu(hwnd_, FALSE);
      if (menu && ::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1)) Unload();
      return TRUE;
    }
    case kUnloadMessage:
      if (Loaded() && UnloadPending() && !Busy()) {
        TakeDown();
        ::EndDialog(hwnd_, 1);
      }
      return TRUE;
    case WM_DESTROY:
      TakeDown();
      return FALSE;
    default:
      return FALSE;
  }
}

// ---- Win32FormHost ----

Win32FormHost& Win32FormHost::Instance() {
  static Win32FormHost instance;
  return instance;
}

Picture Win32FormHost::Decode(std::span<const unsigned char> bytes, const std::string& what) {
  return DecodePictureBytes(bytes, what);
}

std::unique_ptr<Win32Form> Win32FormHost::MakeForm(const FormDesign& design, std::vector<Picture> pictures,
                                                   std::unique_ptr<FormCode> code) {
  return std::make_unique<Win32Form>(design, std::move(pictures), std::move(code));
}

}  // namespace marklet::win32

#include "platform/win32/win_api.h"

#include "platform/win32/win32_forms.h"

#include <algorithm>
#include <cmath>

#include "host/container.h"
#include "host/error.h"
#include "host/stored_property_bag.h"
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

[[noreturn]] void NoSuch(const char* what, const std::u16string& name) {
  throw MarkletError(ErrorNumber::InvalidProcedureCall,
                     std::string("Invalid procedure call or argument: no ") + what + " '" + U16ToUtf8(name) + "'");
}

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

}  // namespace

// ---- Win32Form ----

class Win32Form::LoadedSite : public ControlSite {
 public:
  LoadedSite(const std::u16string& siteName, std::unique_ptr<Win32Container> siteContainer)
      : name(siteName), container(std::move(siteContainer)) {}
  SiteControl& control() override {
    if (!container->siteControl()) NoSuch("control on the site", name);
    return *container->siteControl();
  }
  std::u16string ToolTipText() override { return container->ToolTipText(); }
  void SetToolTipText(const std::u16string& text) override { container->SetToolTipText(text); }

  std::u16string name;
  std::unique_ptr<Win32Container> container;
};

Win32Form::Win32Form(const FormDesign& design, std::vector<Picture> pictures, std::unique_ptr<FormCode> code)
    : design_(design), pictures_(std::move(pictures)), code_(std::move(code)) {
  // The image bytes were decoded into pictures_; the design keeps no view of them.
  for (auto& control : design_.controls) control.image = {};
}

Win32Form::~Win32Form() {
  sites_.clear();
  if (font_) ::DeleteObject(font_);
}

WindowSystem& Win32Form::windows() { return Win32WindowSystem::Instance(); }

Win32Form::LoadedSite& Win32Form::FindSite(const std::u16string& name) {
  for (auto& site : sites_)
    if (site->name == name) return *site;
  NoSuch("control site", name);
}

ControlSite& Win32Form::Site(const std::u16string& name) { return FindSite(name); }

Win32Container& Win32Form::SiteContainer(const std::u16string& name) { return *FindSite(name).container; }

bool Win32Form::Busy() const {
  return std::any_of(sites_.begin(), sites_.end(), [](const auto& site) { return site->container->busy() > 0; });
}

// The dialog is owned by the top-level window of the control that shows it;
// the system's modal loop disables that window until the dialog ends.
void Win32Form::ShowModal(HWND owner) {
  if (loaded_) throw MarkletError(400, "Form already displayed; can't show modally");
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
  for (char16_t c : design_.caption) tmpl.push_back(c);
  tmpl.push_back(0);
  loadFailed_ = false;
  unloadRequested_ = false;
  INT_PTR result = ::DialogBoxIndirectParamW(ResourceModule(), reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()),
                                             owner_, &DialogProcedure, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  if (loadFailed_) throw MarkletError(loadErrorNumber_, loadErrorMessage_);
  if (result == -1) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Cannot show the form '" + U16ToUtf8(design_.name) + "' (error " +
                           std::to_string(::GetLastError()) + ")");
  }
}

void Win32Form::Unload() {
  if (!loaded_ || !hwnd_) return;
  unloadRequested_ = true;
  ::PostMessageW(hwnd_, kUnloadMessage, 0, 0);
}

INT_PTR CALLBACK Win32Form::DialogProcedure(::HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    reinterpret_cast<Win32Form*>(lParam)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->OnMessage(msg, wParam, lParam) : FALSE;
}

namespace {

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

void Win32Form::Build() {
  double tppX = TwipsPerPixel(LOGPIXELSX), tppY = TwipsPerPixel(LOGPIXELSY);
  RECT frame{0, 0, Px(design_.clientWidth, tppX), Px(design_.clientHeight, tppY)};
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
  loaded_ = true;
  if (auto& host = Win32FormHost::Instance(); host.onFormLoaded) host.onFormLoaded(*this);

  RegisterPictureBoxClass();
  std::vector<::HWND> pictureBoxes;
  for (std::size_t i = 0; i < design_.controls.size(); ++i) {
    const auto& control = design_.controls[i];
    RECT r{Px(control.left, tppX), Px(control.top, tppY), Px(control.left + control.width, tppX),
           Px(control.top + control.height, tppY)};
    switch (control.kind) {
      case FormDesign::Kind::PictureBox: {
        ::HWND box = ::CreateWindowExW(0, kPictureBoxClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, r.left,
                                       r.top, r.right - r.left, r.bottom - r.top, hwnd_,
                                       reinterpret_cast<::HMENU>(static_cast<INT_PTR>(kFirstControlId + i)),
                                       ResourceModule(), nullptr);
        ::SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&pictures_[i]));
        children_.push_back(box);
        pictureBoxes.push_back(box);
        break;
      }
      case FormDesign::Kind::CommandButton: {
        ::HWND button = ::CreateWindowExW(
            0, L"BUTTON", Wide(control.caption), WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | BS_PUSHBUTTON,
            r.left, r.top, r.right - r.left, r.bottom - r.top, hwnd_,
            reinterpret_cast<::HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), ResourceModule(), nullptr);
        ::SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        children_.push_back(button);
        break;
      }
      case FormDesign::Kind::ControlSite: {
        auto container = std::make_unique<Win32Container>(hwnd_, r);
        Win32Container& c = *container;
        // The form's own ambient values, as a form hands them to its controls.
        c.ambientName = control.name;
        c.ambientBackColor = 0x8000000Fu;
        c.ambientFont = FontDesc{u"MS Sans Serif", 8.25f};
        std::u16string name = control.name;
        c.onEvent = [this, name, &c](EventId id, EventArgs& args) {
          try {
            code_->ControlEvent(*this, name, id, args);
          } catch (const MarkletError& e) {
            if (c.onError) c.onError(EventName(id), e.number(), e.what());
          } catch (const std::exception& e) {
            if (c.onError) c.onError(EventName(id), static_cast<int>(ErrorNumber::InvalidProcedureCall), e.what());
          }
        };
        c.onIdle = [this] {
          if (unloadRequested_ && hwnd_) ::PostMessageW(hwnd_, kUnloadMessage, 0, 0);
        };
        sites_.push_back(std::make_unique<LoadedSite>(name, std::move(container)));
        c.SetSiteControl(control.create(c));
        SiteControl& hosted = *c.siteControl();
        c.Deliver("Initialize", [&] { hosted.Initialize(); });
        StoredPropertyBag bag(control.stored);
        c.Deliver("ReadProperties", [&] { hosted.ReadProperties(bag); });
        if (auto& host = Win32FormHost::Instance(); host.onSiteLoaded) host.onSiteLoaded(*this, name, c);
        c.RequestPaint();
        break;
      }
    }
  }
  // The pictures lie above the control sites that overlap them.
  for (::HWND box : pictureBoxes) ::SetWindowPos(box, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  code_->Load(*this);
}

void Win32Form::TakeDown() {
  if (!loaded_) return;
  try {
    code_->Unload(*this);
  } catch (const std::exception&) {
    // The form goes whatever its code says.
  }
  for (auto& site : sites_) site->container->DestroyControl();
  sites_.clear();
  for (::HWND child : children_) ::DestroyWindow(child);
  children_.clear();
  loaded_ = false;
  unloadRequested_ = false;
}

INT_PTR Win32Form::OnMessage(UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      try {
        Build();
      } catch (const std::exception& e) {
        auto* error = dynamic_cast<const MarkletError*>(&e);
        loadFailed_ = true;
        loadErrorNumber_ = error ? error->number() : static_cast<int>(ErrorNumber::InvalidProcedureCall);
        loadErrorMessage_ = e.what();
        TakeDown();
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
      if (HIWORD(wParam) == BN_CLICKED && id >= kFirstControlId &&
          id < kFirstControlId + static_cast<int>(design_.controls.size()) && loaded_) {
        const auto& control = design_.controls[id - kFirstControlId];
        if (control.kind == FormDesign::Kind::CommandButton) {
          try {
            code_->ButtonClick(*this, control.name);
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
      if (loaded_ && unloadRequested_ && !Busy()) {
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

Form* Win32FormHost::FindForm(const std::u16string& name) {
  for (auto& form : forms_)
    if (form->name() == name) return form.get();
  return nullptr;
}

Form& Win32FormHost::CreateForm(const FormDesign& design, std::unique_ptr<FormCode> code) {
  if (FindForm(design.name)) {
    throw MarkletError(ErrorNumber::InvalidProcedureCall,
                       "Invalid procedure call or argument: a form '" + U16ToUtf8(design.name) + "' exists already");
  }
  std::vector<Picture> pictures;
  for (const auto& control : design.controls) {
    Picture picture;
    if (control.kind == FormDesign::Kind::PictureBox && !control.image.empty()) {
      picture = DecodePictureBytes(control.image, "the picture of " + U16ToUtf8(control.name));
    }
    if (control.kind == FormDesign::Kind::ControlSite && !control.create) NoSuch("control for the site", control.name);
    pictures.push_back(picture);
  }
  forms_.push_back(std::make_unique<Win32Form>(design, std::move(pictures), std::move(code)));
  return *forms_.back();
}

}  // namespace marklet::win32

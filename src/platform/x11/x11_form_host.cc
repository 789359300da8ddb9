#include "platform/x11/x11_form_host.h"

#include <algorithm>

#include "host/values.h"
#include "platform/pixbuf/picture_loader.h"
#include "platform/x11/desktop_open.h"
#include "platform/x11/x11_host.h"

// Last: Xlib's macros clash with the project's names.
#include <X11/Xlib.h>

namespace marklet::x11 {

namespace {

// ShellExecuteA's results: above 32 is success.
constexpr LONG_PTR kShellDone = 33;
constexpr LONG_PTR kShellNoAssociation = 31;

}  // namespace

X11FormHost::X11FormHost(X11Host& host) : host_(host), tooltip_(host.display(), text_) {
  raster::SimpleWindowSystem& system = windows();
  system.onMenuBarDrawn = [this](HWND hwnd) {
    if (X11Form* form = FormOf(hwnd)) form->MenuChanged();
  };
  system.onShellExecute = [this](HWND hwnd, const std::string& operation, const std::string& file) -> LONG_PTR {
    // The file comes in the ANSI code page; the desktop takes UTF-8.
    std::string target = U16ToUtf8(FromAnsi(file));
    X11Form* form = FormOf(hwnd);
    std::u16string source = form ? form->name() : std::u16string();
    bool handed = onShellExecute ? onShellExecute(source, operation, target)
                                 : (operation.empty() || operation == "open") && OpenWithDesktop(target);
    return handed ? kShellDone : kShellNoAssociation;
  };
}

X11FormHost::~X11FormHost() {
  raster::SimpleWindowSystem& system = windows();
  system.onMenuBarDrawn = nullptr;
  system.onShellExecute = nullptr;
  modal_.clear();
  forms_.clear();
}

raster::SimpleWindowSystem& X11FormHost::windows() { return host_.container().simpleWindows(); }

Picture X11FormHost::Decode(std::span<const unsigned char> bytes, const std::string& what) {
  const auto& options = host_.container().options();
  return DecodePictureData(bytes, options.tppX, options.tppY, true, what);
}

std::unique_ptr<X11Form> X11FormHost::MakeForm(const FormDesign& design, std::vector<Picture> pictures,
                                               std::unique_ptr<FormCode> code) {
  return std::make_unique<X11Form>(*this, design, std::move(pictures), std::move(code));
}

void X11FormHost::Created(X11Form& form) {
  if (onForm) onForm(form.name(), "create", u"");
}

X11Form* X11FormHost::FormOf(HWND hwnd) {
  for (auto& form : forms_)
    if (form->Loaded() && form->hWnd() == hwnd) return form.get();
  return nullptr;
}

bool X11FormHost::Owns(unsigned long window) const {
  if (window == 0) return false;
  if (window == tooltip_.window()) return true;
  for (const auto& form : forms_)
    if (form->window() == window) return true;
  return false;
}

void X11FormHost::Handle(XEvent& event) {
  // The tooltip draws itself from its background.
  if (event.xany.window == tooltip_.window()) return;
  for (auto& form : forms_) {
    if (form->window() != event.xany.window) continue;
    // Only the form on top takes input.
    bool input = event.type == MotionNotify || event.type == ButtonPress || event.type == ButtonRelease ||
                 event.type == KeyPress || event.type == KeyRelease;
    if (input && ModalForm() != form.get()) return;
    form->Handle(event);
    return;
  }
}

void X11FormHost::EndModal(X11Form& form) {
  auto it = std::find(modal_.rbegin(), modal_.rend(), &form);
  if (it != modal_.rend()) modal_.erase(std::next(it).base());
}

unsigned long X11FormHost::XWindowFor(HWND hwnd) const {
  for (const auto& form : forms_)
    if (unsigned long window = form->WindowFor(hwnd)) return window;
  return host_.window();
}

}  // namespace marklet::x11

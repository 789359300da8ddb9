#include "platform/x11/window_properties.h"

#include "host/values.h"

// Last: Xlib's macros clash with the project's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace marklet::x11 {

namespace {

// The window manager's function bits (_MOTIF_WM_HINTS).
constexpr long kMwmHintsFunctions = 1;
constexpr long kMwmFuncMove = 4;
constexpr long kMwmFuncClose = 32;

}  // namespace

unsigned long AtomOf(Display* display, const char* name) { return XInternAtom(display, name, False); }

void SetAtomProperty(Display* display, unsigned long window, const char* property, const char* value) {
  Atom atom = AtomOf(display, value);
  XChangeProperty(display, window, AtomOf(display, property), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&atom), 1);
}

void SetTitle(Display* display, unsigned long window, const std::u16string& title) {
  std::string latin1;
  for (char16_t c : title) latin1.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
  std::string utf8 = U16ToUtf8(title);
  XChangeProperty(display, window, AtomOf(display, "_NET_WM_NAME"), AtomOf(display, "UTF8_STRING"), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(utf8.data()),
                  static_cast<int>(utf8.size()));
}

void SetWindowFunctions(Display* display, unsigned long window, bool closable) {
  // flags, functions, decorations, input mode, status
  long hints[5] = {kMwmHintsFunctions, kMwmFuncMove | (closable ? kMwmFuncClose : 0), 0, 0, 0};
  Atom motif = AtomOf(display, "_MOTIF_WM_HINTS");
  XChangeProperty(display, window, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
}

}  // namespace marklet::x11

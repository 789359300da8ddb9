// What the window manager reads from a window's properties: its type and
// state, its title, and which functions (close, move) it offers. Xlib's
// types stay out of this header.
#pragma once

#include <string>

struct _XDisplay;

namespace marklet::x11 {

unsigned long AtomOf(_XDisplay* display, const char* name);
// Sets an atom-valued property (e.g. _NET_WM_WINDOW_TYPE to _NET_WM_WINDOW_TYPE_DIALOG).
void SetAtomProperty(_XDisplay* display, unsigned long window, const char* property, const char* value);
// The title in both forms window managers read: WM_NAME in Latin-1 (other
// characters as '?') and _NET_WM_NAME in UTF-8.
void SetTitle(_XDisplay* display, unsigned long window, const std::u16string& title);
// The functions the window manager offers for the window: always move, and
// close when `closable` (_MOTIF_WM_HINTS).
void SetWindowFunctions(_XDisplay* display, unsigned long window, bool closable);

}  // namespace marklet::x11

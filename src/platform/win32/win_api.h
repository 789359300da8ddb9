// The Windows SDK headers for the Windows host layer, included first by each
// of its source files.
//
// The SDK defines WM_MOUSELEAVE, TME_LEAVE, MF_BYPOSITION and MF_REMOVE as
// macros; the window-system interface declares the same names as constants
// with the same values. The macros are dropped here so the control's headers
// and the SDK's can be included in either order. The native types (::HWND
// and so on) stay global; inside namespace marklet the interface's
// pointer-sized HWND is meant, and Native()/Handle() convert.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <olectl.h>
#include <shellapi.h>

#undef WM_MOUSELEAVE
#undef TME_LEAVE
#undef MF_BYPOSITION
#undef MF_REMOVE

#include <cstdint>
#include <string>
#include <string_view>

namespace marklet::win32 {

inline ::HWND Native(std::uintptr_t hwnd) { return reinterpret_cast<::HWND>(hwnd); }
inline std::uintptr_t Handle(::HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

// UTF-16 strings of the control and the SDK's wide strings share their code units.
inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string FromWide(const wchar_t* text) {
  return text ? FromWide(text, std::char_traits<wchar_t>::length(text)) : std::u16string();
}

}  // namespace marklet::win32

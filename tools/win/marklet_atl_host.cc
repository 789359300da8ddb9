// marklet-atl.exe: the registered MarkletControl.dll placed in an ATL host
// window, as any ActiveX container places it. It sets the properties given
// on the command line through IDispatch, prints every event it receives as a
// JSON line, and runs until its frame is closed.
//
//   marklet-atl.exe [--x PX] [--y PX] [--width PX] [--height PX] [--title TEXT]
//                   [--prop NAME=VALUE ...] [--text MARKUP] [--point-at-link]
#include "platform/win32/win_api.h"

#include <cstdio>
#include <string>
#include <vector>

#include "control/dispatch.h"
#include "control/type_library.h"
#include "platform/trace/json.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/event_sink.h"

extern "C" {
BOOL WINAPI AtlAxWinInit();
HRESULT WINAPI AtlAxGetControl(::HWND window, IUnknown** control);
}

namespace {

int Usage(const char* problem) {
  std::fprintf(stderr,
               "marklet-atl: %s\n"
               "usage: marklet-atl.exe [--x PX] [--y PX] [--width PX] [--height PX] [--title TEXT]\n"
               "                       [--prop NAME=VALUE ...] [--text MARKUP] [--point-at-link]\n"
               "  The control must be registered (regsvr32 MarkletControl.dll).\n"
               "  --prop NAME=VALUE   sets a property through IDispatch; the control coerces the text\n"
               "  --point-at-link     after the first paint, puts the pointer on the first thing drawn\n"
               "                      in LinkColor and prints {\"pointAt\":[x,y]} (screen pixels)\n",
               problem);
  return 2;
}

void Emit(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// Prints each event with its arguments.
class EventPrinter final : public marklet::win32::EventSinkBase {
 protected:
  void OnEvent(DISPID id, DISPPARAMS& params) override {
    const marklet::EventInfo* info = marklet::FindEvent(static_cast<marklet::EventId>(id));
    std::string args = "[";
    for (UINT i = params.cArgs; i-- > 0;) {
      VARIANT text;
      ::VariantInit(&text);
      std::string value = "null";
      if (SUCCEEDED(::VariantChangeType(&text, &params.rgvarg[i], 0, VT_BSTR))) {
        value = marklet::trace::JsonString(std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(&text)),
                                                 ::SysStringLen(V_BSTR(&text))));
      }
      ::VariantClear(&text);
      args += (args.size() > 1 ? "," : "") + value;
    }
    args += "]";
    Emit("{\"event\":" + marklet::trace::JsonString(std::string_view(info ? info->name : "?")) + ",\"args\":" + args + "}");
  }
};

LRESULT CALLBACK FrameProcedure(::HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SIZE) {
    // The host window fills the frame.
    if (::HWND host = ::GetWindow(window, GW_CHILD)) ::MoveWindow(host, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
    return 0;
  }
  if (msg == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

// Sets one property by name; the control coerces the text as automation does.
bool SetProperty(IDispatch* control, const std::wstring& name, const std::wstring& value) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
  if (FAILED(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
    std::fprintf(stderr, "marklet-atl: no property named %ls\n", name.c_str());
    return false;
  }
  VARIANT arg;
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = ::SysAllocString(value.c_str());
  if (value == L"True" || value == L"False") {
    ::VariantClear(&arg);
    V_VT(&arg) = VT_BOOL;
    V_BOOL(&arg) = value == L"True" ? VARIANT_TRUE : VARIANT_FALSE;
  }
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  EXCEPINFO exception{};
  HRESULT hr = control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, &exception,
                               nullptr);
  ::VariantClear(&arg);
  if (FAILED(hr)) {
    std::fprintf(stderr, "marklet-atl: %ls refused (%s): %ls\n", name.c_str(), Hex(hr).c_str(),
                 exception.bstrDescription ? exception.bstrDescription : L"");
  }
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  return SUCCEEDED(hr);
}

// A point on the first thing drawn in `colour` in a window (a little below
// and right of its topmost, leftmost pixel), in screen pixels.
bool FindColour(::HWND window, COLORREF colour, POINT& at) {
  RECT client{};
  ::GetClientRect(window, &client);
  HDC dc = ::GetDC(window);
  bool found = false;
  for (int y = 0; y < client.bottom && !found; ++y)
    for (int x = 0; x < client.right && !found; ++x)
      if (::GetPixel(dc, x, y) == colour) {
        at = POINT{x + 2, y + 4};
        found = true;
      }
  ::ReleaseDC(window, dc);
  if (found) ::ClientToScreen(window, &at);
  return found;
}

int Run(int argc, wchar_t** argv) {
  int x = 16, y = 16, width = 560, height = 100;
  std::wstring title = L"Marklet in an ATL host window", text;
  std::vector<std::pair<std::wstring, std::wstring>> props;
  bool pointAtLink = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    auto next = [&]() -> const wchar_t* { return i + 1 < argc ? argv[++i] : nullptr; };
    const wchar_t* value = nullptr;
    if (arg == L"--point-at-link") {
      pointAtLink = true;
    } else if (arg == L"--x" || arg == L"--y" || arg == L"--width" || arg == L"--height") {
      if (!(value = next())) return Usage("a size option needs a number");
      int n = _wtoi(value);
      (arg == L"--x" ? x : arg == L"--y" ? y : arg == L"--width" ? width : height) = n;
    } else if (arg == L"--title") {
      if (!(value = next())) return Usage("--title needs a text");
      title = value;
    } else if (arg == L"--text") {
      if (!(value = next())) return Usage("--text needs the markup");
      text = value;
    } else if (arg == L"--prop") {
      if (!(value = next())) return Usage("--prop needs NAME=VALUE");
      std::wstring p = value;
      size_t eq = p.find(L'=');
      if (eq == std::wstring::npos) return Usage("--prop takes NAME=VALUE");
      props.emplace_back(p.substr(0, eq), p.substr(eq + 1));
    } else {
      return Usage("unknown option");
    }
  }
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return Usage("sizes go from 1 to 4096 pixels");

  if (!AtlAxWinInit()) {
    std::fprintf(stderr, "marklet-atl: the ATL host window is not available\n");
    return 1;
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FrameProcedure;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"MarkletAtlHostFrame";
  ::RegisterClassExW(&wc);
  RECT outer{0, 0, width, height};
  ::AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
  ::HWND frame = ::CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y,
                                   outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                   wc.hInstance, nullptr);
  std::wstring progId(marklet::kProgId, marklet::kProgId + std::char_traits<char>::length(marklet::kProgId));
  ::HWND host = ::CreateWindowExW(0, L"AtlAxWin", progId.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, width, height, frame,
                                  nullptr, wc.hInstance, nullptr);
  IUnknown* unknown = nullptr;
  if (!host || FAILED(AtlAxGetControl(host, &unknown)) || !unknown) {
    std::fprintf(stderr, "marklet-atl: the control could not be created; is MarkletControl.dll registered?\n");
    return 1;
  }
  IDispatch* control = nullptr;
  unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&control));
  IConnectionPointContainer* points = nullptr;
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  auto* printer = new EventPrinter();
  if (SUCCEEDED(unknown->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points))) &&
      SUCCEEDED(points->FindConnectionPoint(marklet::win32::ToGuid(marklet::kEventInterfaceGuid), &point))) {
    point->Advise(printer, &cookie);
  }
  bool ok = control != nullptr;
  for (const auto& [name, value] : props) ok = SetProperty(control, name, value) && ok;
  if (!text.empty()) ok = SetProperty(control, L"Text", text) && ok;
  Emit("{\"frame\":" + std::to_string(reinterpret_cast<std::uintptr_t>(frame)) + "}");
  ::ShowWindow(frame, SW_SHOWNORMAL);
  ::UpdateWindow(frame);

  MSG msg;
  bool pointed = !pointAtLink;
  ::SetTimer(frame, 1, 200, nullptr);
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!pointed && msg.message == WM_TIMER) {
      // The link colour as the control reports it (an OLE colour without the system bit).
      VARIANT result;
      ::VariantInit(&result);
      DISPID id = marklet::FindMember(u"LinkColor")->dispid;
      DISPPARAMS none{nullptr, nullptr, 0, 0};
      if (SUCCEEDED(control->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr))) {
        COLORREF link = static_cast<COLORREF>(V_I4(&result)) & 0xFFFFFF;
        ::HWND window = nullptr;
        IOleWindow* ole = nullptr;
        if (SUCCEEDED(unknown->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&ole)))) {
          ole->GetWindow(&window);
          ole->Release();
        }
        POINT at{};
        if (window && FindColour(window, link, at)) {
          ::SetCursorPos(at.x, at.y);
          Emit("{\"pointAt\":[" + std::to_string(at.x) + "," + std::to_string(at.y) + "]}");
          pointed = true;
        }
      }
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (point) {
    point->Unadvise(cookie);
    point->Release();
  }
  if (points) points->Release();
  printer->Release();
  if (control) control->Release();
  unknown->Release();
  return ok ? 0 : 1;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  ::OleInitialize(nullptr);
  int code = Run(argc, argv);
  ::OleUninitialize();
  ::LocalFree(argv);
  return code;
}

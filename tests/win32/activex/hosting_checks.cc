// The control hosted by a real container: the ATL host window ("AtlAxWin")
// creates it from its ProgID, activates it in place and sizes it; the suite
// moves the real pointer and presses the real button over what it painted.
#include "platform/win32/win_api.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "com_support.h"
#include "suite_runner.h"

namespace marklet::win32 {
namespace {

using namespace activex_suite;

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr DISPID kClick = 1, kMouseDown = 6, kMouseMove = 7, kMouseUp = 8, kOnLinkClick = 9, kMouseOut = 10;

LRESULT CALLBACK FrameProcedure(::HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(window, msg, wParam, lParam);
}

::HWND NewFrame(int width, int height) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = FrameProcedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"MarkletActiveXSuiteFrame";
    registered = ::RegisterClassExW(&wc) != 0;
  }
  ::HWND frame = ::CreateWindowExW(0, L"MarkletActiveXSuiteFrame", L"Marklet in an ATL host window",
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 60, 60, width, height, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  ::ShowWindow(frame, SW_SHOWNORMAL);
  ::UpdateWindow(frame);
  return frame;
}

// The box around the pixels of one colour in a window's client area.
RECT ColourBox(::HWND window, COLORREF colour) {
  RECT client{};
  ::GetClientRect(window, &client);
  RECT box{client.right, client.bottom, -1, -1};
  HDC dc = ::GetDC(window);
  for (int y = 0; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x)
      if (::GetPixel(dc, x, y) == colour) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  ::ReleaseDC(window, dc);
  return box;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

void MoveTo(::HWND window, POINT client) {
  ::ClientToScreen(window, &client);
  ::SetCursorPos(client.x, client.y);
}

HCURSOR ShownCursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return ::GetCursorInfo(&info) ? info.hCursor : nullptr;
}

// The index of the first event with the DISPID, or -1.
int IndexOf(const EventSink& sink, DISPID id) {
  for (size_t i = 0; i < sink.events.size(); ++i)
    if (sink.events[i].id == id) return static_cast<int>(i);
  return -1;
}

SUITE_CASE(ActiveXHostedInAtlWindow) {
  REQUIRE(EnsureRegistered());
  REQUIRE(AtlHostReady());
  ::HWND frame = NewFrame(420, 200);
  ::HWND host = ::CreateWindowExW(0, L"AtlAxWin", L"MarkletControl.Marklet", WS_CHILD | WS_VISIBLE, 10, 10, 380, 120,
                                frame, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  REQUIRE(host);
  IUnknown* unknown = nullptr;
  REQUIRE(SUCCEEDED(AtlAxGetControl(host, &unknown)) && unknown);
  IDispatch* control = Query<IDispatch>(unknown, IID_IDispatch);
  REQUIRE(control);
  // In place: the control's window is a child of the host window, sized from
  // the host's rectangle.
  IOleWindow* ole = Query<IOleWindow>(unknown, IID_IOleWindow);
  ::HWND window = nullptr;
  CHECK(ole && ole->GetWindow(&window) == S_OK && window);
  if (ole) ole->Release();
  REQUIRE(window);
  CHECK(::GetParent(window) == host);
  RECT size{};
  ::GetClientRect(window, &size);
  CHECK_MSG(size.right == 380, std::to_string(size.right));

  auto* sink = new EventSink();
  sink->onEvent = [](DISPID id, std::vector<VARIANT*>& args) {
    // A handler's new key for the clicked link is the key from then on.
    if (id == kOnLinkClick && args.size() == 2 && V_VT(args[1]) == (VT_BYREF | VT_BSTR)) {
      ::SysFreeString(*V_BSTRREF(args[1]));
      *V_BSTRREF(args[1]) = ::SysAllocString(L"changed");
    }
  };
  DWORD cookie = Connect(unknown, ToGuid(kEventInterfaceGuid), sink);
  CHECK(cookie != 0);
  CHECK(Set(control, L"AutoSizeHeight", Bool(false)) == S_OK);
  CHECK(Set(control, L"GetTextOnEvent", Bool(true)) == S_OK);
  CHECK(Set(control, L"BackColor", Int(0x00FFFFFF)) == S_OK);
  CHECK(Set(control, L"Text", Text(L"Hosted by a real container: #ekey<a link here> and more text.")) == S_OK);
  PumpFor(300);

  // Painted: the link in the link colour, inside the control's window.
  RECT link = ColourBox(window, kBlue);
  REQUIRE(!Empty(link));
  // The same drawing through IViewObject, into a device context of our own.
  IViewObject2* view = Query<IViewObject2>(unknown, IID_IViewObject2);
  CHECK(view);
  if (view) {
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 380, 120);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    RECTL bounds{0, 0, 380, 120};
    CHECK(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0) == S_OK);
    int blue = 0;
    for (LONG y = link.top; y < link.bottom; ++y)
      for (LONG x = link.left; x < link.right; ++x) blue += ::GetPixel(dc, x, y) == kBlue;
    CHECK(blue > 0);
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    view->Release();
  }

  // Over the link: the hand pointer and MouseMove with the link's text and key.
  POINT middle{(link.left + link.right) / 2, (link.top + link.bottom) / 2};
  auto overLink = [&] {
    const SeenEvent* move = sink->Last(kMouseMove);
    return move && move->args.size() == 6 && move->args[1] == L"key";
  };
  bool reached = false;
  for (int attempt = 0; attempt < 3 && !reached; ++attempt) {
    MoveTo(window, POINT{middle.x + attempt, middle.y});
    reached = PumpUntil(overLink, 1500);
  }
  CHECK(reached);
  if (reached) CHECK_MSG(sink->Last(kMouseMove)->args[0] == L"a link here ", U16ToUtf8(FromWide(sink->Last(kMouseMove)->args[0].c_str())));
  HCURSOR hand = ::LoadCursorW(::GetModuleHandleW(L"MarkletControl.dll"), MAKEINTRESOURCEW(1));
  CHECK(hand && ShownCursor() == hand);

  // A click: MouseDown, OnLinkClick, MouseUp, Click.
  ClickHere();
  CHECK(PumpUntil([&] { return sink->Count(kClick) > 0; }));
  std::vector<DISPID> clicks;
  for (const SeenEvent& e : sink->events)
    if (e.id != kMouseMove) clicks.push_back(e.id);
  CHECK(clicks == (std::vector<DISPID>{kMouseDown, kOnLinkClick, kMouseUp, kClick}));
  int click = IndexOf(*sink, kOnLinkClick);
  if (click >= 0) CHECK(sink->events[click].args == (std::vector<std::wstring>{L"a link here ", L"key"}));
  // The key the handler gave is the link's key now.
  MoveTo(window, POINT{middle.x + 1, middle.y + 1});
  CHECK(PumpUntil([&] {
    const SeenEvent* move = sink->Last(kMouseMove);
    return move && move->args.size() == 6 && move->args[1] == L"changed";
  }));

  // Leaving the window gives MouseOut.
  ::SetCursorPos(760, 560);
  CHECK(PumpUntil([&] { return sink->Count(kMouseOut) > 0; }, 3000));

  CHECK(Disconnect(unknown, ToGuid(kEventInterfaceGuid), cookie));
  sink->Release();
  control->Release();
  unknown->Release();
  // Destroying the host window closes and releases the control: no object is left.
  ::DestroyWindow(frame);
  PumpFor(100);
  CHECK(!::IsWindow(window));
  CHECK(ServerCanUnloadNow() == S_OK);
}

SUITE_CASE(ActiveXAutoSizeHeightInAtlWindow) {
  REQUIRE(EnsureRegistered());
  REQUIRE(AtlHostReady());
  ::HWND frame = NewFrame(420, 300);
  ::HWND host = ::CreateWindowExW(0, L"AtlAxWin", L"MarkletControl.Marklet", WS_CHILD | WS_VISIBLE, 10, 10, 380, 200,
                                  frame, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  REQUIRE(host);
  IUnknown* unknown = nullptr;
  REQUIRE(SUCCEEDED(AtlAxGetControl(host, &unknown)) && unknown);
  IDispatch* control = Query<IDispatch>(unknown, IID_IDispatch);
  IOleWindow* ole = Query<IOleWindow>(unknown, IID_IOleWindow);
  ::HWND window = nullptr;
  REQUIRE(control && ole && ole->GetWindow(&window) == S_OK);
  // A new instance sizes its height to its text: two lines here, well short of 200 pixels.
  CHECK(Read(control, L"AutoSizeHeight") == L"True");
  CHECK(Set(control, L"Text", Text(L"One line\\nand another")) == S_OK);
  PumpFor(300);
  RECT client{};
  ::GetClientRect(window, &client);
  CHECK_MSG(client.bottom > 20 && client.bottom < 100, std::to_string(client.bottom));
  CHECK(client.right == 380);
  // The extent follows the new height.
  IOleObject* object = Query<IOleObject>(unknown, IID_IOleObject);
  SIZEL extent{};
  CHECK(object && object->GetExtent(DVASPECT_CONTENT, &extent) == S_OK);
  HDC screen = ::GetDC(nullptr);
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  CHECK_MSG(std::abs(extent.cy - ::MulDiv(client.bottom, 2540, dpi)) <= 1, std::to_string(extent.cy));
  if (object) object->Release();
  ole->Release();
  control->Release();
  unknown->Release();
  ::DestroyWindow(frame);
  PumpFor(100);
  CHECK(ServerCanUnloadNow() == S_OK);
}

}  // namespace
}  // namespace marklet::win32

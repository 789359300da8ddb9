// The Windows host checked end to end in real windows: painting, the hand
// pointer and hover look, link clicks, MouseOut through the window hook, the
// hook's removal, the range message box, the About dialog, pictures, fonts,
// AutoSizeHeight and the More link, and the marklet-win program itself.
// Runs under Wine on Xvfb (scripts/windows-test.sh) or on Windows; the pointer
// is moved with SetCursorPos and buttons pressed with SendInput. Text metrics
// differ between systems, so checks compare positions and colours with the
// boxes the control recorded, never with fixed pixel widths.
//
//   wine-suite.exe [NAME ...]    runs all checks, or those whose names contain a NAME
#include "platform/win32/win_api.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "host/error.h"
#include "platform/win32/ole_picture.h"
#include "platform/win32/win32_forms.h"
#include "platform/win32/win32_window_system.h"
#include "child_program.h"
#include "suite_runner.h"
#include "suite_support.h"

namespace marklet::win32 {
namespace {

// The hand pointer as this program's resources hold it (the same shared
// handle the control's window sets).
HCURSOR HandCursor() { return ::LoadCursorW(ResourceModule(), MAKEINTRESOURCEW(1)); }

HCURSOR ShownCursor() {
  CURSORINFO info{};
  info.cbSize = sizeof info;
  return ::GetCursorInfo(&info) ? info.hCursor : nullptr;
}

// Moves the pointer to a place on the desktop away from every window of the suite.
bool LeaveUntil(const std::function<bool()>& done) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    ::SetCursorPos(700 + attempt, 500);
    if (PumpUntil(done, 1500)) return true;
  }
  return false;
}

// ---- What a host sees of its control ----

struct Recorder {
  std::vector<std::pair<EventId, EventArgs>> events;
  // Events and the window messages the control's own procedure gets, in order.
  std::vector<std::string> sequence;
  std::vector<std::u16string> changed;
  std::vector<HWND> trackRequests;
  int messageBoxes = 0, messageBoxButtons = -1;

  int Count(EventId id) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const auto& e) { return e.first == id; }));
  }
  const EventArgs* Last(EventId id) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->first == id) return &it->second;
    return nullptr;
  }
  // The events other than moves, by name.
  std::vector<std::string> Clicks() const {
    std::vector<std::string> names;
    for (const auto& [id, args] : events)
      if (id != EventId::MouseMove) names.push_back(EventName(id));
    return names;
  }
};

// A box the control recorded, in the control window's client pixels.
struct PixelBox {
  int left = 0, top = 0, right = 0, bottom = 0;
  POINT Center() const { return POINT{(left + right) / 2, (top + bottom) / 2}; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// One host frame at a fixed place with one control, every hook recorded.
class Fixture : public HostedControl {
 public:
  explicit Fixture(int width = 320, int height = 120, bool create = true)
      : HostedControl(width, height, u"wine-suite") {
    Win32Container& c = container();
    c.onEvent = [this](EventId id, EventArgs& args) {
      record.events.emplace_back(id, args);
      record.sequence.push_back(EventName(id));
    };
    c.onWindowMessage = [this](UINT msg) {
      if (msg == 0x02A3) record.sequence.push_back("WM_MOUSELEAVE");
    };
    c.onPropertyChanged = [this](const std::u16string& name) { record.changed.push_back(name); };
    c.onMessageBox = [this](const std::u16string&, const std::u16string&, int buttons) {
      ++record.messageBoxes;
      record.messageBoxButtons = buttons;
    };
    Win32WindowSystem::Instance().onTrackMouseEvent = [this](HWND hwnd, bool ok) {
      if (ok) record.trackRequests.push_back(hwnd);
    };
    if (create) c.CreateControl();
    Show();
  }
  ~Fixture() {
    Win32WindowSystem::Instance().onTrackMouseEvent = nullptr;
    Close();
    // Let the pointer's last position go before the next case starts.
    ::SetCursorPos(5, 5);
  }

  PixelBox LinkBox(Integer index) {
    const LinkRecord& link = control().Links().at(index);
    return ToPixels(link.Left, link.Top, link.Right, link.Bottom);
  }
  PixelBox ToPixels(Single left, Single top, Single right, Single bottom) {
    GdiSurface& s = container().gdiSurface();
    int b = s.BorderPixels();
    auto px = [](Single v, double tpp) { return static_cast<int>(std::lround(v / tpp)); };
    return PixelBox{b + px(left, s.TppX()), b + px(top, s.TppY()), b + px(right, s.TppX()), b + px(bottom, s.TppY())};
  }
  POINT OnScreen(POINT client) {
    ::ClientToScreen(window(), &client);
    return client;
  }
  void MoveTo(POINT client) {
    POINT at = OnScreen(client);
    ::SetCursorPos(at.x, at.y);
  }
  // Moves the pointer and waits for what the move should cause. The move is
  // made again (by way of the pixel beside it) when its message never came.
  bool MoveUntil(POINT client, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (attempt > 0) MoveTo(POINT{client.x + 1, client.y});
      MoveTo(client);
      if (PumpUntil(done, 1500)) return true;
    }
    return false;
  }
  // The colour the window shows at a client pixel.
  COLORREF Pixel(int x, int y) {
    HDC dc = ::GetDC(window());
    COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(window(), dc);
    return c;
  }
  // How many pixels of a colour lie inside / outside a box.
  int CountInside(const PixelBox& box, COLORREF color) {
    int n = 0;
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x) n += Pixel(x, y) == color;
    return n;
  }
  int CountOutside(const std::vector<PixelBox>& boxes, COLORREF color) {
    GdiSurface& s = container().gdiSurface();
    int n = 0;
    HDC dc = ::GetDC(window());
    for (int y = 0; y < s.PixelHeight(); ++y)
      for (int x = 0; x < s.PixelWidth(); ++x) {
        bool inside = std::any_of(boxes.begin(), boxes.end(), [&](const PixelBox& b) { return b.Contains(x, y); });
        if (!inside && ::GetPixel(dc, x, y) == color) ++n;
      }
    ::ReleaseDC(window(), dc);
    return n;
  }

  Recorder record;
};

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlack = RGB(0, 0, 0),
                   kWhite = RGB(255, 255, 255), kBlue = RGB(0, 0, 255);

// White background, black text, red links, green when lit; OLE colours are 0x00BBGGRR.
void PlainColours(Marklet& control) {
  control.SetBackColor(0x00FFFFFF);
  control.SetForeColor(0x00000000);
  control.SetLinkColor(0x000000FF);
  control.SetActiveLinkColor(0x0000FF00);
}

// Windows of this process of a class and caption (the message box and dialogs).
::HWND FindOwnWindow(const wchar_t* className, const wchar_t* caption) {
  struct Search {
    const wchar_t* className;
    const wchar_t* caption;
    ::HWND found;
  } search{className, caption, nullptr};
  ::EnumWindows(
      [](::HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        ::DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[64] = {}, text[128] = {};
        ::GetClassNameW(hwnd, cls, 64);
        ::GetWindowTextW(hwnd, text, 128);
        if (pid == ::GetCurrentProcessId() && !std::wcscmp(cls, s->className) && !std::wcscmp(text, s->caption) &&
            ::IsWindowVisible(hwnd)) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

::HWND WaitForOwnWindow(const wchar_t* className, const wchar_t* caption, int timeoutMs = 10000) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (::HWND found = FindOwnWindow(className, caption)) return found;
    ::Sleep(20);
  }
  return nullptr;
}

// Closes what dialogs of this process are up: the About dialog through its
// button, any other box with OK.
void CloseOwnDialogs() {
  ::EnumWindows(
      [](::HWND hwnd, LPARAM) -> BOOL {
        ::DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t cls[16] = {};
        ::GetClassNameW(hwnd, cls, 16);
        if (pid == ::GetCurrentProcessId() && !std::wcscmp(cls, L"#32770") && ::IsWindowVisible(hwnd)) {
          if (::HWND ok = ::FindWindowExW(hwnd, nullptr, L"Button", L"&Aceptar")) ::PostMessageW(ok, BM_CLICK, 0, 0);
          ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        }
        return TRUE;
      },
      0);
}

// Runs `body` on a second thread while the window's thread sits in a modal
// loop, the way a user works a box the program is waiting on. Should the box
// outlive the body, the thread closes it, so a failing case cannot hang the suite.
class Helper {
 public:
  explicit Helper(std::function<void()> body) : body_(std::move(body)) {
    thread_ = ::CreateThread(nullptr, 0, &Helper::Run, this, 0, nullptr);
  }
  // Called once the modal loop has returned.
  void Finish() { ::InterlockedExchange(&finished_, 1); }
  ~Helper() {
    Finish();
    ::WaitForSingleObject(thread_, 30000);
    ::CloseHandle(thread_);
  }

 private:
  static ::DWORD WINAPI Run(void* param) {
    auto* self = static_cast<Helper*>(param);
    self->body_();
    for (int waited = 0; !::InterlockedCompareExchange(&self->finished_, 0, 0) && waited < 20000; waited += 500) {
      ::Sleep(500);
      if (waited >= 2000) CloseOwnDialogs();
    }
    return 0;
  }
  std::function<void()> body_;
  HANDLE thread_ = nullptr;
  volatile LONG finished_ = 0;
};

constexpr char16_t kLinkText[] = u"Plain words #ek1<the link> end";

// ---- The cases ----

SUITE_CASE(PaintsTextInItsColoursAndLinksInsideTheirBoxes) {
  Fixture f;
  PlainColours(f.control());
  f.control().SetAutoSizeHeight(false);
  REQUIRE(f.ShowText(kLinkText));
  REQUIRE(f.control().LinkCount() == 1);
  PixelBox link = f.LinkBox(0);
  CHECK(link.right > link.left && link.bottom > link.top);

  // The link colour only inside the link's box, the text colour before it.
  CHECK(f.CountInside(link, kRed) > 0);
  CHECK(f.CountInside(link, kBlack) == 0);
  CHECK(f.CountOutside({link}, kRed) == 0);
  PixelBox before{0, link.top, link.left, link.bottom};
  CHECK(f.CountInside(before, kBlack) > 0);
  // UnderlineLink: one row of the box is red across most of its width.
  int widest = 0;
  for (int y = link.top; y < link.bottom; ++y) widest = std::max(widest, f.CountInside({link.left, y, link.right, y + 1}, kRed));
  CHECK(widest * 10 >= (link.right - link.left) * 8);
  // The background below the text, inside the border.
  GdiSurface& s = f.container().gdiSurface();
  CHECK(f.Pixel(s.PixelWidth() / 2, s.PixelHeight() - s.BorderPixels() - 2) == kWhite);
  // The box is the link text measured in the surface's font.
  CHECK(std::abs((link.right - link.left) * s.TppX() - f.control().Links()[0].Right + f.control().Links()[0].Left) <= s.TppX());
}

SUITE_CASE(OleColoursTranslateSystemColoursAndRefuseUnknownOnes) {
  Fixture f;
  f.control().SetAutoSizeHeight(false);
  REQUIRE(f.ShowText(u"x"));
  GdiSurface& s = f.container().gdiSurface();
  s.SetBackColor(0x80000005u);  // the window colour of the system
  REQUIRE(f.Settle());
  CHECK(f.Pixel(s.PixelWidth() / 2, s.PixelHeight() / 2) == ::GetSysColor(COLOR_WINDOW));
  s.SetBackColor(0x00336699u);
  REQUIRE(f.Settle());
  CHECK(f.Pixel(s.PixelWidth() / 2, s.PixelHeight() / 2) == RGB(0x99, 0x66, 0x33));
  for (OleColor bad : {0x80000040u, 0x7F000000u}) {
    try {
      s.SetForeColor(bad);
      CHECK_MSG(false, "colour accepted: " + std::to_string(bad));
    } catch (const MarkletError& e) {
      CHECK(e.number() == 380);
    }
  }
  CHECK(s.ForeColor() != 0x80000040u && s.BackColor() == 0x00336699u);
}

SUITE_CASE(PointerOverALinkShowsTheHandTheHoverLookAndTheKey) {
  Fixture f;
  PlainColours(f.control());
  f.control().SetLinkDisplay(NotC);  // the hover look changes the colour
  REQUIRE(f.ShowText(kLinkText));
  PixelBox link = f.LinkBox(0);
  REQUIRE(f.MoveUntil(link.Center(), [&] {
    const EventArgs* move = f.record.Last(EventId::MouseMove);
    return move && (*move)[1].ToString() == u"k1";
  }));
  f.Settle();
  const EventArgs& move = *f.record.Last(EventId::MouseMove);
  CHECK(move[0].ToString().empty());  // GetTextOnEvent is False
  CHECK(move[2].ToInteger() == 0 && move[3].ToInteger() == 0);
  PixelBox twips = f.ToPixels(move[4].ToSingle(), move[5].ToSingle(), move[4].ToSingle(), move[5].ToSingle());
  CHECK(link.Contains(twips.left, twips.top));

  CHECK(f.container().gdiSurface().MousePointer() == kPointerCustom);
  CHECK(HandCursor() != nullptr);
  CHECK(ShownCursor() == HandCursor());
  // The hover look: the active colour replaces the link colour.
  CHECK(f.CountInside(link, kGreen) > 0);
  CHECK(f.CountInside(link, kRed) == 0);
  // One leave request for the entry, for the control's window.
  CHECK(f.record.trackRequests.size() == 1);
  CHECK(!f.record.trackRequests.empty() && f.record.trackRequests[0] == Handle(f.window()));

  // Plain text: the default pointer and the normal look again, no key.
  POINT plain{link.left - 20, link.Center().y};
  auto offLink = [&] {
    return (*f.record.Last(EventId::MouseMove))[1].ToString().empty() &&
           f.container().gdiSurface().MousePointer() == kPointerDefault;
  };
  REQUIRE(f.MoveUntil(plain, offLink));
  f.Settle();
  // Under load Wine may take the X pointer back onto the link once more; move off again.
  if (!offLink()) REQUIRE(f.MoveUntil(plain, offLink));
  CHECK(f.container().gdiSurface().MousePointer() == kPointerDefault);
  CHECK(ShownCursor() != HandCursor());
  CHECK(f.CountInside(link, kRed) > 0);
  CHECK(f.record.trackRequests.size() == 1);
}

SUITE_CASE(TheHandPointerIsThe32By32CursorWithItsHotSpot) {
  HCURSOR hand = HandCursor();
  REQUIRE(hand != nullptr);
  ICONINFO info{};
  REQUIRE(::GetIconInfo(hand, &info));
  CHECK(!info.fIcon);
  CHECK(info.xHotspot == 11 && info.yHotspot == 4);
  BITMAP mask{};
  ::GetObjectW(info.hbmMask, sizeof mask, &mask);
  CHECK(mask.bmWidth == 32);
  // A cursor with no colour bitmap keeps AND and XOR masks in one bitmap of double height.
  CHECK((info.hbmColor ? mask.bmHeight : mask.bmHeight / 2) == 32);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
}

SUITE_CASE(AClickOnALinkRaisesOnLinkClickBeforeMouseUp) {
  Fixture f;
  PlainColours(f.control());
  REQUIRE(f.ShowText(kLinkText));
  REQUIRE(f.MoveUntil(f.LinkBox(0).Center(), [&] { return f.container().gdiSurface().MousePointer() == kPointerCustom; }));
  ClickHere();
  REQUIRE(PumpUntil([&] { return f.record.Count(EventId::Click) == 1; }));
  std::vector<std::string> expected{"MouseDown", "OnLinkClick", "MouseUp", "Click"};
  CHECK(f.record.Clicks() == expected);
  const EventArgs* click = f.record.Last(EventId::OnLinkClick);
  REQUIRE(click);
  CHECK((*click)[0].ToString().empty() && (*click)[1].ToString() == u"k1");
  CHECK((*f.record.Last(EventId::MouseUp))[0].ToInteger() == 1);
}

SUITE_CASE(LeavingTheWindowRaisesOneMouseOutThroughTheHook) {
  Fixture f;
  PlainColours(f.control());
  f.control().SetLinkDisplay(NotC);
  REQUIRE(f.ShowText(kLinkText));
  CHECK(::GetWindowLongPtrA(f.window(), GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&WindowHook::SubclassProc));
  PixelBox link = f.LinkBox(0);
  REQUIRE(f.MoveUntil(link.Center(), [&] { return f.control().HoverLink() == 0; }));
  // Off the window altogether, while the link is lit.
  REQUIRE(LeaveUntil([&] { return f.record.Count(EventId::MouseOut) >= 1; }));
  PumpFor(300);
  f.Settle();
  CHECK(f.record.Count(EventId::MouseOut) == 1);
  CHECK(f.control().HoverLink() == -1);
  CHECK(!f.control().LeaveTracking());
  CHECK(f.container().gdiSurface().MousePointer() == kPointerDefault);
  CHECK(f.CountInside(link, kRed) > 0);
  CHECK(f.CountInside(link, kGreen) == 0);
  // The hook raised MouseOut, then passed the leave message on to the window's own procedure.
  auto& seq = f.record.sequence;
  auto out = std::find(seq.begin(), seq.end(), "MouseOut");
  CHECK(out != seq.end() && std::find(out, seq.end(), "WM_MOUSELEAVE") != seq.end());

  // Each entry asks again and each leave raises one more MouseOut, link or not.
  REQUIRE(f.MoveUntil(POINT{link.left - 20, link.Center().y}, [&] { return f.record.trackRequests.size() == 2; }));
  REQUIRE(LeaveUntil([&] { return f.record.Count(EventId::MouseOut) == 2; }));
  PumpFor(200);
  CHECK(f.record.Count(EventId::MouseOut) == 2);
}

SUITE_CASE(EndingTheControlPutsThePreviousWindowProcedureBack) {
  Fixture f(320, 120, false);
  ::HWND hwnd = f.window();
  LONG_PTR own = ::GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
  CHECK(own == reinterpret_cast<LONG_PTR>(&Win32Container::WindowProcedure));
  f.container().CreateControl();
  CHECK(::GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&WindowHook::SubclassProc));
  // The slot names the control's hook while it is hooked (the exact pointer is checked in process).
  CHECK(::GetWindowLongPtrA(hwnd, GWLP_USERDATA) != 0);
  f.ShowText(kLinkText);

  f.container().DestroyControl();
  CHECK(::GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == own);
  CHECK(::GetWindowLongPtrA(hwnd, GWLP_USERDATA) == 0);
  // Messages after the end reach the window's own procedure and no control.
  std::size_t before = f.record.events.size();
  ::SendMessageW(hwnd, 0x02A3, 0, 0);
  f.MoveTo(POINT{10, 10});
  PumpFor(200);
  ::InvalidateRect(hwnd, nullptr, FALSE);
  PumpFor(100);
  CHECK(f.record.events.size() == before);
  CHECK(::IsWindow(hwnd));
}

SUITE_CASE(AnOutOfRangeLineSpacingShowsTheCriticalMessageBox) {
  Fixture f;
  REQUIRE(f.ShowText(kLinkText));
  f.record.changed.clear();
  Lock lock;
  std::u16string prompt;
  bool errorIcon = false, ownedByFrame = false;
  {
    Helper user([&] {
      ::HWND box = WaitForOwnWindow(L"#32770", L"MarkletControl");
      if (!box) return;
      wchar_t text[256] = {};
      ::GetDlgItemTextW(box, 0xFFFF, text, 256);
      HICON hand = ::LoadIconW(nullptr, IDI_HAND);
      bool icon = false;
      for (::HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) == hand) {
          icon = true;
        }
      }
      bool owned = ::GetWindow(box, GW_OWNER) == f.frame();
      lock.With([&] {
        prompt = FromWide(text);
        errorIcon = icon;
        ownedByFrame = owned;
      });
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    f.control().SetLineSpacing(2185);  // returns once the box is closed
    user.Finish();
  }
  lock.With([&] {
    CHECK(prompt == u"El valor introducido est\u00e1 fuera del intervalo permitido.");
    CHECK(errorIcon);
    CHECK(ownedByFrame);
  });
  CHECK(f.record.messageBoxes == 1 && f.record.messageBoxButtons == 16);
  CHECK(f.control().LineSpacing() == 0);
  CHECK(f.record.changed.empty());
  // The top of the range is taken without a box.
  f.control().SetLineSpacing(2184);
  CHECK(f.record.messageBoxes == 1);
  CHECK(f.control().LineSpacing() == 2184);
}

SUITE_CASE(AboutOpensAModalDialogWithoutCloseWhoseLinksOpenThroughTheShell) {
  Fixture f;
  REQUIRE(f.ShowText(kLinkText));
  Lock lock;
  struct Seen {
    std::vector<std::pair<std::u16string, RECT>> links;  // key, screen box
    std::vector<std::string> shell;                      // "operation file"
    std::vector<HWND> shellWindows;
    std::vector<UINT> removeFlags;
  } seen;
  auto& forms = Win32FormHost::Instance();
  forms.onSiteLoaded = [&](Win32Form&, const std::u16string&, Win32Container& site) {
    site.onPainted = [&] {
      Marklet* control = site.control();
      if (!control) return;
      GdiSurface& s = site.gdiSurface();
      std::vector<std::pair<std::u16string, RECT>> links;
      for (Integer i = 0; i < control->LinkCount(); ++i) {
        const LinkRecord& l = control->Links()[i];
        int b = s.BorderPixels();
        POINT a{b + static_cast<int>(std::lround(l.Left / s.TppX())), b + static_cast<int>(std::lround(l.Top / s.TppY()))};
        POINT z{b + static_cast<int>(std::lround(l.Right / s.TppX())),
                b + static_cast<int>(std::lround(l.Bottom / s.TppY()))};
        ::ClientToScreen(site.window(), &a);
        ::ClientToScreen(site.window(), &z);
        links.emplace_back(l.LinkKey, RECT{a.x, a.y, z.x, z.y});
      }
      lock.With([&] { seen.links = links; });
    };
  };
  auto& windows = Win32WindowSystem::Instance();
  windows.onShellExecute = [&](HWND hwnd, const std::string& operation, const std::string& file, LONG_PTR) {
    lock.With([&] {
      seen.shell.push_back(operation + " " + file);
      seen.shellWindows.push_back(hwnd);
    });
  };
  windows.onRemoveMenu = [&](HMENU, UINT, UINT flags, bool ok) {
    if (ok) lock.With([&] { seen.removeFlags.push_back(flags); });
  };

  ::HWND dialog = nullptr;
  bool ownerDisabled = false, ownedByFrame = false, hasClose = true, survivedClose = false, clicked = false;
  int menuItems = -1, linkPixels = 0;
  bool siteUnderLink = false;
  {
    Helper user([&] {
      dialog = WaitForOwnWindow(L"#32770", L"Acerca de Marklet");
      if (!dialog) return;
      ownedByFrame = ::GetWindow(dialog, GW_OWNER) == f.frame();
      ownerDisabled = !::IsWindowEnabled(f.frame());
      ::HMENU menu = ::GetSystemMenu(dialog, FALSE);
      hasClose = !menu || ::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
      menuItems = menu ? ::GetMenuItemCount(menu) : -1;
      // The title bar's close command does nothing now.
      ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      ::Sleep(300);
      survivedClose = ::IsWindow(dialog) && ::IsWindowVisible(dialog);
      // Click the e-mail link once the dialog's text is painted.
      RECT box{};
      for (int waited = 0; waited < 5000 && !box.right; waited += 20) {
        lock.With([&] {
          for (const auto& [key, r] : seen.links)
            if (key.rfind(u"mailto:", 0) == 0) box = r;
        });
        if (!box.right) ::Sleep(20);
      }
      if (box.right) {
        // The link shows on screen: the window there is the dialog's control
        // and it has link-coloured pixels inside the box.
        POINT middle{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        ::HWND site = ::WindowFromPoint(middle);
        char cls[64] = {};
        ::GetClassNameA(site, cls, 64);
        siteUnderLink = !std::strcmp(cls, "MarkletControlWindow");
        ::Sleep(300);
        HDC screen = ::GetDC(nullptr);
        for (LONG y = box.top; y < box.bottom; ++y)
          for (LONG x = box.left; x < box.right; ++x) linkPixels += ::GetPixel(screen, x, y) == kBlue;
        ::ReleaseDC(nullptr, screen);
        ::SetCursorPos((box.left + box.right) / 2, (box.top + box.bottom) / 2);
        ::Sleep(150);
        ClickHere();
        for (int waited = 0; waited < 5000; waited += 20) {
          if (lock.With([&] { return !seen.shell.empty(); })) break;
          ::Sleep(20);
        }
        clicked = true;
      }
      ::HWND ok = ::FindWindowExW(dialog, nullptr, L"Button", L"&Aceptar");
      ::PostMessageW(ok, BM_CLICK, 0, 0);
    });
    f.control().About();  // returns once the dialog has closed
    user.Finish();
  }
  forms.onSiteLoaded = nullptr;
  windows.onShellExecute = nullptr;
  windows.onRemoveMenu = nullptr;

  REQUIRE(dialog != nullptr);
  CHECK(ownedByFrame);
  CHECK(ownerDisabled);
  CHECK(!hasClose);
  CHECK(menuItems == 5);  // the standard seven less the close command and its separator
  CHECK(survivedClose);
  CHECK(clicked);
  CHECK(siteUnderLink);
  CHECK(linkPixels > 0);  // LinkColor &HFF0000, the default
  lock.With([&] {
    CHECK(seen.removeFlags.size() == 2);
    for (UINT flags : seen.removeFlags) CHECK(flags == 0x1400);
    REQUIRE(seen.shell.size() == 1);
    CHECK(seen.shell[0] == "open mailto:info@marklet.example");
    CHECK(seen.shellWindows[0] == Handle(dialog));
  });
  CHECK(!::IsWindow(dialog));
  CHECK(::IsWindowEnabled(f.frame()));
  CHECK(!Win32FormHost::Instance().FindForm(u"frmAbout")->Loaded());
}

SUITE_CASE(PicturesLoadThroughOleShowAsImagesAndForwardThePointer) {
  std::u16string name = WriteBluePicture(L"marklet-suite-blue.bmp");

  Fixture f;
  PlainColours(f.control());
  // Errors name the file: 53 for none, 481 for one that is no picture.
  try {
    f.container().LoadPicture(u"marklet-suite-none.bmp");
    CHECK(!"a missing file loads");
  } catch (const MarkletError& e) {
    CHECK(e.number() == 53 && std::string(e.what()).find("marklet-suite-none.bmp") != std::string::npos);
  }
  HANDLE junk = ::CreateFileW(L"marklet-suite-junk.bmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ::DWORD written = 0;
  ::WriteFile(junk, "not a picture at all", 20, &written, nullptr);
  ::CloseHandle(junk);
  try {
    f.container().LoadPicture(u"marklet-suite-junk.bmp");
    CHECK(!"a text file loads as a picture");
  } catch (const MarkletError& e) {
    CHECK(e.number() == 481 && std::string(e.what()).find("marklet-suite-junk.bmp") != std::string::npos);
  }
  Picture picture = f.container().LoadPicture(name);
  CHECK(picture->widthHiMetric == ::MulDiv(16, 2540, 96) && picture->heightHiMetric == ::MulDiv(8, 2540, 96));

  REQUIRE(f.ShowText(u"A picture link #ipic<" + name + u":2:1> here"));
  REQUIRE(f.control().LinkCount() == 1 && f.control().Links()[0].IsImage);
  Integer shown = -1;
  for (Integer i = 0; i <= f.container().imgC().UBound(); ++i)
    if (f.container().imgC().IsLoaded(i) && f.container().imgC().Visible(i)) shown = i;
  REQUIRE(shown >= 0);
  RECT r = f.container().images().Bounds(shown);
  CHECK(r.right - r.left == 16 && r.bottom - r.top == 8);
  CHECK(f.Pixel(r.left, r.top) == kBlue && f.Pixel(r.right - 1, r.bottom - 1) == kBlue);
  CHECK(f.Pixel(r.right + 1, r.top) != kBlue);

  // The picture has no window: its moves and releases reach the control.
  REQUIRE(f.MoveUntil(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, [&] {
    const EventArgs* move = f.record.Last(EventId::MouseMove);
    return move && (*move)[1].ToString() == u"pic";
  }));
  PumpFor(50);
  CHECK(ShownCursor() == HandCursor());
  ClickHere();
  REQUIRE(PumpUntil([&] { return f.record.Count(EventId::MouseUp) == 1; }));
  std::vector<std::string> expected{"OnLinkClick", "MouseUp"};
  CHECK(f.record.Clicks() == expected);
  CHECK((*f.record.Last(EventId::OnLinkClick))[1].ToString() == u"pic");
}

SUITE_CASE(FontsReadBackTheSizeGdiRealised) {
  Fixture f;
  GdiSurface& s = f.container().gdiSurface();
  HDC screen = ::GetDC(nullptr);
  int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  CHECK(f.container().ScreenTwipsPerPixelX() == static_cast<Single>(1440.0 / dpiX));
  CHECK(f.container().ScreenTwipsPerPixelY() == static_cast<Single>(1440.0 / dpiY));

  s.SetFont(FontDesc{u"MS Sans Serif", 8});
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(s.dc(), &metrics);
  wchar_t face[LF_FACESIZE] = {};
  ::GetTextFaceW(s.dc(), LF_FACESIZE, face);
  CHECK_MSG(!std::wcscmp(face, L"MS Sans Serif"), "the realised face is " + U16ToUtf8(FromWide(face)));
  CHECK_MSG(!(metrics.tmPitchAndFamily & (TMPF_TRUETYPE | TMPF_VECTOR)), "MS Sans Serif is not the bitmap face");
  // 8 points ask for 11 pixels at 96 dpi: the bitmap face has them, so 8.25 reads back.
  if (dpiY == 96) CHECK(s.FontSize() == 8.25f);
  // Other sizes read back as whole pixels of the face GDI chose, growing with the request.
  Single previous = 0;
  for (Single size : {6.0f, 9.0f, 10.0f, 13.0f, 20.0f, 30.0f}) {
    s.SetFontSize(size);
    double pixels = s.FontSize() * dpiY / 72.0;
    CHECK(std::abs(pixels - std::round(pixels)) < 1e-3);
    CHECK_MSG(s.FontSize() >= previous && s.FontSize() > 0, std::to_string(size) + " reads " + std::to_string(s.FontSize()));
    CHECK(s.TextHeight(u"X") >= s.FontSize() * 20);
    previous = s.FontSize();
  }
  CHECK(previous > 8.25f);
  s.SetFontSize(8);
  Single one = s.TextWidth(u"W"), two = s.TextWidth(u"WW");
  CHECK(one > 0 && two == 2 * one);
  s.SetFontBold(true);
  CHECK(s.TextWidth(u"WW") >= two);
  CHECK(s.Font().bold && s.Font().weight == 700);
  // A refused size keeps the font.
  try {
    s.SetFontSize(0);
    CHECK(!"size 0 accepted");
  } catch (const MarkletError& e) {
    CHECK(e.number() == 380);
  }
  CHECK(s.FontSize() == 8.25f || dpiY != 96);
}

SUITE_CASE(AutoSizeHeightGrowsTheWindowAndTheMoreLinkShowsTheRest) {
  Fixture f(200, 40);
  PlainColours(f.control());
  f.control().SetAutoSizeHeight(true);
  std::u16string text = u"One two three four five six seven eight nine ten eleven twelve thirteen "
                        u"fourteen fifteen sixteen seventeen eighteen nineteen twenty.";
  REQUIRE(f.ShowText(text));
  GdiSurface& s = f.container().gdiSurface();
  int lineHeight = static_cast<int>(std::lround(s.TextHeight(u"X") / s.TppY()));
  RECT client{}, frameClient{};
  ::GetClientRect(f.window(), &client);
  ::GetClientRect(f.frame(), &frameClient);
  CHECK(client.bottom > 3 * lineHeight);
  CHECK(client.bottom == static_cast<int>(std::lround(s.Height() / s.TppY())));
  CHECK(frameClient.bottom == client.bottom);
  CHECK(!f.control().MoreLinkShown());

  // A fixed height too small for the text ends it with the More link.
  f.control().SetAutoSizeHeight(false);
  f.control().SetShowMoreLink(true);
  RECT outer{};
  ::GetWindowRect(f.frame(), &outer);
  ::SetWindowPos(f.frame(), nullptr, 0, 0, outer.right - outer.left,
                 outer.bottom - outer.top - client.bottom + 2 * lineHeight + 4, SWP_NOMOVE | SWP_NOZORDER);
  f.control().Refresh();
  REQUIRE(f.Settle());
  ::GetClientRect(f.window(), &client);
  CHECK(client.bottom == 2 * lineHeight + 4);
  REQUIRE(f.control().MoreLinkShown());
  Integer more = f.control().LinkCount();
  CHECK(f.control().Links()[more].LinkKey == u"!More");
  PixelBox box = f.LinkBox(more);
  CHECK(box.bottom <= client.bottom && box.right <= client.right && box.left < box.right);
  REQUIRE(f.MoveUntil(box.Center(), [&] { return f.container().gdiSurface().MousePointer() == kPointerCustom; }));
  ClickHere();
  REQUIRE(PumpUntil([&] { return f.record.Count(EventId::OnLinkClick) == 1; }));
  CHECK((*f.record.Last(EventId::OnLinkClick))[1].ToString() == u"!More");
}

// ---- The host program ----

// The numbers after the first "key": in a JSON line.
std::vector<long long> FirstNumbersAfter(const std::string& line, const std::string& key) {
  std::vector<std::vector<long long>> all = NumbersAfter(line, key);
  return all.empty() ? std::vector<long long>{} : all.front();
}

SUITE_CASE(TheHostProgramPrintsItsEventsAsJsonLines) {
  ChildProgram child;
  REQUIRE(child.Start(L"\"" + ProgramBesideThis(L"marklet-win.exe") +
                      L"\" --text \"Go #ethere<over there> now\" --dump-after-paint --no-shell --x 80 --y 300 "
                      L"--prop AutoSizeHeight=False --height 60"));
  std::string windowLine = child.Line(child.WaitFor("\"window\":"));
  std::string paint = child.Line(child.WaitFor("\"paint\":"));
  REQUIRE(!windowLine.empty() && !paint.empty());
  std::vector<long long> window = FirstNumbersAfter(windowLine, "window"),
                         frame = FirstNumbersAfter(windowLine, "frame");
  std::vector<long long> box = FirstNumbersAfter(paint, "box");
  REQUIRE(window.size() == 1 && frame.size() == 1 && box.size() == 4);
  CHECK(paint.find("\"key\":\"there\"") != std::string::npos);
  ::HWND hwnd = Native(static_cast<std::uintptr_t>(window[0]));
  POINT at{static_cast<LONG>((box[0] + box[2]) / 2), static_cast<LONG>((box[1] + box[3]) / 2)};
  ::ClientToScreen(hwnd, &at);
  ::SetCursorPos(at.x, at.y);
  CHECK(child.WaitFor("\"call\":\"TrackMouseEvent\"") >= 0);
  CHECK(child.WaitFor("\"there\",0,0") >= 0);  // MouseMove with the key
  ClickHere();
  int clickLine = child.WaitFor("{\"event\":\"OnLinkClick\",\"args\":[\"\",\"there\"]}");
  int upLine = child.WaitFor("{\"event\":\"MouseUp\"");
  CHECK(clickLine >= 0 && clickLine < upLine);
  ::SetCursorPos(5, 5);
  CHECK(child.WaitFor("{\"event\":\"MouseOut\",\"args\":[]}") >= 0);
  ::PostMessageW(Native(static_cast<std::uintptr_t>(frame[0])), WM_CLOSE, 0, 0);
  CHECK(child.Wait(10000) == 0);
}

}  // namespace
}  // namespace marklet::win32

int main() { return marklet::win32::SuiteMain("wine-suite"); }

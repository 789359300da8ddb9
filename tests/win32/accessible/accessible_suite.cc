// The control as a screen reader reads it, through oleacc: the object the
// window gives for its client area, its children (one per link the last paint
// drew), their roles, names, values, states and locations against the boxes
// the control recorded, the hit test, the default action played through the
// window's pointer path (checked event for event against a real click), the
// change events, and all of it again from another process reading a running
// marklet-win.exe. Runs under Wine on Xvfb (scripts/windows-test.sh) or on
// Windows.
//
//   accessible-suite.exe [NAME ...]    runs all checks, or those whose names contain a NAME
#include "platform/win32/win_api.h"

#include <oleacc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "control/marklet.h"
#include "platform/trace/json.h"
#include "platform/win32/com_ref.h"
#include "render/render.h"
#include "child_program.h"
#include "suite_runner.h"
#include "suite_support.h"

namespace marklet::win32 {
namespace {

// ---- oleacc helpers ----

VARIANT Child(LONG id) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

// Takes over the string.
std::u16string Text(BSTR text) {
  std::u16string out = text ? FromWide(text, ::SysStringLen(text)) : std::u16string();
  ::SysFreeString(text);
  return out;
}

std::u16string Name(IAccessible* acc, LONG child) {
  BSTR text = nullptr;
  return SUCCEEDED(acc->get_accName(Child(child), &text)) ? Text(text) : u"(failed)";
}
std::u16string Value(IAccessible* acc, LONG child) {
  BSTR text = nullptr;
  return SUCCEEDED(acc->get_accValue(Child(child), &text)) ? Text(text) : u"(failed)";
}
LONG Role(IAccessible* acc, LONG child) {
  VARIANT v;
  return SUCCEEDED(acc->get_accRole(Child(child), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}
LONG State(IAccessible* acc, LONG child) {
  VARIANT v;
  return SUCCEEDED(acc->get_accState(Child(child), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}
RECT Location(IAccessible* acc, LONG child) {
  LONG x = 0, y = 0, w = 0, h = 0;
  if (FAILED(acc->accLocation(&x, &y, &w, &h, Child(child)))) return RECT{-1, -1, -1, -1};
  return RECT{x, y, x + w, y + h};
}
// The child at a screen point: its id, 0 for the control itself, -1 for none.
LONG HitTest(IAccessible* acc, POINT at) {
  VARIANT v;
  if (FAILED(acc->accHitTest(at.x, at.y, &v)) || v.vt != VT_I4) return -1;
  return v.lVal;
}
POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
bool Same(const RECT& a, const RECT& b) { return ::EqualRect(&a, &b) != FALSE; }
std::string Show(const RECT& r) {
  char text[64];
  std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", static_cast<long>(r.left), static_cast<long>(r.top),
                static_cast<long>(r.right), static_cast<long>(r.bottom));
  return text;
}

// The child ids AccessibleChildren hands out (all VT_I4: links are simple elements).
std::vector<LONG> Children(IAccessible* acc) {
  VARIANT children[16];
  LONG got = 0;
  std::vector<LONG> ids;
  if (FAILED(::AccessibleChildren(acc, 0, 16, children, &got))) return {-1};
  for (LONG i = 0; i < got; ++i) {
    ids.push_back(children[i].vt == VT_I4 ? children[i].lVal : -2);
    ::VariantClear(&children[i]);
  }
  return ids;
}

ComRef<IAccessible> AccessibleOf(::HWND window) {
  ComRef<IAccessible> acc;
  if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(acc.put())))) {
    acc.reset();
  }
  return acc;
}

// ---- One control in a frame, every event recorded ----

struct Event {
  std::string name;
  std::string args;
};

class Fixture : public HostedControl {
 public:
  explicit Fixture(int width = 360, int height = 120) : HostedControl(width, height, u"accessible-suite") {
    // The real pointer waits away from every window of the suite.
    ::SetCursorPos(700, 500);
    Win32Container& c = container();
    c.onEvent = [this](EventId id, EventArgs& args) { events.push_back(Event{EventName(id), trace::JsonArgs(args)}); };
    c.CreateControl();
    control().SetAutoSizeHeight(false);
    // White background, black text, red links, green under the pointer.
    control().SetBackColor(0x00FFFFFF);
    control().SetForeColor(0);
    control().SetLinkColor(0x000000FF);
    control().SetActiveLinkColor(0x0000FF00);
    control().SetLinkDisplay(NotC);
    Show();
  }
  ~Fixture() { Close(); }

  // A box the control recorded, on the screen, rounded as the window rounds.
  RECT OnScreen(Single left, Single top, Single right, Single bottom) {
    GdiSurface& s = container().gdiSurface();
    int b = s.BorderPixels();
    auto px = [](Single v, double tpp) { return static_cast<LONG>(std::lround(v / tpp)); };
    RECT r{b + px(left, s.TppX()), b + px(top, s.TppY()), b + px(right, s.TppX()), b + px(bottom, s.TppY())};
    ::MapWindowPoints(window(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  RECT LinkOnScreen(Integer index) {
    const LinkRecord& l = control().Links().at(index);
    return OnScreen(l.Left, l.Top, l.Right, l.Bottom);
  }

  // Pixels of a colour inside a screen rectangle.
  int Count(const RECT& r, COLORREF colour) {
    HDC dc = ::GetDC(nullptr);
    int n = 0;
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) n += ::GetPixel(dc, x, y) == colour;
    ::ReleaseDC(nullptr, dc);
    return n;
  }

  // Moves the real pointer and waits for the effect, moving again when
  // Wine took the move back.
  bool PointerTo(POINT screen, const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (attempt > 0) ::SetCursorPos(screen.x + 1, screen.y);
      ::SetCursorPos(screen.x, screen.y);
      if (PumpUntil(done, 1500)) return true;
    }
    return false;
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Event& e : events) names.push_back(e.name);
    return names;
  }
  const Event* Last(const std::string& name) const {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
      if (it->name == name) return &*it;
    return nullptr;
  }
  int Count(const std::string& name) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.name == name; }));
  }

  std::vector<Event> events;
};

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0);

// ---- The cases ----

SUITE_CASE(TheControlIsStaticTextWithOneLinkChildPerDrawnLink) {
  Fixture f;
  REQUIRE(f.ShowText(u"Plain words #ek1<the link> and #ek2<another> end"));
  ComRef<IAccessible> acc = AccessibleOf(f.window());
  // With oleacc linked before uuid the GUID would be wrong and this fails.
  REQUIRE(acc.get() != nullptr);
  IAccessible* a = acc.get();

  CHECK(Role(a, CHILDID_SELF) == ROLE_SYSTEM_STATICTEXT);
  CHECK(Name(a, CHILDID_SELF) == f.control().FormatedText());
  CHECK(Name(a, CHILDID_SELF) == u"Plain words the link and another end");
  RECT window{};
  ::GetWindowRect(f.window(), &window);
  CHECK(Same(Location(a, CHILDID_SELF), window));
  CHECK(State(a, CHILDID_SELF) & STATE_SYSTEM_FOCUSABLE);
  LONG count = 0;
  CHECK(SUCCEEDED(a->get_accChildCount(&count)) && count == 2);
  CHECK(Children(a) == (std::vector<LONG>{1, 2}));

  const char16_t* names[] = {u"the link", u"another"};
  const char16_t* keys[] = {u"k1", u"k2"};
  for (LONG child = 1; child <= 2; ++child) {
    CHECK(Role(a, child) == ROLE_SYSTEM_LINK);
    CHECK(Name(a, child) == names[child - 1]);
    CHECK(Value(a, child) == keys[child - 1]);
    CHECK(State(a, child) == (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED));
    BSTR action = nullptr;
    CHECK(SUCCEEDED(a->get_accDefaultAction(Child(child), &action)) && Text(action) == u"Click");
    IDispatch* object = reinterpret_cast<IDispatch*>(1);
    CHECK(a->get_accChild(Child(child), &object) == S_FALSE && object == nullptr);
    RECT box = f.LinkOnScreen(static_cast<Integer>(child - 1));
    CHECK_MSG(Same(Location(a, child), box), Show(Location(a, child)) + " vs " + Show(box));
    CHECK(HitTest(a, Centre(box)) == child);
  }
  // Plain text is the control itself; outside the window, nothing.
  RECT first = f.LinkOnScreen(0);
  CHECK(HitTest(a, POINT{first.left - 15, Centre(first).y}) == CHILDID_SELF);
  CHECK(HitTest(a, POINT{window.right + 20, window.bottom + 20}) == -1);
  // Children that are not there.
  BSTR none = nullptr;
  CHECK(a->get_accName(Child(3), &none) == E_INVALIDARG);
  CHECK(a->accDoDefaultAction(Child(3)) == E_INVALIDARG);
  CHECK(a->accDoDefaultAction(Child(CHILDID_SELF)) == DISP_E_MEMBERNOTFOUND);

  // The link under the real pointer is hot-tracked.
  REQUIRE(f.PointerTo(Centre(f.LinkOnScreen(1)), [&] { return f.control().HoverLink() == 1; }));
  CHECK(State(a, 2) == (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED | STATE_SYSTEM_HOTTRACKED));
  CHECK(!(State(a, 1) & STATE_SYSTEM_HOTTRACKED));
  ::SetCursorPos(700, 500);
  PumpUntil([&] { return f.control().HoverLink() == -1; });

}

SUITE_CASE(TheObjectOutlivesTheControlsWindowAndSaysItIsGone) {
  auto f = std::make_unique<Fixture>();
  REQUIRE(f->ShowText(u"#ek<x>"));
  ComRef<IAccessible> acc = AccessibleOf(f->window());
  REQUIRE(acc.get() != nullptr);
  f.reset();
  LONG count = 0;
  CHECK(acc->get_accChildCount(&count) == RPC_E_DISCONNECTED);
  CHECK(acc->accDoDefaultAction(Child(1)) == RPC_E_DISCONNECTED);
}

SUITE_CASE(AWrappedLinkIsLocatedByItsFirstSegment) {
  Fixture f(200, 100);
  f.control().SetShowMoreLink(false);
  REQUIRE(f.ShowText(u"Go to #ew<a link of many words that must wrap> now"));
  REQUIRE(f.control().LinkSegments().size() >= 2);
  ComRef<IAccessible> acc = AccessibleOf(f.window());
  REQUIRE(acc.get() != nullptr);
  CHECK(Children(acc.get()) == (std::vector<LONG>{1}));
  CHECK(Name(acc.get(), 1) == u"a link of many words that must wrap");
  const LinkSegment& first = f.control().LinkSegments()[0];
  RECT box = f.OnScreen(first.Left, first.Top, first.Right, first.Bottom);
  CHECK_MSG(Same(Location(acc.get(), 1), box), Show(Location(acc.get(), 1)) + " vs " + Show(box));
  // Any segment hits the link.
  const LinkSegment& last = f.control().LinkSegments().back();
  CHECK(HitTest(acc.get(), Centre(f.OnScreen(last.Left, last.Top, last.Right, last.Bottom))) == 1);

  CHECK(acc->accDoDefaultAction(Child(1)) == S_OK);
  REQUIRE(PumpUntil([&] { return f.Count("Click") == 1; }));
  CHECK(f.Names() == (std::vector<std::string>{"MouseMove", "MouseDown", "OnLinkClick", "MouseUp", "Click"}));
  CHECK(f.Last("OnLinkClick")->args == "[\"\",\"w\"]");
  // Every segment lit.
  for (const LinkSegment& s : f.control().LinkSegments()) {
    RECT r = f.OnScreen(s.Left, s.Top, s.Right, s.Bottom);
    CHECK(f.Count(r, kGreen) > 0 && f.Count(r, kRed) == 0);
  }
}

SUITE_CASE(TheMoreLinkIsAChildWhileItIsShown) {
  Fixture f(200, 40);
  f.control().SetShowMoreLink(true);
  REQUIRE(f.ShowText(u"#ea<first> one two three four five six seven eight nine ten eleven twelve "
                     u"thirteen #eb<hidden> fourteen fifteen sixteen seventeen eighteen nineteen"));
  REQUIRE(f.control().MoreLinkShown());
  ComRef<IAccessible> acc = AccessibleOf(f.window());
  REQUIRE(acc.get() != nullptr);
  std::vector<LONG> children = Children(acc.get());
  REQUIRE(children.size() == 2);  // "hidden" lies behind the More link
  CHECK(Name(acc.get(), 1) == u"first");
  CHECK(Value(acc.get(), 2) == u"!More");
  Integer more = f.control().LinkCount();
  CHECK(Name(acc.get(), 2) == TrimTrailingSpaces(f.control().Links()[more].LinkText));
  CHECK(Same(Location(acc.get(), 2), f.LinkOnScreen(more)));
  CHECK(acc->accDoDefaultAction(Child(2)) == S_OK);
  REQUIRE(PumpUntil([&] { return f.Count("OnLinkClick") == 1; }));
  CHECK(f.Last("OnLinkClick")->args == "[\"\",\"!More\"]");

  // The whole text shown: the More link is gone, the hidden link is there.
  f.control().SetAutoSizeHeight(true);
  REQUIRE(f.Settle());
  CHECK(!f.control().MoreLinkShown());
  CHECK(Children(acc.get()) == (std::vector<LONG>{1, 2}));
  CHECK(Value(acc.get(), 2) == u"b");
}

SUITE_CASE(TheDefaultActionGivesTheEventsAndLookOfARealClick) {
  Fixture f;
  REQUIRE(f.ShowText(u"Plain words #ek1<the link> end"));
  ComRef<IAccessible> acc = AccessibleOf(f.window());
  REQUIRE(acc.get() != nullptr);
  const RECT box = Location(acc.get(), 1);
  const POINT centre = Centre(box);

  // A real click at the centre first.
  REQUIRE(f.PointerTo(centre, [&] { return f.control().HoverLink() == 0; }));
  f.Settle();
  const Event realMove = *f.Last("MouseMove");
  f.events.clear();
  ClickHere();
  REQUIRE(PumpUntil([&] { return f.Count("Click") == 1; }));
  std::vector<Event> real;
  for (const Event& e : f.events)
    if (e.name != "MouseMove") real.push_back(e);
  ::SetCursorPos(700, 500);
  REQUIRE(PumpUntil([&] { return f.Count("MouseOut") == 1; }));
  f.Settle();
  CHECK(f.Count(box, kRed) > 0 && f.Count(box, kGreen) == 0);
  CHECK(f.container().gdiSurface().MousePointer() == kPointerDefault);

  // The default action, the real pointer far away.
  f.events.clear();
  CHECK(acc->accDoDefaultAction(Child(1)) == S_OK);
  REQUIRE(PumpUntil([&] { return f.Count("Click") == 1; }));
  REQUIRE(f.events.size() == 5);
  CHECK(f.Names() == (std::vector<std::string>{"MouseMove", "MouseDown", "OnLinkClick", "MouseUp", "Click"}));
  CHECK_MSG(f.events[0].args == realMove.args, f.events[0].args + " vs " + realMove.args);
  REQUIRE(real.size() == 4);
  for (std::size_t i = 0; i < 4; ++i) {
    CHECK_MSG(f.events[i + 1].name == real[i].name && f.events[i + 1].args == real[i].args,
              f.events[i + 1].name + f.events[i + 1].args + " vs " + real[i].name + real[i].args);
  }
  // The look of a link under the pointer, and no leave: it stays.
  PumpFor(600);
  f.Settle();
  CHECK(f.Count("MouseOut") == 0);
  CHECK(f.control().HoverLink() == 0);
  CHECK(f.container().gdiSurface().MousePointer() == kPointerCustom);
  CHECK(f.Count(box, kGreen) > 0 && f.Count(box, kRed) == 0);
  CHECK(State(acc.get(), 1) & STATE_SYSTEM_HOTTRACKED);

  // The real pointer comes in beside the link: the hover follows it, and its
  // leave is reported as ever.
  REQUIRE(f.PointerTo(POINT{box.left - 15, centre.y}, [&] { return f.control().HoverLink() == -1; }));
  f.Settle();
  CHECK(f.Count(box, kRed) > 0 && f.Count(box, kGreen) == 0);
  ::SetCursorPos(700, 500);
  CHECK(PumpUntil([&] { return f.Count("MouseOut") == 1; }));
}

SUITE_CASE(AnImageLinkIsNamedByItsKeyAndClickedByAMoveAndARelease) {
  std::u16string picture = WriteBluePicture(L"marklet-accessible-blue.bmp");
  Fixture f;
  REQUIRE(f.ShowText(u"A picture link #ipic<" + picture + u":2:1> here"));
  ComRef<IAccessible> acc = AccessibleOf(f.window());
  REQUIRE(acc.get() != nullptr);
  REQUIRE(Children(acc.get()) == (std::vector<LONG>{1}));
  CHECK(Name(acc.get(), 1) == u"pic");
  CHECK(Value(acc.get(), 1) == u"pic");
  CHECK(Role(acc.get(), 1) == ROLE_SYSTEM_LINK);
  RECT box = Location(acc.get(), 1);
  CHECK(box.right - box.left == 16 && box.bottom - box.top == 8);
  CHECK(HitTest(acc.get(), Centre(box)) == 1);
  CHECK(acc->accDoDefaultAction(Child(1)) == S_OK);
  REQUIRE(PumpUntil([&] { return f.Count("MouseUp") == 1; }));
  PumpFor(100);
  CHECK(f.Names() == (std::vector<std::string>{"MouseMove", "OnLinkClick", "MouseUp"}));
  CHECK(f.events[0].args.rfind("[\"\",\"pic\",0,0,", 0) == 0);
  CHECK(f.Last("OnLinkClick")->args == "[\"\",\"pic\"]");
}

// ---- Change events ----

struct WinEvent {
  ::DWORD event;
  ::HWND window;
  LONG object;
  LONG child;
};
std::vector<WinEvent> winEvents;

void CALLBACK OnWinEvent(HWINEVENTHOOK, ::DWORD event, ::HWND window, LONG object, LONG child, ::DWORD, ::DWORD) {
  winEvents.push_back(WinEvent{event, window, object, child});
}

SUITE_CASE(PaintsThatChangeTheLinksAndNewTextsAreAnnounced) {
  Fixture f;
  HWINEVENTHOOK hook = ::SetWinEventHook(EVENT_OBJECT_REORDER, EVENT_OBJECT_NAMECHANGE, nullptr, &OnWinEvent,
                                         ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  REQUIRE(hook != nullptr);
  auto count = [&](::DWORD event) {
    int n = 0;
    for (const WinEvent& e : winEvents)
      n += e.event == event && e.window == f.window() && e.object == OBJID_CLIENT && e.child == CHILDID_SELF;
    return n;
  };
  auto settle = [&] {
    f.Settle();
    PumpFor(200);
  };
  winEvents.clear();
  REQUIRE(f.ShowText(u"Go #ek<there> now"));
  settle();
  CHECK(count(EVENT_OBJECT_NAMECHANGE) == 1);
  CHECK(count(EVENT_OBJECT_REORDER) == 1);

  // A new text with the same link: a new name, the same children.
  winEvents.clear();
  REQUIRE(f.ShowText(u"Come #ek<there> later"));
  settle();
  CHECK(count(EVENT_OBJECT_NAMECHANGE) == 1);
  CHECK(count(EVENT_OBJECT_REORDER) == 0);

  // A paint that draws the same links: nothing.
  winEvents.clear();
  f.control().Refresh();
  settle();
  CHECK(count(EVENT_OBJECT_REORDER) == 0 && count(EVENT_OBJECT_NAMECHANGE) == 0);

  // The pointer's hover is no change of the set.
  ComRef<IAccessible> acc = AccessibleOf(f.window());
  REQUIRE(acc.get() != nullptr);
  CHECK(acc->accDoDefaultAction(Child(1)) == S_OK);
  REQUIRE(PumpUntil([&] { return f.Count("Click") == 1; }));
  settle();
  CHECK(count(EVENT_OBJECT_REORDER) == 0);

  // Another link: the set changed.
  winEvents.clear();
  REQUIRE(f.ShowText(u"Come #ek<there> or #ej<here>"));
  settle();
  CHECK(count(EVENT_OBJECT_REORDER) == 1);
  CHECK(count(EVENT_OBJECT_NAMECHANGE) == 1);
  ::UnhookWinEvent(hook);
}

// ---- From another process ----

SUITE_CASE(AScreenReaderInAnotherProcessReadsAndClicksALink) {
  ::SetCursorPos(700, 500);
  ChildProgram child;
  REQUIRE(child.Start(L"\"" + ProgramBesideThis(L"marklet-win.exe") +
                      L"\" --text \"Go #ethere<over there> now or #eback<back home>\" --dump-after-paint --no-shell "
                      L"--x 80 --y 300 --width 400 --height 60 --prop AutoSizeHeight=False"));
  int windowLine = child.WaitFor("\"window\":");
  int paintLine = child.WaitFor("\"paint\":");
  REQUIRE(windowLine >= 0 && paintLine >= 0);
  std::vector<std::vector<long long>> window = NumbersAfter(child.Line(windowLine), "window");
  std::vector<std::vector<long long>> frame = NumbersAfter(child.Line(windowLine), "frame");
  std::vector<std::vector<long long>> boxes = NumbersAfter(child.Line(paintLine), "box");
  REQUIRE(window.size() == 1 && window[0].size() == 1 && frame.size() == 1 &&
          boxes.size() == 3);  // the More link's record comes last
  ::HWND hwnd = Native(static_cast<std::uintptr_t>(window[0][0]));
  ::HWND frameWindow = Native(static_cast<std::uintptr_t>(frame[0][0]));
  // Let the first paint reach the screen before the reader asks.
  ::Sleep(300);

  ComRef<IAccessible> acc = AccessibleOf(hwnd);
  REQUIRE(acc.get() != nullptr);
  IAccessible* a = acc.get();
  CHECK(Role(a, CHILDID_SELF) == ROLE_SYSTEM_STATICTEXT);
  CHECK(Name(a, CHILDID_SELF) == u"Go over there now or back home");
  CHECK(Children(a) == (std::vector<LONG>{1, 2}));
  CHECK(Name(a, 1) == u"over there" && Value(a, 1) == u"there");
  CHECK(Name(a, 2) == u"back home" && Value(a, 2) == u"back");
  for (LONG i = 1; i <= 2; ++i) {
    const std::vector<long long>& b = boxes[i - 1];
    REQUIRE(b.size() == 4);
    RECT box{static_cast<LONG>(b[0]), static_cast<LONG>(b[1]), static_cast<LONG>(b[2]), static_cast<LONG>(b[3])};
    ::MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&box), 2);
    CHECK_MSG(Same(Location(a, i), box), Show(Location(a, i)) + " vs " + Show(box));
    CHECK(HitTest(a, Centre(box)) == i);
  }

  // The reader clicks the second link: the program reports a whole click on it.
  CHECK(a->accDoDefaultAction(Child(2)) == S_OK);
  int move = child.WaitFor("{\"event\":\"MouseMove\",\"args\":[\"\",\"back\",0,0,", paintLine);
  int down = child.WaitFor("{\"event\":\"MouseDown\",\"args\":[1,0,", paintLine);
  int click = child.WaitFor("{\"event\":\"OnLinkClick\",\"args\":[\"\",\"back\"]}", paintLine);
  int up = child.WaitFor("{\"event\":\"MouseUp\",\"args\":[1,0,", paintLine);
  int clicked = child.WaitFor("{\"event\":\"Click\",\"args\":[]}", paintLine);
  CHECK(move > paintLine && move < down && down < click && click < up && up < clicked);
  // No leave came.
  ::Sleep(500);
  CHECK(child.WaitFor("\"MouseOut\"", paintLine, 0) == -1);
  CHECK(State(a, 2) & STATE_SYSTEM_HOTTRACKED);

  ::PostMessageW(frameWindow, WM_CLOSE, 0, 0);
  CHECK(child.Wait(10000) == 0);
  // The program is gone: its object answers so, and nothing hangs.
  LONG count = 0;
  CHECK(FAILED(a->get_accChildCount(&count)));
}

}  // namespace
}  // namespace marklet::win32

int main() { return marklet::win32::SuiteMain("accessible-suite"); }

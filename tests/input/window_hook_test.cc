// The window hook: procedure chain and user data through the window system,
// forwarding of every message, and messages no instance can take.
#include <gtest/gtest.h>

#include "host/error.h"
#include "input/input_fixture.h"

namespace marklet::testing {
namespace {

// A window procedure that was in place before the control hooked the window.
std::vector<UINT> previousProcMessages;
LRESULT PreviousProc(HWND, UINT msg, WPARAM, LPARAM) {
  previousProcMessages.push_back(msg);
  return 7;
}

constexpr UINT kMouseMove = 0x0200;

class WindowHookTest : public InputTest {
 protected:
  void SetUp() override {
    previousProcMessages.clear();
    hwnd = container.traceSurface().state().hwnd;
    before = world.windows().SetWindowLongA(hwnd, GWL_WNDPROC, ProcToLong(&PreviousProc));
    InputTest::SetUp();
  }
  LONG_PTR WndProc() { return world.windows().GetWindowLongA(hwnd, GWL_WNDPROC); }
  HWND hwnd = 0;
  LONG_PTR before = 0;
};

TEST_F(WindowHookTest, TerminationPutsThePreviousProcedureBack) {
  EXPECT_EQ(before, ProcToLong(&trace::TraceWindowSystem::DefaultProc));
  EXPECT_EQ(WndProc(), ProcToLong(&WindowHook::SubclassProc));
  EXPECT_EQ(world.windows().GetWindowLongA(hwnd, GWL_USERDATA), reinterpret_cast<LONG_PTR>(&input.hook()));
  input.hook().Hook();  // hooking twice changes nothing
  input.hook().Unhook();
  EXPECT_EQ(WndProc(), ProcToLong(&PreviousProc));
  EXPECT_FALSE(input.hook().Hooked());

  Move(10, 10);
  world.windows().DeliverMouseLeave(hwnd);
  EXPECT_TRUE(TakeRecords("MouseOut").empty());
  EXPECT_EQ(previousProcMessages, std::vector<UINT>{WM_MOUSELEAVE});
}

TEST_F(WindowHookTest, LeaveRaisesMouseOutThenReachesThePreviousProcedure) {
  Move(10, 10);
  EXPECT_TRUE(input.hook().LeaveTracking());
  container.SetEventHandler([&](EventId id, EventArgs&) {
    // A message sent from the host's handler re-enters the hook.
    if (id == EventId::MouseOut) {
      EXPECT_EQ(WindowHook::SubclassProc(hwnd, kMouseMove, 0, 0), 7);
    }
  });
  EXPECT_TRUE(world.windows().DeliverMouseLeave(hwnd));
  EXPECT_FALSE(input.hook().LeaveTracking());
  EXPECT_EQ(previousProcMessages, (std::vector<UINT>{kMouseMove, WM_MOUSELEAVE}));
  EXPECT_EQ(TakeRecords("MouseOut").size(), 1u);
}

TEST_F(WindowHookTest, LeaveReachesThePreviousProcedureWhenRestoringFails) {
  SetLinks({TextLink(u"go", u"k", 0, 0, 100, 100)});
  Move(10, 10);
  world.failures().Arm("MousePointer", 5);
  EXPECT_TRUE(world.windows().DeliverMouseLeave(hwnd));
  EXPECT_EQ(previousProcMessages, std::vector<UINT>{WM_MOUSELEAVE});
  EXPECT_FALSE(input.hook().LeaveTracking());
}

TEST_F(WindowHookTest, MessageForAWindowWithoutInstanceGoesToTheDefaultProcedure) {
  world.windows().SetWindowLongA(hwnd, GWL_USERDATA, 0);
  int defaults = world.windows().DefWindowProcCalls();
  EXPECT_EQ(WindowHook::SubclassProc(hwnd, WM_MOUSELEAVE, 0, 0), 0);
  EXPECT_EQ(world.windows().DefWindowProcCalls(), defaults + 1);
  EXPECT_TRUE(previousProcMessages.empty());
  EXPECT_TRUE(TakeRecords("MouseOut").empty());
}

}  // namespace
}  // namespace marklet::testing

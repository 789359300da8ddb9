// The window table the trace and raster window systems share: window longs,
// one-shot mouse-leave requests and their delivery through the current
// procedure.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/window_table.h"

namespace marklet {
namespace {

std::vector<UINT> received;
LRESULT Recording(HWND, UINT msg, WPARAM, LPARAM) {
  received.push_back(msg);
  return 3;
}

class CountingTable : public WindowTable {
 public:
  CountingTable() : WindowTable(0x100) {}
  std::vector<std::pair<HWND, bool>> tracked;
  int delivering = 0;

  // Menus and the shell are each host's own.
  HMENU GetSystemMenu(HWND, bool) override { return 0; }
  int GetMenuItemCount(HMENU) override { return -1; }
  bool RemoveMenu(HMENU, UINT, UINT) override { return false; }
  bool DrawMenuBar(HWND) override { return false; }
  LONG_PTR ShellExecuteA(HWND, const std::string&, const std::string&, const std::string&,
                         const std::string&, int) override {
    return 0;
  }

 private:
  void MouseTracked(HWND hwnd, bool valid) override { tracked.emplace_back(hwnd, valid); }
  void DeliveringMouseLeave(HWND) override { ++delivering; }
};

TRACKMOUSEEVENT LeaveRequest(HWND hwnd) {
  TRACKMOUSEEVENT request;
  request.cbSize = 16;
  request.dwFlags = TME_LEAVE;
  request.hwndTrack = hwnd;
  return request;
}

TEST(WindowTable, ALeaveIsDeliveredOnceThroughTheCurrentProcedure) {
  received.clear();
  CountingTable table;
  HWND a = table.CreateWindow();
  EXPECT_EQ(table.CreateWindow(), a + 0x10);
  EXPECT_EQ(table.GetWindowLongA(a, GWL_WNDPROC), ProcToLong(&WindowTable::DefaultProc));
  EXPECT_EQ(table.SetWindowLongA(a, GWL_WNDPROC, ProcToLong(&Recording)),
            ProcToLong(&WindowTable::DefaultProc));

  EXPECT_FALSE(table.DeliverMouseLeave(a));  // nothing asked for
  TRACKMOUSEEVENT request = LeaveRequest(a);
  EXPECT_TRUE(table.TrackMouseEvent(request));
  EXPECT_TRUE(table.LeaveRequested(a));
  EXPECT_TRUE(table.DeliverMouseLeave(a));
  EXPECT_FALSE(table.DeliverMouseLeave(a));
  EXPECT_EQ(received, std::vector<UINT>{WM_MOUSELEAVE});
  EXPECT_EQ(table.delivering, 1);
  EXPECT_EQ(table.CallWindowProcA(ProcToLong(&Recording), a, 0x0200, 0, 0), 3);
  EXPECT_EQ(table.CallWindowProcA(0, a, 0x0200, 0, 0), 0);
}

TEST(WindowTable, RequestsForUnknownWindowsOrWithoutTheLeaveFlagAreRefused) {
  CountingTable table;
  HWND a = table.CreateWindow();
  TRACKMOUSEEVENT unknown = LeaveRequest(a + 1);
  TRACKMOUSEEVENT noFlag = LeaveRequest(a);
  noFlag.dwFlags = 0;
  TRACKMOUSEEVENT wrongSize = LeaveRequest(a);
  wrongSize.cbSize = 12;
  EXPECT_FALSE(table.TrackMouseEvent(unknown));
  EXPECT_FALSE(table.TrackMouseEvent(noFlag));
  EXPECT_FALSE(table.TrackMouseEvent(wrongSize));
  EXPECT_FALSE(table.LeaveRequested(a));
  EXPECT_EQ(table.tracked.size(), 3u);  // every request is told, refused or not
  EXPECT_FALSE(table.tracked.back().second);

  table.SetWindowLongA(a, GWL_USERDATA, 42);
  EXPECT_EQ(table.GetWindowLongA(a, GWL_USERDATA), 42);
  EXPECT_EQ(table.SetWindowLongA(a, -99, 1), 0);  // no such slot
  table.DestroyWindow(a);
  EXPECT_EQ(table.GetWindowLongA(a, GWL_USERDATA), 0);
  EXPECT_EQ(table.SetWindowLongA(a, GWL_USERDATA, 1), 0);
}

}  // namespace
}  // namespace marklet

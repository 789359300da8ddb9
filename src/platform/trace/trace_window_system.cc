#include "platform/trace/trace_window_system.h"

#include <algorithm>

#include "platform/trace/json.h"
#include "platform/trace/trace_world.h"

namespace marklet::trace {

HWND TraceWindowSystem::CreateWindow(const std::string& source) {
  HWND hwnd = WindowTable::CreateWindow();
  windows_[hwnd].source = source;
  return hwnd;
}

void TraceWindowSystem::DestroyWindow(HWND hwnd) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return;
  menus_.erase(it->second.systemMenu);
  windows_.erase(it);
  WindowTable::DestroyWindow(hwnd);
}

bool TraceWindowSystem::HasCloseCommand(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return false;
  auto menu = menus_.find(it->second.systemMenu);
  if (menu == menus_.end()) return true;  // never fetched: the standard menu
  return std::find(menu->second.begin(), menu->second.end(), "close") != menu->second.end();
}

std::string TraceWindowSystem::SourceOf(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? std::string() : it->second.source;
}

void TraceWindowSystem::DeliveringMouseLeave(HWND hwnd) {
  world_.log().Emit("deliver", "\"MouseLeave\"", SourceOf(hwnd));
}

LRESULT TraceWindowSystem::DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ++defWindowProcCalls_;
  return WindowTable::DefWindowProcA(hwnd, msg, wParam, lParam);
}

void TraceWindowSystem::MouseTracked(HWND hwnd, bool) {
  world_.log().Emit("trackmouse", "true", SourceOf(hwnd));
}

HMENU TraceWindowSystem::GetSystemMenu(HWND hwnd, bool revert) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return 0;
  if (it->second.systemMenu == 0 || revert) {
    // A standard system menu: restore, move, size, minimise, maximise,
    // separator, close.
    HMENU menu = hwnd + 1;
    menus_[menu] = {"restore", "move", "size", "minimize", "maximize", "separator", "close"};
    it->second.systemMenu = menu;
  }
  long long items = static_cast<long long>(menus_[it->second.systemMenu].size());
  world_.log().Emit("sysmenu", JsonObject().Str("op", "get").Num("items", items).str(),
                    it->second.source);
  return revert ? 0 : it->second.systemMenu;
}

int TraceWindowSystem::GetMenuItemCount(HMENU menu) {
  auto it = menus_.find(menu);
  return it == menus_.end() ? -1 : static_cast<int>(it->second.size());
}

bool TraceWindowSystem::RemoveMenu(HMENU menu, UINT position, UINT flags) {
  auto it = menus_.find(menu);
  bool ok = it != menus_.end() && (flags & MF_BYPOSITION) && position < it->second.size();
  world_.log().Emit("sysmenu",
                    JsonObject().Str("op", "remove").Num("position", position).Num("flags", flags).str(),
                    SourceOf(menu - 1));
  if (ok) it->second.erase(it->second.begin() + position);
  return ok;
}

bool TraceWindowSystem::DrawMenuBar(HWND hwnd) {
  world_.log().Emit("sysmenu", JsonObject().Str("op", "draw").str(), SourceOf(hwnd));
  return windows_.count(hwnd) != 0;
}

LONG_PTR TraceWindowSystem::ShellExecuteA(HWND hwnd, const std::string& operation,
                                          const std::string& file, const std::string&,
                                          const std::string&, int) {
  world_.log().Emit("shell", JsonObject().Str("op", operation).Str("file", file).str(), SourceOf(hwnd));
  return 33;  // above 32: success
}

}  // namespace marklet::trace

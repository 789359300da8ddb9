// Script commands for the user's pointer and keys on the control and its
// image controls, and the pointer leaving its window.
#include "platform/trace/script_arguments.h"
#include "platform/trace/script_commands.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

void AddInputCommands(ScriptRunner& runner) {
  runner.AddCommand("move", [](ScriptRunner& r, const std::vector<Token>& a) {
    Integer b, s;
    Single x, y;
    MouseArgs(a, 0, b, s, x, y);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceMouseMove(b, s, x, y); });
  });
  runner.AddCommand("down", [](ScriptRunner& r, const std::vector<Token>& a) {
    Integer b, s;
    Single x, y;
    MouseArgs(a, 0, b, s, x, y);
    if (a.size() == 2) b = 1;
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceMouseDown(b, s, x, y); });
  });
  runner.AddCommand("up", [](ScriptRunner& r, const std::vector<Token>& a) {
    Integer b, s;
    Single x, y;
    MouseArgs(a, 0, b, s, x, y);
    if (a.size() == 2) b = 1;
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceMouseUp(b, s, x, y); });
  });
  runner.AddCommand("click", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "click");
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceClick(); });
  });
  runner.AddCommand("dblclick", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "dblclick");
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceDblClick(); });
  });
  runner.AddCommand("keydown", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 2, "keydown CODE SHIFT");
    Integer code = IntArg(a[0]), shift = IntArg(a[1]);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceKeyDown(code, shift); });
  });
  runner.AddCommand("keypress", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "keypress ASCII");
    Integer ascii = IntArg(a[0]);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceKeyPress(ascii); });
  });
  runner.AddCommand("keyup", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 2, 2, "keyup CODE SHIFT");
    Integer code = IntArg(a[0]), shift = IntArg(a[1]);
    Marklet& c = r.control();
    r.Guard([&] { c.SurfaceKeyUp(code, shift); });
  });
  runner.AddCommand("imgmove", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: imgmove INDEX X Y [BUTTON SHIFT]");
    Integer index = IntArg(a[0]), b, s;
    Single x, y;
    MouseArgs(a, 1, b, s, x, y);
    Marklet& c = r.control();
    r.Guard([&] { c.ImageMouseMove(index, b, s, x, y); });
  });
  runner.AddCommand("imgup", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: imgup INDEX X Y [BUTTON SHIFT]");
    Integer index = IntArg(a[0]), b, s;
    Single x, y;
    MouseArgs(a, 1, b, s, x, y);
    if (a.size() == 3) b = 1;
    Marklet& c = r.control();
    r.Guard([&] { c.ImageMouseUp(index, b, s, x, y); });
  });
  runner.AddCommand("leave", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "leave");
    r.world().windows().DeliverMouseLeave(r.main().traceSurface().state().hwnd);
  });
}

}  // namespace marklet::trace

// Script commands that set and get the control's properties and call its
// methods, through the dispatch a container uses.
#include "control/dispatch.h"
#include "platform/trace/json.h"
#include "platform/trace/script_arguments.h"
#include "platform/trace/script_commands.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

void AddPropertyCommands(ScriptRunner& runner) {
  runner.AddCommand("set", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.size() < 2) throw ScriptArgumentError("usage: set PROPERTY VALUE");
    Marklet& c = r.control();
    std::string p = Lower(a[0].text);
    if (p == "font") {
      FontDesc f = FontArgs(a, 1);
      r.Guard([&] { c.SetFont(f); });
      return;
    }
    Need(a, 2, 2, "set PROPERTY VALUE");
    if (p == "picture") {
      r.Guard([&] {
        Picture pic;
        if (!a[1].value.empty()) pic = r.main().LoadPicture(a[1].value);
        c.SetPicture(pic);
      });
      return;
    }
    Variant v = ValueOf(a[1]);
    if (!FindMember(a[0].value)) throw ScriptArgumentError("unknown property: " + a[0].text);
    r.Guard([&] { Invoke(c, a[0].value, InvokeKind::Put, std::span<const Variant>(&v, 1)); });
  });

  runner.AddCommand("get", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "get PROPERTY");
    Marklet& c = r.control();
    const MemberInfo* m = FindMember(a[0].value);
    if (!m || m->kind != MemberKind::Property) throw ScriptArgumentError("unknown property: " + a[0].text);
    r.Guard([&] {
      Variant v = Invoke(c, m->dispid, InvokeKind::Get);
      r.world().log().Emit("value", ValueJson(v, static_cast<int>(m->type)));
    });
  });

  runner.AddCommand("call", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "call About|Refresh");
    Marklet& c = r.control();
    const MemberInfo* m = FindMember(a[0].value);
    if (!m || m->kind != MemberKind::Method) throw ScriptArgumentError("unknown method: " + a[0].text);
    r.Guard([&] { Invoke(c, m->dispid, InvokeKind::Call); });
  });
}

}  // namespace marklet::trace

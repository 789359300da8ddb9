// Script commands that act on the open About dialog, as its user would:
//   about move X Y [B S] | about down X Y [B S] | about up X Y [B S]
//       pointer events on Marklet1 (down and up default to the left button)
//   about click | about leave     click, or the mouse leaving Marklet1
//   about ok                      press btnOk
//   about close                   the title bar's close button
//   about get PROPERTY            {"value":V,"source":"Marklet1"}
#include "control/about/about_dialog.h"
#include "control/dispatch.h"
#include "host/error.h"
#include "platform/trace/json.h"
#include "platform/trace/script_arguments.h"
#include "platform/trace/script_commands.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

namespace {

constexpr char16_t kTextSite[] = u"Marklet1";

TraceForm& OpenDialog(ScriptRunner& r) {
  TraceForm* form = r.world().forms().LoadedForm(kAboutFormName);
  if (!form) throw ScriptArgumentError("the About dialog is not open");
  return *form;
}

// Errors of the dialog's text control print with its name as the source.
void GuardSite(ScriptRunner& r, const std::function<void()>& action) {
  try {
    action();
  } catch (const MarkletError& e) {
    r.world().log().Emit("error", ErrorJson(e.number(), e.what()), "Marklet1");
  }
}

void Pointer(ScriptRunner& r, const std::vector<Token>& a, const std::string& what) {
  if (a.size() != 3 && a.size() != 5) throw ScriptArgumentError("usage: about " + what + " X Y [BUTTON SHIFT]");
  Single x = static_cast<Single>(Number(a[1]));
  Single y = static_cast<Single>(Number(a[2]));
  Integer button = a.size() == 5 ? IntArg(a[3]) : (what == "move" ? 0 : 1);
  Integer shift = a.size() == 5 ? IntArg(a[4]) : 0;
  TraceForm& form = OpenDialog(r);
  GuardSite(r, [&] {
    form.Dispatch(kTextSite, [&](SiteControl& c) {
      if (what == "move") c.MouseMove(button, shift, x, y);
      else if (what == "down") c.MouseDown(button, shift, x, y);
      else c.MouseUp(button, shift, x, y);
    });
  });
}

void Simple(const std::vector<Token>& a, const char* usage) {
  if (a.size() != 1) throw ScriptArgumentError(std::string("usage: ") + usage);
}

}  // namespace

void AddFormCommands(ScriptRunner& runner) {
  runner.AddCommand("about", [](ScriptRunner& r, const std::vector<Token>& a) {
    if (a.empty()) throw ScriptArgumentError("usage: about move|down|up|click|leave|ok|close|get ...");
    const std::string& what = a[0].text;
    if (what == "move" || what == "down" || what == "up") {
      Pointer(r, a, what);
    } else if (what == "click") {
      Simple(a, "about click");
      TraceForm& form = OpenDialog(r);
      GuardSite(r, [&] { form.Dispatch(kTextSite, [](SiteControl& c) { c.Click(); }); });
    } else if (what == "leave") {
      Simple(a, "about leave");
      TraceForm& form = OpenDialog(r);
      HWND hwnd = form.SiteContainer(kTextSite).traceSurface().state().hwnd;
      r.world().windows().DeliverMouseLeave(hwnd);
    } else if (what == "ok") {
      Simple(a, "about ok");
      TraceForm& form = OpenDialog(r);
      r.Guard([&] { form.PressButton(u"btnOk"); });
    } else if (what == "close") {
      Simple(a, "about close");
      OpenDialog(r).CloseFromTitleBar();
    } else if (what == "get") {
      if (a.size() != 2) throw ScriptArgumentError("usage: about get PROPERTY");
      const MemberInfo* m = FindMember(a[1].value);
      if (!m || m->kind != MemberKind::Property) throw ScriptArgumentError("unknown property: " + a[1].text);
      TraceForm& form = OpenDialog(r);
      GuardSite(r, [&] {
        Variant v = form.Site(kTextSite).control().GetProperty(a[1].value);
        r.world().log().Emit("value", ValueJson(v, static_cast<int>(m->type)), "Marklet1");
      });
    } else {
      throw ScriptArgumentError("unknown about command: " + what);
    }
  });
}

}  // namespace marklet::trace

// Script commands that create, load, save and end the main control.
#include <memory>
#include <optional>

#include "host/error.h"
#include "platform/files/replace_file.h"
#include "platform/trace/bag_file.h"
#include "platform/trace/script_arguments.h"
#include "platform/trace/script_commands.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

void AddLifecycleCommands(ScriptRunner& runner) {
  runner.AddCommand("new", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "new");
    if (r.main().control()) throw ScriptArgumentError("a control exists already; `terminate` it first");
    r.main().CreateControl();
    Marklet& c = *r.main().control();
    r.main().Deliver("Initialize", [&] { c.Initialize(); });
    r.main().Deliver("InitProperties", [&] { c.InitProperties(); });
  });

  runner.AddCommand("load", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "load BAGFILE");
    if (r.main().control()) throw ScriptArgumentError("a control exists already; `terminate` it first");
    // The file is read whole before the control exists, so a bad file loads nothing.
    std::unique_ptr<PropertyBagFile> bag;
    try {
      bag = std::make_unique<PropertyBagFile>(PropertyBagFile::Load(a[0].value, r.main(), r.world().root()));
    } catch (const MarkletError& e) {
      r.PrintError(e.number(), e.what());
      return;
    }
    r.main().CreateControl();
    Marklet& c = *r.main().control();
    r.main().Deliver("Initialize", [&] { c.Initialize(); });
    r.main().Deliver("ReadProperties", [&] { ReadNamingSource(*bag, [&] { c.ReadProperties(*bag); }); });
  });

  runner.AddCommand("save", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 1, 1, "save BAGFILE");
    Marklet& c = r.control();
    // Under a root the file's folder is found (and held open) first, so a
    // file outside is refused before the control is asked for anything.
    std::optional<files::WriteTarget> target;
    if (r.world().fileRoot) {
      try {
        target = files::ResolveForWriting(U16ToUtf8(a[0].value), r.world().root());
      } catch (const MarkletError& e) {
        r.PrintError(e.number(), e.what());
        return;
      }
    }
    PropertyBagFile bag(r.main());
    r.main().Deliver("WriteProperties", [&] {
      c.WriteProperties(bag);
      if (target) files::ReplaceContents(*target, bag.Format());
      else bag.Save(a[0].value);
    });
  });

  runner.AddCommand("terminate", [](ScriptRunner& r, const std::vector<Token>& a) {
    Need(a, 0, 0, "terminate");
    Marklet& c = r.control();
    r.main().Deliver("Terminate", [&] { c.Terminate(); });
    r.main().DestroyControl();
  });
}

}  // namespace marklet::trace

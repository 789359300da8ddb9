// `marklet view`: one control in a resizable X11 window; every event it
// raises is printed as the JSON lines `marklet script` prints.
#include <X11/keysym.h>

#include <iostream>
#include <string>

#include "control/dispatch.h"
#include "host/error.h"
#include "platform/trace/json.h"
#include "platform/trace/script_runner.h"
#include "platform/x11/desktop_open.h"
#include "platform/x11/x11_form_host.h"
#include "platform/x11/x11_host.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/control_options.h"

namespace marklet::tools {

namespace {

void ViewUsage(std::ostream& out) {
  out << "usage: marklet view " << kControlOptionsUsage << " [--no-open]\n"
      << "Opens the control in a window and prints every event it raises. F1 opens About;\n"
         "clicking the More link shows the whole text. The About dialog's links open with\n"
         "xdg-open.\n"
      << kControlOptionsHelp
      << "  --no-open                 prints the About dialog's requests instead of opening them\n"
      << kControlOptionsNotes;
}

std::string EventJson(EventId id, const EventArgs& args) {
  return trace::JsonObject().Str("event", EventName(id)).Raw("args", trace::JsonArgs(args)).str();
}

}  // namespace

int RunView(int argc, char** argv) {
  ControlOptions options(480, 200);
  bool noOpen = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    try {
      if (options.Take(argc, argv, i)) continue;
      if (arg == "--no-open") {
        noOpen = true;
      } else if (arg == "-h" || arg == "--help") {
        ViewUsage(std::cout);
        return 0;
      } else {
        std::cerr << "marklet view: unknown option " << arg << "\n";
        ViewUsage(std::cerr);
        return 2;
      }
    } catch (const OptionError& e) {
      std::cerr << "marklet view: " << e.what() << "\n";
      return 2;
    } catch (const MarkletError& e) {
      std::cerr << "marklet view: error " << e.number() << ": " << e.what() << "\n";
      return 1;
    }
  }
  x11::ViewOptions window;
  window.raster = options.raster;
  window.widthPx = options.widthPx;
  window.heightPx = options.heightPx;
  window.cursorFile = AssetPath("cursors/hand.cur");

  try {
    x11::X11Host host(window);
    auto& container = host.container();
    container.ambientBackColor = 0x00FFFFFF;
    container.onError = [](const char* where, int number, const std::string& description) {
      std::cout << trace::JsonObject()
                       .Raw("error", trace::ErrorJson(number, description))
                       .Str("in", std::string_view(where))
                       .str()
                << std::endl;
    };
    container.onParse = [] { std::cout << "{\"parse\":true}" << std::endl; };
    // The About dialog: its steps, its tooltip and the links it opens, as the
    // trace container records them.
    x11::X11FormHost& forms = host.forms();
    forms.onError = container.onError;
    forms.onForm = [](const std::u16string& form, const std::string& op, const std::u16string& detail) {
      trace::JsonObject record;
      record.Str("op", op);
      if (op == "click") record.Str("name", detail);
      if (op == "close") record.Bool("available", detail == u"true");
      std::cout << trace::JsonObject().Raw("form", record.str()).Str("source", form).str() << std::endl;
    };
    forms.onTooltip = [](const std::u16string& site, const std::u16string& text) {
      std::cout << trace::JsonObject().Str("tooltip", text).Str("source", site).str() << std::endl;
    };
    forms.onShellExecute = [noOpen](const std::u16string& form, const std::string& operation, const std::string& file) {
      if (!noOpen && (operation.empty() || operation == "open") && x11::OpenWithDesktop(file)) return true;
      std::cout << trace::JsonObject()
                       .Raw("shell", trace::JsonObject().Str("op", operation).Str("file", file).str())
                       .Str("source", form)
                       .str()
                << std::endl;
      return true;
    };
    bool showAll = false;
    container.onEvent = [&](EventId id, EventArgs& args) {
      std::cout << EventJson(id, args) << std::endl;
      // The More link: this viewer shows the whole text by growing to it.
      if (id == EventId::OnLinkClick && args.size() == 2 && args[1].type() == VarType::String &&
          args[1].AsString() == u"!More") {
        showAll = true;
      }
    };
    SetUpControl(container, options, [](const std::string& warning) { std::cerr << "marklet view: " << warning << "\n"; });
    Marklet& control = *container.control();
    host.onHostKey = [&](unsigned long keysym) {
      if (keysym == XK_F1) {
        try {
          control.About();
        } catch (const MarkletError& e) {
          container.onError("About", e.number(), e.what());
        }
      }
    };
    host.onIdle = [&] {
      if (showAll) {
        showAll = false;
        control.SetShowMoreLink(false);
        control.SetAutoSizeHeight(true);
        container.Pump();
        auto& s = container.rasterSurface();
        host.ResizeWindow(s.DeviceWidth(), s.DeviceHeight());
      }
    };
    std::cout << trace::JsonObject().Num("window", static_cast<long long>(host.window())).str() << std::endl;
    host.Run();
  } catch (const MarkletError& e) {
    std::cerr << "marklet view: error " << e.number() << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace marklet::tools

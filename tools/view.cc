// `marklet view`: one control in a resizable X11 window; every event it
// raises is printed as the JSON lines `marklet script` prints.
#include <X11/keysym.h>

#include <iostream>
#include <string>
#include <vector>

#include "control/dispatch.h"
#include "host/error.h"
#include "platform/bag/text_property_bag.h"
#include "platform/trace/json.h"
#include "platform/trace/script_runner.h"
#include "platform/x11/desktop_open.h"
#include "platform/x11/x11_form_host.h"
#include "platform/x11/x11_host.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/scale_option.h"

namespace marklet::tools {

std::u16string DemoText();

namespace {

void ViewUsage(std::ostream& out) {
  out << "usage: marklet view [--text TEXT | --file FILE] [--raw] [--bag FILE] [--width PX] [--height PX]\n"
         "                    [--prop NAME=VALUE ...] [--tpp N] [--scale S] [--picture-root DIR] [--no-open]\n"
         "Opens the control in a window (the built-in demo when no text). F1 opens About;\n"
         "clicking the More link shows the whole text. The About dialog's links open with\n"
         "xdg-open; with --no-open, or without xdg-open, the request is printed instead.\n"
         "--scale S (1, 1.25, 1.5, 2 or 3) draws S screen pixels for each of the control's pixels;\n"
         "lines, links and the events' coordinates stay as at 1.\n"
      << "An explicit --height turns AutoSizeHeight off unless a --prop sets it.\n"
      << kTextOptionHelp;
}

std::string EventJson(EventId id, const EventArgs& args) {
  return trace::JsonObject().Str("event", EventName(id)).Raw("args", trace::JsonArgs(args)).str();
}

}  // namespace

int RunView(int argc, char** argv) {
  x11::ViewOptions options;
  options.cursorFile = AssetPath("cursors/hand.cur");
  TextOption text;
  bool noOpen = false;
  std::string bagFile;
  PropertySettings props;
  bool heightGiven = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) throw OptionError(arg + " needs a value");
      return argv[++i];
    };
    try {
      if (arg == "--text" || arg == "--file") {
        text.Set(arg, next());
      } else if (arg == "--raw") {
        text.SetRaw();
      } else if (arg == "--bag") {
        bagFile = next();
      } else if (arg == "--width") {
        options.widthPx = IntegerOption(arg, next(), 1, kMaxPixels);
      } else if (arg == "--height") {
        options.heightPx = IntegerOption(arg, next(), 1, kMaxPixels);
        heightGiven = true;
      } else if (arg == "--tpp") {
        options.raster.tppX = options.raster.tppY =
            static_cast<Single>(NumberOption(arg, next(), kMinTwipsPerPixel, kMaxTwipsPerPixel));
      } else if (arg == "--scale") {
        options.raster.scale = ScaleOption(arg, next());
      } else if (arg == "--picture-root") {
        options.raster.pictureRoot = next();
      } else if (arg == "--prop") {
        std::string p = next();
        auto eq = p.find('=');
        if (eq == std::string::npos) throw OptionError("--prop takes NAME=VALUE");
        props.emplace_back(p.substr(0, eq), p.substr(eq + 1));
      } else if (arg == "--no-open") {
        noOpen = true;
      } else if (arg == "-h" || arg == "--help") {
        ViewUsage(std::cout);
        return 0;
      } else {
        throw OptionError("unknown option " + arg);
      }
    } catch (const OptionError& e) {
      std::cerr << "marklet view: " << e.what() << "\n";
      ViewUsage(std::cerr);
      return 2;
    } catch (const MarkletError& e) {
      std::cerr << "marklet view: error " << e.number() << ": " << e.what() << "\n";
      return 1;
    }
  }

  try {
    x11::X11Host host(options);
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
    if (!bagFile.empty()) {
      bag::TextPropertyBag::Hooks hooks;
      hooks.loadPicture = [&](const std::u16string& path) { return container.LoadPicture(path); };
      bag::TextPropertyBag bag = bag::TextPropertyBag::LoadFile(Utf8ToU16(bagFile), hooks);
      container.CreateControl(&bag);
    } else {
      container.CreateControl();
    }
    Marklet& control = *container.control();
    ApplyProperties(control, WithHeightKept(props, heightGiven));
    if (text.given() || bagFile.empty()) control.SetText(text.given() ? text.Text() : DemoText());
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

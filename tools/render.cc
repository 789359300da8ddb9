// `marklet render`: draws a control to a PNG exactly as the control paints it.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "control/dispatch.h"
#include "host/error.h"
#include "platform/bag/text_property_bag.h"
#include "platform/raster/raster_container.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/png_output.h"
#include "tools/scale_option.h"

namespace marklet::tools {

namespace {

void RenderUsage(std::ostream& out) {
  out << "usage: marklet render [--text TEXT | --file FILE] [--raw] [--bag FILE] [--width PX] [--height PX]\n"
         "                      [--prop NAME=VALUE ...] [--tpp N] [--scale S] [--picture-root DIR] -o OUT.png\n"
         "With no text, renders the built-in demo. A --text or --file text replaces the bag's Text.\n"
         "--scale S (1, 1.25, 1.5, 2 or 3) draws S device pixels for each of the control's pixels:\n"
         "the PNG is S times the size, with text drawn at that size; lines and links stay as at 1.\n"
      << "An explicit --height turns AutoSizeHeight off unless a --prop sets it.\n"
      << kTextOptionHelp;
}

}  // namespace

std::u16string DemoText() {
  std::string leaf = AssetPath("demo/leaf.png");
  std::string text =
      "#f<s:14>&bMarklet\\b\\f, a label that reads #f<c:&H008000>markup#f<c:0>.\\n"
      "Style tags: &bbold\\b, &uunderline\\u, &iitalic\\i and #f<f:Courier New>another font\\f.\\n"
      "Colours: #f<c:255>red#f<c:&HC00000>, blue\\f and sizes #f<s:12>twelve\\f, #f<s:6>six\\f.\\n"
      "Links: #ehome<the home page> and #ehelp<a much longer help link>; a picture #ileaf<" + leaf +
      ":0:-2> that is a link too.\\n"
      "#m<24>A margin change indents the lines that follow: this sentence is long enough to wrap "
      "onto a second line at the demo's width.\\n"
      "#m<0>Tabs:\\tone\\ttwo, and a hash escape: \\s1.";
  return Utf8ToU16(text);
}

int RunRender(int argc, char** argv) {
  TextOption text;
  std::string bagFile, output;
  int widthPx = 480, heightPx = 160;
  raster::RasterOptions options;
  PropertySettings props;
  bool heightGiven = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << "marklet render: " << arg << " needs a value\n";
        std::exit(2);
      }
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
        widthPx = IntegerOption(arg, next(), 1, kMaxPixels);
      } else if (arg == "--height") {
        heightPx = IntegerOption(arg, next(), 1, kMaxPixels);
        heightGiven = true;
      } else if (arg == "--tpp") {
        options.tppX = options.tppY =
            static_cast<Single>(NumberOption(arg, next(), kMinTwipsPerPixel, kMaxTwipsPerPixel));
      } else if (arg == "--scale") {
        options.scale = ScaleOption(arg, next());
      } else if (arg == "--picture-root") {
        options.pictureRoot = next();
      } else if (arg == "--prop") {
        std::string p = next();
        auto eq = p.find('=');
        if (eq == std::string::npos) {
          std::cerr << "marklet render: --prop takes NAME=VALUE\n";
          return 2;
        }
        props.emplace_back(p.substr(0, eq), p.substr(eq + 1));
      } else if (arg == "-o" || arg == "--output") {
        output = next();
      } else if (arg == "-h" || arg == "--help") {
        RenderUsage(std::cout);
        return 0;
      } else {
        std::cerr << "marklet render: unknown option " << arg << "\n";
        RenderUsage(std::cerr);
        return 2;
      }
    } catch (const OptionError& e) {
      std::cerr << "marklet render: " << e.what() << "\n";
      return 2;
    } catch (const MarkletError& e) {
      std::cerr << "marklet render: error " << e.number() << ": " << e.what() << "\n";
      return 1;
    }
  }
  if (output.empty()) {
    RenderUsage(std::cerr);
    return 2;
  }
  int status = 0;
  raster::RasterContainer container(options);
  container.onError = [&](const char* notification, int number, const std::string& description) {
    std::cerr << "marklet render: " << notification << ": error " << number << ": " << description << "\n";
    status = 1;
  };
  // A value out of its range is ignored by the control, as in a container:
  // a warning names it, and the render goes on.
  std::string applying;
  container.onMessageBox = [&](const std::u16string& prompt, const std::u16string&) {
    if (applying.empty()) {
      std::cerr << "marklet render: " << U16ToUtf8(prompt) << "\n";
      return;
    }
    std::string name = applying.substr(0, applying.find('='));
    std::string range = RangeOf(name);
    std::cerr << "marklet render: warning: --prop " << applying << " is out of range"
              << (range.empty() ? "" : "; " + name + " takes " + range) << "; the control ignored it\n";
  };
  try {
    // At --scale above 1 a width the option allows can still pass the
    // surface's limit in device pixels.
    container.rasterSurface().SetSize(widthPx * options.tppX, heightPx * options.tppY);
  } catch (const MarkletError& e) {
    std::cerr << "marklet render: error " << e.number() << ": " << e.what() << "\n";
    return 1;
  }
  container.ambientBackColor = 0x00FFFFFF;
  if (!bagFile.empty()) {
    // A saved control: its properties come from the bag (the file is read
    // whole first, so a bad file loads nothing).
    try {
      bag::TextPropertyBag::Hooks hooks;
      hooks.loadPicture = [&](const std::u16string& path) { return container.LoadPicture(path); };
      bag::TextPropertyBag bag = bag::TextPropertyBag::LoadFile(Utf8ToU16(bagFile), hooks);
      container.CreateControl(&bag);
    } catch (const MarkletError& e) {
      std::cerr << "marklet render: " << bagFile << ": error " << e.number() << ": " << e.what() << "\n";
      return 1;
    }
  } else {
    container.CreateControl();
  }
  Marklet& control = *container.control();
  try {
    ApplyProperties(control, WithHeightKept(props, heightGiven), &applying);
    if (text.given() || bagFile.empty()) {
      Variant t = Variant::FromString(text.given() ? text.Text() : DemoText());
      Invoke(control, u"Text", InvokeKind::Put, std::span<const Variant>(&t, 1));
    }
    // The first paint parses what was loaded; a queued repaint follows.
    container.QueuePaint();
    container.Pump();
    WritePngOutput(container, output);
    if (const auto& hold = container.rasterSurface().heightHold()) {
      std::cerr << "marklet render: warning: the control asked for " << hold->asked << " px of height; held at "
                << hold->held << " px by the surface budget of " << (raster::kSurfaceBudgetPixels >> 20)
                << " Mpx (at most " << raster::kMaxSurfaceSide << " px a side); the text below is cut off\n";
    }
  } catch (const MarkletError& e) {
    std::cerr << "marklet render: error " << e.number() << ": " << e.what() << "\n";
    return 1;
  }
  return status;
}

}  // namespace marklet::tools

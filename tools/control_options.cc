#include "tools/control_options.h"

#include <memory>
#include <span>

#include "control/dispatch.h"
#include "host/error.h"
#include "host/font_size.h"
#include "platform/bag/text_property_bag.h"
#include "tools/scale_option.h"

namespace marklet::tools {

namespace {

// The surface values a designer sets on the control's surface, which no
// property of the control reaches (BackStyle) or reaches only through the
// control's own rules (the others).
struct SurfaceValue {
  const char* name;
  const char* range;
  void (*set)(raster::RasterSurface& surface, const Variant& value);
};

constexpr SurfaceValue kSurfaceValues[] = {
    {"BackStyle", "0 (transparent) or 1 (opaque)",
     [](raster::RasterSurface& s, const Variant& v) { s.SetBackStyle(v.ToInteger()); }},
    {"ForeColor", "any OLE colour",
     [](raster::RasterSurface& s, const Variant& v) { s.SetForeColor(static_cast<OleColor>(v.ToLong())); }},
    {"Appearance", "0 (flat) or 1 (sunken 3-D border)",
     [](raster::RasterSurface& s, const Variant& v) { s.SetAppearance(v.ToInteger()); }},
    {"BorderStyle", "0 (no border) or 1 (a border)",
     [](raster::RasterSurface& s, const Variant& v) { s.SetBorderStyle(v.ToInteger()); }},
    {"Enabled", "True or False", [](raster::RasterSurface& s, const Variant& v) { s.SetEnabled(v.ToBool()); }},
};

const SurfaceValue* FindSurfaceValue(const std::string& name) {
  for (const SurfaceValue& value : kSurfaceValues)
    if (SameName(name, value.name)) return &value;
  return nullptr;
}

std::pair<std::string, std::string> Setting(const std::string& option, const std::string& text) {
  auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) throw OptionError(option + " takes NAME=VALUE, not '" + text + "'");
  return {text.substr(0, eq), text.substr(eq + 1)};
}

// The --prop being set while the control may show its range message, so the
// warning can name it. (A bag's values are clamped into range as they load,
// without the message.)
struct SettingInProgress {
  std::string setting;  // "--prop LeftMargin=3000"
  std::string name;     // the property, for its range

  std::string Warning(const std::u16string& prompt) const {
    if (setting.empty()) return "warning: " + U16ToUtf8(prompt);
    std::string range = RangeOf(name);
    return "warning: " + setting + " is out of range" + (range.empty() ? "" : "; " + name + " takes " + range) +
           "; the control ignored it";
  }
};

std::string Rethrown(const MarkletError& e, const std::string& setting, const std::string& name,
                     const std::string& range) {
  return std::string(e.what()) + " (" + setting + (range.empty() ? "" : "; " + name + " takes " + range) + ")";
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

const char kControlOptionsUsage[] =
    "[--text TEXT | --file FILE] [--raw] [--bag FILE] [--width PX] [--height PX]\n"
    "       [--prop NAME=VALUE ...] [--surface NAME=VALUE ...] [--font NAME SIZE [bold] [italic]]\n"
    "       [--tpp N] [--scale S] [--picture-root DIR]";

const char kControlOptionsHelp[] =
    "  --text TEXT, --file FILE  the markup to show (FILE - is standard input); with neither,\n"
    "                            and no --bag, the built-in demo\n"
    "  --raw                     keeps the text's line ends as written (see below)\n"
    "  --bag FILE                a saved control (Key = Value lines); a --text or --file text\n"
    "                            replaces its Text\n"
    "  --width PX, --height PX   the control's size in its pixels (1 to 16384); an explicit --height\n"
    "                            turns AutoSizeHeight off unless a --prop sets it\n"
    "  --prop NAME=VALUE         sets a property as a script does; VALUE may also be written as in a\n"
    "                            bag file: &HFF&, &O17, CByte(7), True, -1, \"quoted\"\n"
    "  --surface NAME=VALUE      sets a value of the control's surface as a designer does: BackStyle\n"
    "                            (0 transparent, 1 opaque), ForeColor (the pen before the control\n"
    "                            paints; text takes --prop ForeColor), Appearance, BorderStyle, Enabled\n"
    "  --font NAME SIZE [bold] [italic]  the control's font (SIZE in points, 1 to 2048); runs take\n"
    "                            its name and size, while &b and &i decide their weight and slant\n"
    "  --tpp N                   twips per pixel of the screen (1 to 1440; 15 is 96 dpi)\n"
    "  --scale S                 1, 1.25, 1.5, 2 or 3 device pixels for each of the control's pixels:\n"
    "                            text is drawn at that size; lines, links and events stay as at 1\n"
    "  --picture-root DIR        pictures must lie inside DIR (else error 53)\n";

const char kControlOptionsNotes[] =
    "Line ends in --text and --file (LF, CR LF or a lone CR) all become the CR LF the control breaks\n"
    "lines at; --raw passes the text exactly as written.\n"
    "Settings are made in this order: --bag, --surface, --font, --prop, then the text. A value out of\n"
    "its range is ignored by the control, as in a container: a warning names it and the command goes on.\n";

bool ControlOptions::Take(int argc, char** argv, int& i) {
  const std::string arg = argv[i];
  auto next = [&]() -> std::string {
    if (i + 1 >= argc) throw OptionError(arg + " needs a value");
    return argv[++i];
  };
  if (arg == "--text" || arg == "--file") {
    text.Set(arg, next());
  } else if (arg == "--raw") {
    text.SetRaw();
  } else if (arg == "--bag") {
    if (!bagFile.empty()) throw OptionError("--bag is given twice; give one saved control");
    bagFile = next();
    if (bagFile.empty()) throw OptionError("--bag takes a file name");
  } else if (arg == "--width") {
    widthPx = IntegerOption(arg, next(), 1, kMaxPixels);
  } else if (arg == "--height") {
    heightPx = IntegerOption(arg, next(), 1, kMaxPixels);
    heightGiven = true;
  } else if (arg == "--tpp") {
    raster.tppX = raster.tppY = static_cast<Single>(NumberOption(arg, next(), kMinTwipsPerPixel, kMaxTwipsPerPixel));
  } else if (arg == "--scale") {
    raster.scale = ScaleOption(arg, next());
  } else if (arg == "--picture-root") {
    raster.pictureRoot = next();
  } else if (arg == "--prop") {
    props.push_back(Setting(arg, next()));
  } else if (arg == "--surface") {
    auto setting = Setting(arg, next());
    if (!FindSurfaceValue(setting.first)) {
      throw OptionError("--surface takes BackStyle, ForeColor, Appearance, BorderStyle or Enabled, not '" +
                        setting.first + "'");
    }
    surface.push_back(std::move(setting));
  } else if (arg == "--font") {
    if (font) throw OptionError("--font is given twice; give one font");
    FontDesc f;
    std::string name = next();
    if (name.empty() || i + 1 >= argc) throw OptionError("--font takes a font name, then a size in points");
    try {
      f.name = Utf8ToU16(name);
    } catch (const MarkletError& e) {
      throw OptionError("--font takes a font name in UTF-8 (" + std::string(e.what()) + ")");
    }
    f.size = static_cast<Single>(NumberOption("--font's size", next(), 1, kMaxFontPoints));
    // Then any of the two style words, in either order.
    while (i + 1 < argc && (SameName(argv[i + 1], "bold") || SameName(argv[i + 1], "italic"))) {
      (SameName(argv[++i], "bold") ? f.bold : f.italic) = true;
    }
    f.weight = f.bold ? 700 : 400;
    font = f;
  } else {
    return false;
  }
  return true;
}

void SetUpControl(raster::RasterContainer& container, const ControlOptions& options,
                  const std::function<void(const std::string&)>& warn) {
  auto inProgress = std::make_shared<SettingInProgress>();
  container.onMessageBox = [inProgress, warn](const std::u16string& prompt, const std::u16string&) {
    warn(inProgress->Warning(prompt));
  };
  if (!options.bagFile.empty()) {
    // The file is read whole first, so a bad file loads nothing.
    bag::TextPropertyBag::Hooks hooks;
    hooks.loadPicture = [&](const std::u16string& path) { return container.LoadPicture(path); };
    bag::TextPropertyBag bag = bag::TextPropertyBag::LoadFile(Utf8ToU16(options.bagFile), hooks);
    container.CreateControl(&bag);
  } else {
    container.CreateControl();
  }
  Marklet& control = *container.control();

  for (const auto& [name, value] : options.surface) {
    const SurfaceValue& target = *FindSurfaceValue(name);
    try {
      target.set(container.rasterSurface(), CommandLineValue(value));
    } catch (const MarkletError& e) {
      throw MarkletError(e.number(), Rethrown(e, "--surface " + name + "=" + value, target.name, target.range));
    }
  }
  if (options.font) {
    Variant font = Variant::FromFont(*options.font);
    try {
      Invoke(control, u"Font", InvokeKind::Put, std::span<const Variant>(&font, 1));
    } catch (const MarkletError& e) {
      throw MarkletError(e.number(), Rethrown(e, "--font " + U16ToUtf8(options.font->name), "", ""));
    }
  }
  for (const auto& [name, value] : WithHeightKept(options.props, options.heightGiven)) {
    inProgress->setting = "--prop " + name + "=" + value;
    inProgress->name = name;
    try {
      ApplyProperty(control, name, value);
    } catch (const MarkletError& e) {
      // No property of the control is named BackStyle: it is the surface's.
      if (e.number() != static_cast<int>(ErrorNumber::NotSupported) || !FindSurfaceValue(name)) throw;
      throw MarkletError(e.number(), std::string(e.what()) + "; " + name + " is a value of the surface: give --surface " +
                                         name + "=" + value);
    }
  }
  inProgress->setting.clear();
  if (options.text.given() || options.bagFile.empty()) {
    Variant t = Variant::FromString(options.text.given() ? options.text.Text() : DemoText());
    Invoke(control, u"Text", InvokeKind::Put, std::span<const Variant>(&t, 1));
  }
}

}  // namespace marklet::tools

// marklet-win: one control in a window on Windows. Every event the control
// raises is printed as the JSON lines `marklet script` prints, one line each,
// flushed, together with the window handles, the window-system calls the
// control makes and, on request, the link boxes after each paint.
#include "platform/win32/win_api.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "control/dispatch.h"
#include "host/error.h"
#include "platform/trace/json.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_window_system.h"

namespace marklet::win32 {

namespace {

constexpr char kUsage[] =
    "usage: marklet-win [--text TEXT | --file FILE] [--width PX] [--height PX] [--x PX] [--y PX]\n"
    "                   [--title TEXT] [--prop NAME=VALUE ...] [--no-shell] [--dump-after-paint]\n"
    "                   [--exit-after-paint] [--about] [--point-at KEY]\n"
    "Shows one control in a window and prints its events as JSON lines. F1 opens About.\n"
    "  --prop NAME=VALUE   sets a property before the text (True/False, numbers, &H hex, else a string)\n"
    "  --no-shell          ShellExecuteA is printed but not performed\n"
    "  --dump-after-paint  after each paint prints the link boxes in the window's client pixels\n"
    "  --exit-after-paint  quits after the first paint\n"
    "  --about             opens the About dialog after the first paint\n"
    "  --point-at KEY      puts the pointer on the link with that key after the first paint and\n"
    "                      prints {\"pointAt\":[x,y]} (screen pixels)\n";

void Emit(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string HandleJson(std::uintptr_t value) { return std::to_string(static_cast<unsigned long long>(value)); }

std::string EventJson(EventId id, const EventArgs& args) {
  return trace::JsonObject().Str("event", EventName(id)).Raw("args", trace::JsonArgs(args)).str();
}

std::string ErrorLine(const char* where, int number, const std::string& description) {
  std::string error = trace::JsonObject().Num("number", number).Str("description", description).str();
  return trace::JsonObject().Raw("error", error).Str("in", std::string_view(where)).str();
}

// A value as the command line gives it: booleans, numbers (&H hex too), else text.
Variant ValueOf(const std::u16string& text) {
  if (text == u"True" || text == u"true") return Variant::FromBool(true);
  if (text == u"False" || text == u"false") return Variant::FromBool(false);
  double v = 0;
  if (!ParseNumericString(text, v)) return Variant::FromString(text);
  if (text.size() > 2 && text[0] == u'&' && (text[1] == u'H' || text[1] == u'h')) {
    return Variant::FromLong(static_cast<Long>(static_cast<std::uint32_t>(v)));
  }
  if (v == static_cast<double>(static_cast<long long>(v)) && v >= -2147483648.0 && v <= 4294967295.0) {
    if (v > 2147483647.0) return Variant::FromLong(static_cast<Long>(static_cast<std::uint32_t>(v)));
    return Variant::FromLong(static_cast<Long>(v));
  }
  return Variant::FromDouble(v);
}

std::string Box(double tppX, double tppY, int border, Single left, Single top, Single right, Single bottom) {
  char text[96];
  std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", border + std::lround(left / tppX),
                border + std::lround(top / tppY), border + std::lround(right / tppX),
                border + std::lround(bottom / tppY));
  return text;
}

// The link boxes and segments the last paint recorded, in the control
// window's client pixels (right and bottom exclusive).
std::string PaintJson(Win32Container& container) {
  Marklet& control = *container.control();
  GdiSurface& surface = container.gdiSurface();
  double tx = surface.TppX(), ty = surface.TppY();
  int b = surface.BorderPixels();
  std::string links = "[";
  const auto& table = control.Links();
  for (Integer i = 0; i <= control.LinkCount() && static_cast<std::size_t>(i) < table.size(); ++i) {
    const LinkRecord& link = table[i];
    if (i) links += ",";
    links += trace::JsonObject()
                 .Num("index", i)
                 .Str("key", link.LinkKey)
                 .Str("text", link.LinkText)
                 .Bool("image", link.IsImage)
                 .Raw("box", Box(tx, ty, b, link.Left, link.Top, link.Right, link.Bottom))
                 .str();
  }
  links += "]";
  std::string segments = "[";
  for (std::size_t i = 0; i < control.LinkSegments().size(); ++i) {
    const LinkSegment& s = control.LinkSegments()[i];
    if (i) segments += ",";
    segments += trace::JsonObject()
                    .Num("link", s.LinkIndex)
                    .Str("text", s.Text)
                    .Raw("box", Box(tx, ty, b, s.Left, s.Top, s.Right, s.Bottom))
                    .str();
  }
  segments += "]";
  std::string paint = trace::JsonObject()
                          .Num("width", surface.PixelWidth())
                          .Num("height", surface.PixelHeight())
                          .Num("border", b)
                          .Bool("more", control.MoreLinkShown())
                          .Raw("links", links)
                          .Raw("segments", segments)
                          .str();
  return trace::JsonObject().Raw("paint", paint).str();
}

struct Options {
  std::u16string text = u"Marklet on &bWindows\\b: #ehome<a link>, #f<c:&H008000>green\\f and "
                        u"&uunderlined\\u text.\\nPress F1 for #eabout<About>.";
  HostOptions host;
  std::vector<std::pair<std::u16string, std::u16string>> props;
  bool noShell = false, dumpAfterPaint = false, exitAfterPaint = false, about = false;
  std::u16string pointAt;
};

// Puts the pointer on the middle of the link with the key, when there is one.
void PointAt(Win32Container& container, const std::u16string& key) {
  Marklet& control = *container.control();
  GdiSurface& surface = container.gdiSurface();
  for (Integer i = 0; i <= control.LinkCount() && static_cast<std::size_t>(i) < control.Links().size(); ++i) {
    const LinkRecord& link = control.Links()[i];
    if (link.LinkKey != key) continue;
    int b = surface.BorderPixels();
    POINT at{b + static_cast<LONG>(std::lround((link.Left + link.Right) / 2 / surface.TppX())),
             b + static_cast<LONG>(std::lround((link.Top + link.Bottom) / 2 / surface.TppY()))};
    ::ClientToScreen(container.window(), &at);
    ::SetCursorPos(at.x, at.y);
    char point[48];
    std::snprintf(point, sizeof point, "[%ld,%ld]", static_cast<long>(at.x), static_cast<long>(at.y));
    Emit(trace::JsonObject().Raw("pointAt", point).str());
    return;
  }
}

int Usage(const std::string& problem) {
  std::cerr << "marklet-win: " << problem << "\n" << kUsage;
  return 2;
}

}  // namespace

int RunHost() {
  // The command line as UTF-16, so texts keep every character.
  int argc = 0;
  LPWSTR* argvW = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::u16string> args;
  for (int i = 1; i < argc; ++i) args.push_back(FromWide(argvW[i]));
  ::LocalFree(argvW);

  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = U16ToUtf8(args[i]);
    auto next = [&]() -> const std::u16string* { return i + 1 < args.size() ? &args[++i] : nullptr; };
    auto number = [&](int& out) {
      const std::u16string* v = next();
      if (!v) return false;
      try {
        out = std::stoi(U16ToUtf8(*v));
      } catch (const std::exception&) {
        return false;
      }
      return true;
    };
    if (arg == "--text") {
      const std::u16string* v = next();
      if (!v) return Usage("--text needs a value");
      options.text = *v;
    } else if (arg == "--file") {
      const std::u16string* v = next();
      if (!v) return Usage("--file needs a value");
      std::ifstream in(reinterpret_cast<const wchar_t*>(v->c_str()), std::ios::binary);
      if (!in) return Usage("cannot open " + U16ToUtf8(*v));
      std::stringstream ss;
      ss << in.rdbuf();
      try {
        options.text = Utf8ToU16(ss.str());
      } catch (const MarkletError& e) {
        return Usage(e.what());
      }
    } else if (arg == "--width") {
      if (!number(options.host.widthPx)) return Usage("--width needs a number");
    } else if (arg == "--height") {
      if (!number(options.host.heightPx)) return Usage("--height needs a number");
    } else if (arg == "--x") {
      if (!number(options.host.x)) return Usage("--x needs a number");
    } else if (arg == "--y") {
      if (!number(options.host.y)) return Usage("--y needs a number");
    } else if (arg == "--title") {
      const std::u16string* v = next();
      if (!v) return Usage("--title needs a value");
      options.host.title = *v;
    } else if (arg == "--prop") {
      const std::u16string* v = next();
      auto eq = v ? v->find(u'=') : std::u16string::npos;
      if (eq == std::u16string::npos) return Usage("--prop takes NAME=VALUE");
      options.props.emplace_back(v->substr(0, eq), v->substr(eq + 1));
    } else if (arg == "--no-shell") {
      options.noShell = true;
    } else if (arg == "--dump-after-paint") {
      options.dumpAfterPaint = true;
    } else if (arg == "--exit-after-paint") {
      options.exitAfterPaint = true;
    } else if (arg == "--about") {
      options.about = true;
    } else if (arg == "--point-at") {
      const std::u16string* v = next();
      if (!v) return Usage("--point-at needs a link key");
      options.pointAt = *v;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else {
      return Usage("unknown option " + arg);
    }
  }
  if (options.host.widthPx < 1 || options.host.heightPx < 1 || options.host.widthPx > 16384 ||
      options.host.heightPx > 16384) {
    return Usage("width and height must be 1..16384 pixels");
  }

  try {
    Win32WindowSystem& windows = Win32WindowSystem::Instance();
    windows.shellExecuteEnabled = !options.noShell;
    windows.onTrackMouseEvent = [](HWND hwnd, bool ok) {
      Emit(trace::JsonObject().Str("call", "TrackMouseEvent").Raw("hwnd", HandleJson(hwnd)).Bool("ok", ok).str());
    };
    windows.onRemoveMenu = [](HMENU, UINT position, UINT flags, bool ok) {
      Emit(trace::JsonObject()
               .Str("call", "RemoveMenu")
               .Num("position", position)
               .Num("flags", flags)
               .Bool("ok", ok)
               .str());
    };
    windows.onShellExecute = [](HWND hwnd, const std::string& operation, const std::string& file, LONG_PTR result) {
      Emit(trace::JsonObject()
               .Str("call", "ShellExecuteA")
               .Raw("hwnd", HandleJson(hwnd))
               .Str("operation", operation)
               .Str("file", file)
               .Num("result", result)
               .str());
    };

    Win32Host host(options.host);
    Win32Container& container = host.container();
    container.onError = [](const char* where, int number, const std::string& description) {
      Emit(ErrorLine(where, number, description));
    };
    container.onParse = [] { Emit("{\"parse\":true}"); };
    container.onMessageBox = [](const std::u16string& prompt, const std::u16string& title, int buttons) {
      Emit(trace::JsonObject()
               .Raw("messageBox",
                    trace::JsonObject().Str("prompt", prompt).Str("title", title).Num("buttons", buttons).str())
               .str());
    };
    bool aboutPending = options.about;
    bool pointPending = !options.pointAt.empty();
    constexpr UINT kRunAbout = WM_APP + 1;
    constexpr UINT_PTR kPointTimer = 1;
    container.onEvent = [&](EventId id, EventArgs& args) {
      Emit(EventJson(id, args));
      // F1 asks for About once the key's events have returned.
      if (id == EventId::KeyDown && !args.empty() && args[0].ToInteger() == VK_F1) {
        ::PostMessageW(host.frame(), kRunAbout, 0, 0);
      }
    };
    container.onPainted = [&] {
      if (options.dumpAfterPaint && container.control()) Emit(PaintJson(container));
      // The pointer goes to the link a little later, once the moves that
      // showing the window causes have come.
      if (pointPending) {
        pointPending = false;
        ::SetTimer(host.frame(), kPointTimer, 500, nullptr);
      }
      if (aboutPending) {
        aboutPending = false;
        ::PostMessageW(host.frame(), kRunAbout, 0, 0);
      }
      if (options.exitAfterPaint) host.Quit(0);
    };

    container.CreateControl();
    Marklet& control = *container.control();
    for (const auto& [name, value] : options.props) {
      Variant v = ValueOf(value);
      try {
        Invoke(control, name, InvokeKind::Put, std::span<const Variant>(&v, 1));
      } catch (const MarkletError& e) {
        Emit(ErrorLine("--prop", e.number(), e.what()));
      }
    }
    try {
      control.SetText(options.text);
    } catch (const MarkletError& e) {
      Emit(ErrorLine("Text", e.number(), e.what()));
    }

    HCURSOR hand = ::LoadCursorW(ResourceModule(), MAKEINTRESOURCEW(1));
    Emit(trace::JsonObject()
             .Raw("window", HandleJson(Handle(container.window())))
             .Raw("frame", HandleJson(Handle(host.frame())))
             .Raw("handCursor", HandleJson(reinterpret_cast<std::uintptr_t>(hand)))
             .str());
    host.Show();

    MSG msg;
    int code = 0;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      if (msg.message == WM_TIMER && msg.hwnd == host.frame() && msg.wParam == kPointTimer) {
        ::KillTimer(host.frame(), kPointTimer);
        if (container.control()) PointAt(container, options.pointAt);
        continue;
      }
      if (msg.message == kRunAbout && msg.hwnd == host.frame()) {
        if (container.control()) {
          try {
            container.control()->About();
          } catch (const MarkletError& e) {
            Emit(ErrorLine("About", e.number(), e.what()));
          }
        }
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    code = static_cast<int>(msg.wParam);
    return code;
  } catch (const MarkletError& e) {
    std::cerr << "marklet-win: error " << e.number() << ": " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "marklet-win: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace marklet::win32

// COM from the start: pictures load through it, and a screen reader in
// another process reaches the control's accessible object through it.
int main() {
  ::OleInitialize(nullptr);
  int code = marklet::win32::RunHost();
  ::OleUninitialize();
  return code;
}

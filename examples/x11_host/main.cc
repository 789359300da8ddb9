// Shows one Marklet in an X11 window; its links open with the desktop's
// opener. With --once it paints the window once and exits (for a check
// without a person at the screen).
#include <cstring>
#include <iostream>

#include "control/marklet.h"
#include "host/error.h"
#include "host/values.h"
#include "platform/x11/desktop_open.h"
#include "platform/x11/x11_host.h"

int main(int argc, char** argv) {
  bool once = argc > 1 && std::strcmp(argv[1], "--once") == 0;
  try {
    marklet::x11::ViewOptions options;
    options.widthPx = 360;
    options.heightPx = 80;
    options.title = "Marklet example";
    marklet::x11::X11Host host(options);
    auto& container = host.container();
    container.onEvent = [](marklet::EventId id, marklet::EventArgs& args) {
      std::cout << "event " << marklet::EventName(id) << "\n";
      // A link's target arrives as the last argument.
      if (id == marklet::EventId::OnLinkClick && !args.empty() &&
          args.back().type() == marklet::VarType::String) {
        std::string target = marklet::U16ToUtf8(args.back().AsString());
        if (target.starts_with("https://")) marklet::x11::OpenWithDesktop(target);
      }
    };
    container.CreateControl();
    container.control()->SetText(u"Hello from &bMarklet\\b in a window: #ehttps://example.org<a link>.");

    // The first idle round comes before anything was shown; the second after
    // the window's first events (mapped, exposed), when the paint is on screen.
    int idleRounds = 0;
    if (once) {
      host.onIdle = [&] {
        if (++idleRounds == 2) host.Quit();
      };
    }
    host.Run();
    if (once) {
      auto& surface = container.rasterSurface();
      std::cout << "painted " << surface.PixelWidth() << "x" << surface.PixelHeight() << "\n";
    }
  } catch (const marklet::MarkletError& e) {
    std::cerr << "error " << e.number() << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}

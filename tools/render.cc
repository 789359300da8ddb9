// `marklet render`: draws a control to a PNG exactly as the control paints it.
#include <cstdlib>
#include <iostream>
#include <string>

#include "host/error.h"
#include "platform/raster/raster_container.h"
#include "tools/arguments.h"
#include "tools/commands.h"
#include "tools/control_options.h"
#include "tools/png_output.h"

namespace marklet::tools {

namespace {

void RenderUsage(std::ostream& out) {
  out << "usage: marklet render " << kControlOptionsUsage << " -o OUT.png\n"
      << "Draws the control to a PNG exactly as it paints; with --scale S the PNG is S times the size.\n"
      << kControlOptionsHelp
      << "  -o OUT.png                the PNG to write, replaced whole (its path is printed); - writes it\n"
         "                            to standard output and nothing else\n"
      << kControlOptionsNotes;
}

}  // namespace

int RunRender(int argc, char** argv) {
  ControlOptions options(480, 160);
  std::string output;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    try {
      if (options.Take(argc, argv, i)) continue;
      if (arg == "-o" || arg == "--output") {
        if (i + 1 >= argc) throw OptionError(arg + " needs a value");
        output = argv[++i];
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
  raster::RasterContainer container(options.raster);
  container.onError = [&](const char* notification, int number, const std::string& description) {
    std::cerr << "marklet render: " << notification << ": error " << number << ": " << description << "\n";
    status = 1;
  };
  try {
    // At --scale above 1 a width the option allows can still pass the
    // surface's limit in device pixels.
    container.rasterSurface().SetSize(options.widthPx * options.raster.tppX, options.heightPx * options.raster.tppY);
    container.ambientBackColor = 0x00FFFFFF;
    SetUpControl(container, options, [](const std::string& warning) { std::cerr << "marklet render: " << warning << "\n"; });
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

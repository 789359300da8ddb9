// Hosts one Marklet on the raster surface, sets a text and writes a PNG.
#include <iostream>

#include "control/marklet.h"
#include "host/error.h"
#include "platform/raster/raster_container.h"

int main(int argc, char** argv) {
  const char* out = argc > 1 ? argv[1] : "example.png";
  marklet::raster::RasterContainer container;
  container.rasterSurface().SetSize(300 * 15, 60 * 15);
  container.onEvent = [](marklet::EventId id, marklet::EventArgs&) {
    std::cout << "event " << marklet::EventName(id) << "\n";
  };
  container.CreateControl();
  try {
    container.control()->SetText(u"Hello from &bMarklet\\b: #ehome<a link>");
    container.Pump();
    container.WritePng(out);
  } catch (const marklet::MarkletError& e) {
    std::cerr << "error " << e.number() << ": " << e.what() << "\n";
    return 1;
  }
  std::cout << out << "\n";
  return 0;
}

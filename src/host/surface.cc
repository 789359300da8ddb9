#include "host/surface.h"

#include "host/error.h"

namespace marklet {

namespace {

double TwipsPer(ScaleMode mode, double twipsPerPixel) {
  switch (mode) {
    case ScaleMode::Twips: return 1.0;
    case ScaleMode::Pixels: return twipsPerPixel;
    case ScaleMode::HiMetric: return 1440.0 / 2540.0;
  }
  throw MarkletError(ErrorNumber::InvalidPropertyValue,
                     "Invalid property value: scale mode " + std::to_string(static_cast<int>(mode)));
}

}  // namespace

Single ScaleBetween(Single value, ScaleMode from, ScaleMode to, double twipsPerPixel) {
  return value * static_cast<Single>(TwipsPer(from, twipsPerPixel) / TwipsPer(to, twipsPerPixel));
}

}  // namespace marklet

// The one unit conversion every surface's ScaleX and ScaleY answer with.
#include "host/surface.h"

#include <string>

#include <gtest/gtest.h>

#include "host/error.h"

namespace marklet {
namespace {

TEST(SurfaceScale, ConvertsBetweenTwipsPixelsAndHiMetricAlongTheGivenAxis) {
  // 2540 HiMetric are an inch, 1440 twips.
  EXPECT_FLOAT_EQ(ScaleBetween(2540, ScaleMode::HiMetric, ScaleMode::Twips, 15), 1440);
  EXPECT_FLOAT_EQ(ScaleBetween(1440, ScaleMode::Twips, ScaleMode::HiMetric, 15), 2540);
  // Pixels follow the axis's own twips per pixel, in both directions.
  EXPECT_FLOAT_EQ(ScaleBetween(16, ScaleMode::Pixels, ScaleMode::Twips, 15), 240);
  EXPECT_FLOAT_EQ(ScaleBetween(16, ScaleMode::Pixels, ScaleMode::Twips, 12), 192);
  EXPECT_FLOAT_EQ(ScaleBetween(240, ScaleMode::Twips, ScaleMode::Pixels, 15), 16);
  EXPECT_FLOAT_EQ(ScaleBetween(8, ScaleMode::Pixels, ScaleMode::HiMetric, 15), 8 * 15 * 2540.0f / 1440);
  EXPECT_EQ(ScaleBetween(-7.5f, ScaleMode::Twips, ScaleMode::Twips, 15), -7.5f);
}

TEST(SurfaceScale, AnUnknownModeIsRefusedNamingIt) {
  for (ScaleMode bad : {static_cast<ScaleMode>(0), static_cast<ScaleMode>(5)}) {
    for (bool asSource : {true, false}) {
      try {
        asSource ? ScaleBetween(1, bad, ScaleMode::Twips, 15) : ScaleBetween(1, ScaleMode::Twips, bad, 15);
        ADD_FAILURE() << "scale mode " << static_cast<int>(bad) << " accepted";
      } catch (const MarkletError& e) {
        EXPECT_EQ(e.number(), 380);
        EXPECT_NE(std::string(e.what()).find("scale mode " + std::to_string(static_cast<int>(bad))),
                  std::string::npos)
            << e.what();
      }
    }
  }
}

}  // namespace
}  // namespace marklet

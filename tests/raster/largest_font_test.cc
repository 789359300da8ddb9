// The largest font a surface takes reads back as a size it takes again, on
// the raster surface as on the trace surface, at any screen resolution.
#include <gtest/gtest.h>

#include "host/font_size.h"
#include "platform/raster/raster_container.h"

namespace marklet {
namespace {

TEST(LargestFont, ReadsBackAsASizeTheSurfaceTakesAgain) {
  for (float tpp : {1.0f, 7.0f, 12.0f, 15.0f, 1440.0f}) {
    raster::RasterOptions options;
    options.tppX = options.tppY = tpp;
    raster::RasterContainer container(options);
    container.CreateControl();
    auto& surface = container.rasterSurface();
    surface.SetFontSize(2048);
    Single back = surface.FontSize();
    EXPECT_LE(back, kMaxFontPoints) << tpp;
    EXPECT_NO_THROW(surface.SetFontSize(back)) << tpp;
    EXPECT_EQ(surface.FontSize(), back) << tpp;
    // Ordinary sizes keep their numbers.
    surface.SetFontSize(8);
    if (tpp == 15.0f) {
      EXPECT_EQ(surface.FontSize(), 8.25f);
    }
  }
}

}  // namespace
}  // namespace marklet

// Drawing at a device scale: the control lays out exactly as at 1x, and the
// finer image is drawn afresh, not enlarged.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "control/marklet.h"
#include "host/error.h"
#include "platform/raster/raster_container.h"

namespace marklet::raster {
namespace {

constexpr double kTpp = 15;
const std::u16string kText =
    u"Plain &bbold\\b and #ek<a link that wraps onto the next line> then #f<s:14>larger\\f and "
    u"#m<12>a margin; \u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD too.";

struct Drawn {
  std::unique_ptr<RasterContainer> container;
  cairo_surface_t* image = nullptr;
  ~Drawn() { cairo_surface_destroy(image); }
  std::uint32_t At(int x, int y) const {
    const unsigned char* data = cairo_image_surface_get_data(image);
    return reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(image))[x] & 0xFFFFFF;
  }
  int width() const { return cairo_image_surface_get_width(image); }
  int height() const { return cairo_image_surface_get_height(image); }
};

std::unique_ptr<Drawn> Draw(double scale) {
  RasterOptions options;
  options.scale = scale;
  auto drawn = std::make_unique<Drawn>();
  drawn->container = std::make_unique<RasterContainer>(options);
  RasterContainer& c = *drawn->container;
  c.rasterSurface().SetSize(static_cast<Single>(160 * kTpp), static_cast<Single>(90 * kTpp));
  c.ambientBackColor = 0xFFFFFF;
  c.CreateControl();
  c.control()->SetAutoSizeHeight(false);
  c.control()->SetForeColor(0);
  c.control()->SetText(kText);
  c.Pump();
  drawn->image = c.Compose();
  cairo_surface_flush(drawn->image);
  return drawn;
}

// Among the pixels that are not background, the share that are neither the
// text's black nor another full colour: the anti-aliased edges.
double GreyShare(const Drawn& d) {
  std::int64_t ink = 0, grey = 0;
  for (int y = 0; y < d.height(); ++y) {
    for (int x = 0; x < d.width(); ++x) {
      const std::uint32_t p = d.At(x, y);
      if (p == 0xFFFFFF) continue;
      ++ink;
      const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
      if (r == g && g == b && r > 0) ++grey;
    }
  }
  return ink ? static_cast<double>(grey) / static_cast<double>(ink) : 0;
}

TEST(ScaledDrawing, TheControlLaysOutAsAtOneAndTheImageIsDrawnAfresh) {
  std::unique_ptr<Drawn> one = Draw(1);
  std::unique_ptr<Drawn> two = Draw(2);
  ASSERT_EQ(two->width(), 2 * one->width());
  ASSERT_EQ(two->height(), 2 * one->height());

  const std::vector<LinkRecord>& a = one->container->control()->Links();
  const std::vector<LinkRecord>& b = two->container->control()->Links();
  ASSERT_EQ(a.size(), b.size());
  ASSERT_FALSE(a.empty());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].Left, b[i].Left) << i;
    EXPECT_EQ(a[i].Top, b[i].Top) << i;
    EXPECT_EQ(a[i].Right, b[i].Right) << i;
    EXPECT_EQ(a[i].Bottom, b[i].Bottom) << i;
  }

  // Not the 1x image with each pixel doubled.
  int differing = 0;
  for (int y = 0; y < two->height(); ++y)
    for (int x = 0; x < two->width(); ++x)
      if (two->At(x, y) != one->At(x / 2, y / 2)) ++differing;
  EXPECT_GT(differing, 100);
  EXPECT_LE(GreyShare(*two), GreyShare(*one));
  // The 3-D border is two device pixels deep on each side at 2x.
  EXPECT_EQ(two->At(0, 40), two->At(1, 40));
  EXPECT_EQ(two->At(2, 40), two->At(3, 40));
  EXPECT_NE(two->At(1, 40), two->At(2, 40));
}

TEST(ScaledDrawing, TheSurfaceBudgetCountsDevicePixels) {
  RasterOptions options;
  options.scale = 2;
  RasterContainer c(options);
  // 20,000 pixels wide is 40,000 device pixels: past the side limit.
  EXPECT_THROW(c.rasterSurface().SetSize(static_cast<Single>(20000 * kTpp), 15), MarkletError);
  c.rasterSurface().SetSize(static_cast<Single>(4000 * kTpp), static_cast<Single>(30000 * kTpp));
  ASSERT_TRUE(c.rasterSurface().heightHold().has_value());
  const int held = c.rasterSurface().heightHold()->held;
  EXPECT_EQ(held, static_cast<int>(MaxSurfaceHeight(8000) / 2));
  const std::int64_t device = std::int64_t{c.rasterSurface().DeviceWidth()} * c.rasterSurface().DeviceHeight();
  EXPECT_LE(device, kSurfaceBudgetPixels);
  EXPECT_EQ(c.rasterSurface().DeviceWidth(), 8000);
}

}  // namespace
}  // namespace marklet::raster

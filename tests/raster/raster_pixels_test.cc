// The raster host draws what the control paints: checked on pixels, not on
// whole-image goldens.
#include <gtest/gtest.h>

#include <cmath>

#include "control/marklet.h"
#include "platform/raster/raster_container.h"

namespace marklet::raster {
namespace {

constexpr double kTpp = 15;

struct Pixel {
  int r, g, b, a;
};

class RasterPixels : public ::testing::Test {
 protected:
  void Make(int widthPx, int heightPx, bool autoSize = false) {
    c_ = std::make_unique<RasterContainer>();
    c_->rasterSurface().SetSize(static_cast<float>(widthPx * kTpp), static_cast<float>(heightPx * kTpp));
    c_->ambientBackColor = 0xFFFFFF;  // white
    c_->CreateControl();
    control().SetAutoSizeHeight(autoSize);
    c_->Pump();
  }
  Marklet& control() { return *c_->control(); }
  void SetText(const std::u16string& text) {
    control().SetText(text);
    c_->Pump();
    cairo_surface_destroy(composed_);
    composed_ = c_->Compose();
    cairo_surface_flush(composed_);
  }
  ~RasterPixels() override { cairo_surface_destroy(composed_); }

  int border() { return c_->rasterSurface().BorderPixels(); }
  // Pixel at client coordinates in pixels.
  Pixel At(int x, int y) {
    int b = border();
    unsigned char* data = cairo_image_surface_get_data(composed_);
    int stride = cairo_image_surface_get_stride(composed_);
    uint32_t v = *reinterpret_cast<uint32_t*>(data + (y + b) * stride + (x + b) * 4);
    return Pixel{static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255), static_cast<int>(v & 255),
                 static_cast<int>(v >> 24)};
  }
  // Counts pixels in a client rectangle (pixels) matching a predicate.
  template <typename F>
  int Count(int x0, int y0, int x1, int y1, F f) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (f(At(x, y))) ++n;
    return n;
  }
  // A link's box in client pixels.
  void BoxPx(const LinkRecord& link, int& x0, int& y0, int& x1, int& y1) {
    x0 = static_cast<int>(std::floor(link.Left / kTpp));
    y0 = static_cast<int>(std::floor(link.Top / kTpp));
    x1 = static_cast<int>(std::ceil(link.Right / kTpp));
    y1 = static_cast<int>(std::ceil(link.Bottom / kTpp));
  }

  std::unique_ptr<RasterContainer> c_;
  cairo_surface_t* composed_ = nullptr;
};

bool Reddish(const Pixel& p) { return p.r > 150 && p.g < 100 && p.b < 100; }
bool Dark(const Pixel& p) { return p.r + p.g + p.b < 300; }
bool White(const Pixel& p) { return p.r == 255 && p.g == 255 && p.b == 255 && p.a == 255; }

TEST_F(RasterPixels, LinkInkIsInTheLinkColourInsideItsBoxAndTheBackgroundElsewhere) {
  Make(300, 40);
  control().SetLinkColor(0x0000FF);  // red
  SetText(u"Plain words #ek<a link here>");
  ASSERT_EQ(control().LinkCount(), 1);
  int x0, y0, x1, y1;
  BoxPx(control().Links()[0], x0, y0, x1, y1);
  EXPECT_GT(x1, x0);
  EXPECT_GT(Count(x0, y0, x1, y1, Reddish), 20);
  // Plain text is not red; the far corner is background.
  EXPECT_EQ(Count(0, 0, x0, y1, Reddish), 0);
  EXPECT_TRUE(White(At(290, 30)));
}

TEST_F(RasterPixels, UnderlineRowFollowsUnderlineLink) {
  auto longestRedRun = [&](int x0, int y0, int x1, int y1) {
    int best = 0;
    for (int y = y0; y < y1; ++y) {
      int run = 0;
      for (int x = x0; x < x1; ++x) {
        run = Reddish(At(x, y)) ? run + 1 : 0;
        best = std::max(best, run);
      }
    }
    return best;
  };
  Make(300, 40);
  control().SetLinkColor(0x0000FF);
  SetText(u"#ek<underlined>");
  int x0, y0, x1, y1;
  BoxPx(control().Links()[0], x0, y0, x1, y1);
  int withUnderline = longestRedRun(x0, y0, x1, y1);
  EXPECT_GE(withUnderline, (x1 - x0) * 8 / 10);

  control().SetUnderlineLink(false);
  SetText(u"#ek<underlined>");
  BoxPx(control().Links()[0], x0, y0, x1, y1);
  EXPECT_LT(longestRedRun(x0, y0, x1, y1), (x1 - x0) / 2);
}

TEST_F(RasterPixels, BoldInkIsHeavierThanRegular) {
  Make(300, 40);
  SetText(u"Heavy words");
  int regular = Count(0, 0, 296, 36, Dark);
  SetText(u"&bHeavy words");
  int bold = Count(0, 0, 296, 36, Dark);
  EXPECT_GT(bold, regular * 11 / 10);
}

TEST_F(RasterPixels, PictureStandsAtItsOffsetPlace) {
  Make(300, 60);
  SetText(u"#i<solid_green_16.png:5:3>");
  ASSERT_EQ(control().ImageCount(), 1);
  auto green = [](const Pixel& p) { return p.g > 150 && p.r < 50 && p.b < 50; };
  // The run stands at the line start (half the border width, 2 px, in from
  // the client edge); the picture 5 px right and 3 px down of it.
  EXPECT_TRUE(green(At(7, 3)));
  EXPECT_TRUE(green(At(22, 18)));
  EXPECT_FALSE(green(At(6, 3)));
  EXPECT_FALSE(green(At(7, 2)));
  EXPECT_FALSE(green(At(23, 18)));
}

TEST_F(RasterPixels, MoreLinkEndsTheLastVisibleLine) {
  Make(200, 40);
  control().SetLinkColor(0x0000FF);
  SetText(u"one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen "
          u"sixteen seventeen eighteen nineteen twenty");
  ASSERT_TRUE(control().MoreLinkShown());
  const LinkRecord& more = control().Links()[control().LinkCount()];
  int x0, y0, x1, y1;
  BoxPx(more, x0, y0, x1, y1);
  EXPECT_GT(Count(x0, y0, x1, y1, Reddish), 5);
  EXPECT_LE(x1, 200);
}

TEST_F(RasterPixels, TransparentBackgroundLeavesEmptyPixelsClear) {
  Make(200, 40);
  c_->rasterSurface().SetBackStyle(0);
  SetText(u"x");
  EXPECT_EQ(At(150, 30).a, 0);
  EXPECT_EQ(At(2, 30).a, 0);
}

TEST_F(RasterPixels, AutoSizeHeightGrowsTheControlToItsText) {
  Make(200, 20, true);
  SetText(u"first line\\nsecond line");
  float height = c_->rasterSurface().Height();
  const float lineTwips = c_->rasterSurface().TextHeight(u"x");
  // Two lines of the base font plus the border.
  EXPECT_FLOAT_EQ(height, 2 * lineTwips + 4 * static_cast<float>(kTpp));
  EXPECT_EQ(cairo_image_surface_get_height(c_->rasterSurface().image()),
            static_cast<int>(std::lround(height / kTpp)));
}

}  // namespace
}  // namespace marklet::raster

// OLE colours on the raster surface: 0x00BBGGRR as it is, system colours
// through the classic palette, anything else refused with 380.
#include <gtest/gtest.h>

#include "host/error.h"
#include "platform/raster/ole_colors.h"

namespace marklet::raster {
namespace {

TEST(OleColors, PlainColoursAreBlueGreenRed) {
  EXPECT_EQ(OleToRgb(0x0000FF), (Rgb{255, 0, 0}));
  EXPECT_EQ(OleToRgb(0xFF0000), (Rgb{0, 0, 255}));
  EXPECT_EQ(OleToRgb(0x123456), (Rgb{0x56, 0x34, 0x12}));
}

TEST(OleColors, SystemColoursComeFromThePalette) {
  EXPECT_EQ(OleToRgb(0x80000005), (Rgb{255, 255, 255}));  // window
  EXPECT_EQ(OleToRgb(0x80000012), (Rgb{0, 0, 0}));        // button text
  EXPECT_EQ(OleToRgb(0x8000000F), (Rgb{212, 208, 200}));  // button face
}

TEST(OleColors, UnknownValuesAreRefusedWith380) {
  for (OleColor bad : {0x80000040u, 0x81000005u, 0x01000000u, 0xFFFFFFFFu}) {
    try {
      OleToRgb(bad);
      ADD_FAILURE() << std::hex << bad << " was accepted";
    } catch (const MarkletError& e) {
      EXPECT_EQ(e.number(), 380);
    }
  }
}

}  // namespace
}  // namespace marklet::raster

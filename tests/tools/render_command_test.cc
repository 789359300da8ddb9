// `marklet render` as a user runs it: a saved control, a bad file, and
// pictures confined to a folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <utility>

#include "support/scratch_folder.h"
#include "support/subprocess.h"

namespace {

namespace fs = std::filesystem;
using marklet::testing::RunCommand;

class RenderCommand : public marklet::testing::ScratchFolderTest {
 protected:
  RenderCommand() : ScratchFolderTest("marklet-render-") {}
};

TEST_F(RenderCommand, DrawsASavedControlAndRefusesABadFileWithoutOutput) {
  std::string bag = Write("good.bag", "Text = \"Saved &btext\\b with #ek<a link>\"\nLinkColor = 255&\n");
  std::string png = (dir_ / "good.png").string();
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "render", "--bag", bag, "-o", png}), 0);
  EXPECT_TRUE(fs::exists(png));
  EXPECT_GT(fs::file_size(png), 100u);

  std::string bad = Write("bad.bag", "Text = \"unterminated\n");
  std::string none = (dir_ / "bad.png").string();
  EXPECT_EQ(RunCommand({MARKLET_TOOL, "render", "--bag", bad, "-o", none}), 1);
  EXPECT_FALSE(fs::exists(none));
}

TEST_F(RenderCommand, PicturesOutsideTheirFolderAreRefused) {
  fs::path inside = dir_ / "pictures";
  fs::create_directories(inside);
  fs::copy_file(fs::path(MARKLET_FIXTURE_DIR) / "solid_green_16.png", inside / "ok.png");
  fs::copy_file(fs::path(MARKLET_FIXTURE_DIR) / "solid_green_16.png", dir_ / "outside.png");
  fs::create_symlink(dir_ / "outside.png", inside / "link.png");
  std::string root = inside.string();
  auto render = [&](const std::string& file) {
    return RunCommand({MARKLET_TOOL, "render", "--picture-root", root, "--text", "#i<" + file + ">", "-o",
                       (dir_ / "out.png").string()});
  };
  EXPECT_EQ(render((inside / "ok.png").string()), 0);
  EXPECT_EQ(render((inside / ".." / "outside.png").string()), 1);
  EXPECT_EQ(render((inside / "link.png").string()), 1);
}

// Width and height from a PNG's header.
std::pair<int, int> PngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  auto big = [&](int at) { return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3]; };
  return {big(16), big(20)};
}

TEST_F(RenderCommand, ScaleDrawsThatManyDevicePixelsAndTakesOnlyItsFiveValues) {
  std::string png = (dir_ / "scaled.png").string();
  auto render = [&](const char* scale) {
    return RunCommand({MARKLET_TOOL, "render", "--text", "scaled", "--width", "200", "--scale", scale, "-o", png});
  };
  ASSERT_EQ(render("1"), 0);
  const auto [width, height] = PngSize(png);
  EXPECT_EQ(width, 200);
  for (const auto& [scale, factor] : {std::pair{"1.5", 1.5}, std::pair{"2", 2.0}, std::pair{"3", 3.0}}) {
    ASSERT_EQ(render(scale), 0) << scale;
    EXPECT_EQ(PngSize(png), std::make_pair(static_cast<int>(std::lround(width * factor)), static_cast<int>(std::lround(height * factor))))
        << scale;
  }
  for (const char* refused : {"1.7", "0", "4", "2x", ""}) {
    marklet::testing::CommandResult r =
        marklet::testing::RunCapturing({MARKLET_TOOL, "render", "--text", "x", "--scale", refused, "-o", png});
    EXPECT_EQ(r.status, 2) << refused;
    EXPECT_NE(r.output.find("--scale takes 1, 1.25, 1.5, 2 or 3"), std::string::npos) << r.output;
  }
  // A width the option allows, past the surface's side at 3x: an error, not an abort.
  fs::remove(png);
  marklet::testing::CommandResult wide =
      marklet::testing::RunCapturing({MARKLET_TOOL, "render", "--text", "x", "--width", "16384", "--scale", "3", "-o", png});
  EXPECT_EQ(wide.status, 1) << wide.output;
  EXPECT_NE(wide.output.find("error 380"), std::string::npos) << wide.output;
  // The message counts the side as the limit does, in device pixels.
  EXPECT_NE(wide.output.find("49152 device pixels wide (at most 32767 pixels a side)"), std::string::npos)
      << wide.output;
  EXPECT_FALSE(fs::exists(png));
}

}  // namespace

// `marklet render` as a user runs it: a saved control, a bad file, and
// pictures confined to a folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/subprocess.h"

namespace {

namespace fs = std::filesystem;
using marklet::testing::RunCommand;

class RenderCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("marklet-render-" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
    return (dir_ / name).string();
  }
  fs::path dir_;
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

}  // namespace

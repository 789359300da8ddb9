// Files named by text nobody vetted stay inside one folder: the raster host's
// picture folder (`--picture-root`) and the confined script runner the
// fuzzers use. `..` and symbolic links are resolved before the check.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "host/error.h"
#include "platform/files/confined_path.h"
#include "platform/raster/raster_container.h"
#include "platform/trace/script_runner.h"

namespace marklet {
namespace {

namespace fs = std::filesystem;

const char kRule[] = "that files are confined to";

// root/inside/dot.png, root/outside/dot.png, and links inside pointing out.
class ConfinedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "marklet-confined-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    inside_ = root_ / "inside";
    outside_ = root_ / "outside";
    fs::create_directories(inside_ / "sub");
    fs::create_directories(outside_);
    fs::copy_file(fs::path(MARKLET_FIXTURE_DIR) / "dot16x8.png", inside_ / "dot.png");
    fs::copy_file(fs::path(MARKLET_FIXTURE_DIR) / "dot16x8.png", outside_ / "dot.png");
    fs::create_symlink(outside_ / "dot.png", inside_ / "link.png");
    fs::create_symlink(outside_, inside_ / "away");
    fs::create_symlink(outside_ / "nothing.png", inside_ / "dangling.png");
  }
  void TearDown() override { fs::remove_all(root_); }

  // The error number and message of confining `path` to inside/; 0 when allowed.
  std::pair<int, std::string> Confine(const std::string& path) {
    try {
      ConfinePath(inside_.string(), path);
      return {0, ""};
    } catch (const MarkletError& e) {
      return {e.number(), e.what()};
    }
  }

  fs::path root_, inside_, outside_;
};

TEST_F(ConfinedFiles, PathsAreJudgedWhereTheyReallyLead) {
  const std::string in = inside_.string();
  EXPECT_EQ(Confine(in + "/dot.png").first, 0);
  EXPECT_EQ(Confine(in + "/sub/../dot.png").first, 0);
  EXPECT_EQ(Confine(in + "/new.bag").first, 0);  // to be written
  EXPECT_EQ(Confine(in + "/sub/new.bag").first, 0);
  for (const std::string& out : {in + "/../outside/dot.png", in + "/link.png", in + "/away/dot.png",
                                 in + "/away/new.bag", in + "/../new.bag", in + "/dangling.png", in, in + "/..",
                                 std::string("/etc/passwd")}) {
    auto [number, message] = Confine(out);
    EXPECT_EQ(number, 53) << out;
    EXPECT_NE(message.find(kRule), std::string::npos) << message;
    EXPECT_NE(message.find(out), std::string::npos) << message;
  }
  // Relative paths count from the current folder.
  fs::path previous = fs::current_path();
  fs::current_path(inside_ / "sub");
  EXPECT_EQ(Confine("../dot.png").first, 0);
  EXPECT_EQ(Confine("new.bag").first, 0);
  EXPECT_EQ(Confine("../../outside/dot.png").first, 53);
  fs::current_path(previous);
  // A folder that is not there confines to nothing.
  try {
    ConfinePath((root_ / "none").string(), in + "/dot.png");
    ADD_FAILURE() << "a folder that is not there let a file through";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 53);
  }
}

TEST_F(ConfinedFiles, RasterHostRefusesPicturesOutsideItsPictureFolder) {
  raster::RasterOptions options;
  options.pictureRoot = inside_.string();
  raster::RasterContainer container(options);
  container.CreateControl();
  Marklet& control = *container.control();
  auto errorOf = [&](const fs::path& file) -> std::pair<int, std::string> {
    try {
      control.SetText(u"x #i<" + Utf8ToU16(file.string()) + u"> y");
      return {0, ""};
    } catch (const MarkletError& e) {
      return {e.number(), e.what()};
    }
  };
  EXPECT_EQ(errorOf(inside_ / "dot.png").first, 0);
  EXPECT_EQ(control.ImageCount(), 1);
  for (const fs::path& out : {inside_ / ".." / "outside" / "dot.png", inside_ / "link.png"}) {
    auto [number, message] = errorOf(out);
    EXPECT_EQ(number, 53) << out;
    EXPECT_NE(message.find(kRule), std::string::npos) << message;
    EXPECT_FALSE(control.LayoutReady());
  }
  // Without the setting the same pictures load.
  raster::RasterContainer open;
  open.CreateControl();
  open.control()->SetText(u"#i<" + Utf8ToU16((inside_ / "link.png").string()) + u">");
  EXPECT_EQ(open.control()->ImageCount(), 1);
}

TEST_F(ConfinedFiles, ConfinedScriptsKeepEveryFileCommandInside) {
  std::ostringstream out;
  {
    trace::ScriptRunner runner(out);
    runner.world().fileRoot = inside_.string();
    const std::string in = inside_.string(), away = outside_.string();
    std::istringstream script(
        "new\n"
        "set Text 'a'\n"
        "save \"" + in + "/kept.bag\"\n"
        "save \"" + in + "/../escaped.bag\"\n"
        "writefile \"" + in + "/away/w.bag\" \"Text = \\\"w\\\"\"\n"
        "showfile \"" + away + "/dot.png\"\n"
        "set Picture \"" + in + "/link.png\"\n"
        "set Text \"#i<" + in + "/away/dot.png>\"\n"
        "set Picture \"" + in + "/dot.png\"\n"
        "terminate\n"
        "load \"" + in + "/../outside/x.bag\"\n"
        "load \"" + in + "/kept.bag\"\n");
    runner.Run(script);
  }
  std::string records = out.str();
  EXPECT_TRUE(fs::exists(inside_ / "kept.bag"));
  EXPECT_FALSE(fs::exists(root_ / "escaped.bag"));
  EXPECT_FALSE(fs::exists(outside_ / "w.bag"));
  std::size_t refusals = 0;
  for (std::size_t at = records.find(kRule); at != std::string::npos; at = records.find(kRule, at + 1)) ++refusals;
  EXPECT_EQ(refusals, 6u) << records;
  EXPECT_EQ(records.find("\"scriptError\""), std::string::npos) << records;
  // The bag saved inside loads back.
  EXPECT_NE(records.rfind("{\"deliver\":\"ReadProperties\"}"), std::string::npos) << records;
}

}  // namespace
}  // namespace marklet

// A file under a confinement root is opened beneath the root's descriptor, by
// the kernel's confined open and by the component walk used where that is
// missing: the same names pass and fail both ways, and a link swapped in
// while files are opened never shows what lies outside.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host/error.h"
#include "platform/files/confined_path.h"
#include "platform/files/readable_file.h"
#include "platform/pixbuf/picture_loader.h"

namespace marklet {
namespace {

namespace fs = std::filesystem;

// true: the component walk; false: openat2.
class OpenBeneathTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    files::UseComponentWalkForTesting(GetParam());
    std::string pattern = (fs::temp_directory_path() / "marklet-beneath-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    top_ = pattern;
    inside_ = top_ / "inside";
    outside_ = top_ / "outside";
    fs::create_directories(inside_ / "sub");
    fs::create_directories(outside_);
    fs::copy_file(fs::path(MARKLET_FIXTURE_DIR) / "dot16x8.png", inside_ / "dot.png");
    fs::copy_file(fs::path(MARKLET_FIXTURE_DIR) / "solid_green_16.png", outside_ / "green.png");
  }
  void TearDown() override {
    files::UseComponentWalkForTesting(false);
    fs::remove_all(top_);
  }

  // The error number of opening `path` beneath inside/; 0 when it opened.
  int Open(const fs::path& path) {
    try {
      files::ReadableFile file = files::OpenForReading(path.string(), inside_.string());
      return 0;
    } catch (const MarkletError& e) {
      return e.number();
    }
  }

  fs::path top_, inside_, outside_;
};

TEST_P(OpenBeneathTest, NamesAreJudgedWhereTheyLead) {
  fs::create_symlink("dot.png", inside_ / "rel.png");
  fs::create_symlink("../dot.png", inside_ / "sub" / "up.png");
  fs::create_symlink("sub", inside_ / "into");
  fs::create_symlink(inside_ / "dot.png", inside_ / "abs-in.png");
  fs::create_symlink(outside_ / "green.png", inside_ / "abs-out.png");
  fs::create_symlink("../outside/green.png", inside_ / "rel-out.png");
  fs::create_symlink("../../outside", inside_ / "sub" / "away");
  fs::create_symlink("loop.png", inside_ / "loop.png");
  for (const fs::path& ok : {inside_ / "dot.png", inside_ / "sub" / ".." / "dot.png", inside_ / "rel.png",
                             inside_ / "sub" / "up.png", inside_ / "into" / "up.png", inside_ / "." / "dot.png"}) {
    EXPECT_EQ(Open(ok), 0) << ok;
  }
  for (const fs::path& out : {inside_ / "abs-in.png", inside_ / "abs-out.png", inside_ / "rel-out.png",
                              inside_ / "sub" / "away" / "green.png", inside_ / ".." / "outside" / "green.png",
                              outside_ / "green.png", inside_, inside_ / "sub" / "..", fs::path("/etc/passwd")}) {
    EXPECT_EQ(Open(out), 53) << out;
  }
  EXPECT_EQ(Open(inside_ / "none.png"), 53);
  EXPECT_NE(Open(inside_ / "loop.png"), 0);
  // Relative names count from the current folder.
  fs::path previous = fs::current_path();
  fs::current_path(inside_ / "sub");
  EXPECT_EQ(Open("../dot.png"), 0);
  EXPECT_EQ(Open("up.png"), 0);
  EXPECT_EQ(Open("../../outside/green.png"), 53);
  fs::current_path(previous);
}

TEST_P(OpenBeneathTest, ALinkSwappedInDuringLoadsNeverShowsTheOutsidePicture) {
  // p.png and staged trade places as fast as the other thread can: one is
  // the inside picture, the other a link to the outside one.
  const fs::path p = inside_ / "p.png", staged = inside_ / "staged.png";
  fs::copy_file(inside_ / "dot.png", p);
  fs::create_symlink(outside_ / "green.png", staged);
  fs::create_symlink("../outside/green.png", inside_ / "staged-rel.png");
  std::atomic<bool> stop{false};
  std::atomic<long> swaps{0};
  std::thread swapper([&] {
    bool relative = false;
    while (!stop) {
      // Each round puts the link in and takes it out again, alternating an
      // absolute and a relative link.
      const fs::path& link = relative ? inside_ / "staged-rel.png" : staged;
      ::renameat2(AT_FDCWD, p.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
      ::renameat2(AT_FDCWD, p.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
      relative = !relative;
      ++swaps;
    }
  });
  // On a busy machine the swapper may not run before every load is done;
  // the loads only mean something once it has.
  while (swaps.load() == 0) std::this_thread::yield();
  int inside = 0, refused = 0, outside = 0, other = 0;
  Picture insidePicture = LoadPictureFile(Utf8ToU16((inside_ / "dot.png").string()), 15, 15, false);
  // A busy machine can deschedule the swapper with the link in place for
  // every one of a fixed number of loads; go on until an inside load has
  // come through too, within a bound.
  for (int i = 0; i < 1500 || (inside == 0 && i < 200000); ++i) {
    try {
      // The loader decodes from the descriptor it opened beneath the root.
      Picture picture = LoadPictureFile(Utf8ToU16(p.string()), 15, 15, false, inside_.string());
      if (picture->heightHiMetric == insidePicture->heightHiMetric) ++inside;
      else ++outside;
    } catch (const MarkletError& e) {
      (e.number() == 53 ? refused : other)++;
    }
  }
  stop = true;
  swapper.join();
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(other, 0);
  EXPECT_GT(inside, 0);
  RecordProperty("inside", inside);
  RecordProperty("refused", refused);
}

INSTANTIATE_TEST_SUITE_P(Both, OpenBeneathTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("ComponentWalk") : std::string("Openat2");
                         });

}  // namespace
}  // namespace marklet

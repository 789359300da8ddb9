// `marklet render -o` as a user runs it: to standard output, over a good PNG,
// and at targets that must not be replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/scratch_folder.h"
#include "support/subprocess.h"

namespace {

namespace fs = std::filesystem;
using marklet::testing::RunCommand;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class PngOutput : public marklet::testing::ScratchFolderTest {
 protected:
  PngOutput() : ScratchFolderTest("marklet-png-") {}
  // Runs a shell line with the tool as $M.
  int Shell(const std::string& line) {
    return RunCommand({"/bin/sh", "-c", "M='" + std::string(MARKLET_TOOL) + "'; cd '" + dir_.string() + "' && " + line});
  }
};

TEST_F(PngOutput, DashWritesOnlyThePngToStandardOutput) {
  ASSERT_EQ(Shell("\"$M\" render --text 'Hello &bworld' -o - > out.png 2> err.txt"), 0);
  ASSERT_EQ(Shell("\"$M\" render --text 'Hello &bworld' -o file.png > said.txt"), 0);
  std::string piped = Slurp(dir_ / "out.png");
  ASSERT_GT(piped.size(), 100u);
  EXPECT_EQ(piped.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  EXPECT_EQ(piped, Slurp(dir_ / "file.png"));  // the whole file and nothing else
  EXPECT_EQ(Slurp(dir_ / "err.txt").find("marklet"), std::string::npos);  // sanitizer reports may be there
  // A file's path is still printed.
  EXPECT_EQ(Slurp(dir_ / "said.txt"), "file.png\n");
}

TEST_F(PngOutput, TargetsThatMustNotBeReplacedStayAsTheyWere) {
  ASSERT_EQ(Shell("\"$M\" render --text old -o good.png >/dev/null"), 0);
  std::string good = Slurp(dir_ / "good.png");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0644), 0);
  fs::copy_file(dir_ / "good.png", dir_ / "ro.png");
  ::chmod((dir_ / "ro.png").c_str(), 0444);
  fs::create_symlink("good.png", dir_ / "link.png");
  EXPECT_EQ(Shell("\"$M\" render --text x -o fifo 2> e1.txt"), 1);
  EXPECT_EQ(Shell("\"$M\" render --text x -o ro.png 2> e2.txt"), 1);
  EXPECT_EQ(Shell("\"$M\" render --text x -o missing/a.png 2> e3.txt"), 1);
  EXPECT_NE(Slurp(dir_ / "e1.txt").find("error 75: Path/File access error: cannot replace 'fifo' (it is a pipe"),
            std::string::npos)
      << Slurp(dir_ / "e1.txt");
  EXPECT_NE(Slurp(dir_ / "e2.txt").find("error 70: Permission denied: cannot replace 'ro.png' (it is read-only"),
            std::string::npos)
      << Slurp(dir_ / "e2.txt");
  EXPECT_NE(Slurp(dir_ / "e3.txt").find("error 76: Path not found"), std::string::npos) << Slurp(dir_ / "e3.txt");
  EXPECT_TRUE(fs::is_fifo(dir_ / "fifo"));
  EXPECT_EQ(Slurp(dir_ / "ro.png"), good);
  // Through a link, the file it names is replaced and the link stays.
  EXPECT_EQ(Shell("\"$M\" render --text 'a new text' -o link.png >/dev/null"), 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.png"));
  EXPECT_NE(Slurp(dir_ / "good.png"), good);
}

}  // namespace

// The commands take their inputs as a user may give them: a file that is not
// regular is refused before a byte is read (a FIFO must never block, a device
// never fill memory), one past 64 MB before it is read whole, standard input
// still serves, and every numeric option is read whole and range-checked.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/scratch_folder.h"
#include "support/subprocess.h"

namespace {

namespace fs = std::filesystem;
using marklet::testing::CommandResult;
using marklet::testing::RunCapturing;

class CommandInputs : public marklet::testing::ScratchFolderTest {
 protected:
  CommandInputs() : ScratchFolderTest("marklet-inputs-") {}
};

TEST_F(CommandInputs, AnythingButARegularFileIsRefusedBeforeItIsRead) {
  std::string fifo = Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string folder = Path("folder");
  fs::create_directories(folder);
  std::string png = Path("out.png");
  const std::vector<std::vector<std::string>> commands = {
      {MARKLET_TOOL, "render", "--file", fifo, "-o", png},
      {MARKLET_TOOL, "render", "--bag", fifo, "-o", png},
      {MARKLET_TOOL, "render", "--file", folder, "-o", png},
      {MARKLET_TOOL, "render", "--file", "/dev/zero", "-o", png},
      {MARKLET_TOOL, "view", "--file", fifo},
      {MARKLET_TOOL, "script", fifo},
      {MARKLET_TOOL, "script", "/dev/zero"},
  };
  for (const auto& command : commands) {
    CommandResult result = RunCapturing(command);
    const std::string& file = command[3 - (command[1] == "script" ? 1 : 0)];
    EXPECT_EQ(result.status, 1) << command[1] << " " << file << ": " << result.output;
    EXPECT_NE(result.output.find("error 75"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("'" + file + "'"), std::string::npos) << result.output;
  }
  EXPECT_FALSE(fs::exists(png));

  std::string scenario = Write("load.scn", "load \"" + fifo + "\"\nload \"" + folder + "\"\n");
  CommandResult loaded = RunCapturing({MARKLET_TOOL, "script", scenario});
  EXPECT_EQ(loaded.status, 0);
  EXPECT_NE(loaded.output.find("{\"error\":{\"number\":75,\"description\":\"Path/File access error: '" + fifo +
                               "' is a pipe, not a regular file\"}}"),
            std::string::npos)
      << loaded.output;
  EXPECT_NE(loaded.output.find("'" + folder + "' is a folder"), std::string::npos) << loaded.output;
}

TEST_F(CommandInputs, AFilePastSixtyFourMegabytesIsRefusedNamingTheLimit) {
  std::string big = Path("big.txt");
  std::ofstream(big).put('x');
  fs::resize_file(big, (64u << 20) + 1);  // sparse: nothing is written
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{MARKLET_TOOL, "render", "--file", big, "-o", Path("big.png")},
        std::vector<std::string>{MARKLET_TOOL, "render", "--bag", big, "-o", Path("big.png")},
        std::vector<std::string>{MARKLET_TOOL, "script", big}}) {
    CommandResult result = RunCapturing(command);
    EXPECT_EQ(result.status, 1) << result.output;
    EXPECT_NE(result.output.find("error 7: Out of memory: '" + big + "' is larger than the 64 MB"),
              std::string::npos)
        << result.output;
  }
  CommandResult loaded = RunCapturing({MARKLET_TOOL, "script", Write("load.scn", "load \"" + big + "\"\n")});
  EXPECT_NE(loaded.output.find("{\"error\":{\"number\":7,"), std::string::npos) << loaded.output;
}

TEST_F(CommandInputs, StandardInputStillServesScriptsAndTexts) {
  std::string script = Write("s.scn", "new\nset Text \"from stdin\"\nget Text\n");
  for (const std::vector<std::string>& command : {std::vector<std::string>{MARKLET_TOOL, "script"},
                                                  std::vector<std::string>{MARKLET_TOOL, "script", "-"}}) {
    CommandResult result = RunCapturing(command, script);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("{\"value\":\"from stdin\"}"), std::string::npos) << result.output;
  }
  std::string text = Write("t.txt", "Hello &bworld\\b");
  std::string png = Path("stdin.png");
  EXPECT_EQ(RunCapturing({MARKLET_TOOL, "render", "--file", "-", "-o", png}, text).status, 0);
  EXPECT_GT(fs::file_size(png), 100u);
}

TEST_F(CommandInputs, ScriptsOnStandardInputRunAsTheyArriveUnderTheSameLimit) {
  // A driving process writes a line and reads its records before the next.
  int toChild[2], fromChild[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(fromChild), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(toChild[0], 0);
    dup2(fromChild[1], 1);
    close(toChild[1]);
    close(fromChild[0]);
    execl(MARKLET_TOOL, MARKLET_TOOL, "script", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  auto readUntil = [&](const std::string& wanted) {
    std::string seen;
    pollfd ready{fromChild[0], POLLIN, 0};
    // A guard against a hang, not a measurement: the record is due at once.
    while (seen.find(wanted) == std::string::npos && poll(&ready, 1, 20000) == 1) {
      char buffer[4096];
      ssize_t n = read(fromChild[0], buffer, sizeof buffer);
      if (n <= 0) break;
      seen.append(buffer, static_cast<std::size_t>(n));
    }
    return seen;
  };
  const std::string first = "new\nset Text \"one\"\nget Text\n";
  ASSERT_EQ(write(toChild[1], first.data(), first.size()), static_cast<ssize_t>(first.size()));
  EXPECT_NE(readUntil("{\"value\":\"one\"}").find("{\"value\":\"one\"}"), std::string::npos);
  const std::string second = "set Text \"two\"\nget Text\n";
  ASSERT_EQ(write(toChild[1], second.data(), second.size()), static_cast<ssize_t>(second.size()));
  EXPECT_NE(readUntil("{\"value\":\"two\"}").find("{\"value\":\"two\"}"), std::string::npos);
  close(toChild[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  close(fromChild[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // An endless standard input stops at 64 MB; the cut line never runs.
  CommandResult endless = RunCapturing({MARKLET_TOOL, "script"}, "/dev/zero");
  EXPECT_EQ(endless.status, 1);
  EXPECT_NE(endless.output.find("error 7: Out of memory: standard input is longer than the 64 MB"),
            std::string::npos)
      << endless.output.substr(0, 400);
  EXPECT_EQ(endless.output.find("scriptError"), std::string::npos) << endless.output.substr(0, 400);
}

TEST(CommandOptions, EveryNumberIsReadWholeAndCheckedAgainstItsRange) {
  struct Case {
    std::string option, value, range;
  };
  const std::vector<Case> cases = {
      {"--width", "12abc", "from 1 to 16384"},  {"--width", "2147483648", "from 1 to 16384"},
      {"--width", "0", "from 1 to 16384"},      {"--width", "", "from 1 to 16384"},
      {"--height", "16385", "from 1 to 16384"}, {"--height", " 20", "from 1 to 16384"},
      {"--tpp", "0", "from 1 to 1440"},         {"--tpp", "-1", "from 1 to 1440"},
      {"--tpp", "nan", "from 1 to 1440"},       {"--tpp", "0.01", "from 1 to 1440"},
      {"--tpp", "1e-9", "from 1 to 1440"},      {"--tpp", "1441", "from 1 to 1440"},
      {"--tpp", "15px", "from 1 to 1440"},
  };
  for (const std::string command : {"render", "view"}) {
    for (const Case& c : cases) {
      // view reads its options as render does: its --tpp cases and one malformed width suffice.
      if (command == "view" && c.option != "--tpp" && c.value != "12abc") continue;
      CommandResult result = RunCapturing({MARKLET_TOOL, command, "--text", "x", c.option, c.value});
      EXPECT_EQ(result.status, 2) << command << " " << c.option << " '" << c.value << "': " << result.output;
      EXPECT_NE(result.output.find(c.option + " takes a"), std::string::npos) << result.output;
      EXPECT_NE(result.output.find(c.range + ", not '" + c.value + "'"), std::string::npos) << result.output;
    }
  }
}

TEST_F(CommandInputs, NumbersInRangeAreTaken) {
  std::string png = Path("ok.png");
  CommandResult result = RunCapturing(
      {MARKLET_TOOL, "render", "--text", "x", "--width", "16", "--height", "8", "--tpp", "7.5", "-o", png});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(fs::exists(png));
}

}  // namespace

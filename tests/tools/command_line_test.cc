// The command line as a new user meets it: texts written with any line ends,
// options that contradict each other, and help on every command.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "support/scratch_folder.h"
#include "support/subprocess.h"

namespace {

namespace fs = std::filesystem;
using marklet::testing::CommandResult;
using marklet::testing::RunCapturing;

class CommandLine : public marklet::testing::ScratchFolderTest {
 protected:
  CommandLine() : ScratchFolderTest("marklet-cli-") {}
  // The height of a rendered PNG, from its header; -1 when nothing was written.
  int RenderedHeight(std::vector<std::string> args) {
    std::string png = Path("out.png");
    fs::remove(png);
    args.insert(args.begin(), {MARKLET_TOOL, "render"});
    args.insert(args.end(), {"-o", png});
    CommandResult result = RunCapturing(args);
    EXPECT_EQ(result.status, 0) << result.output;
    std::ifstream in(png, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return -1;
    return (header[20] << 24) | (header[21] << 16) | (header[22] << 8) | header[23];
  }
};

TEST_F(CommandLine, EveryLineEndBreaksALineUnlessRawKeepsTheText) {
  int one = RenderedHeight({"--text", "abc"});
  int three = RenderedHeight({"--text", "a\r\nb\r\nc"});
  ASSERT_GT(three, one);
  for (const std::string text : {"a\nb\nc", "a\rb\rc", "a\r\nb\nc"}) {
    EXPECT_EQ(RenderedHeight({"--text", text}), three);
    EXPECT_EQ(RenderedHeight({"--file", Write("text.txt", text)}), three);
  }
  // Written exactly, a lone LF is a character the control draws, not a break.
  EXPECT_EQ(RenderedHeight({"--raw", "--text", "a\nb\nc"}), one);
  EXPECT_EQ(RenderedHeight({"--file", Write("raw.txt", "a\nb\nc"), "--raw"}), one);
}

TEST_F(CommandLine, TwoSourcesOfTheTextAreRefused) {
  std::string file = Write("text.txt", "from the file");
  for (const std::string command : {"render", "view"}) {
    CommandResult both =
        RunCapturing({MARKLET_TOOL, command, "--text", "a", "--file", file, "-o", Path("no.png")});
    EXPECT_EQ(both.status, 2) << both.output;
    EXPECT_NE(both.output.find("--text and --file"), std::string::npos) << both.output;
    CommandResult twice = RunCapturing({MARKLET_TOOL, command, "--text", "a", "--text", "b", "-o", Path("no.png")});
    EXPECT_EQ(twice.status, 2) << twice.output;
  }
  EXPECT_FALSE(fs::exists(Path("no.png")));
  // One saved control and one font: a second is refused, not silently preferred.
  std::string bag = Write("saved.bag", "Text = \"saved\"\n");
  for (const auto& args : {std::vector<std::string>{"--bag", bag, "--bag", bag},
                                              {"--font", "Serif", "9", "--font", "Sans", "9"}}) {
    std::vector<std::string> argv{MARKLET_TOOL, "render", "-o", Path("no.png")};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult twice = RunCapturing(argv);
    EXPECT_EQ(twice.status, 2) << twice.output;
    EXPECT_NE(twice.output.find("given twice"), std::string::npos) << twice.output;
  }
}

TEST_F(CommandLine, TextThatIsNotUtf8IsRefusedNamingWhereItCameFrom) {
  const std::string bad = "a\xFF" "b";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string named;
  } cases[] = {
      {{"--text", bad}, 1, "in the text of --text"},
      {{"--file", Write("bad.txt", bad)}, 1, "in the text of --file '" + Path("bad.txt") + "'"},
      {{"--text", "x", "--prop", "Text=" + bad}, 1, "(--prop Text="},
      {{"--text", "x", "--font", bad, "12"}, 2, "--font takes a font name in UTF-8"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{MARKLET_TOOL, "render", "-o", Path("bad.png")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CommandResult result = RunCapturing(argv);
    EXPECT_EQ(result.status, c.status) << result.output;
    EXPECT_NE(result.output.find(c.named), std::string::npos) << result.output;
  }
  EXPECT_FALSE(fs::exists(Path("bad.png")));
}

TEST(CommandHelp, EveryCommandAnswersHelpOnStandardOutput) {
  for (const std::string command : {"script", "idl", "demo", "doc", "render", "view"}) {
    CommandResult result = RunCapturing({MARKLET_TOOL, command, "--help"});
    EXPECT_EQ(result.status, 0) << command << ": " << result.output;
    EXPECT_EQ(result.output.rfind("usage: marklet " + command, 0), 0u) << command << ": " << result.output;
  }
  for (const std::string command : {"render", "view"}) {
    EXPECT_NE(RunCapturing({MARKLET_TOOL, command, "--help"}).output.find("--raw passes the text exactly"),
              std::string::npos);
  }
}

TEST_F(CommandLine, StrictScriptsFailOnAnyErrorRecord) {
  std::string clean = Write("clean.scn", "new\nset Text \"hello\"\nget Text\n");
  std::string failing = Write("failing.scn", "new\nset TabSize 300\nget Text\n");
  std::string unreadable = Write("unreadable.scn", "new\nnosuchcommand\n");
  EXPECT_EQ(RunCapturing({MARKLET_TOOL, "script", "--strict", clean}).status, 0);
  for (const std::string& file : {failing, unreadable}) {
    CommandResult strict = RunCapturing({MARKLET_TOOL, "script", "--strict", file});
    CommandResult plain = RunCapturing({MARKLET_TOOL, "script", file});
    EXPECT_EQ(strict.status, 3) << strict.output;
    EXPECT_EQ(plain.status, 0) << plain.output;
    // Strictness changes the status only, never the records.
    EXPECT_EQ(strict.output, plain.output);
  }
  EXPECT_EQ(RunCapturing({MARKLET_TOOL, "script", "--strict"}, failing).status, 3);
}

TEST(CommandDisplay, NoDisplayIsExplainedWithTheWayAround) {
  // env -u clears DISPLAY; a display number nothing listens on is unreachable.
  CommandResult unset = RunCapturing({"/usr/bin/env", "-u", "DISPLAY", MARKLET_TOOL, "view", "--text", "x"});
  EXPECT_EQ(unset.status, 1);
  EXPECT_NE(unset.output.find("DISPLAY is unset"), std::string::npos) << unset.output;
  EXPECT_NE(unset.output.find("xvfb-run"), std::string::npos) << unset.output;
  CommandResult unreachable = RunCapturing({"/usr/bin/env", "DISPLAY=:4093", MARKLET_TOOL, "view", "--text", "x"});
  EXPECT_EQ(unreachable.status, 1);
  EXPECT_NE(unreachable.output.find("':4093' is unreachable"), std::string::npos) << unreachable.output;
}
TEST_F(CommandLine, RefusedAndIgnoredValuesNameThePropertyAndItsRange) {
  CommandResult refused = RunCapturing({MARKLET_TOOL, "render", "--text", "x", "--prop", "TabSize=300", "-o",
                                        Path("refused.png")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find("error 6"), std::string::npos) << refused.output;
  EXPECT_NE(refused.output.find("TabSize=300; TabSize takes 0..255"), std::string::npos) << refused.output;
  // Out of its range, a margin is ignored by the control: the render goes on and says so in English.
  CommandResult ignored = RunCapturing({MARKLET_TOOL, "render", "--text", "x", "--prop", "LeftMargin=3000", "-o",
                                        Path("ignored.png")});
  EXPECT_EQ(ignored.status, 0) << ignored.output;
  EXPECT_NE(ignored.output.find("warning: --prop LeftMargin=3000 is out of range; LeftMargin takes 0..2184 pixels"),
            std::string::npos)
      << ignored.output;
  EXPECT_EQ(ignored.output.find("El valor"), std::string::npos) << ignored.output;
  EXPECT_TRUE(fs::exists(Path("ignored.png")));
}

TEST_F(CommandLine, AnExplicitHeightIsKeptUnlessAutoSizeIsAskedFor) {
  const std::string three = "a\nb\nc";
  int grown = RenderedHeight({"--text", three});
  ASSERT_GT(grown, 8);
  EXPECT_EQ(RenderedHeight({"--text", three, "--height", "8"}), 8);
  EXPECT_EQ(RenderedHeight({"--text", three, "--height", "8", "--prop", "AutoSizeHeight=True"}), grown);
}

// The PNG's colour type: 6 has an alpha channel, 2 has none.
int PngColourType(const std::string& png) {
  std::ifstream in(png, std::ios::binary);
  char header[26] = {};
  return in.read(header, sizeof header) ? header[25] : -1;
}

TEST_F(CommandLine, SurfaceValuesGoThroughSurfaceAndPropSaysSo) {
  auto render = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {MARKLET_TOOL, "render", "--text", "x"});
    args.insert(args.end(), {"-o", Path("surface.png")});
    fs::remove(Path("surface.png"));
    return RunCapturing(args);
  };
  ASSERT_EQ(render({}).status, 0);
  EXPECT_EQ(PngColourType(Path("surface.png")), 2);
  CommandResult clear = render({"--surface", "backstyle=0", "--surface", "BorderStyle=0"});
  EXPECT_EQ(clear.status, 0) << clear.output;
  EXPECT_EQ(PngColourType(Path("surface.png")), 6);
  // A link look that reprints links makes the background opaque again, as in a container.
  ASSERT_EQ(render({"--surface", "BackStyle=0", "--prop", "LinkDisplay=3"}).status, 0);
  EXPECT_EQ(PngColourType(Path("surface.png")), 2);

  CommandResult prop = render({"--prop", "BackStyle=0"});
  EXPECT_EQ(prop.status, 1);
  EXPECT_NE(prop.output.find("error 438"), std::string::npos) << prop.output;
  EXPECT_NE(prop.output.find("give --surface BackStyle=0"), std::string::npos) << prop.output;
  CommandResult range = render({"--surface", "Appearance=2"});
  EXPECT_EQ(range.status, 1);
  EXPECT_NE(range.output.find("error 380"), std::string::npos) << range.output;
  EXPECT_NE(range.output.find("--surface Appearance=2; Appearance takes 0 (flat) or 1"), std::string::npos)
      << range.output;
  CommandResult mismatch = render({"--surface", "Enabled=maybe"});
  EXPECT_EQ(mismatch.status, 1);
  EXPECT_NE(mismatch.output.find("error 13"), std::string::npos) << mismatch.output;
  EXPECT_NE(mismatch.output.find("--surface Enabled=maybe; Enabled takes True or False"), std::string::npos)
      << mismatch.output;
  for (const std::string bad : {"Colour=1", "BackStyle", "=0"}) {
    CommandResult refused = render({"--surface", bad});
    EXPECT_EQ(refused.status, 2) << bad << ": " << refused.output;
  }
  EXPECT_FALSE(fs::exists(Path("surface.png")));
}

TEST_F(CommandLine, FontTakesANameASizeAndStyleWords) {
  int plain = RenderedHeight({"--text", "x"});
  int large = RenderedHeight({"--text", "x", "--font", "DejaVu Sans", "24"});
  EXPECT_GT(large, 2 * plain);
  EXPECT_EQ(RenderedHeight({"--text", "x", "--font", "DejaVu Sans", "24", "Italic", "bold"}), large);
  for (const auto& args : {std::vector<std::string>{"--font", "DejaVu Sans", "0"},
                                              {"--font", "DejaVu Sans", "2049"},
                                              {"--font", "DejaVu Sans", "big"},
                                              {"--font", "DejaVu Sans"},
                                              {"--font", "", "12"}}) {
    std::vector<std::string> argv{MARKLET_TOOL, "render", "--text", "x", "-o", Path("font.png")};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandResult refused = RunCapturing(argv);
    EXPECT_EQ(refused.status, 2) << refused.output;
    EXPECT_NE(refused.output.find("--font"), std::string::npos) << refused.output;
  }
}

TEST_F(CommandLine, PropTakesTheBagFileNotations) {
  for (const std::string setting : {"LinkColor=&HFF&", "LinkColor=&O17", "TabSize=CByte(7)", "UnderlineLink=True",
                                    "LeftMargin=-1", "Text=\"quoted\""}) {
    CommandResult result =
        RunCapturing({MARKLET_TOOL, "render", "--text", "x", "--prop", setting, "-o", Path("prop.png")});
    EXPECT_EQ(result.status, 0) << setting << ": " << result.output;
  }
}

}  // namespace

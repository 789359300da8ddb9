// No text makes painting hang or crash: varied texts painted at widths from 0
// to 3000 twips, in every combination of MultiLine, ShowMoreLink and
// AutoSizeHeight. A paint may end in an error; it must end.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "host/error.h"
#include "platform/trace/script_runner.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

// "@" stands for the test picture's path.
const char16_t* const kTexts[] = {
    u"",
    u"abc",
    u" ",
    u"Hi &bthere\\b #ek<go>",
    u"#ek<x> y",
    u"Hello&bWorld",
    u"&bHello\\b world",
    u"a &b c",
    u"x&bY",
    u"R&D&bX",
    u"#ek1<click here> more",
    u"#ea<b>, c",
    u"#ek 1<x>",
    u"a##b a\\sb #ex<a#b>",
    u"#xk<y>",
    u"#f<c:255;s:14>Big #f<s:0>small #f<s:abc>x #f<x>y #f<;;>z",
    u"#f<s:72>Huge words #f<s:1>tiny tiny tiny",
    u"#f<s:14>",
    u"&b",
    u"A\\nB\\n\\nC\\n",
    u"\ttab\there\r\nnext line\r\n",
    u"ab\\0 cd",
    u"#m<20>indented text after a margin change #m<-40>negative #m<&H7FFF>far",
    u"#m<99999>x",
    u"word Supercalifragilisticexpialidociousandthensomemorecharacters end",
    u"#ek<a link with many words that must wrap over several lines of text> after",
    u"#ek<a  link   with    runs     of      spaces       inside> after",
    u"#ek<x                                                          y>",
    u"#ek<Averyveryverylongwordinalinkwithoutanybreak andthensomemore>",
    u"#f<s:20>#ek<big link words here and there and everywhere>#f<s:8> small",
    u"#ik<@> #i<@:3:-2> text #ie<@>#ik<@>",
    u"#i<@> #i<@> #i<@> #i<@> "
    u"#i<@> #i<@> #i<@> #i<@>",
    u"a b c d e f g h i j k l m n o p q r s t u v w x y z a b c d e f g h i j k l m n o p q r s t u v w x y z "
    u"a b c d e f g h i j k l m n o p q r s t u v w x y z a b c d e f g h i j k l m n o p q r s t u v w x y z",
    u"line\\nline\\nline\\nline\\nline\\nline\\nline\\nline\\nline\\nline\\nline\\nline\\n#ek<last link>",
    u"&i&uunder italic\\u\\i #f<f:Arial;s:10;c:&HFF00>colour\\f back",
    u"#e<> #e<  > #ek<> #m<> #f<>",
};

std::u16string WithPicturePath(std::u16string text) {
  const std::u16string path = Utf8ToU16(MARKLET_FIXTURE_DIR "/render_box16x8.png");
  for (std::size_t at = text.find(u'@'); at != std::u16string::npos; at = text.find(u'@', at + path.size()))
    text.replace(at, 1, path);
  return text;
}

// Every Text the scenario files set, so the texts the parser's tests use are
// painted too. Their pictures are named relative to the fixtures folder.
std::vector<std::u16string> ScenarioTexts() {
  std::set<std::u16string> texts;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(MARKLET_SCENARIO_DIR)) {
    if (entry.path().extension() != ".scn") continue;
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      std::vector<trace::Token> tokens;
      try {
        tokens = trace::Tokenize(line);
      } catch (const std::exception&) {
        continue;
      }
      if (tokens.size() >= 3 && tokens[0].text == "post") tokens.erase(tokens.begin());
      if (tokens.size() == 3 && tokens[0].text == "set" && tokens[1].text == "Text" &&
          tokens[2].kind == trace::Token::String)
        texts.insert(tokens[2].value);
    }
  }
  return {texts.begin(), texts.end()};
}

struct Mode {
  bool multiLine, showMore, autoSize;
};

// Aborts the whole run if painting does not come back: a hang would otherwise
// only show as a test-runner timeout.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([this, limit] {
          auto until = std::chrono::steady_clock::now() + limit;
          while (!done_) {
            if (std::chrono::steady_clock::now() > until) {
              std::fprintf(stderr, "painting did not finish in time (last: %s)\n", where_.load());
              std::abort();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~Watchdog() {
    done_ = true;
    thread_.join();
  }
  void At(const char* where) { where_ = where; }

 private:
  std::atomic<bool> done_{false};
  std::atomic<const char*> where_{"start"};
  std::thread thread_;
};

struct SweepCount {
  int paints = 0;
  int paintErrors = 0;
  int parseErrors = 0;
};

// Paints `text` at widths 0..3000 twips, `step` apart, in every mode. A text
// may fail to parse (a missing picture, say); painting itself must never fail.
void Sweep(const std::u16string& text, int step, Watchdog& watchdog, SweepCount& count) {
  static const Mode modes[] = {{true, true, false},  {true, false, false}, {false, true, false},
                               {false, false, false}, {true, true, true},   {true, false, true},
                               {false, true, true},   {false, false, true}};
  std::ostream discard(nullptr);
  for (const Mode& mode : modes) {
    trace::TraceWorld world(discard);
    trace::TraceContainer container(world);
    container.CreateControl();
    Marklet& control = *container.control();
    control.Initialize();
    control.InitProperties();
    control.SetMultiLine(mode.multiLine);
    control.SetShowMoreLink(mode.showMore);
    control.SetAutoSizeHeight(mode.autoSize);
    try {
      control.SetText(text);
    } catch (const MarkletError&) {
      ++count.parseErrors;
    }
    for (int width = 0; width <= 3000; width += step) {
      // Heights vary too, so vertical overflow meets every kind of line.
      Single height = static_cast<Single>(60 + (width * 7) % 900);
      container.traceSurface().SetSizeQuietly(static_cast<Single>(width), height);
      watchdog.At("resize");
      try {
        control.Resize();
        ++count.paints;
      } catch (const MarkletError& e) {
        ADD_FAILURE() << "error " << e.number() << " painting '" << U16ToUtf8(text) << "' at " << width;
        ++count.paintErrors;
        continue;
      }
      if (!control.LayoutReady() || control.Text().empty()) continue;
      // A complete paint leaves the base font and colour on the surface and
      // segments that point at real links.
      Surface& s = container.surface();
      EXPECT_EQ(s.FontName(), control.Style().BaseFontName);
      EXPECT_EQ(s.FontSize(), control.Style().BaseFontSize);
      EXPECT_EQ(s.ForeColor(), control.Style().BaseColor);
      for (const LinkSegment& segment : control.LinkSegments()) {
        ASSERT_GE(segment.LinkIndex, 0);
        ASSERT_LT(segment.LinkIndex, control.LinkCount());
      }
    }
  }
}

TEST(PaintSweep, VariedTextsEndAtEveryWidthInEveryMode) {
  Watchdog watchdog(std::chrono::seconds(300));
  SweepCount count;
  for (const char16_t* written : kTexts) Sweep(WithPicturePath(written), 37, watchdog, count);
  EXPECT_GT(count.paints, 20000);
  EXPECT_EQ(count.parseErrors, 0);
  EXPECT_EQ(count.paintErrors, 0);
}

TEST(PaintSweep, EveryScenarioTextEndsAtEveryWidthInEveryMode) {
  Watchdog watchdog(std::chrono::seconds(300));
  SweepCount count;
  const std::vector<std::u16string> texts = ScenarioTexts();
  // Some of these expand to hundreds of runs: fewer widths keep this quick.
  for (const std::u16string& text : texts) Sweep(text, 149, watchdog, count);
  EXPECT_GT(texts.size(), 20u);
  EXPECT_EQ(count.paintErrors, 0);
}

}  // namespace
}  // namespace marklet

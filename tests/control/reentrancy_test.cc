// Host handlers that change the control from inside its own events: every
// settable property from inside every event, with leaves, paints and new
// texts posted so that they arrive in the middle of a hit test. Nothing may
// crash or read a record that is gone, the errors are the designed ones, and
// afterwards the control draws and hits a new text as usual.
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "host/error.h"
#include "platform/trace/script_runner.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

// A setting for each property a handler can put, each different from what
// the scenario starts with.
const std::vector<std::pair<const char*, const char*>> kSettings = {
    {"Text", "'#ek9<new link> and more text that wraps'"},
    {"Text", "''"},
    {"AutoSizeHeight", "False"},
    {"MultiLine", "False"},
    {"ShowMoreLink", "True"},
    {"MoreLinkText", "'more...'"},
    {"LinkDisplay", "3"},
    {"UnderlineLink", "True"},
    {"LeftMargin", "40"},
    {"LineSpacing", "6"},
    {"TabSize", "2"},
    {"Enabled", "False"},
    {"BorderStyle", "0"},
    {"Appearance", "0"},
    {"BackColor", "255"},
    {"ForeColor", "&HFF00"},
    {"LinkColor", "&HFF0000"},
    {"ActiveLinkColor", "&HFFFF"},
    {"GetTextOnEvent", "True"},
    {"Picture", "'dot16x8.png'"},
};

const char* const kEvents[] = {"MouseMove", "MouseDown", "MouseUp", "Click",  "DblClick",
                               "OnLinkClick", "MouseOut", "KeyDown", "KeyPress", "KeyUp"};

// Hovers, presses and releases over a text link, a wrapped link and an image
// link, with leaves, paints and new texts queued to arrive inside the next
// hit test. "go" lies at x 255..405, y 0..195.
const char* const kWalk =
    "move 300 100\n"
    "down 300 100\n"
    "up 300 100\n"
    "click\n"
    "dblclick\n"
    "keydown 65 0\nkeypress 65\nkeyup 65 0\n"
    "post leave\n"
    "move 300 100\n"
    "post paint\n"
    "move 700 100\n"
    "post set Text '#ea<one> #eb<two>'\n"
    "move 300 100\n"
    "up 300 100\n"
    "move 100 300\n"
    "up 100 300\n"
    "imgmove 0 2 2\n"
    "imgup 0 2 2\n"
    "move 5000 5000\n"
    "leave\n"
    "resize 600 900\n"
    "move 50 50\n"
    "up 50 50\n"
    "leave\n";

std::string RunScript(const std::string& script) {
  std::ostringstream out;
  {
    trace::ScriptRunner runner(out);
    std::istringstream in(script);
    runner.Run(in);
  }
  return out.str();
}

// The error numbers the records report.
std::set<int> ErrorsIn(const std::string& records) {
  std::set<int> numbers;
  const std::string key = "\"error\":{\"number\":";
  for (std::size_t at = records.find(key); at != std::string::npos; at = records.find(key, at + 1))
    numbers.insert(std::stoi(records.substr(at + key.size())));
  return numbers;
}

TEST(Reentrancy, EveryPropertySetFromInsideEveryEvent) {
  for (const char* event : kEvents) {
    for (const auto& [property, value] : kSettings) {
      SCOPED_TRACE(std::string(event) + " sets " + property);
      std::string script = std::string("ambient name ''\nnew\nset AutoSizeHeight True\n") +
                           "set Text 'ab #ek1<go> x #ek2<a long link whose words wrap over the lines of "
                           "the control> #ik3<dot16x8.png> end'\n" +
                           "on " + event + " set " + property + " " + value + "\n" + kWalk +
                           "off " + event + "\n" +
                           // Afterwards a new text draws and its link is hit.
                           "set Enabled True\nset MultiLine True\nset AutoSizeHeight False\nset LeftMargin 0\n"
                           "resize 1350 570\nset Text 'ab #ek1<go> x'\ndump\nmove 300 100\n";
      std::string records = RunScript(script);
      EXPECT_EQ(records.find("scriptError"), std::string::npos) << records;
      // Error 10 is a Text set while a link event holds the link table.
      for (int number : ErrorsIn(records)) EXPECT_EQ(number, 10) << records;
      std::size_t dump = records.rfind("{\"dump\"");
      ASSERT_NE(dump, std::string::npos);
      EXPECT_NE(records.find("\"layoutReady\":true", dump), std::string::npos);
      EXPECT_NE(records.find("\"k1\",0,0,300,100]", dump), std::string::npos)
          << "the new text's link is not hit";
    }
  }
}

// A link click whose handler turns AutoSizeHeight on: the next paint sets
// the height, which raises Resize and paints again while the handler still
// holds the link table. The nested paint draws the same text, and the click
// completes.
TEST(Reentrancy, AutoSizeHeightFromALinkClickRepaintsUnderTheLockedTable) {
  std::string records = RunScript(
      "ambient name ''\nnew\nset AutoSizeHeight False\nset Text 'ab #ek1<go> x'\n"
      "on OnLinkClick set AutoSizeHeight True\nmove 300 100\nup 300 100\n"
      "off OnLinkClick\ndump\nmove 300 100\n");
  EXPECT_TRUE(ErrorsIn(records).empty()) << records;
  EXPECT_NE(records.find("{\"event\":\"OnLinkClick\",\"args\":[\"\",\"k1\"]}"), std::string::npos) << records;
  EXPECT_NE(records.find("{\"height\":"), std::string::npos) << records;
  EXPECT_NE(records.find("{\"deliver\":\"Resize\"}"), std::string::npos) << records;
  std::size_t dump = records.rfind("{\"dump\"");
  ASSERT_NE(dump, std::string::npos);
  EXPECT_NE(records.find("\"linkKey\":\"k1\"", dump), std::string::npos);
  EXPECT_NE(records.find("\"layoutReady\":true", dump), std::string::npos);
}

// A MouseOut handler that sets Text: the leave parses a new text while the
// pointer code restores the old link's look.
TEST(Reentrancy, TextFromMouseOutReplacesTheTablesTheLeaveWasUsing) {
  std::string records = RunScript(
      "ambient name ''\nnew\nset AutoSizeHeight False\nset LinkDisplay 2\n"
      "set Text 'ab #ek1<go> x #ek2<two>'\non MouseOut set Text '#ek7<z>'\n"
      "move 300 100\nleave\nmove 300 100\nmove 30 100\noff MouseOut\ndump\nmove 60 100\n");
  EXPECT_TRUE(ErrorsIn(records).empty()) << records;
  std::size_t dump = records.rfind("{\"dump\"");
  ASSERT_NE(dump, std::string::npos);
  EXPECT_NE(records.find("\"linkKey\":\"k7\"", dump), std::string::npos) << records;
  EXPECT_EQ(records.find("\"linkKey\":\"k1\"", dump), std::string::npos) << records;
  EXPECT_NE(records.find("\"args\":[\"\",\"k7\",0,0,60,100]", dump), std::string::npos) << records;
}

// A Text whose parse stops half way (a picture that is not there) rebuilds
// the link table only in part. The segments of the link broken over lines in
// the last paint must go with the old table: the pointer over where they were
// hits nothing, rather than the new table's link that now has their index.
TEST(StaleTables, AParseThatFailsHalfWayLeavesNoSegmentsToHit) {
  std::ostringstream out;
  trace::TraceWorld world(out);
  trace::TraceContainer container(world);
  container.CreateControl();
  Marklet& c = *container.control();
  c.Initialize();
  c.InitProperties();
  c.SetAutoSizeHeight(false);
  c.SetShowMoreLink(false);
  c.SetText(u"x #ek1<a long link whose words wrap over the lines of the control>");
  world.Pump();
  ASSERT_GT(c.LinkSegments().size(), 1u);
  const LinkSegment first = c.LinkSegments()[0];
  EXPECT_THROW(c.SetText(u"#ek2<other> #i<no-such-picture.png>"), MarkletError);
  world.Pump();
  EXPECT_EQ(c.LinkSegments().size(), 0u);
  EXPECT_FALSE(c.MoreLinkShown());
  out.str("");
  Integer button = 0, shift = 0;
  Single x = (first.Left + first.Right) / 2, y = (first.Top + first.Bottom) / 2;
  c.SurfaceMouseMove(button, shift, x, y);
  EXPECT_EQ(c.HoverSegment(), -1);
  EXPECT_EQ(out.str().find("k2"), std::string::npos) << out.str();
  c.Terminate();
}

}  // namespace
}  // namespace marklet

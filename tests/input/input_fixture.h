// The pointer handling of a control on the trace container, over link tables
// the tests fill by hand, so it can be checked apart from parsing and drawing.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "input/surface_input.h"
#include "platform/trace/trace_container.h"

namespace marklet::testing {

constexpr OleColor kLinkColor = 0xFF0000;
constexpr OleColor kActiveColor = 0x0000FF;

inline LinkRecord TextLink(const std::u16string& text, const std::u16string& key, Single left,
                           Single top, Single right, Single bottom) {
  LinkRecord link;
  link.LinkText = text;
  link.LinkKey = key;
  link.FontName = u"Arial";
  link.FontSize = 12;
  link.Left = left;
  link.Top = top;
  link.Right = right;
  link.Bottom = bottom;
  return link;
}

class InputTest : public ::testing::Test {
 protected:
  // As the control's Initialize and Terminate do.
  void SetUp() override {
    input.hook().Hook();
    TakeRecords();
  }
  void TearDown() override { input.hook().Unhook(); }

  void SetLook(Long linkDisplay, bool underline) {
    look = LinkLook{linkDisplay, underline, kLinkColor, kActiveColor};
  }

  // The records printed since the last call.
  std::vector<std::string> TakeRecords() {
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    out.str("");
    return lines;
  }

  // The records that contain `what`, in order.
  std::vector<std::string> TakeRecords(const std::string& what) {
    std::vector<std::string> matching;
    for (auto& line : TakeRecords())
      if (line.find(what) != std::string::npos) matching.push_back(line);
    return matching;
  }

  // Installs links 0..n-1 plus a More link record, as a parse and paint leave them.
  // Repaints that setters asked for run first, so no parse replaces these tables.
  void SetLinks(std::vector<LinkRecord> links, LinkRecord more = {}) {
    world.Pump();
    parsed.linkCount = static_cast<Integer>(links.size());
    more.LinkKey = u"!More";
    links.push_back(more);
    parsed.links = std::move(links);
  }

  void Move(Single x, Single y) {
    Integer button = 0, shift = 0;
    input.MouseMove(button, shift, x, y);
  }
  void Up(Single x, Single y, Integer button = 1) {
    Integer shift = 0;
    input.MouseUp(button, shift, x, y);
  }

  std::ostringstream out;
  trace::TraceWorld world{out};
  trace::TraceContainer container{world};
  ParsedText parsed;
  PaintedLinks painted;
  LinkLook look;
  bool getTextOnEvent = false;
  SurfaceInput input{container, parsed, painted, look, getTextOnEvent};
};

}  // namespace marklet::testing

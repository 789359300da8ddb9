// A control on the trace container whose link tables the tests fill by hand,
// so pointer handling can be checked apart from parsing and drawing.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/marklet.h"
#include "platform/trace/trace_container.h"

namespace marklet {

struct InputTestAccess {
  static std::vector<LinkRecord>& Links(Marklet& m) { return m.parsed_.links; }
  static std::vector<LinkSegment>& Segments(Marklet& m) { return m.painted_.segments; }
  static Integer& LinkCount(Marklet& m) { return m.parsed_.linkCount; }
  static bool& MoreLinkShown(Marklet& m) { return m.painted_.moreLinkShown; }
  static Integer& HoverLink(Marklet& m) { return m.hoverLink_; }
  static Integer& HoverSegment(Marklet& m) { return m.hoverSegment_; }
  static int LinksLocked(const Marklet& m) { return m.linksLocked_; }
  static void SetLook(Marklet& m, Long linkDisplay, bool underline) {
    m.linkDisplay_ = linkDisplay;
    m.underlineLink_ = underline;
    m.linkColor_ = kLinkColor;
    m.activeLinkColor_ = kActiveColor;
  }
  static constexpr OleColor kLinkColor = 0xFF0000;
  static constexpr OleColor kActiveColor = 0x0000FF;
};

namespace testing {

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
  void SetUp() override {
    container.CreateControl();
    control = container.control();
    control->Initialize();
    TakeRecords();
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
    InputTestAccess::LinkCount(*control) = static_cast<Integer>(links.size());
    more.LinkKey = u"!More";
    links.push_back(more);
    InputTestAccess::Links(*control) = std::move(links);
  }

  void Move(Single x, Single y) {
    Integer button = 0, shift = 0;
    control->SurfaceMouseMove(button, shift, x, y);
  }
  void Up(Single x, Single y, Integer button = 1) {
    Integer shift = 0;
    control->SurfaceMouseUp(button, shift, x, y);
  }

  std::ostringstream out;
  trace::TraceWorld world{out};
  trace::TraceContainer container{world};
  Marklet* control = nullptr;
};

}  // namespace testing
}  // namespace marklet

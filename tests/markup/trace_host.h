// Test access to the parser's private members, and a control on the trace
// container to parse with.
#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "control/marklet.h"
#include "platform/trace/trace_container.h"

namespace marklet {

struct MarkupProbe {
  static void ParseText(Marklet& m, const std::u16string& text) { m.ParseText(text); }
  static bool ApplyStyleTag(Marklet& m, std::u16string_view piece) { return m.ApplyStyleTag(piece); }
  static void LockLinks(Marklet& m, int depth) { m.linksLocked_ = depth; }
};

namespace testing {

// A new control (Initialize, InitProperties) on a trace container whose
// records go to a string.
class TraceHost {
 public:
  using MakeContainer = std::function<std::unique_ptr<trace::TraceContainer>(trace::TraceWorld&)>;
  explicit TraceHost(const MakeContainer& make = nullptr) : world_(out_) {
    container_ = make ? make(world_) : std::make_unique<trace::TraceContainer>(world_);
    container_->CreateControl();
    control().Initialize();
    control().InitProperties();
  }
  Marklet& control() { return *container_->control(); }
  trace::TraceSurface::State& surface() { return container_->traceSurface().state(); }
  std::string records() const { return out_.str(); }

 private:
  std::ostringstream out_;
  trace::TraceWorld world_;
  std::unique_ptr<trace::TraceContainer> container_;
};

}  // namespace testing
}  // namespace marklet

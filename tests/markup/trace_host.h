// A control on the trace container, and a parser over its surface and image
// controls with the settings a new control parses with.
#pragma once

#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "control/marklet.h"
#include "markup/parser.h"
#include "platform/trace/trace_container.h"

namespace marklet::testing {

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

  MarkupParser Parser() {
    trace::TraceContainer& c = *container_;
    return MarkupParser(c.surface(), c.imgC(),
                        [&c](const std::u16string& path) { return c.LoadPicture(path); });
  }
  // A new control's settings; the font is the surface's.
  static ParseSettings Settings() {
    ParseSettings settings;
    settings.multiLine = true;
    settings.tabSize = 5;
    settings.linkColor = 0xFF0000;
    settings.moreLinkText = u"...+";
    settings.twipsPerPixelX = 15;
    settings.twipsPerPixelY = 15;
    return settings;
  }

 private:
  std::ostringstream out_;
  trace::TraceWorld world_;
  std::unique_ptr<trace::TraceContainer> container_;
};

}  // namespace marklet::testing

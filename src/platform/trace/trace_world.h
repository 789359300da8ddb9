// The state every container of one scenario shares: where records go, the
// failures a scenario arms, the screen and the message queue.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "host/numeric.h"
#include "platform/trace/trace_forms.h"

namespace marklet::trace {

// Where records go. Records of a container other than the scenario's main
// control carry a "source" key naming it.
class TraceLog {
 public:
  explicit TraceLog(std::ostream& out) : out_(&out) {}
  void Emit(const std::string& key, const std::string& valueJson, const std::string& source = {});
  // A record with extra keys after the first one.
  void EmitObject(const std::string& objectJson);
  std::ostream& out() { return *out_; }
  // How many error and scriptError records were printed (`script --strict`).
  std::size_t errorRecords() const { return errorRecords_; }

 private:
  std::ostream* out_;
  std::size_t errorRecords_ = 0;
};

// `fail OPERATION [NUMBER]`: the next call of that operation fails.
class FailurePlan {
 public:
  void Arm(const std::string& operation, int number) { armed_[operation] = number; }
  // Throws the armed error for this operation, once.
  void Check(const char* operation);
  bool Empty() const { return armed_.empty(); }

 private:
  std::map<std::string, int> armed_;
};

class TraceWindowSystem;

// State shared by every container of one scenario: the log, the screen, the
// window system, the failure plan and the message queue.
class TraceWorld {
 public:
  explicit TraceWorld(std::ostream& out);
  ~TraceWorld();

  TraceLog& log() { return log_; }
  FailurePlan& failures() { return failures_; }
  TraceWindowSystem& windows() { return *windows_; }
  TraceFormHost& forms() { return *forms_; }

  Single tppX = 15;
  Single tppY = 15;

  // When set, every file the scenario names (pictures, property bags, the
  // files it writes and shows) must lie inside this folder; others are
  // refused with error 53. For running text and scenarios nobody vetted.
  // Each file is opened beneath this folder (files::OpenBeneath), never
  // checked by name and opened again.
  std::optional<std::string> fileRoot;
  // The folder files are confined to, or "" for none.
  std::string root() const { return fileRoot.value_or(""); }

  // The message queue, first in first out. A queued message is a paint for a
  // container or a posted scenario command.
  struct Message {
    std::function<void()> deliver;
    const void* paintFor = nullptr;  // non-null for a queued Paint
  };
  void Post(Message message) { queue_.push_back(std::move(message)); }
  bool PaintQueued(const void* container) const;
  // Pumps run inside a message's delivery up to this depth (the outermost
  // is depth 0), as on the raster host; a deeper one returns at once and
  // leaves the queue to the pumps running.
  static constexpr int kMaxNestedPumps = 8;
  // Delivers every queued message, those queued meanwhile included.
  void Pump();
  bool QueueEmpty() const { return queue_.empty(); }
  // Drops the queued paints of a container that goes away.
  void ForgetPaints(const void* container);

  // A modal loop runs the scenario's next line through this; false when the
  // scenario has no more lines (or nobody reads one).
  void SetNestedLineSource(std::function<bool()> source) { nestedLines_ = std::move(source); }
  bool RunNestedLine() { return nestedLines_ && nestedLines_(); }

 private:
  TraceLog log_;
  FailurePlan failures_;
  std::unique_ptr<TraceWindowSystem> windows_;
  std::deque<Message> queue_;
  int pumpDepth_ = 0;
  bool depthLimitReported_ = false;  // within the outermost pump running
  std::function<bool()> nestedLines_;
  std::unique_ptr<TraceFormHost> forms_;  // last: its forms go first
};

}  // namespace marklet::trace

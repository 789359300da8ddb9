#include "platform/trace/trace_world.h"

#include <algorithm>

#include "host/error.h"
#include "platform/trace/json.h"
#include "platform/trace/trace_window_system.h"

namespace marklet::trace {

// ---- TraceLog ----

void TraceLog::Emit(const std::string& key, const std::string& valueJson, const std::string& source) {
  JsonObject record;
  record.Raw(key, valueJson);
  if (!source.empty()) record.Str("source", source);
  EmitObject(record.str());
}

void TraceLog::EmitObject(const std::string& objectJson) {
  // A record's kind is its first key.
  if (objectJson.starts_with("{\"error\":") || objectJson.starts_with("{\"scriptError\":")) ++errorRecords_;
  *out_ << objectJson << '\n';
}

// ---- FailurePlan ----

void FailurePlan::Check(const char* operation) {
  if (armed_.empty()) return;
  auto it = armed_.find(operation);
  if (it == armed_.end()) return;
  int number = it->second;
  armed_.erase(it);
  throw MarkletError(number, std::string("Injected failure of ") + operation);
}

// ---- TraceWorld ----

TraceWorld::TraceWorld(std::ostream& out)
    : log_(out),
      windows_(std::make_unique<TraceWindowSystem>(*this)),
      forms_(std::make_unique<TraceFormHost>(*this)) {}

TraceWorld::~TraceWorld() = default;

bool TraceWorld::PaintQueued(const void* container) const {
  return std::any_of(queue_.begin(), queue_.end(),
                     [&](const Message& m) { return m.paintFor == container; });
}

void TraceWorld::ForgetPaints(const void* container) {
  std::erase_if(queue_, [&](const Message& m) { return m.paintFor == container; });
}

void TraceWorld::Pump() {
  // A handler that keeps queueing work must not hang the scenario.
  constexpr int kMaxMessagesPerPump = 100000;
  if (pumpDepth_ == 0) depthLimitReported_ = false;
  // Each message a nested pump delivers may pump again (a hit test does):
  // past the limit the messages stay queued, in order, for the pump that is
  // already running, so the stack stays shallow however many are pending.
  if (pumpDepth_ > kMaxNestedPumps) {
    if (!depthLimitReported_) {
      depthLimitReported_ = true;
      log_.Emit("pumpDepthLimit", std::to_string(kMaxNestedPumps));
    }
    return;
  }
  ++pumpDepth_;
  int delivered = 0;
  while (!queue_.empty() && delivered < kMaxMessagesPerPump) {
    Message message = std::move(queue_.front());
    queue_.pop_front();
    ++delivered;
    message.deliver();
  }
  --pumpDepth_;
}

}  // namespace marklet::trace

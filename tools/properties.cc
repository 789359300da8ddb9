#include <span>

#include "control/dispatch.h"
#include "platform/trace/script_runner.h"
#include "tools/commands.h"

namespace marklet::tools {

void ApplyProperties(Marklet& control, const PropertySettings& settings) {
  for (const auto& [name, value] : settings) {
    trace::Token token;
    token.text = value;
    token.value = Utf8ToU16(value);
    Variant v;
    try {
      v = trace::ValueOf(token);
    } catch (const std::exception&) {
      v = Variant::FromString(token.value);
    }
    Invoke(control, Utf8ToU16(name), InvokeKind::Put, std::span<const Variant>(&v, 1));
  }
}

}  // namespace marklet::tools

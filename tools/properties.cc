#include <algorithm>
#include <cctype>
#include <span>
#include <string>
#include <string_view>

#include "control/dispatch.h"
#include "control/member_docs.h"
#include "host/error.h"
#include "platform/bag/bag_syntax.h"
#include "platform/trace/script_runner.h"
#include "tools/commands.h"

namespace marklet::tools {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string RangeOf(const std::string& name) {
  for (const MemberDoc& doc : MemberDocs()) {
    if (doc.range && *doc.range && SameName(name, doc.name)) {
      // Only the range itself, before what the reference says of other
      // values, and without the reference's code marks.
      std::string range = doc.range;
      range = range.substr(0, range.find(". "));
      std::erase(range, '`');
      return range;
    }
  }
  return {};
}

PropertySettings WithHeightKept(const PropertySettings& settings, bool heightGiven) {
  auto setsAutoSize = [](const auto& setting) { return SameName(setting.first, "AutoSizeHeight"); };
  if (!heightGiven || std::any_of(settings.begin(), settings.end(), setsAutoSize)) return settings;
  PropertySettings kept = {{"AutoSizeHeight", "False"}};
  kept.insert(kept.end(), settings.begin(), settings.end());
  return kept;
}

Variant CommandLineValue(const std::string& text) {
  trace::Token token;
  token.text = text;
  token.value = Utf8ToU16(text);
  try {
    return trace::ValueOf(token);
  } catch (const std::exception&) {
  }
  try {
    bag::BagEntry entry = bag::ParseBagValue(text);
    // A picture file is not a value the command line can pass; it stays text.
    if (!entry.pictureFile) return entry.value;
  } catch (const MarkletError&) {
  }
  return Variant::FromString(token.value);
}

void ApplyProperty(Marklet& control, const std::string& name, const std::string& value) {
  try {
    Variant v = CommandLineValue(value);
    Invoke(control, Utf8ToU16(name), InvokeKind::Put, std::span<const Variant>(&v, 1));
  } catch (const MarkletError& e) {
    std::string range = RangeOf(name);
    throw MarkletError(e.number(), std::string(e.what()) + " (--prop " + name + "=" + value +
                                       (range.empty() ? "" : "; " + name + " takes " + range) + ")");
  }
}

}  // namespace marklet::tools

#include <algorithm>
#include <cctype>
#include <span>
#include <string>

#include "control/dispatch.h"
#include "control/member_docs.h"
#include "host/error.h"
#include "platform/bag/bag_syntax.h"
#include "platform/trace/script_runner.h"
#include "tools/commands.h"

namespace marklet::tools {

std::string RangeOf(const std::string& name) {
  for (const MemberDoc& doc : MemberDocs()) {
    if (doc.range && *doc.range && name.size() == std::char_traits<char>::length(doc.name) &&
        std::equal(name.begin(), name.end(), doc.name,
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                               std::tolower(static_cast<unsigned char>(b)); })) {
      // Only the range itself, before what the reference says of other values.
      std::string range = doc.range;
      return range.substr(0, range.find(". "));
    }
  }
  return {};
}

PropertySettings WithHeightKept(const PropertySettings& settings, bool heightGiven) {
  auto setsAutoSize = [](const auto& setting) {
    const std::string& name = setting.first;
    return std::equal(name.begin(), name.end(), "AutoSizeHeight", "AutoSizeHeight" + 14, [](char a, char b) {
      return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
  };
  if (!heightGiven || std::any_of(settings.begin(), settings.end(), setsAutoSize)) return settings;
  PropertySettings kept = {{"AutoSizeHeight", "False"}};
  kept.insert(kept.end(), settings.begin(), settings.end());
  return kept;
}

void ApplyProperties(Marklet& control, const PropertySettings& settings, std::string* applying) {
  for (const auto& [name, value] : settings) {
    if (applying) *applying = name + "=" + value;
    trace::Token token;
    token.text = value;
    token.value = Utf8ToU16(value);
    Variant v;
    try {
      v = trace::ValueOf(token);
    } catch (const std::exception&) {
      // Else the notations of a bag file (&HFF&, &O17, CByte(7), "quoted"),
      // read by the bag's own parser; else the text as a string.
      try {
        std::vector<bag::BagEntry> entries;
        if (value.find_first_of("\r\n") == std::string::npos) entries = bag::ParseBagText("Value = " + value + "\n");
        v = entries.size() == 1 ? entries[0].value : Variant::FromString(token.value);
      } catch (const std::exception&) {
        v = Variant::FromString(token.value);
      }
    }
    try {
      Invoke(control, Utf8ToU16(name), InvokeKind::Put, std::span<const Variant>(&v, 1));
    } catch (const MarkletError& e) {
      std::string range = RangeOf(name);
      throw MarkletError(e.number(), std::string(e.what()) + " (--prop " + name + "=" + value +
                                         (range.empty() ? "" : "; " + name + " takes " + range) + ")");
    }
  }
  if (applying) applying->clear();
}

}  // namespace marklet::tools

// Placeholder until the property-bag file format lands.
#include "platform/trace/bag_file.h"

#include "host/error.h"
#include "platform/trace/trace_container.h"

namespace marklet::trace {

PropertyBagFile PropertyBagFile::Load(const std::u16string& path, TraceContainer&) {
  throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + U16ToUtf8(path) + "'");
}

void PropertyBagFile::Save(const std::u16string&) const {}

PropertyBagFile PropertyBagFile::Parse(std::string_view, TraceContainer& container) {
  return PropertyBagFile(container);
}

std::string PropertyBagFile::Format() const { return {}; }

Variant PropertyBagFile::ReadProperty(const std::u16string& name, const Variant& defaultValue) {
  container_->Check("ReadProperty");
  for (auto& e : entries_)
    if (e.first == name) return e.second;
  return defaultValue;
}

void PropertyBagFile::WriteProperty(const std::u16string& name, const Variant& value,
                                    const Variant& defaultValue) {
  container_->Check("WriteProperty");
  if (value == defaultValue) return;
  entries_.emplace_back(name, value);
}

}  // namespace marklet::trace

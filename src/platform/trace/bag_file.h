// A property bag kept in a human-readable text file, one `Key = Value` line
// per stored key, in the notation form designers use.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/container.h"

namespace marklet::trace {

class TraceContainer;

class PropertyBagFile : public PropertyBag {
 public:
  // Reads and writes go through the container's failure plan
  // ("ReadProperty", "WriteProperty"); pictures load through it.
  explicit PropertyBagFile(TraceContainer& container) : container_(&container) {}

  // Reads a whole file; error 53 when it cannot be opened, 13 naming the line
  // when it is not well formed. Nothing is loaded from a bad file.
  static PropertyBagFile Load(const std::u16string& path, TraceContainer& container);
  // Writes a new file and replaces the old one atomically.
  void Save(const std::u16string& path) const;

  static PropertyBagFile Parse(std::string_view text, TraceContainer& container);
  std::string Format() const;

  Variant ReadProperty(const std::u16string& name, const Variant& defaultValue) override;
  void WriteProperty(const std::u16string& name, const Variant& value,
                     const Variant& defaultValue) override;

  const std::vector<std::pair<std::u16string, Variant>>& entries() const { return entries_; }

 private:
  TraceContainer* container_;
  std::vector<std::pair<std::u16string, Variant>> entries_;
};

}  // namespace marklet::trace

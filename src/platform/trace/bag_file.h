// The trace container's property-bag file: a text property bag whose reads
// and writes go through the container's failure plan ("ReadProperty",
// "WriteProperty") and whose pictures load through its LoadPicture.
#pragma once

#include <string>
#include <string_view>

#include "platform/bag/text_property_bag.h"

namespace marklet::trace {

class TraceContainer;

class PropertyBagFile : public bag::TextPropertyBag {
 public:
  explicit PropertyBagFile(TraceContainer& container);

  // Reads a whole file (opened beneath `root` when it is not empty); error 53
  // when it does not exist or lies outside, 13 naming the line when it is not
  // well formed. Nothing is loaded from a bad file.
  static PropertyBagFile Load(const std::u16string& path, TraceContainer& container,
                              const std::string& root = {});
  static PropertyBagFile Parse(std::string_view text, TraceContainer& container);
  // Writes a new file and replaces the old one atomically.
  void Save(const std::u16string& path) const { SaveFile(path); }

 private:
  PropertyBagFile(bag::TextPropertyBag bag) : bag::TextPropertyBag(std::move(bag)) {}
  static Hooks HooksFor(TraceContainer& container);
};

}  // namespace marklet::trace

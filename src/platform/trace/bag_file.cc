#include "platform/trace/bag_file.h"

#include "platform/bag/bag_file_io.h"
#include "platform/trace/trace_container.h"

namespace marklet::trace {

bag::TextPropertyBag::Hooks PropertyBagFile::HooksFor(TraceContainer& container) {
  Hooks hooks;
  hooks.check = [&container](const char* operation) { container.Check(operation); };
  hooks.loadPicture = [&container](const std::u16string& path) { return container.LoadPicture(path); };
  return hooks;
}

PropertyBagFile::PropertyBagFile(TraceContainer& container)
    : bag::TextPropertyBag(HooksFor(container)) {}

PropertyBagFile PropertyBagFile::Load(const std::u16string& path, TraceContainer& container,
                                      const std::string& root) {
  std::string file = U16ToUtf8(path);
  return PropertyBagFile(bag::TextPropertyBag::Parse(bag::ReadWholeFile(file, root), HooksFor(container), file));
}

PropertyBagFile PropertyBagFile::Parse(std::string_view text, TraceContainer& container) {
  return PropertyBagFile(bag::TextPropertyBag::Parse(text, HooksFor(container)));
}

}  // namespace marklet::trace

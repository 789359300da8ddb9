#include "host/container.h"

#include "host/error.h"

namespace marklet {

void ReadNamingSource(PropertyBag& bag, const std::function<void()>& read) {
  try {
    read();
  } catch (const MarkletError& e) {
    std::string source = bag.SourceOfLastRead();
    if (source.empty()) throw;
    throw MarkletError(e.number(), std::string(e.what()) + " (" + source + ")");
  }
}

const char* EventName(EventId id) {
  switch (id) {
    case EventId::Click: return "Click";
    case EventId::DblClick: return "DblClick";
    case EventId::KeyDown: return "KeyDown";
    case EventId::KeyPress: return "KeyPress";
    case EventId::KeyUp: return "KeyUp";
    case EventId::MouseDown: return "MouseDown";
    case EventId::MouseMove: return "MouseMove";
    case EventId::MouseUp: return "MouseUp";
    case EventId::OnLinkClick: return "OnLinkClick";
    case EventId::MouseOut: return "MouseOut";
  }
  return "?";
}

FormHost& Container::forms() {
  throw MarkletError(ErrorNumber::NotSupported, "This container cannot show forms");
}

}  // namespace marklet

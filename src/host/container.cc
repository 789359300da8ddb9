#include "host/container.h"

namespace marklet {

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

}  // namespace marklet

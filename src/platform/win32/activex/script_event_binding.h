// Event binding for script engines that bind a handler by asking the named
// object itself (IBindEventHandler), as JScript's `function Marklet1::OnLinkClick(LinkText, LinkKey)`
// does in some engines, rather than by connecting a sink from the object's
// type information. Each bound handler is called with the event's arguments
// by value: a script function cannot assign to them.
#pragma once

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

class MarkletObject;

bool IsEventBinderInterface(REFIID iid);

// A tear-off with IBindEventHandler over `owner`; other interfaces are the owner's.
HRESULT CreateEventBinder(MarkletObject& owner, IUnknown* ownerUnknown, REFIID iid, void** out);

}  // namespace marklet::win32::activex

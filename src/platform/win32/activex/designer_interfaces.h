// The interfaces form designers take besides embedding: IQuickActivate (one
// call that hands the control its site, sinks and ambient values, in place of
// a round of separate calls) and ISpecifyPropertyPages (the standard font and
// colour pages for the control's property sheet).
//
// They live on a tear-off: the object makes one on request, and it answers
// every other interface through the object, so identity stays the object's.
#pragma once

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

class MarkletObject;

// A new tear-off for `iid` (IQuickActivate or ISpecifyPropertyPages) over
// `owner`; E_NOINTERFACE for any other.
HRESULT CreateDesignerInterface(MarkletObject& owner, IUnknown* ownerUnknown, REFIID iid, void** out);

// Whether `iid` is one of the interfaces above.
bool IsDesignerInterface(REFIID iid);

}  // namespace marklet::win32::activex

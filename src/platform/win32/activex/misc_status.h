// What the object tells containers about itself, for each drawing aspect.
// The registration writes these values (`MiscStatus` for the aspects without
// a key of their own, `MiscStatus\1` for the content) and IOleObject::GetMiscStatus
// returns them, so a container reading either finds the same.
#pragma once

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

// The content: its window is made at activation, it activates as soon as it
// is visible, wants its client site before it is loaded, is redrawn on resize
// and cannot be the source of a link.
constexpr ::DWORD kContentMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                       OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;
// The thumbnail, icon and printed aspects ask nothing of their own.
constexpr ::DWORD kOtherAspectsMiscStatus = 0;

inline ::DWORD MiscStatusFor(::DWORD aspect) {
  return aspect == DVASPECT_CONTENT ? kContentMiscStatus : kOtherAspectsMiscStatus;
}

}  // namespace marklet::win32::activex

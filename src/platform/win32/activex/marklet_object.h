#pragma once

#include "platform/win32/win_api.h"

namespace marklet::win32::activex {

class MarkletObject {
 public:
  static HRESULT Create(REFIID iid, void** out);
};

}  // namespace marklet::win32::activex

// The number of the MarkletError an action raises, for tests that check
// which error a call fails with.
#pragma once

#include <functional>

#include "host/error.h"

namespace marklet::testing {

// 0 when the action raises nothing.
inline int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const MarkletError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace marklet::testing

// The 16-bit limits of a parse: counts, indexes and line numbers of the
// tables are Integers, and a prepared line must leave room to step past its
// last character.
#pragma once

#include <cstddef>
#include <limits>
#include <string>

#include "host/error.h"
#include "host/numeric.h"

namespace marklet {

// The longest source line a parse takes, in UTF-16 units with its terminator,
// before and after its style tags are isolated; longer is error 6.
inline constexpr std::size_t kMaxPreparedLine = 32766;

// value + 1, or error 6 naming what there are too many of.
inline Integer NextCount(Integer value, const char* what) {
  if (value == std::numeric_limits<Integer>::max()) {
    RaiseOverflow(std::string("Overflow: the text makes more than 32,767 ") + what);
  }
  return static_cast<Integer>(value + 1);
}

// A run's source line number, or error 6 past the last one a run can carry.
inline Integer SourceLineOf(Long lineNumber) {
  if (lineNumber > std::numeric_limits<Integer>::max()) {
    RaiseOverflow("Overflow: a run on source line " + std::to_string(lineNumber) +
                  ", past the last number a run can carry (32,767)");
  }
  return static_cast<Integer>(lineNumber);
}

}  // namespace marklet

// Small string and table helpers of the renderer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/numeric.h"

namespace marklet {

// Where a backward search for a space starts so that it skips the string's
// last character: the length minus 1, except that 0 becomes -1 (search from
// the end). A one-character and an empty string both give -1.
Integer ReverseSearchStart(const std::u16string& text);

// The 1-based position of the last space in `text` at or before `start`
// (-1: anywhere in the string); 0 when there is none.
Integer LastSpaceAtOrBefore(const std::u16string& text, Integer start);

// `text` without its trailing spaces (tabs and other blanks stay).
std::u16string TrimTrailingSpaces(const std::u16string& text);

// The upper bound of a 0-based table: its last index, or -1 when it is empty.
template <typename T>
Long SafeUpperBound(const std::vector<T>& table) {
  return table.empty() ? -1 : CLng(static_cast<std::int64_t>(table.size()) - 1);
}

}  // namespace marklet

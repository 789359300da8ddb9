#include "tools/scale_option.h"

#include <iterator>

#include "tools/arguments.h"

namespace marklet::tools {

double ScaleOption(const std::string& option, const std::string& value) {
  double scale = 0;
  try {
    scale = NumberOption(option, value, kScales[0], kScales[std::size(kScales) - 1]);
  } catch (const OptionError&) {
    scale = 0;
  }
  for (double allowed : kScales) {
    if (scale == allowed) return scale;
  }
  throw OptionError(option + " takes 1, 1.25, 1.5, 2 or 3, not '" + value + "'");
}

}  // namespace marklet::tools

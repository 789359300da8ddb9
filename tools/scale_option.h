// `--scale S` of the commands that draw: how many device pixels the surface
// draws for each of the control's pixels.
#pragma once

#include <string>

namespace marklet::tools {

// The scales a surface draws at; others would leave fractional pixel edges
// that no test covers.
inline constexpr double kScales[] = {1, 1.25, 1.5, 2, 3};

// `value` as one of kScales; OptionError naming the option and the scales
// otherwise.
double ScaleOption(const std::string& option, const std::string& value);

}  // namespace marklet::tools

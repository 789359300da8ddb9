// The subcommands of the `marklet` tool.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "control/marklet.h"

namespace marklet::tools {

// `--prop NAME=VALUE` settings, in the order given.
using PropertySettings = std::vector<std::pair<std::string, std::string>>;

// Sets each property through the automation layer. A value is read as a
// script value (True/False, numbers, &H hex) where it is one, else as a string.
// A refused value is rethrown naming the setting and the property's range.
// `applying`, when given, holds "NAME=VALUE" while that setting is being made
// (so a message the control shows can name it), and is empty after.
void ApplyProperties(Marklet& control, const PropertySettings& settings, std::string* applying = nullptr);
// An explicit --height is the height the user wants: AutoSizeHeight goes off
// first, unless a --prop sets it.
PropertySettings WithHeightKept(const PropertySettings& settings, bool heightGiven);
// The range the reference gives a property (empty when it gives none).
std::string RangeOf(const std::string& name);

// A file of the tool's assets (cursors/hand.cur, demo/leaf.png): beside an
// installed tool in ../share/marklet, so a moved install or an unpacked
// package finds its own; else the source tree's, for the tool in a build tree.
std::string AssetPath(const std::string& relative);

int RunIdl(int argc, char** argv);
int RunDemo(int argc, char** argv);
int RunRender(int argc, char** argv);
int RunView(int argc, char** argv);
int RunDoc(int argc, char** argv);

}  // namespace marklet::tools

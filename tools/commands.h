// The subcommands of the `marklet` tool.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "control/marklet.h"

namespace marklet::tools {

// `--prop NAME=VALUE` settings, in the order given.
using PropertySettings = std::vector<std::pair<std::string, std::string>>;

// A value as the command line gives it: a script value (True/False, numbers,
// &H hex) where it is one, else a value in the bag file's notation (&HFF&,
// &O17, CByte(7), "quoted"), else the text itself as a string.
Variant CommandLineValue(const std::string& text);
// Sets one property through the automation layer. A refused value is
// rethrown naming the setting and the property's range.
void ApplyProperty(Marklet& control, const std::string& name, const std::string& value);
// An explicit --height is the height the user wants: AutoSizeHeight goes off
// first, unless a --prop sets it.
PropertySettings WithHeightKept(const PropertySettings& settings, bool heightGiven);
// Property and option value names match whatever their case.
bool SameName(std::string_view a, std::string_view b);
// The range the reference gives a property (empty when it gives none).
std::string RangeOf(const std::string& name);

// A file of the tool's assets (cursors/hand.cur, demo/leaf.png): beside an
// installed tool in ../share/marklet, so a moved install or an unpacked
// package finds its own; else the source tree's, for the tool in a build tree.
std::string AssetPath(const std::string& relative);

// The text render and view draw when they are given none.
std::u16string DemoText();

int RunIdl(int argc, char** argv);
int RunDemo(int argc, char** argv);
int RunRender(int argc, char** argv);
int RunView(int argc, char** argv);
int RunDoc(int argc, char** argv);

}  // namespace marklet::tools

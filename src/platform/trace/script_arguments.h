// Reading the arguments of script commands, shared by the command files.
// Each throws ScriptArgumentError with a message naming what was wrong.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "host/values.h"
#include "platform/trace/script_runner.h"

namespace marklet::trace {

// Between min and max arguments, or "usage: USAGE".
void Need(const std::vector<Token>& args, std::size_t min, std::size_t max, const char* usage);
// A bare decimal or &H number.
double Number(const Token& t);
// A number that fits an Integer.
Integer IntArg(const Token& t);
// ASCII lower case, for the words that name properties and styles.
std::string Lower(std::string s);
// "name" size [bold] [italic] [underline] [strikethrough], from args[from] on.
FontDesc FontArgs(const std::vector<Token>& args, std::size_t from);
// X Y [BUTTON SHIFT] from args[from] on; button and shift are 0 when left out.
void MouseArgs(const std::vector<Token>& args, std::size_t from, Integer& b, Integer& s, Single& x,
               Single& y);

}  // namespace marklet::trace

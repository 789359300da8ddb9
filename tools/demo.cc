// The built-in demo: a scenario that shows the control's main behaviour.
#include <iostream>
#include <sstream>

#include "platform/trace/script_runner.h"
#include "tools/commands.h"

namespace marklet::tools {

namespace {

const char* kDemoScenario = R"(# A new control shows a text with a bold word and a link.
new
resize 3000 900
set Text "Hello &bMarklet\b, a label with #ehome<a link> and more."
paint
move 60 60
dump
)";

}  // namespace

int RunDemo(int, char**) {
  std::istringstream in(kDemoScenario);
  marklet::trace::ScriptRunner runner(std::cout);
  runner.Run(in);
  return 0;
}

}  // namespace marklet::tools

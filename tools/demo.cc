// The built-in demo: a scenario that shows the control's main behaviour.
#include <iostream>
#include <sstream>
#include <string>

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

// `marklet demo [-o FILE]` renders the built-in demo text to a PNG and prints
// its path; `marklet demo --script` runs the demo scenario on the trace
// container and prints its records.
int RunDemo(int argc, char** argv) {
  const char usage[] =
      "usage: marklet demo [-o FILE.png] | marklet demo --script\n"
      "Renders the built-in demo text to FILE.png (marklet-demo.png when not given);\n"
      "--script runs the demo scenario and prints its records.\n";
  if (argc == 1 && (std::string(argv[0]) == "--help" || std::string(argv[0]) == "-h")) {
    std::cout << usage;
    return 0;
  }
  if (argc == 1 && std::string(argv[0]) == "--script") {
    std::istringstream in(kDemoScenario);
    marklet::trace::ScriptRunner runner(std::cout);
    runner.Run(in);
    return 0;
  }
  std::string output = "marklet-demo.png";
  if (argc == 2 && (std::string(argv[0]) == "-o" || std::string(argv[0]) == "--output")) {
    output = argv[1];
  } else if (argc != 0) {
    std::cerr << usage;
    return 2;
  }
  std::string o = "-o";
  char* args[] = {o.data(), output.data()};
  return RunRender(2, args);
}

}  // namespace marklet::tools

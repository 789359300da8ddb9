// The `marklet` command: script, idl (and the hosts' commands as they land).
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/trace/script_runner.h"
#include "tools/commands.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: marklet COMMAND [ARGS]\n"
         "  script [FILE]    run a scenario (stdin when no file) and print JSON Lines\n"
         "  idl [--widl]     print the type library in IDL\n"
         "  render [OPTIONS] -o OUT.png   draw a control to a PNG (the demo when no text)\n"
         "  view [OPTIONS]   show a control in an X11 window (the demo when no text)\n"
         "  demo [-o FILE]   render the built-in demo to a PNG (--script: run the demo scenario)\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc < 2) {
    Usage(std::cerr);
    return 2;
  }
  std::string command = argv[1];
  if (command == "script") {
    marklet::trace::ScriptRunner runner(std::cout);
    if (argc > 3) {
      Usage(std::cerr);
      return 2;
    }
    if (argc == 3 && std::strcmp(argv[2], "-") != 0) {
      std::ifstream in(argv[2]);
      if (!in) {
        std::cerr << "marklet script: cannot open " << argv[2] << "\n";
        return 1;
      }
      runner.Run(in);
    } else {
      runner.Run(std::cin);
    }
    return 0;
  }
  if (command == "idl") return marklet::tools::RunIdl(argc - 2, argv + 2);
  if (command == "demo") return marklet::tools::RunDemo(argc - 2, argv + 2);
  if (command == "render") return marklet::tools::RunRender(argc - 2, argv + 2);
  if (command == "view") return marklet::tools::RunView(argc - 2, argv + 2);
  if (command == "-h" || command == "--help" || command == "help") {
    Usage(std::cout);
    return 0;
  }
  std::cerr << "marklet: unknown command '" << command << "'\n";
  Usage(std::cerr);
  return 2;
}

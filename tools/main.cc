// The `marklet` command: script, idl (and the hosts' commands as they land).
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>

#include "host/error.h"
#include "platform/files/readable_file.h"
#include "platform/trace/script_runner.h"
#include "tools/arguments.h"
#include "tools/commands.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: marklet COMMAND [ARGS]   (marklet COMMAND --help tells more)\n"
         "  script [--strict] [FILE]   run a scenario (stdin when no file) and print JSON Lines\n"
         "  idl [--widl]     print the type library in IDL\n"
         "  render [OPTIONS] -o OUT.png   draw a control to a PNG (the demo when no text)\n"
         "  view [OPTIONS]   show a control in an X11 window (the demo when no text)\n"
         "  demo [-o FILE]   render the built-in demo to a PNG (--script: run the demo scenario)\n"
         "  doc properties [-o FILE]   write the property, method and event reference (Markdown)\n";
}

const char kScriptUsage[] =
    "usage: marklet script [--strict] [FILE | -]\n"
    "Runs a scenario (standard input when no file, or -) and prints one JSON record\n"
    "a line. The exit status is 0 however the scenario went, unless --strict: then\n"
    "it is 3 when any error or scriptError record was printed.\n";

int RunScript(int argc, char** argv) {
  bool strict = false;
  std::string file;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kScriptUsage;
      return 0;
    }
    if (arg == "--strict") {
      strict = true;
    } else if (file.empty() && (arg == "-" || !arg.starts_with("-"))) {
      file = arg;
    } else {
      std::cerr << "marklet script: unexpected argument '" << arg << "'\n" << kScriptUsage;
      return 2;
    }
  }
  marklet::trace::ScriptRunner runner(std::cout);
  auto finished = [&] {
    std::cout.flush();
    return strict && runner.world().log().errorRecords() > 0 ? 3 : 0;
  };
  if (!file.empty() && file != "-") {
    // A file is read whole first: one that never ends (a FIFO, a device) is
    // refused before a line runs.
    std::istringstream in;
    try {
      in.str(marklet::tools::ReadInput(file));
    } catch (const marklet::MarkletError& e) {
      std::cerr << "marklet script: error " << e.number() << ": " << e.what() << "\n";
      return 1;
    }
    runner.Run(in);
    return finished();
  }
  marklet::tools::BoundedInput input(STDIN_FILENO, marklet::files::kMaxInputFileBytes, &std::cout);
  std::istream in(&input);
  runner.Run(in);
  if (input.exceeded()) {
    std::cout.flush();
    std::cerr << "marklet script: error 7: Out of memory: standard input is longer than the "
              << marklet::files::DescribeBytes(marklet::files::kMaxInputFileBytes)
              << " a script may have; the rest was not run\n";
    return 1;
  }
  return finished();
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc < 2) {
    Usage(std::cerr);
    return 2;
  }
  std::string command = argv[1];
  if (command == "script") return RunScript(argc - 2, argv + 2);
  if (command == "idl") return marklet::tools::RunIdl(argc - 2, argv + 2);
  if (command == "demo") return marklet::tools::RunDemo(argc - 2, argv + 2);
  if (command == "render") return marklet::tools::RunRender(argc - 2, argv + 2);
  if (command == "view") return marklet::tools::RunView(argc - 2, argv + 2);
  if (command == "doc") return marklet::tools::RunDoc(argc - 2, argv + 2);
  if (command == "-h" || command == "--help" || command == "help") {
    Usage(std::cout);
    return 0;
  }
  std::cerr << "marklet: unknown command '" << command << "'\n";
  Usage(std::cerr);
  return 2;
}

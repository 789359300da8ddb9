// `marklet idl [--widl]`: prints the control's type library as IDL.
#include <cstring>
#include <iostream>
#include <string>

#include "control/type_library.h"
#include "tools/commands.h"

namespace marklet::tools {

namespace {

const char kUsage[] =
    "usage: marklet idl [--widl]\n"
    "Prints the control's type library as IDL; --widl in the dialect widl compiles.\n";

}  // namespace

int RunIdl(int argc, char** argv) {
  IdlDialect dialect = IdlDialect::Description;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--widl") == 0) {
      dialect = IdlDialect::Widl;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << "marklet idl: unexpected argument '" << argv[i] << "'\n" << kUsage;
      return 2;
    }
  }
  // Written as bytes: the description is Latin-1.
  std::string text = TypeLibraryIdl(dialect);
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cout.flush();
  return std::cout ? 0 : 1;
}

}  // namespace marklet::tools

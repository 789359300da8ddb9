// Placeholder until the IDL writer lands.
#include <iostream>

#include "tools/commands.h"

namespace marklet::tools {

int RunIdl(int, char**) {
  std::cerr << "marklet idl: not available yet\n";
  return 1;
}

}  // namespace marklet::tools

// The subcommands of the `marklet` tool.
#pragma once

namespace marklet::tools {

int RunIdl(int argc, char** argv);
int RunDemo(int argc, char** argv);
int RunRender(int argc, char** argv);
int RunView(int argc, char** argv);

}  // namespace marklet::tools

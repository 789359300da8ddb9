// Groups of script commands that features add to the runner's built-ins.
#pragma once

namespace marklet::trace {

class ScriptRunner;

// `writefile FILE "TEXT"`, `showfile FILE`.
void AddFileCommands(ScriptRunner& runner);

}  // namespace marklet::trace

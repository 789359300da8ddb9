// Groups of script commands that features add to the runner's built-ins.
#pragma once

namespace marklet::trace {

class ScriptRunner;

// `writefile FILE "TEXT"`, `showfile FILE`.
void AddFileCommands(ScriptRunner& runner);

// `about ...`: the user's actions on the open About dialog.
void AddFormCommands(ScriptRunner& runner);

}  // namespace marklet::trace

// The groups of script commands the runner registers, one file each.
#pragma once

namespace marklet::trace {

class ScriptRunner;

// `screen tpp X Y`, `ambient ...`, `surface PROPERTY VALUE`, `fail OPERATION [NUMBER]`.
void AddContainerCommands(ScriptRunner& runner);

// `new`, `load BAGFILE`, `save BAGFILE`, `terminate`.
void AddLifecycleCommands(ScriptRunner& runner);

// `set PROPERTY VALUE`, `get PROPERTY`, `call METHOD`.
void AddPropertyCommands(ScriptRunner& runner);

// `move`, `down`, `up`, `click`, `dblclick`, `keydown`, `keypress`, `keyup`,
// `imgmove`, `imgup`, `leave`.
void AddInputCommands(ScriptRunner& runner);

// `paint`, `resize W H`, `show`, `dump`.
void AddPaintCommands(ScriptRunner& runner);

// `writefile FILE "TEXT"`, `showfile FILE`.
void AddFileCommands(ScriptRunner& runner);

// `about ...`: the user's actions on the open About dialog.
void AddFormCommands(ScriptRunner& runner);

}  // namespace marklet::trace

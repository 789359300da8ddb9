// Opening files and addresses with the desktop's opener (xdg-open), started
// as a detached process without a shell.
#pragma once

#include <string>
#include <vector>

namespace marklet::x11 {

// The full path of an executable program found on $PATH, or empty.
std::string FindOnPath(const std::string& program);

// Starts argv[0] (a path) with its arguments in a session of its own, not
// waited for; its input and output are /dev/null, its errors go where ours
// do. True when the program started.
bool StartDetached(const std::vector<std::string>& argv);

// Hands a file or an address (UTF-8) to xdg-open. False when there is no
// xdg-open on $PATH, it could not start, or the target is empty or starts
// with '-' (which the opener would take for an option).
bool OpenWithDesktop(const std::string& target);

}  // namespace marklet::x11

// Keeps the files a host opens for untrusted text inside one folder.
#pragma once

#include <string>

namespace marklet {

// Checks that `path` names a file inside the folder `root` once `..` and
// symbolic links are resolved, and returns `path` unchanged. A file that does
// not exist yet (one about to be written) passes when its folder lies inside
// and its name is not `.`, `..` or a dangling link. Error 53 otherwise: the
// message names the file, the folder and the rule; also when the folder does
// not exist.
std::string ConfinePath(const std::string& root, const std::string& path);

}  // namespace marklet

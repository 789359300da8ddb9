// Keeps the files a host opens for untrusted text inside one folder.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/files/readable_file.h"

namespace marklet {

// Checks that `path` names a file inside the folder `root` once `..` and
// symbolic links are resolved, and returns `path` unchanged. A file that does
// not exist yet (one about to be written) passes when its folder lies inside
// and its name is not `.`, `..` or a dangling link. Error 53 otherwise: the
// message names the file, the folder and the rule; also when the folder does
// not exist. Only a judgement of the name as it is now: whatever opens the file
// goes through files::OpenBeneath, which leaves no gap to swap the file in.
std::string ConfinePath(const std::string& root, const std::string& path);

namespace files {

// Opens `path` (absolute, or relative to the current folder) inside the
// folder `root` with open(2)'s `flags` and `mode` (O_CLOEXEC is added). The
// name, made absolute, must lie under the root's real path; the rest of it is
// opened relative to a descriptor of the root by the kernel with
// RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS, or, where that is not available,
// one component at a time with O_NOFOLLOW, following only relative links
// that stay inside. So no `..`, link, or swap made while the name is being
// opened can lead out. An absolute symbolic link inside the root is refused.
// The root itself opens only with O_DIRECTORY.
//
// Throws error 53 naming the file, the folder and the rule for anything that
// lies or leads outside, or when the root does not exist. Any other failure
// is returned as the errno value (0 on success), for the caller to word.
int OpenBeneath(const std::string& root, const std::string& path, int flags, mode_t mode,
                UniqueFd& out);

// Makes OpenBeneath walk component by component as it does where the kernel
// has no openat2, so both ways can be tested on one machine.
void UseComponentWalkForTesting(bool on);

}  // namespace files
}  // namespace marklet

// Files a host writes for a user: replaced whole or not at all, and never
// anything but a plain file the user may write.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/files/readable_file.h"

namespace marklet::files {

// Where a file will be written: its folder, held open, and its name there.
// A symbolic link is followed to the file it resolves to, which is replaced
// in its own folder, so the link stays a link.
struct WriteTarget {
  UniqueFd folder;
  std::string name;   // in `folder`
  std::string shown;  // the path as given, for messages
  bool exists = false;
  struct stat info {};  // of the file to be replaced, when it exists
};

// Finds the file `path` names for replacing. With a non-empty `root`, every
// folder is opened beneath it (OpenBeneath) and a link must resolve inside it:
// error 53 naming the file, the folder and the rule otherwise, also for an
// absolute link. Refuses, before anything is written: a folder, device, pipe,
// socket, or a file with several hard links (75; replacing it would turn it
// into a plain file or part it from its other names); a file with no write
// bit in its mode, for every user including root, or one this process may not
// write (70). A missing folder is 76. Messages name the file and the reason.
WriteTarget ResolveForWriting(const std::string& path, const std::string& root = {});

// Writes `contents` to a new file in the target's folder, syncs it, gives it
// the old file's mode (and owner, where the process may), runs
// `beforeReplace`, renames it over the target and syncs the folder. If any
// step throws, the new file is removed and the old one is as it was.
// Errors: 76 path not found, 70 permission denied, 61 disk full, 75 any other
// failure; the message names the file and gives the system's reason.
void ReplaceContents(const WriteTarget& target, std::string_view contents,
                     const std::function<void()>& beforeReplace = {});

// ResolveForWriting, then ReplaceContents.
void ReplaceFile(const std::string& path, std::string_view contents, const std::string& root = {},
                 const std::function<void()>& beforeReplace = {});

}  // namespace marklet::files

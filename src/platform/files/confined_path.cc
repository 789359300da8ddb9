#include "platform/files/confined_path.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>

#include "host/error.h"

namespace marklet {

namespace {

// The canonical form of an existing path, or empty.
std::string Resolve(const std::string& path) {
  char resolved[PATH_MAX];
  if (path.empty() || !::realpath(path.c_str(), resolved)) return {};
  return resolved;
}

bool Inside(const std::string& resolvedRoot, const std::string& resolved) {
  if (resolved == resolvedRoot) return true;
  std::string prefix = resolvedRoot;
  if (prefix.back() != '/') prefix += '/';
  return resolved.compare(0, prefix.size(), prefix) == 0;
}

[[noreturn]] void Refuse(const std::string& root, const std::string& path) {
  throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + path +
                                                    "' lies outside the folder '" + root +
                                                    "' that files are confined to");
}

}  // namespace

std::string ConfinePath(const std::string& root, const std::string& path) {
  std::string resolvedRoot = Resolve(root);
  if (resolvedRoot.empty()) {
    throw MarkletError(ErrorNumber::FileNotFound,
                       "File not found: '" + path + "': the folder '" + root +
                           "' that files are confined to does not exist");
  }
  if (path.empty()) throw MarkletError(ErrorNumber::FileNotFound, "File not found: ''");
  std::string resolved = Resolve(path);
  if (!resolved.empty()) {
    // The root itself is a folder, never a file to open.
    if (resolved == resolvedRoot || !Inside(resolvedRoot, resolved)) Refuse(root, path);
    return path;
  }
  // Not there (yet): its folder must exist inside the root, and the name must
  // neither climb out nor be a link to somewhere else.
  std::size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string resolvedFolder = Resolve(folder);
  struct stat link {};
  if (resolvedFolder.empty() || !Inside(resolvedRoot, resolvedFolder) || name.empty() ||
      name == "." || name == ".." || ::lstat(path.c_str(), &link) == 0) {
    Refuse(root, path);
  }
  return path;
}

}  // namespace marklet

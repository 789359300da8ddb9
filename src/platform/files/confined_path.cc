#include "platform/files/confined_path.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

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

namespace files {

namespace {

std::atomic<bool> componentWalk{false};

// The absolute form of `path` against the current folder, with empty and `.`
// components dropped; `..` stays for the kernel (or the walk) to judge.
std::string Absolute(const std::string& path) {
  std::string joined = path;
  if (path.empty() || path[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return {};
    joined = std::string(cwd) + "/" + path;
  }
  std::string clean;
  std::size_t at = 0;
  while (at <= joined.size()) {
    std::size_t end = joined.find('/', at);
    if (end == std::string::npos) end = joined.size();
    std::string part = joined.substr(at, end - at);
    if (!part.empty() && part != ".") clean += "/" + part;
    at = end + 1;
  }
  return clean.empty() ? "/" : clean;
}

// `path` below `prefix` (both absolute and clean): the rest without a leading
// slash, "" for the prefix itself; false when it does not lie below.
bool Below(const std::string& prefix, const std::string& path, std::string& rest) {
  if (prefix == "/") {
    rest = path.substr(1);
    return true;
  }
  if (path == prefix) {
    rest.clear();
    return true;
  }
  if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
      path[prefix.size()] == '/') {
    rest = path.substr(prefix.size() + 1);
    return true;
  }
  return false;
}

// The part of `path` to open from the root's descriptor. The name is tried
// as written (against the root as written and as its real path), then with
// its folder's links resolved, for a name that reaches the root through a
// link outside it.
bool RelativeToRoot(const std::string& root, const std::string& realRoot, const std::string& path,
                    std::string& rest) {
  std::string absolute = Absolute(path);
  if (absolute.empty()) return false;
  if (Below(realRoot, absolute, rest) || Below(Absolute(root), absolute, rest)) return true;
  std::size_t slash = absolute.rfind('/');
  std::string folder = Resolve(slash == 0 ? "/" : absolute.substr(0, slash));
  std::string leaf = absolute.substr(slash + 1);
  if (folder.empty() || leaf == "..") return false;
  if (!Below(realRoot, folder, rest)) return false;
  rest = rest.empty() ? leaf : rest + "/" + leaf;
  return true;
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(at, end - at);
    if (!part.empty() && part != ".") parts.push_back(part);
    at = end + 1;
  }
  return parts;
}

// The kernel's confined open; ENOSYS or EPERM where it is missing or filtered.
int OpenAt2(int rootFd, const std::string& rest, int flags, mode_t mode, UniqueFd& out) {
  struct open_how how {};
  how.flags = static_cast<unsigned long long>(flags | O_CLOEXEC);
  how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  const char* name = rest.empty() ? "." : rest.c_str();
  for (int attempt = 0;; ++attempt) {
    long fd = ::syscall(SYS_openat2, rootFd, name, &how, sizeof how);
    if (fd >= 0) {
      out = UniqueFd(static_cast<int>(fd));
      return 0;
    }
    // EAGAIN: a rename elsewhere raced a `..`; the kernel asks to try again.
    if ((errno == EINTR || errno == EAGAIN) && attempt < 64) continue;
    return errno;
  }
}

// The same confinement without openat2: every component is opened with
// O_NOFOLLOW from the descriptor of the folder before it; a link is read and
// its relative target taken in its place, `..` steps back along the folders
// already open and never above the root.
int Walk(int rootFd, const std::string& rest, int flags, mode_t mode, UniqueFd& out,
         const std::string& root, const std::string& path) {
  std::vector<std::string> pending = Components(rest);
  std::reverse(pending.begin(), pending.end());
  std::vector<UniqueFd> folders;
  int links = 0, retries = 0;
  constexpr int kMaxRetries = 64;
  auto current = [&] { return folders.empty() ? rootFd : folders.back().get(); };
  while (!pending.empty()) {
    std::string name = std::move(pending.back());
    pending.pop_back();
    if (name == "..") {
      if (folders.empty()) Refuse(root, path);
      folders.pop_back();
      continue;
    }
    bool last = pending.empty();
    int fd;
    do {
      fd = last ? ::openat(current(), name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode)
                : ::openat(current(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      if (last) {
        out = UniqueFd(fd);
        return 0;
      }
      folders.emplace_back(fd);
      continue;
    }
    int why = errno;
    if (why != ELOOP && why != ENOTDIR) return why;
    char target[PATH_MAX];
    ssize_t n = ::readlinkat(current(), name.c_str(), target, sizeof target);
    if (n < 0) {
      // Not a link (any more): a link swapped out again meanwhile is opened anew.
      if (errno == EINVAL && ++retries <= kMaxRetries) {
        pending.push_back(std::move(name));
        continue;
      }
      return why;
    }
    if (++links > 40) return ELOOP;
    std::string to(target, static_cast<std::size_t>(n));
    if (to.empty()) return ENOENT;
    if (to[0] == '/') Refuse(root, path);
    std::vector<std::string> parts = Components(to);
    if (parts.empty()) parts.push_back(".");  // a link to its own folder
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
      if (*it != ".") pending.push_back(*it);
    }
  }
  // The name ends at a folder (the root itself, or after `..`).
  if (!(flags & O_DIRECTORY)) Refuse(root, path);
  int fd = ::openat(current(), ".", flags | O_CLOEXEC);
  if (fd < 0) return errno;
  out = UniqueFd(fd);
  return 0;
}

}  // namespace

void UseComponentWalkForTesting(bool on) { componentWalk = on; }

int OpenBeneath(const std::string& root, const std::string& path, int flags, mode_t mode,
                UniqueFd& out) {
  std::string realRoot = Resolve(root);
  if (realRoot.empty()) {
    throw MarkletError(ErrorNumber::FileNotFound,
                       "File not found: '" + path + "': the folder '" + root +
                           "' that files are confined to does not exist");
  }
  if (path.empty()) throw MarkletError(ErrorNumber::FileNotFound, "File not found: ''");
  std::string rest;
  if (!RelativeToRoot(root, realRoot, path, rest)) Refuse(root, path);
  if (rest.empty() && !(flags & O_DIRECTORY)) Refuse(root, path);  // a folder, never a file to open
  UniqueFd rootFd(::open(realRoot.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!rootFd) {
    throw MarkletError(ErrorNumber::FileNotFound,
                       "File not found: '" + path + "': the folder '" + root +
                           "' that files are confined to cannot be opened (" + std::strerror(errno) + ")");
  }
  int why = ENOSYS;
  if (!componentWalk) {
    why = OpenAt2(rootFd.get(), rest, flags, mode, out);
    // EXDEV: `..` or an absolute link led out; ELOOP: a /proc-style magic link.
    if (why == EXDEV || why == ELOOP) Refuse(root, path);
  }
  if (why == ENOSYS || why == EPERM) why = Walk(rootFd.get(), rest, flags, mode, out, root, path);
  if (why == 0 && !(flags & O_DIRECTORY)) {
    // A name like "sub/.." that comes back to the root names a folder, not a file.
    struct stat opened {}, top {};
    if (::fstat(out.get(), &opened) == 0 && ::fstat(rootFd.get(), &top) == 0 && opened.st_dev == top.st_dev &&
        opened.st_ino == top.st_ino) {
      out = UniqueFd();
      Refuse(root, path);
    }
  }
  return why;
}

}  // namespace files

}  // namespace marklet

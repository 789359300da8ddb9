#include "platform/files/replace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "host/error.h"
#include "platform/files/confined_path.h"

namespace marklet::files {

namespace {

// Links followed from one name before giving up, as the kernel does.
constexpr int kMaxLinks = 40;


[[noreturn]] void Refuse(int number, const std::string& path, const std::string& why) {
  const char* head = number == 70 ? "Permission denied" : "Path/File access error";
  throw MarkletError(number, std::string(head) + ": cannot replace '" + path + "' (" + why +
                                 "; nothing was written)");
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "something else";
}

// A path's folder ("." when it has none) and its last name.
std::pair<std::string, std::string> Split(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

UniqueFd OpenFolder(int from, const std::string& folder, const std::string& root, const std::string& shown) {
  UniqueFd fd;
  int why = 0;
  if (root.empty()) {
    int opened = ::openat(from, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0) why = errno;
    fd = UniqueFd(opened);
  } else {
    why = OpenBeneath(root, folder, O_PATH | O_DIRECTORY, 0, fd);
  }
  if (why) RaiseFileError(why, shown, "cannot create a file beside");
  return fd;
}

// Whether the file found may be replaced; it is not followed if it is a link.
void Judge(const struct stat& info, int folder, const std::string& name, const std::string& shown) {
  if (!S_ISREG(info.st_mode)) Refuse(75, shown, std::string("it is ") + KindOf(info.st_mode) + ", not a regular file");
  if (info.st_nlink > 1) {
    Refuse(75, shown, "it has " + std::to_string(info.st_nlink) + " hard links, which replacing it would part");
  }
  // Root may write anything; a mode without a write bit still says "keep".
  if ((info.st_mode & 0222) == 0) Refuse(70, shown, "it is read-only");
  if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS) != 0 && (errno == EACCES || errno == EPERM)) {
    Refuse(70, shown, "this user may not write it");
  }
}

}  // namespace

WriteTarget ResolveForWriting(const std::string& path, const std::string& root) {
  if (path.empty()) throw MarkletError(52, "Bad file name or number: an empty path");
  WriteTarget target;
  target.shown = path;
  auto [folder, name] = Split(path);
  if (name.empty() || name == "." || name == "..") {
    // The name is a folder's: say so if it is one.
    OpenFolder(AT_FDCWD, path, root, path);
    Refuse(75, path, "it is a folder, not a regular file");
  }
  target.folder = OpenFolder(AT_FDCWD, folder, root, path);
  target.name = name;
  std::string folderPath = folder;
  for (int links = 0;; ++links) {
    struct stat info {};
    if (::fstatat(target.folder.get(), target.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return target;
      RaiseFileError(errno, path, "cannot replace");
    }
    if (!S_ISLNK(info.st_mode)) {
      Judge(info, target.folder.get(), target.name, path);
      target.exists = true;
      target.info = info;
      return target;
    }
    if (links == kMaxLinks) RaiseFileError(ELOOP, path, "cannot replace");
    char buffer[PATH_MAX];
    ssize_t n = ::readlinkat(target.folder.get(), target.name.c_str(), buffer, sizeof buffer);
    if (n <= 0) RaiseFileError(n < 0 ? errno : ENOENT, path, "cannot replace");
    std::string to(buffer, static_cast<std::size_t>(n));
    if (!root.empty() && to[0] == '/') {
      throw MarkletError(ErrorNumber::FileNotFound,
                         "File not found: '" + path + "' is a link to the absolute path '" + to +
                             "', which the folder '" + root + "' that files are confined to does not follow");
    }
    // The file the link resolves to is replaced in its own folder.
    auto [linkFolder, linkName] = Split(to);
    if (linkName.empty() || linkName == "." || linkName == "..") {
      Refuse(75, path, "it is a link to a folder, not to a regular file");
    }
    if (root.empty()) {
      target.folder = OpenFolder(target.folder.get(), linkFolder, root, path);
    } else {
      // Taken from the root again, so the link's `..` is judged against it.
      folderPath = to.find('/') == std::string::npos ? folderPath : folderPath + "/" + linkFolder;
      target.folder = OpenFolder(AT_FDCWD, folderPath, root, path);
    }
    target.name = linkName;
  }
}

void ReplaceContents(const WriteTarget& target, std::string_view contents,
                     const std::function<void()>& beforeReplace) {
  const int folder = target.folder.get();
  const std::string& shown = target.shown;
  // The new file goes beside the old one, so the rename stays on one file system.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp.assign(1, '.');
    temp.append(target.name, 0, 160);
    temp.append(".saving-").append(std::to_string(::getpid())).append("-").append(std::to_string(++counter));
    fd = ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                  target.exists ? 0600 : 0666);
    if (fd < 0 && (errno != EEXIST || attempt > 100)) RaiseFileError(errno, shown, "cannot create a file beside");
  }
  auto discard = [&] {
    if (fd >= 0) ::close(fd);
    fd = -1;
    ::unlinkat(folder, temp.c_str(), 0);
  };
  try {
    if (target.exists) {
      // The owner first: a change of owner clears the set-id bits the mode then restores.
      if (target.info.st_uid != ::geteuid() || target.info.st_gid != ::getegid()) {
        (void)::fchown(fd, target.info.st_uid, target.info.st_gid);
      }
      if (::fchmod(fd, target.info.st_mode & 07777) != 0) RaiseFileError(errno, shown, "cannot write the new");
    }
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
      ssize_t n = ::write(fd, data, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) RaiseFileError(n < 0 ? errno : EIO, shown, "cannot write the new");
      data += n;
      left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) RaiseFileError(errno, shown, "cannot write the new");
    int closing = fd;
    fd = -1;
    if (::close(closing) != 0) RaiseFileError(errno, shown, "cannot write the new");
    if (beforeReplace) beforeReplace();
    // Judged again just before the rename: what stands there now is what goes.
    struct stat now {};
    if (::fstatat(folder, target.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        (!S_ISREG(now.st_mode) || now.st_nlink > 1)) {
      Refuse(75, shown, "it was changed into " +
                            std::string(S_ISLNK(now.st_mode)   ? "a link"
                                        : S_ISREG(now.st_mode) ? "a file with several hard links"
                                                               : KindOf(now.st_mode)) +
                            " while the new file was written");
    }
    if (::renameat(folder, temp.c_str(), folder, target.name.c_str()) != 0) RaiseFileError(errno, shown, "cannot replace");
  } catch (...) {
    discard();
    throw;
  }
  // Make the rename itself durable; a failure here leaves a complete file either way.
  int dirFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

void ReplaceFile(const std::string& path, std::string_view contents, const std::string& root,
                 const std::function<void()>& beforeReplace) {
  ReplaceContents(ResolveForWriting(path, root), contents, beforeReplace);
}

}  // namespace marklet::files

#include "platform/files/readable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/error.h"
#include "platform/files/confined_path.h"

namespace marklet::files {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

namespace {

[[noreturn]] void OpenFailed(int why, const std::string& path) {
  switch (why) {
    case ENOENT:
    case ENOTDIR:
      throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + path + "'");
    case EACCES:
    case EPERM:
      throw MarkletError(70, "Permission denied: '" + path + "' (" + std::strerror(why) + ")");
    default:
      throw MarkletError(75, "Path/File access error: '" + path + "' (" + std::strerror(why) + ")");
  }
}

[[noreturn]] void TooLarge(const std::string& name, std::size_t limit) {
  throw MarkletError(7, "Out of memory: '" + name + "' is larger than the " + DescribeBytes(limit) +
                            " a file may have here");
}

}  // namespace

std::string DescribeBytes(std::size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  if (bytes >= (1u << 10) && bytes % (1u << 10) == 0) return std::to_string(bytes >> 10) + " KB";
  return std::to_string(bytes) + " bytes";
}

ReadableFile OpenForReading(const std::string& path, const std::string& root) {
  if (path.empty()) throw MarkletError(ErrorNumber::FileNotFound, "File not found: ''");
  ReadableFile file;
  file.name = path;
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  if (!root.empty()) {
    // The descriptor is opened beneath the root, so it is the file that was judged.
    if (int why = OpenBeneath(root, path, flags, 0, file.fd)) OpenFailed(why, path);
  } else {
    int fd;
    do {
      fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) OpenFailed(errno, path);
    file.fd = UniqueFd(fd);
  }
  if (::fstat(file.fd.get(), &file.info) != 0) OpenFailed(errno, path);
  return file;
}

void RequireRegular(const ReadableFile& file, int number) {
  if (file.regular()) return;
  const char* kind = S_ISDIR(file.info.st_mode)    ? "a folder"
                     : S_ISFIFO(file.info.st_mode) ? "a pipe"
                     : S_ISSOCK(file.info.st_mode) ? "a socket"
                     : S_ISCHR(file.info.st_mode) || S_ISBLK(file.info.st_mode) ? "a device"
                                                                                : "something else";
  std::string head = number == static_cast<int>(ErrorNumber::InvalidPicture) ? "Invalid picture"
                                                                              : "Path/File access error";
  std::string what = S_ISDIR(file.info.st_mode) ? kind : std::string(kind) + ", not a regular file";
  throw MarkletError(number, head + ": '" + file.name + "' is " + what);
}

std::string ReadAll(ReadableFile& file, std::size_t limit) {
  if (file.info.st_size < 0 || static_cast<std::size_t>(file.info.st_size) > limit) TooLarge(file.name, limit);
  std::string contents;
  contents.resize(static_cast<std::size_t>(file.info.st_size));
  std::size_t have = 0;
  for (;;) {
    // A file may grow while it is read: one byte of room past its size tells.
    if (have == contents.size()) {
      if (contents.size() >= limit + 1) break;
      contents.resize(std::min(limit + 1, std::max<std::size_t>(contents.size() * 2, 4096)));
    }
    ssize_t n = ::read(file.fd.get(), contents.data() + have, contents.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int why = errno;
      throw MarkletError(75, "Path/File access error: cannot read '" + file.name + "' (" +
                                 std::strerror(why) + ")");
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  if (have > limit) TooLarge(file.name, limit);
  contents.resize(have);
  return contents;
}

std::string ReadRegularFile(const std::string& path, std::size_t limit, const std::string& root) {
  ReadableFile file = OpenForReading(path, root);
  RequireRegular(file, 75);
  return ReadAll(file, limit);
}

std::string ReadStream(int fd, std::size_t limit, const std::string& name) {
  std::string contents;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int why = errno;
      throw MarkletError(75, "Path/File access error: cannot read " + name + " (" + std::strerror(why) + ")");
    }
    if (n == 0) break;
    if (contents.size() + static_cast<std::size_t>(n) > limit) TooLarge(name, limit);
    contents.append(buffer, static_cast<std::size_t>(n));
  }
  return contents;
}

}  // namespace marklet::files

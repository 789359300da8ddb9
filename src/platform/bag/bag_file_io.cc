#include "platform/bag/bag_file_io.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "host/error.h"

#if defined(_WIN32)
#include <filesystem>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/readable_file.h"
#endif

namespace marklet::bag {

namespace {

[[noreturn]] void FileError(int error, const std::string& path, const char* doing) {
  int number;
  const char* what;
  switch (error) {
    case ENOENT:
    case ENOTDIR: number = 76, what = "Path not found"; break;
    case EACCES:
    case EPERM:
    case EROFS: number = 70, what = "Permission denied"; break;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      number = 61, what = "Disk full"; break;
    default: number = 75, what = "Path/File access error"; break;
  }
  throw MarkletError(number, std::string(what) + ": " + doing + " '" + path + "' (" +
                                 std::strerror(error) + ")");
}

}  // namespace

#if defined(_WIN32)

std::string ReadWholeFile(const std::string& path) {
  std::error_code ec;
  auto status = std::filesystem::status(path, ec);
  if (path.empty() || !std::filesystem::exists(status)) {
    throw MarkletError(ErrorNumber::FileNotFound, "File not found: '" + path + "'");
  }
  if (!std::filesystem::is_regular_file(status)) {
    throw MarkletError(75, "Path/File access error: '" + path + "' is not a regular file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) FileError(errno ? errno : EIO, path, "cannot open");
  std::string contents;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    contents.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (contents.size() > kMaxBagFileBytes) {
      throw MarkletError(7, "Out of memory: '" + path + "' is larger than a property bag can be");
    }
    if (in.eof()) break;
  }
  if (in.bad()) FileError(EIO, path, "cannot read");
  return contents;
}

#else

std::string ReadWholeFile(const std::string& path, const std::string& root) {
  return files::ReadRegularFile(path, kMaxBagFileBytes, root);
}

#endif

#if defined(_WIN32)

void ReplaceFileAtomically(const std::string& path, std::string_view contents,
                           const std::function<void()>& beforeReplace) {
  std::string temp = path + ".saving";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) FileError(EACCES, temp, "cannot create");
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      FileError(ENOSPC, temp, "cannot write");
    }
  }
  try {
    if (beforeReplace) beforeReplace();
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) FileError(ec.value(), path, "cannot replace");
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
}

#else

void ReplaceFileAtomically(const std::string& path, std::string_view contents,
                           const std::function<void()>& beforeReplace) {
  if (path.empty()) throw MarkletError(52, "Bad file name or number: an empty path");
  // The new file goes beside the old one, so the rename stays on one file system.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = path + ".saving-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt > 100)) FileError(errno, path, "cannot create a file beside");
  }
  auto discard = [&] {
    if (fd >= 0) ::close(fd);
    fd = -1;
    ::unlink(temp.c_str());
  };
  try {
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
      ssize_t n = ::write(fd, data, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) FileError(n < 0 ? errno : EIO, path, "cannot write the new");
      data += n;
      left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) FileError(errno, path, "cannot write the new");
    int closing = fd;
    fd = -1;
    if (::close(closing) != 0) FileError(errno, path, "cannot write the new");
    if (beforeReplace) beforeReplace();
    if (::rename(temp.c_str(), path.c_str()) != 0) FileError(errno, path, "cannot replace");
  } catch (...) {
    discard();
    throw;
  }
  // Make the rename itself durable; a failure here leaves a complete file either way.
  std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

#endif

}  // namespace marklet::bag

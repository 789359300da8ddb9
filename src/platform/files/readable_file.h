// Files a host reads for untrusted input: opened once, checked through the
// descriptor that was opened, and read from that same descriptor, so nothing
// can be swapped in between the check and the read.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>

namespace marklet::files {

// No text, script or property bag the hosts read comes near this.
constexpr std::size_t kMaxInputFileBytes = 64u << 20;

// A descriptor that closes itself.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release();

 private:
  int fd_ = -1;
};

// A file opened for reading, with what fstat said of it right after the open.
struct ReadableFile {
  UniqueFd fd;
  struct stat info {};
  std::string name;  // the path as given, for messages

  bool regular() const { return S_ISREG(info.st_mode); }
};

// Opens `path` with O_RDONLY | O_NONBLOCK | O_CLOEXEC (a FIFO or a device can
// never block the open) and records fstat. With a non-empty `root`, the file
// is opened beneath that folder (OpenBeneath in confined_path.h: error 53
// naming the file, the folder and the rule for one that lies or leads
// outside), so the descriptor is the file that was judged. Errors: 53 when it does not exist, 70 when it may not be
// read, 75 for any other failure; each message names the file.
ReadableFile OpenForReading(const std::string& path, const std::string& root = {});

// Throws `number` naming the file unless it is a regular file; `number` is
// the caller's (481 for a picture, 75 for text and bags).
void RequireRegular(const ReadableFile& file, int number);

// Reads the whole of a regular file from its descriptor. One larger than
// `limit` is refused with error 7, naming the file and the limit, before a
// byte is read; so is one that grows past it while being read.
std::string ReadAll(ReadableFile& file, std::size_t limit);

// Open, refuse anything but a regular file (75), read under `limit`.
std::string ReadRegularFile(const std::string& path, std::size_t limit = kMaxInputFileBytes,
                            const std::string& root = {});

// Reads an already open stream descriptor (standard input) to its end, under
// `limit` (error 7 naming `name` and the limit past it).
std::string ReadStream(int fd, std::size_t limit, const std::string& name);

// "64 MB", "16 KB", "123 bytes": a limit as messages give it.
std::string DescribeBytes(std::size_t bytes);

}  // namespace marklet::files

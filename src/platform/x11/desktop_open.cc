#include "platform/x11/desktop_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace marklet::x11 {

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path || program.empty() || program.find('/') != std::string::npos) return {};
  std::string dirs = path;
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty entry is the current folder; it is not searched, so a file
    // planted there is never run.
    if (end > start) {
      std::string candidate = dirs.substr(start, end - start) + "/" + program;
      struct stat info {};
      if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return {};
}

bool StartDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  // Everything the children need is made before forking: after fork they
  // only make system calls.
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The grandchild reports a failed exec through this pipe; a successful
  // exec closes it.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    close(report[0]);
    setsid();
    pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      if (null > 2) close(null);
    }
    execv(args[0], args.data());
    int error = errno;
    [[maybe_unused]] ssize_t n = write(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t n;
  while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool OpenWithDesktop(const std::string& target) {
  if (target.empty() || target[0] == '-') return false;
  std::string opener = FindOnPath("xdg-open");
  if (opener.empty()) return false;
  return StartDetached({opener, target});
}

}  // namespace marklet::x11

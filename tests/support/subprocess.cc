#include "support/subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace marklet::testing {

namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int stdoutFd) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
  int devnull = open("/dev/null", O_RDWR);
  dup2(devnull, 0);
  dup2(stdoutFd >= 0 ? stdoutFd : devnull, 1);
  if (stdoutFd < 0) dup2(devnull, 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

}  // namespace

Subprocess::Subprocess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                       bool captureStdout) {
  int fds[2] = {-1, -1};
  if (captureStdout && pipe(fds) != 0) return;
  pid_ = Spawn(argv, env, captureStdout ? fds[1] : -1);
  if (captureStdout) {
    close(fds[1]);
    out_ = fds[0];
  }
}

Subprocess::~Subprocess() { Stop(); }

void Subprocess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status;
    for (int i = 0; i < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++i) usleep(20000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (out_ >= 0) close(out_);
  out_ = -1;
}

bool Subprocess::ReadLine(std::string& line, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return true;
    }
    if (out_ < 0) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[4096];
    ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool Subprocess::WaitFor(const std::string& text, std::chrono::milliseconds timeout, std::vector<std::string>* seen) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !ReadLine(line, left)) return false;
    if (seen) seen->push_back(line);
    if (line.find(text) != std::string::npos) return true;
  }
}

int RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  pid_t pid = Spawn(argv, env, -1);
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CommandResult RunCapturing(const std::vector<std::string>& argv, const std::string& input,
                           std::chrono::milliseconds limit) {
  CommandResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    int in = open(input.c_str(), O_RDONLY);
    if (in < 0) _exit(126);
    dup2(in, 0);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    close(fds[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return result;
  }
  auto deadline = std::chrono::steady_clock::now() + limit;
  bool killed = false;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[4096];
    ssize_t n = read(fds[0], chunk, sizeof chunk);
    if (n <= 0) break;
    result.output.append(chunk, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  if (!killed) {
    // Output closed: the command is ending; give it until the deadline.
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        kill(pid, SIGKILL);
        killed = true;
        break;
      }
      usleep(10000);
    }
  }
  if (killed) {
    waitpid(pid, &status, 0);
    return result;
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace marklet::testing

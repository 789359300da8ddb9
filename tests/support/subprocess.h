// Starts a program with extra environment, reads its output lines with a
// timeout, and stops it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace marklet::testing {

class Subprocess {
 public:
  Subprocess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
             bool captureStdout = true);
  ~Subprocess();
  Subprocess(const Subprocess&) = delete;
  Subprocess& operator=(const Subprocess&) = delete;

  bool started() const { return pid_ > 0; }
  // The next line of output, or false after the timeout or at its end.
  bool ReadLine(std::string& line, std::chrono::milliseconds timeout);
  // Reads lines until one contains `text`; the lines read are kept in `seen`.
  bool WaitFor(const std::string& text, std::chrono::milliseconds timeout, std::vector<std::string>* seen = nullptr);
  void Stop();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// Runs a command to its end; returns its exit status (-1 when it could not run).
int RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

// Runs a command with standard input from `input` (a file), keeping what it
// writes to standard output and standard error together. A command still
// running after `limit` is killed and reported with status -1, so a command
// that would block fails its test instead of hanging it.
struct CommandResult {
  int status = -1;
  std::string output;
};
CommandResult RunCapturing(const std::vector<std::string>& argv, const std::string& input = "/dev/null",
                           std::chrono::milliseconds limit = std::chrono::seconds(30));

}  // namespace marklet::testing

// Pieces the Wine suites share: a lock, and a child program whose standard
// output is read line by line on a thread of its own, so a case can wait for
// a record the child prints without blocking on the pipe, and reading the
// numbers out of such a record.
#pragma once

#include "platform/win32/win_api.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace marklet::win32 {

// A lock for what a helper thread and the window's thread share.
class Lock {
 public:
  Lock() { ::InitializeCriticalSection(&cs_); }
  ~Lock() { ::DeleteCriticalSection(&cs_); }
  template <typename F>
  auto With(F f) {
    ::EnterCriticalSection(&cs_);
    struct Leave {
      CRITICAL_SECTION* cs;
      ~Leave() { ::LeaveCriticalSection(cs); }
    } leave{&cs_};
    return f();
  }

 private:
  CRITICAL_SECTION cs_;
};

// A child program whose standard output is read line by line on a thread.
class ChildProgram {
 public:
  bool Start(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE write = nullptr;
    if (!::CreatePipe(&read_, &write, &sa, 0)) return false;
    ::SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring line = commandLine;
    bool ok = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &process_);
    ::CloseHandle(write);
    if (ok) reader_ = ::CreateThread(nullptr, 0, &ChildProgram::Read, this, 0, nullptr);
    return ok;
  }
  ~ChildProgram() {
    if (process_.hProcess) {
      if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.hProcess, 1);
      ::CloseHandle(process_.hProcess);
      ::CloseHandle(process_.hThread);
    }
    if (reader_) {
      ::WaitForSingleObject(reader_, 5000);
      ::CloseHandle(reader_);
    }
    if (read_) ::CloseHandle(read_);
  }
  // The index of the first line at or after `from` that contains `text`,
  // waiting for it; -1 when none came.
  int WaitFor(const std::string& text, int from = 0, int timeoutMs = 15000) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
      int found = lock_.With([&] {
        for (std::size_t i = from; i < lines_.size(); ++i)
          if (lines_[i].find(text) != std::string::npos) return static_cast<int>(i);
        return -1;
      });
      if (found >= 0) return found;
      ::Sleep(20);
    }
    return -1;
  }
  std::string Line(int index) {
    return lock_.With([&] { return index >= 0 && index < static_cast<int>(lines_.size()) ? lines_[index] : ""; });
  }
  ::DWORD Wait(int timeoutMs) {
    ::DWORD code = 259;
    if (::WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0) ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  static ::DWORD WINAPI Read(void* param) {
    auto* self = static_cast<ChildProgram*>(param);
    std::string pending;
    char buffer[4096];
    ::DWORD n = 0;
    while (::ReadFile(self->read_, buffer, sizeof buffer, &n, nullptr) && n > 0) {
      pending.append(buffer, n);
      for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pending.erase(0, end + 1);
        self->lock_.With([&] { self->lines_.push_back(line); });
      }
    }
    return 0;
  }
  HANDLE read_ = nullptr;
  HANDLE reader_ = nullptr;
  PROCESS_INFORMATION process_{};
  Lock lock_;
  std::vector<std::string> lines_;
};

// The path of `name` in the folder of this program, where the build puts
// every program and library of the project.
inline std::wstring ProgramBesideThis(const wchar_t* name) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// The whole numbers after each "key": in a JSON line, one list per
// occurrence: a lone number, or the leading numbers of an array.
inline std::vector<std::vector<long long>> NumbersAfter(const std::string& line, const std::string& key) {
  std::vector<std::vector<long long>> all;
  const std::string marker = "\"" + key + "\":";
  for (std::size_t at = line.find(marker); at != std::string::npos; at = line.find(marker, at + 1)) {
    std::vector<long long> numbers;
    std::size_t p = at + marker.size();
    if (p < line.size() && line[p] == '[') ++p;
    while (p < line.size()) {
      char* end = nullptr;
      long long v = std::strtoll(line.c_str() + p, &end, 10);
      if (end == line.c_str() + p) break;
      numbers.push_back(v);
      p = end - line.c_str();
      if (p < line.size() && line[p] == ',') ++p;
      else break;
    }
    all.push_back(numbers);
  }
  return all;
}

}  // namespace marklet::win32

// The one error type of the control and its hosts: a number that hosts of
// such controls know, and a message that says what went wrong.
#pragma once

#include <stdexcept>
#include <string>

namespace marklet {

enum class ErrorNumber : int {
  InvalidProcedureCall = 5,
  Overflow = 6,
  SubscriptOutOfRange = 9,
  ArrayLocked = 10,
  DivisionByZero = 11,
  TypeMismatch = 13,
  FileNotFound = 53,
  InvalidPropertyValue = 380,
  PropertyReadOnly = 383,
  NotSupported = 438,
  InvalidPicture = 481,
};

// The standard description a host shows for a number when the raiser gives none.
const char* StandardDescription(int number);

class MarkletError : public std::runtime_error {
 public:
  MarkletError(int number, const std::string& message);
  MarkletError(ErrorNumber number, const std::string& message)
      : MarkletError(static_cast<int>(number), message) {}
  explicit MarkletError(ErrorNumber number)
      : MarkletError(static_cast<int>(number), StandardDescription(static_cast<int>(number))) {}

  int number() const noexcept { return number_; }

 private:
  int number_;
};

[[noreturn]] void RaiseOverflow(const std::string& what = "Overflow");

// A failed file operation as hosts know it: 76 path not found, 70 permission
// denied, 61 disk full, 75 any other; the message says what was being done
// to which file and gives the system's reason, e.g.
// "Disk full: cannot write the new 'a.bag' (No space left on device)".
[[noreturn]] void RaiseFileError(int systemError, const std::string& path, const char* doing);

}  // namespace marklet

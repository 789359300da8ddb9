#include "host/error.h"

#include <cerrno>
#include <cstring>

namespace marklet {

const char* StandardDescription(int number) {
  switch (number) {
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 9: return "Subscript out of range";
    case 10: return "This array is fixed or temporarily locked";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 53: return "File not found";
    case 380: return "Invalid property value";
    case 383: return "Property is read-only";
    case 438: return "Object doesn't support this property or method";
    case 481: return "Invalid picture";
    default: return "Application-defined or object-defined error";
  }
}

MarkletError::MarkletError(int number, const std::string& message)
    : std::runtime_error(message.empty() ? StandardDescription(number) : message), number_(number) {}

void RaiseOverflow(const std::string& what) { throw MarkletError(ErrorNumber::Overflow, what); }

void RaiseFileError(int systemError, const std::string& path, const char* doing) {
  int number;
  const char* what;
  switch (systemError) {
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
                                 std::strerror(systemError) + ")");
}

}  // namespace marklet

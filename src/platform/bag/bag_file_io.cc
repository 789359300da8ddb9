#include "platform/bag/bag_file_io.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "host/error.h"

#if defined(_WIN32)
#include <filesystem>
#else
#include "platform/files/readable_file.h"
#include "platform/files/replace_file.h"
#endif

namespace marklet::bag {

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
  if (!in) RaiseFileError(errno ? errno : EIO, path, "cannot open");
  std::string contents;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    contents.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (contents.size() > kMaxBagFileBytes) {
      throw MarkletError(7, "Out of memory: '" + path + "' is larger than a property bag can be");
    }
    if (in.eof()) break;
  }
  if (in.bad()) RaiseFileError(EIO, path, "cannot read");
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
    if (!out) RaiseFileError(EACCES, temp, "cannot create");
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.flush();
    if (!out) {
      out.close();
      std::remove(temp.c_str());
      RaiseFileError(ENOSPC, temp, "cannot write");
    }
  }
  try {
    if (beforeReplace) beforeReplace();
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) RaiseFileError(ec.value(), path, "cannot replace");
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
}

#else

void ReplaceFileAtomically(const std::string& path, std::string_view contents,
                           const std::function<void()>& beforeReplace) {
  files::ReplaceFile(path, contents, {}, beforeReplace);
}

#endif

}  // namespace marklet::bag

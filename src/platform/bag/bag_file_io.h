// Whole-file reads and atomic replacement, with failures as MarkletErrors.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace marklet::bag {

// Files larger than this are not read (no property bag comes near it).
constexpr std::size_t kMaxBagFileBytes = 64u << 20;

// The whole file, opened once and read from that descriptor. Errors: 53 when
// it does not exist (or, under a non-empty `root`, lies outside that folder),
// 70 when it may not be read, 75 when it is not a regular file (a folder, a
// pipe, a device) or cannot be read, 7 when it is larger than kMaxBagFileBytes.
#if defined(_WIN32)
std::string ReadWholeFile(const std::string& path);
#else
std::string ReadWholeFile(const std::string& path, const std::string& root = {});
#endif

// Writes `contents` to a new file beside `path` and renames it over `path`,
// so the old file stays whole until the new one is complete. `beforeReplace`
// runs after the new file is written and before the rename; if it or any step
// throws, the new file is removed and the old one is untouched. Elsewhere than
// on Windows this is files::ReplaceFile (platform/files/replace_file.h): a
// link is followed to the file it resolves to, anything but a regular file
// with one link is refused with 75, a read-only file with 70, and the new
// file keeps the old one's mode and owner. Errors: 76 path not found,
// 70 permission denied, 61 disk full, 75 any other file access error.
void ReplaceFileAtomically(const std::string& path, std::string_view contents,
                           const std::function<void()>& beforeReplace = {});

}  // namespace marklet::bag

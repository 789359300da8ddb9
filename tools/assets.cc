#include <filesystem>
#include <system_error>

#include "tools/commands.h"

namespace marklet::tools {

std::string AssetPath(const std::string& relative) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (!error) {
    fs::path installed = self.parent_path().parent_path() / "share" / "marklet" / relative;
    if (fs::is_regular_file(installed, error)) return installed.string();
  }
  return std::string(MARKLET_ASSET_DIR) + "/" + relative;
}

}  // namespace marklet::tools

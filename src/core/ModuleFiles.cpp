#include "core/ModuleFiles.h"

#include <filesystem>

namespace tessaro {

std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.parent_path().string();
}

std::string FindModuleFile(const std::string& executableFolder, const std::string& fileName) {
  if (executableFolder.empty()) return {};
  const std::filesystem::path folder(executableFolder);
  for (const std::filesystem::path& candidate : {folder / fileName, folder / ".." / "lib" / "tessaro" / fileName}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.lexically_normal().string();
  }
  return {};
}

}  // namespace tessaro

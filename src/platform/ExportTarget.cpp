#include "platform/ExportTarget.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace kestrio {

bool isWithinDirectory(const std::string& path, const std::string& directory) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path target = fs::weakly_canonical(fs::absolute(path, error), error);
  if (error) return false;
  const fs::path base = fs::weakly_canonical(fs::absolute(directory, error), error);
  if (error) return false;
  // Compared name by name: "/data/kestrio-old" is not inside "/data/kestrio".
  auto names = [](const fs::path& p) {
    std::vector<fs::path> parts;
    for (const fs::path& part : p) {
      if (!part.empty()) parts.push_back(part);
    }
    return parts;
  };
  const auto baseNames = names(base);
  const auto targetNames = names(target);
  return targetNames.size() >= baseNames.size() &&
         std::equal(baseNames.begin(), baseNames.end(), targetNames.begin());
}

}  // namespace kestrio

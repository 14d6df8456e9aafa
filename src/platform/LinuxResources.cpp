#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/ExecutableDirectory.h"
#include "platform/LinuxPlatform.h"

namespace kestrio {
std::string LinuxPlatform::resourceDirectory() {
  if (resources_) return *resources_;
  // Beside an installed program (PREFIX/bin → PREFIX/share/kestrio), in the build tree (a
  // program two levels below it), then the data directory the build was configured for.
  std::vector<std::string> candidates;
  const std::string here = executableDirectory();
  if (!here.empty()) {
    candidates.push_back(here + "/../share/kestrio");
    candidates.push_back(here + "/../../share/kestrio");
    candidates.push_back(here + "/../../../share/kestrio");
  }
  candidates.push_back(KESTRIO_DATADIR);
  resources_ = std::string();
  for (const std::string& candidate : candidates) {
    if (::access((candidate + "/InAppSettings.bundle").c_str(), R_OK | X_OK) == 0) {
      char resolved[PATH_MAX];
      resources_ = ::realpath(candidate.c_str(), resolved) ? std::string(resolved) : candidate;
      break;
    }
  }
  return *resources_;
}

}  // namespace kestrio

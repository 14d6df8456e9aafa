#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/ExecutableDirectory.h"
#include "platform/LinuxPlatform.h"

namespace kestrio {

std::string findResourceDirectory(const std::string& programDirectory,
                                  const std::string& configuredDirectory) {
  // Only the program's own layout (PREFIX/bin → PREFIX/share/kestrio; the build copies the
  // schema the same way beside its programs), then the directory the build was configured for.
  // Never further up: a copy of the program in someone else's directory must not read a schema
  // planted above it.
  std::vector<std::string> candidates;
  if (!programDirectory.empty()) candidates.push_back(programDirectory + "/../share/kestrio");
  if (!configuredDirectory.empty()) candidates.push_back(configuredDirectory);
  for (const std::string& candidate : candidates) {
    if (::access((candidate + "/InAppSettings.bundle").c_str(), R_OK | X_OK) == 0) {
      char resolved[PATH_MAX];
      return ::realpath(candidate.c_str(), resolved) ? std::string(resolved) : candidate;
    }
  }
  return {};
}

std::string LinuxPlatform::resourceDirectory() {
  if (!resources_) resources_ = findResourceDirectory(executableDirectory(), KESTRIO_DATADIR);
  return *resources_;
}

}  // namespace kestrio

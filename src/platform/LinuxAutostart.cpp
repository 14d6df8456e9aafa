#include <unistd.h>

#include <climits>
#include <string>

#include "platform/LinuxPlatform.h"

namespace kestrio {
namespace {

// The window's program: beside this one once installed (both in PREFIX/bin), or in the build
// tree's src/gui when this is src/cli's kestrio; else whichever one the PATH finds.
std::string windowProgram() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length > 0) {
    const std::string self(buffer, static_cast<std::size_t>(length));
    const std::string here = self.substr(0, self.rfind('/'));
    for (const std::string& candidate : {here + "/kestrio-gui", here + "/../gui/kestrio-gui"}) {
      char resolved[PATH_MAX];
      if (::access(candidate.c_str(), X_OK) == 0 && ::realpath(candidate.c_str(), resolved)) {
        return resolved;
      }
    }
  }
  return "kestrio-gui";
}

}  // namespace

Autostart* LinuxPlatform::autostart() {
  if (env_.configDirectory.empty()) return nullptr;
  if (!autostart_) {
    autostart_ = std::make_unique<XdgAutostart>(
        env_.configDirectory + "/autostart/" KESTRIO_APP_ID ".desktop", windowProgram());
  }
  return autostart_.get();
}

}  // namespace kestrio

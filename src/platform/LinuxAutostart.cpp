#include <string>

#include "platform/LinuxPlatform.h"
#include "platform/WindowLauncher.h"

namespace kestrio {

Autostart* LinuxPlatform::autostart() {
  if (env_.configDirectory.empty()) return nullptr;
  if (!autostart_) {
    autostart_ = std::make_unique<XdgAutostart>(
        env_.configDirectory + "/autostart/" KESTRIO_APP_ID ".desktop", windowProgram());
  }
  return autostart_.get();
}

}  // namespace kestrio

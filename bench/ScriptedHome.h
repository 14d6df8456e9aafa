#pragma once

#include <memory>
#include <string>

#include "platform/LinuxPlatform.h"
#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio::bench {

// A counters file like a laptop's, with one mobile-broadband and one wireless interface; `step`
// makes each reading a little further on.
inline std::string countersText(std::uint64_t step) {
  return testing::procNetDevText({{"lo", 1000, 1000},
                                  {"wwan7", 1000000 + step * 1500, 20000 + step * 40},
                                  {"wlan7", 9000000 + step * 9000, 300000 + step * 300}});
}

// The real platform over a temporary home and a scripted counters file, in a fixed zone and
// locale: real files and fsync, nothing of this machine's own.
struct ScriptedHome {
  testing::TemporaryDirectory dir;
  LinuxEnvironment env;
  std::unique_ptr<LinuxPlatform> platform;
  std::string error;

  ScriptedHome() {
    env.documentsDirectory = dir.path() + "/home";
    env.zoneId = "UTC";
    env.localeId = "en_US";
    env.paths.procNetDev = dir.path() + "/net_dev";
    testing::replaceFile(env.paths.procNetDev, countersText(0));
    platform = LinuxPlatform::create(env, &error);
  }
  void advanceCounters(std::uint64_t step) {
    testing::replaceFile(env.paths.procNetDev, countersText(step));
  }
};

}  // namespace kestrio::bench

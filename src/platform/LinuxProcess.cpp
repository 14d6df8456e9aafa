// Waiting for the request to stop: a daemon blocks SIGTERM and SIGINT and takes them as they
// come, so a stop always runs its last pass instead of interrupting one.
#include <signal.h>

#include <cerrno>
#include <cmath>
#include <ctime>

#include "platform/LinuxPlatform.h"

namespace kestrio {

bool LinuxPlatform::waitForTermination(double seconds) {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  // Blocked signals stay pending until taken below, also while a pass runs.
  if (sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) {
    log("cannot block the stop signals; the daemon stops without a last update");
  }
  const double wait = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
  timespec timeout{};
  timeout.tv_sec = static_cast<time_t>(wait);
  timeout.tv_nsec = static_cast<long>((wait - std::floor(wait)) * 1e9);
  while (true) {
    const int taken = sigtimedwait(&stop, nullptr, &timeout);
    if (taken == SIGTERM || taken == SIGINT) return true;
    if (taken < 0 && errno == EINTR) continue;  // another signal; the remaining time is unknown
    return false;                               // EAGAIN: the time passed
  }
}

}  // namespace kestrio

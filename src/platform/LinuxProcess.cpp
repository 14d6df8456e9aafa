// The daemon's process: waiting for the request to stop, and making sure only one daemon runs
// per data directory (its lock file, and its socket in the user's private runtime directory). A
// daemon blocks SIGTERM, SIGINT and SIGHUP (main does so before anything else) and takes them as
// they come, so a stop always runs its last pass instead of interrupting one.
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/InstanceSocket.h"
#include "platform/LinuxPlatform.h"

namespace kestrio {
namespace {

// The longest single wait: a day. Callers wait again for what remains, and a timespec never
// receives a value it cannot hold.
constexpr double kLongestWait = 86400;

constexpr const char* kDaemonSocketKind = "daemon";

sigset_t stopSignals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGHUP);
  return stop;
}

// Holds the daemon's socket and its lock file together. Other processes ask whether a daemon
// runs by connecting to the socket: each connection is taken and closed at once, so their
// questions never fill its queue.
class DaemonClaim final : public FileLock {
 public:
  DaemonClaim(std::unique_ptr<FileLock> lock, std::optional<InstanceListener> socket,
              EventLoop& events)
      : lock_(std::move(lock)), socket_(std::move(socket)), events_(events) {
    if (!socket_) return;
    const int fd = socket_->descriptor();
    events_.add(fd, [fd] {
      while (true) {
        const int connection = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
          ::close(connection);
        } else if (errno != EINTR) {
          break;
        }
      }
    });
  }
  ~DaemonClaim() override {
    if (socket_) events_.remove(socket_->descriptor());
  }
  DaemonClaim(const DaemonClaim&) = delete;
  DaemonClaim& operator=(const DaemonClaim&) = delete;

 private:
  std::unique_ptr<FileLock> lock_;          // released last
  std::optional<InstanceListener> socket_;  // its file removed first
  EventLoop& events_;
};

}  // namespace

void LinuxPlatform::releaseIdleMemory() {
  // The heap's free pages go back to the kernel; the pages of code and data stay mapped, as the
  // kernel reclaims clean ones by itself when memory runs short.
  ::malloc_trim(0);
}

bool LinuxPlatform::waitForTermination(double seconds) {
  const sigset_t stop = stopSignals();
  // Blocked signals stay pending until taken below, also while a pass runs.
  if (sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) {
    warn("cannot block the stop signals; the daemon stops without a last update");
  }
  const double wait = std::isfinite(seconds) && seconds > 0 ? std::min(seconds, kLongestWait) : 0;
  waitInterrupted_ = false;
  if (!events_.empty()) return waitForTerminationServingEvents(stop, wait);
  timespec timeout{};
  timeout.tv_sec = static_cast<time_t>(wait);
  timeout.tv_nsec = static_cast<long>((wait - std::floor(wait)) * 1e9);
  while (true) {
    const int taken = sigtimedwait(&stop, nullptr, &timeout);
    if (taken == SIGTERM || taken == SIGINT || taken == SIGHUP) return true;
    if (taken < 0 && errno == EINTR) continue;  // another signal; the remaining time is unknown
    return false;                               // EAGAIN: the time passed
  }
}

bool LinuxPlatform::waitForTerminationServingEvents(const sigset_t& stop, double wait) {
  // A position must be served while it is fresh, not at the next refresh: wait on the stop
  // signals and the event sources together.
  const int signals = ::signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signals < 0) {
    log(std::string("cannot wait for positions and stop signals together: ") +
        std::strerror(errno));
    events_.dispatch();
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(std::min(wait, 1.0));
    return sigtimedwait(&stop, nullptr, &timeout) > 0;
  }
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  bool stopped = false;
  while (true) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const double waited = static_cast<double>(now.tv_sec - start.tv_sec) +
                          static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
    if (waited >= wait) break;
    pollfd fds[2] = {{signals, POLLIN, 0}, {events_.descriptor(), POLLIN, 0}};
    const double left = std::min(wait - waited, 86400.0);
    const int ready =
        ::poll(fds, events_.empty() ? 1 : 2, static_cast<int>(std::ceil(left * 1000)));
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo info{};
      stopped = ::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
      if (stopped) break;
    }
    if (!events_.empty() && (fds[1].revents & POLLIN)) {
      events_.dispatch();
      if (std::exchange(waitInterrupted_, false)) break;
    }
  }
  ::close(signals);
  return stopped;
}

bool LinuxPlatform::daemonRunningElsewhere() {
  if (holdsDaemonClaim_) return false;
  // Where this process would put the socket, and the data directory, where a daemon started
  // without a private runtime directory puts it.
  const std::string here =
      instanceSocketPath(env_.runtimeDirectory, env_.documentsDirectory, kDaemonSocketKind);
  const std::string fallback = instanceSocketPath("", env_.documentsDirectory, kDaemonSocketKind);
  std::vector<std::string> paths{here};
  if (fallback != here) paths.push_back(fallback);
  for (const std::string& path : paths) {
    const int connection = connectToInstance(path);
    if (connection >= 0) {
      ::close(connection);
      return true;
    }
    // A queue full of questions: a daemon that listens, in a directory only the user writes to.
    if (errno == EAGAIN) return true;
  }
  return false;
}

std::unique_ptr<FileLock> LinuxPlatform::claimDaemonInstance() {
  // The lock file first: two daemons of one data directory never both go on.
  auto lock = files_.tryLock(documentPath(kDaemonLockFileName));
  if (!lock) return nullptr;
  // Then the socket, which outlives the directory being removed and made again.
  const std::string path =
      instanceSocketPath(env_.runtimeDirectory, env_.documentsDirectory, kDaemonSocketKind);
  int error = 0;
  auto socket = InstanceListener::listen(path, &error);
  // Our own daemon, whose directory was removed and created again under it.
  if (!socket && error == EADDRINUSE) return nullptr;
  if (!socket) {
    warn("cannot listen on the daemon's socket " + path +
         "; relying on its lock file: " + std::strerror(error));
  }
  holdsDaemonClaim_ = true;
  return std::make_unique<DaemonClaim>(std::move(lock), std::move(socket), events_);
}

}  // namespace kestrio

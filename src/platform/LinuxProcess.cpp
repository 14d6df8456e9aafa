// The daemon's process: waiting for the request to stop, and making sure only one daemon runs
// per data directory. A daemon blocks SIGTERM, SIGINT and SIGHUP (main does so before anything
// else) and takes them as they come, so a stop always runs its last pass instead of
// interrupting one.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "platform/IdleMemory.h"
#include "platform/LinuxPlatform.h"

namespace kestrio {
namespace {

// The longest single wait: a day. Callers wait again for what remains, and a timespec never
// receives a value it cannot hold.
constexpr double kLongestWait = 86400;

sigset_t stopSignals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGHUP);
  return stop;
}

// A name in the abstract socket namespace for the data directory: it lives as long as the
// process holding it (no file to remove, none to go stale) and is tied to the directory's path,
// not to a file inside it that `rm -rf` and a new directory would replace.
std::string daemonSocketName(const std::string& directory) {
  char resolved[PATH_MAX];
  const std::string path = ::realpath(directory.c_str(), resolved) ? resolved : directory;
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a: the same in every process
  for (unsigned char c : path) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char name[64];
  std::snprintf(name, sizeof name, "kestrio-daemon/%u/%016llx", static_cast<unsigned>(::getuid()),
                static_cast<unsigned long long>(hash));
  return name;
}

sockaddr_un abstractAddress(const std::string& name, socklen_t* length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // The leading NUL puts the name in the abstract namespace.
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return address;
}

// Whether the process holding the name is one of the user's own. The daemon never accepts,
// so each probe stays queued: a full queue (many refused starts) is taken as the user's daemon.
// A name bound by someone who does not listen, or another user's listener, is not ours.
bool heldByUser(const sockaddr_un& address, socklen_t length) {
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (probe < 0) return true;
  bool ours = false;
  if (::connect(probe, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
    ucred peer{};
    socklen_t size = sizeof peer;
    ours =
        ::getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid == ::getuid();
  } else {
    ours = errno == EAGAIN;
  }
  ::close(probe);
  return ours;
}

// Holds the daemon's socket name and its lock file together.
class DaemonClaim final : public FileLock {
 public:
  DaemonClaim(int socket, std::unique_ptr<FileLock> lock)
      : socket_(socket), lock_(std::move(lock)) {}
  ~DaemonClaim() override {
    if (socket_ >= 0) ::close(socket_);
  }
  DaemonClaim(const DaemonClaim&) = delete;
  DaemonClaim& operator=(const DaemonClaim&) = delete;

 private:
  int socket_;
  std::unique_ptr<FileLock> lock_;
};

}  // namespace

void LinuxPlatform::releaseIdleMemory() {
  kestrio::releaseIdleMemory();
}

bool LinuxPlatform::waitForTermination(double seconds) {
  const sigset_t stop = stopSignals();
  // Blocked signals stay pending until taken below, also while a pass runs.
  if (sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) {
    log("cannot block the stop signals; the daemon stops without a last update");
  }
  const double wait = std::isfinite(seconds) && seconds > 0 ? std::min(seconds, kLongestWait) : 0;
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
    if (!events_.empty() && (fds[1].revents & POLLIN)) events_.dispatch();
  }
  ::close(signals);
  return stopped;
}

bool LinuxPlatform::daemonRunningElsewhere() {
  if (holdsDaemonClaim_) return false;
  // The kernel's list of Unix sockets names every bound abstract name: looking costs the daemon
  // nothing, where a connection would sit in its queue.
  std::ifstream sockets("/proc/net/unix");
  const std::string name = "@" + daemonSocketName(env_.documentsDirectory);
  std::string line;
  while (std::getline(sockets, line)) {
    if (line.size() >= name.size() &&
        line.compare(line.size() - name.size(), name.size(), name) == 0) {
      return true;
    }
  }
  return false;
}

std::unique_ptr<FileLock> LinuxPlatform::claimDaemonInstance() {
  // The lock file first: a daemon in another network namespace does not see our socket name.
  auto lock = files_.tryLock(documentPath(kDaemonLockFileName));
  if (!lock) return nullptr;
  holdsDaemonClaim_ = true;

  const std::string name = daemonSocketName(env_.documentsDirectory);
  socklen_t length = 0;
  const sockaddr_un address = abstractAddress(name, &length);
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    log(std::string("cannot make the daemon's socket; relying on its lock file: ") +
        std::strerror(errno));
    return std::make_unique<DaemonClaim>(-1, std::move(lock));
  }
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
    // Listening lets a second daemon ask who holds the name.
    ::listen(socket, SOMAXCONN);
    return std::make_unique<DaemonClaim>(socket, std::move(lock));
  }
  const int error = errno;
  ::close(socket);
  if (error == EADDRINUSE) {
    // Our own daemon, whose directory was removed and created again under it.
    if (heldByUser(address, length)) return nullptr;
    // Anyone may take a name in this namespace; another user's process must not keep ours
    // from running.
    log("another user's process holds the daemon's name for " + env_.documentsDirectory +
        "; relying on its lock file");
  } else {
    log("cannot claim the daemon's name; relying on its lock file: " +
        std::string(std::strerror(error)));
  }
  return std::make_unique<DaemonClaim>(-1, std::move(lock));
}

}  // namespace kestrio

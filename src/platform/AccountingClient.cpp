#include "platform/AccountingClient.h"

#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <utility>

#ifndef SO_NETNS_COOKIE
#define SO_NETNS_COOKIE 71
#endif

namespace kestrio {
namespace {

constexpr std::chrono::milliseconds kTimeout{5000};

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

ApplicationCounters failed(ApplicationCounters::State state, std::string reason) {
  return {state, std::move(reason), {}};
}

// Waits for `events` on `fd` until `deadline`; false when the time passed or the wait failed.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd polled{fd, events, 0};
    const int ready = ::poll(&polled, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

}  // namespace

InterfaceNamer systemInterfaceNamer() {
  return [](std::uint32_t ifindex) -> std::optional<std::string> {
    char name[IF_NAMESIZE];
    if (::if_indextoname(ifindex, name) == nullptr) return std::nullopt;
    return std::string(name);
  };
}

std::vector<ApplicationCounter> countersInNamespace(const std::vector<accounting::Entry>& entries,
                                                    std::uint64_t ownNamespace,
                                                    const InterfaceNamer& interfaceName) {
  std::map<std::uint32_t, std::optional<std::string>> names;
  std::vector<ApplicationCounter> counters;
  for (const accounting::Entry& entry : entries) {
    if (entry.netnsCookie != ownNamespace) continue;
    auto name = names.find(entry.ifindex);
    if (name == names.end())
      name = names.emplace(entry.ifindex, interfaceName(entry.ifindex)).first;
    if (!name->second) continue;
    counters.push_back({entry.cgroup, *name->second, entry.received, entry.sent});
  }
  return counters;
}

ApplicationCounters readApplicationCounters(const std::string& socketPath,
                                            const InterfaceNamer& interfaceName) {
  using State = ApplicationCounters::State;
  const std::string missing = "kestrio-accountd does not answer at " + socketPath;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof address.sun_path) {
    return failed(State::Failed, "the socket path " + socketPath + " is too long");
  }
  std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
  Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (socket.get() < 0) {
    return failed(State::Failed, std::string("cannot create a socket: ") + std::strerror(errno));
  }
  const auto deadline = std::chrono::steady_clock::now() + kTimeout;
  if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ECONNREFUSED || error == ENOTDIR) {
      return failed(State::ServiceMissing, missing + " (" + std::strerror(error) + ")");
    }
    // A Unix socket connects at once or not at all: EAGAIN is a full queue of connections.
    return failed(State::Failed, missing + ": " + std::strerror(error));
  }
  // Only the service, which runs as root, or a process of this user's own may answer: another
  // user could have made the socket first where the service has none.
  ucred peer{};
  socklen_t peerSize = sizeof peer;
  if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0 ||
      (peer.uid != 0 && peer.uid != ::geteuid())) {
    return failed(State::Failed, socketPath + " belongs to another user, not to kestrio-accountd");
  }

  // The namespace this process counts its interfaces in, as the kernel names it to the program.
  std::uint64_t ownNamespace = 0;
  socklen_t size = sizeof ownNamespace;
  if (::getsockopt(socket.get(), SOL_SOCKET, SO_NETNS_COOKIE, &ownNamespace, &size) != 0) {
    return failed(State::Failed, std::string("cannot tell this process's network namespace: ") +
                                     std::strerror(errno));
  }

  std::string_view request = accounting::kCountersRequest;
  while (!request.empty()) {
    const ssize_t sent = ::send(socket.get(), request.data(), request.size(), MSG_NOSIGNAL);
    if (sent >= 0) {
      request.remove_prefix(static_cast<std::size_t>(sent));
    } else if ((errno != EAGAIN && errno != EINTR) || !waitFor(socket.get(), POLLOUT, deadline)) {
      return failed(State::Failed, missing + ": the request could not be sent");
    }
  }

  std::string answer;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::recv(socket.get(), buffer, sizeof buffer, 0);
    if (got == 0) break;
    if (got > 0) {
      answer.append(buffer, static_cast<std::size_t>(got));
      if (answer.size() > accounting::kMaxAnswerBytes) {
        return failed(State::Failed, "kestrio-accountd's answer is larger than any it gives");
      }
    } else if ((errno != EAGAIN && errno != EINTR) || !waitFor(socket.get(), POLLIN, deadline)) {
      return failed(State::Failed, missing + ": its answer did not come in time");
    }
  }
  accounting::Answer parsed = accounting::parseAnswer(answer);
  if (!parsed.ok) return failed(State::Failed, parsed.error);
  return {State::Read, {}, countersInNamespace(parsed.entries, ownNamespace, interfaceName)};
}

}  // namespace kestrio

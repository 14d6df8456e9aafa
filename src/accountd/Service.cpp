#include "accountd/Service.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "accountd/Answer.h"
#include "accountd/CgroupTree.h"
#include "accountd/Counting.h"
#include "accountd/Log.h"

namespace kestrio::accountd {
namespace {

// Refused requests are logged up to this many per run: a local user must not fill the journal.
constexpr int kLoggedRefusals = 20;

}  // namespace

Service::Service(Counting& counting, std::string cgroupRoot, int listening, int signals)
    : counting_(counting),
      cgroupRoot_(std::move(cgroupRoot)),
      listening_(listening),
      signals_(signals) {}

int Service::run() {
  std::vector<pollfd> polled;
  for (;;) {
    polled.clear();
    polled.push_back({signals_, POLLIN, 0});
    polled.push_back({counting_.newCgroupsDescriptor(), POLLIN, 0});
    polled.push_back(
        {listening_, static_cast<short>(clients_.size() < kMaxClients ? POLLIN : 0), 0});
    auto now = std::chrono::steady_clock::now();
    auto wait = std::chrono::milliseconds(-1);
    for (const Client& client : clients_) {
      polled.push_back({client.fd, static_cast<short>(client.answering ? POLLOUT : POLLIN), 0});
      auto left = std::chrono::ceil<std::chrono::milliseconds>(client.deadline - now);
      left = std::max(left, std::chrono::milliseconds(0));
      if (wait.count() < 0 || left < wait) wait = left;
    }
    if (::poll(polled.data(), polled.size(), static_cast<int>(wait.count())) < 0) {
      if (errno == EINTR) continue;
      log(LogPriority::Error, std::string("cannot wait for clients: ") + std::strerror(errno));
      return 1;
    }
    if (polled[0].revents != 0) {
      log(LogPriority::Info, "stopping; the program goes on counting until the service is back");
      return 0;
    }
    if (polled[1].revents != 0) name(counting_.takeNewCgroups());

    now = std::chrono::steady_clock::now();
    std::vector<Client> kept;
    for (std::size_t i = 0; i < clients_.size(); ++i) {
      Client& client = clients_[i];
      const short events = polled[3 + i].revents;
      bool open = true;
      if (now >= client.deadline) {
        if (!client.answering) {
          // Told why, as far as its socket takes the line at once.
          const std::string line = accounting::errorLine("request not sent in time");
          (void)::send(client.fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        if (refusals_++ < kLoggedRefusals) {
          log(LogPriority::Notice,
              "closed the connection of uid " + std::to_string(client.uid) + ": too slow");
        }
        open = false;
      } else if (events != 0) {
        open = serve(client, events);
      }
      if (open) {
        kept.push_back(std::move(client));
      } else {
        ::close(client.fd);
      }
    }
    clients_ = std::move(kept);
    if ((polled[2].revents & POLLIN) != 0) accept();
  }
}

void Service::accept() {
  for (;;) {
    const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials) {
      ::close(fd);
      continue;
    }
    Client client;
    client.fd = fd;
    client.uid = credentials.uid;
    client.deadline = std::chrono::steady_clock::now() + kClientTimeout;
    clients_.push_back(std::move(client));
    if (clients_.size() >= kMaxClients) return;
  }
}

bool Service::serve(Client& client, short events) {
  if (!client.answering) {
    char buffer[accounting::kMaxRequestBytes + 1];
    const std::size_t room = sizeof buffer - client.request.size();
    const ssize_t got = ::recv(client.fd, buffer, room, 0);
    if (got < 0) return errno == EAGAIN || errno == EINTR;
    client.request.append(buffer, static_cast<std::size_t>(got));
    // The request is whole at its line break, at the client's end of sending, or when it is
    // already longer than any request may be.
    if (got > 0 && client.request.find('\n') == std::string::npos &&
        client.request.size() <= accounting::kMaxRequestBytes) {
      return true;
    }
    client.answer = answerRequest(client.uid, client.request, entries());
    client.answering = true;
    if (client.answer.rfind("error ", 0) == 0) refused(client, client.answer);
    events = POLLOUT;
  }
  if ((events & (POLLOUT | POLLERR | POLLHUP)) == 0) return true;
  while (client.sent < client.answer.size()) {
    const ssize_t sent = ::send(client.fd, client.answer.data() + client.sent,
                                client.answer.size() - client.sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) return errno == EAGAIN || errno == EINTR;
    client.sent += static_cast<std::size_t>(sent);
  }
  return false;
}

void Service::refused(const Client& client, const std::string& answer) {
  if (refusals_ >= kLoggedRefusals) return;
  if (++refusals_ == kLoggedRefusals) {
    log(LogPriority::Notice, "refused " + std::to_string(refusals_) +
                                 " requests; further refusals of this run are not logged");
    return;
  }
  std::string reason = answer.substr(6);
  if (!reason.empty() && reason.back() == '\n') reason.pop_back();
  log(LogPriority::Notice,
      "refused a request of uid " + std::to_string(client.uid) + ": " + reason);
}

std::vector<accounting::Entry> Service::entries() {
  std::vector<accounting::Entry> out;
  const std::optional<std::vector<KernelCounter>> counters = counting_.read();
  if (!counters) {
    log(LogPriority::Warning, std::string("cannot read the counting map: ") + std::strerror(errno));
    return out;
  }
  std::vector<std::uint64_t> unknown;
  for (const KernelCounter& counter : *counters) {
    if (!paths_.contains(counter.cgroup)) unknown.push_back(counter.cgroup);
  }
  if (!unknown.empty()) name(unknown);
  out.reserve(counters->size());
  for (const KernelCounter& counter : *counters) {
    auto path = paths_.find(counter.cgroup);
    if (path == paths_.end()) continue;
    out.push_back(
        {path->second, counter.netnsCookie, counter.ifindex, counter.received, counter.sent});
  }
  return out;
}

void Service::name(const std::vector<std::uint64_t>& cgroups) {
  std::vector<std::uint64_t> missing;
  for (std::uint64_t cgroup : cgroups) {
    if (paths_.contains(cgroup) || unnamed_.contains(cgroup)) continue;
    if (std::optional<std::string> stored = counting_.storedPath(cgroup)) {
      paths_.emplace(cgroup, std::move(*stored));
    } else {
      missing.push_back(cgroup);
    }
  }
  if (missing.empty()) return;
  const std::unordered_map<std::uint64_t, std::string> tree = walkCgroups(cgroupRoot_);
  for (std::uint64_t cgroup : missing) {
    auto found = tree.find(cgroup);
    if (found == tree.end()) {
      unnamed_.insert(cgroup);
      log(LogPriority::Notice,
          "cgroup " + std::to_string(cgroup) +
              " was gone before it could be named; its bytes are not answered");
      continue;
    }
    if (!counting_.storePath(cgroup, found->second)) {
      log(LogPriority::Warning, "cannot keep the path of " + found->second +
                                    " in the kernel: a restart will not name it after it closes");
    }
    paths_.emplace(cgroup, found->second);
  }
}

}  // namespace kestrio::accountd

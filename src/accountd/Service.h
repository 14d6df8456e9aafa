#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/AccountingProtocol.h"

namespace kestrio::accountd {

class Counting;

// Answers the clients of the service's socket from the kernel's counters, one connection at a
// time per request but many connections at once: no client, however slow or hostile, holds the
// others up for longer than it takes to read one request or write one answer.
class Service {
 public:
  // `listening` is the socket (see openListeningSocket), `cgroupRoot` the hierarchy the
  // program counts on. `signals` a signalfd that becomes readable when the service must end.
  Service(Counting& counting, std::string cgroupRoot, int listening, int signals);

  // Serves until the signal comes; answers the process's exit status.
  int run();

  // How long a client may take to send its request and read the answer.
  static constexpr std::chrono::seconds kClientTimeout{5};
  static constexpr std::size_t kMaxClients = 64;

 private:
  struct Client {
    int fd = -1;
    uid_t uid = 0;
    std::string request;
    std::string answer;
    std::size_t sent = 0;
    bool answering = false;
    std::chrono::steady_clock::time_point deadline;
  };

  void accept();
  // False when the client is done with and must be closed.
  bool serve(Client& client, short events);
  std::vector<accounting::Entry> entries();
  void name(const std::vector<std::uint64_t>& cgroups);
  void refused(const Client& client, const std::string& answer);

  Counting& counting_;
  std::string cgroupRoot_;
  int listening_;
  int signals_;
  std::vector<Client> clients_;
  // Every cgroup's path by id, as far as known: taken from the kernel's stored paths, else
  // from a walk of the tree, and kept after the cgroup is gone.
  std::unordered_map<std::uint64_t, std::string> paths_;
  // Cgroups gone before the service could name them: not walked for again.
  std::unordered_set<std::uint64_t> unnamed_;
  int refusals_ = 0;
};

}  // namespace kestrio::accountd

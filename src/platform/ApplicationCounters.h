#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrio {

// The bytes one cgroup's sockets received and sent over one interface of this process's
// network namespace, since kestrio-accountd first counted them. Cumulative: a pass takes the
// increment since its previous reading, as with the interface counters.
struct ApplicationCounter {
  std::string cgroup;     // relative to the cgroup v2 root: "/user.slice/…/app-….scope"
  std::string interface;  // the interface's name now ("wlan0")
  std::uint64_t received = 0;
  std::uint64_t sent = 0;
  bool operator==(const ApplicationCounter&) const = default;
};

// One reading of the accounting service for the calling user.
struct ApplicationCounters {
  enum class State {
    Read,            // `counters` holds every application's counters the user may see
    ServiceMissing,  // no service answers: not installed or not enabled (`reason` says which)
    Failed,          // the service is there but the reading failed (`reason` says why)
  };
  State state = State::ServiceMissing;
  std::string reason;
  std::vector<ApplicationCounter> counters;
};

}  // namespace kestrio

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/AccountingProtocol.h"
#include "platform/ApplicationCounters.h"

namespace kestrio {

// The name of an interface of this process's network namespace by its index; nothing when no
// interface has it (any more).
using InterfaceNamer = std::function<std::optional<std::string>(std::uint32_t ifindex)>;

// The kernel's answer (if_indextoname).
InterfaceNamer systemInterfaceNamer();

// Asks kestrio-accountd at `socketPath` for the calling user's application counters. A socket
// nobody listens on, or none at all, is `ServiceMissing`; an answer that is refused, cut short
// or malformed is `Failed`. Waits at most a few seconds for the service.
ApplicationCounters readApplicationCounters(const std::string& socketPath,
                                            const InterfaceNamer& interfaceName);

// The counters of the entries counted in the network namespace whose cookie is `ownNamespace`,
// by interface name: interface indexes of other namespaces name other interfaces, and an index
// no interface has any more names none, so those entries are left out.
std::vector<ApplicationCounter> countersInNamespace(const std::vector<accounting::Entry>& entries,
                                                    std::uint64_t ownNamespace,
                                                    const InterfaceNamer& interfaceName);

}  // namespace kestrio

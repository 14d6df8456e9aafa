#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "platform/NetworkInterfaces.h"

namespace kestrio {

// The kernel's link table, read over rtnetlink: every link's name, index, loopback flag,
// hardware address and 64-bit byte counters in one dump, so the counters, the index and the
// address always belong to the same link. Nothing when the table cannot be read (no netlink socket,
// a refused or cut-short dump).
std::optional<std::vector<InterfaceCounters>> readLinkTable();

// What one part of a link dump holds.
enum class LinkDumpStatus { More, Done, Failed };

// Adds the links of one buffer of netlink messages (as one recv() of an RTM_GETLINK dump
// answers) to `links`. Done at the dump's end, Failed on an error message or a malformed one,
// More when further buffers follow. Messages of another sequence number are ignored.
LinkDumpStatus parseLinkDump(std::string_view buffer, std::uint32_t sequence,
                             std::vector<InterfaceCounters>& links);

}  // namespace kestrio

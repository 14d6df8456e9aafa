#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrio::testing {

struct ScriptedInterface {
  std::string name;
  std::uint64_t received = 0;
  std::uint64_t sent = 0;
  std::uint32_t index = 0;  // written as "NAME@INDEX:" when set
};

// A counters file in the format of /proc/net/dev, as KESTRIO_COUNTERS reads it.
inline std::string procNetDevText(const std::vector<ScriptedInterface>& interfaces) {
  std::string text =
      "Inter-|   Receive                                                |  Transmit\n"
      " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets "
      "errs drop fifo colls carrier compressed\n";
  for (const auto& i : interfaces) {
    text += i.name + (i.index != 0 ? "@" + std::to_string(i.index) : "") + ": " +
            std::to_string(i.received) + " 10 0 0 0 0 0 0 " + std::to_string(i.sent) +
            " 10 0 0 0 0 0 0\n";
  }
  return text;
}

}  // namespace kestrio::testing

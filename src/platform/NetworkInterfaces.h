#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ModemManager.h"

namespace kestrio {

// Byte counters of one network interface since it came up, as the kernel keeps them (64-bit).
struct InterfaceCounters {
  std::string name;
  std::uint64_t received = 0;
  std::uint64_t sent = 0;
  bool loopback = false;
  // The kernel's interface index. A link deleted and created again under the same name gets a
  // new one, so its counters start a new series. 0 when unknown.
  std::uint32_t index = 0;
  // The link's hardware address in lower-case hex ("02:11:22:33:44:55"). A link moved to
  // another network namespace and back may come back under a new index, yet it keeps its
  // address and its counters. Empty when unknown or when the link has none (all zero).
  std::string hardwareAddress = {};
};

// The most interfaces a reading may list. Even a host of many containers has far fewer; a table
// beyond it is refused, since every interface costs each pass a classification and a place in
// both records' memory.
inline constexpr std::size_t kMaxInterfaces = 4096;

// Which of the two metered networks an interface's traffic belongs to.
enum class InterfaceKind { Neither, Cellular, Wifi };

// A network connection in force on an interface, as NetworkManager knows it: whether it is
// metered (the user's setting, or NetworkManager's guess from a phone's hotspot or a modem), and
// the connection's identity and name ("Pixel hotspot").
struct ActiveConnection {
  std::string interface;
  bool metered = false;
  std::string uuid;
  std::string name;

  bool operator==(const ActiveConnection&) const = default;
};

// The connections in force at one moment. `known` is false where NetworkManager does not run:
// interfaces then count by their kind alone.
struct ConnectionSnapshot {
  ConnectionSnapshot() = default;
  ConnectionSnapshot(bool answered, std::vector<ActiveConnection> active,
                     ModemState modemState = {})
      : known(answered), connections(std::move(active)), modem(std::move(modemState)) {}

  bool known = false;
  std::vector<ActiveConnection> connections;
  // The modem as ModemManager tells it, where it runs.
  ModemState modem;

  const ActiveConnection* forInterface(std::string_view name) const {
    for (const ActiveConnection& c : connections) {
      if (c.interface == name) return &c;
    }
    return nullptr;
  }
  bool operator==(const ConnectionSnapshot&) const = default;
};

// Held while a process follows NetworkManager's changes (see Platform::watchConnections).
class ConnectionWatch {
 public:
  virtual ~ConnectionWatch() = default;
};

// Parses the text of /proc/net/dev. Answers nothing when the text is not in that format;
// lines that cannot be read are skipped. Counters are in the file's order.
std::optional<std::vector<InterfaceCounters>> parseProcNetDev(std::string_view text);

// Parses a scripted counters file: the format of /proc/net/dev, where a name may carry the
// interface's index as "NAME@INDEX:" (INDEX a whole number from 1), so a script can tell a link
// that was deleted and created again. Without it the index is unknown (0).
std::optional<std::vector<InterfaceCounters>> parseScriptedCounters(std::string_view text);

// What the system tells of an interface under /sys/class/net/NAME.
struct InterfaceFacts {
  bool known = false;           // the interface has an entry in sysfs
  bool loopback = false;        // IFF_LOOPBACK in its flags
  std::string devtype;          // DEVTYPE= of its uevent ("wwan", "wlan", "bridge", ...)
  bool wireless = false;        // phy80211 or wireless/ present
  bool physicalDevice = false;  // device/ present: backed by hardware, not a virtual link
};

// Classification by the system's facts: mobile broadband is cellular; wireless and wired Ethernet
// on real hardware count as Wi-Fi; loopback and virtual links never count, since their traffic
// also crosses a physical link. An interface sysfs does not know is classified by its name.
InterfaceKind classifyInterface(std::string_view name, const InterfaceFacts& facts);

// The user's choice of interfaces per network: names or glob patterns. A list that is present
// replaces the automatic choice for its network (an empty list counts nothing there).
struct InterfaceOverrides {
  std::optional<std::vector<std::string>> cellular;
  std::optional<std::vector<std::string>> wifi;
};

// The network an interface counts for once its connection is known: a metered connection counts
// as cellular and any other as Wi-Fi, whatever the interface's name or kind. Loopback and virtual
// links (kind Neither) stay uncounted: their traffic also crosses a physical link.
InterfaceKind applyMetered(InterfaceKind automatic, const ActiveConnection* connection);

// The network an interface counts for once the user's override is applied to the automatic kind.
InterfaceKind applyOverrides(std::string_view name, InterfaceKind automatic,
                             const InterfaceOverrides& overrides);

}  // namespace kestrio

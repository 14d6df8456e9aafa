#pragma once

#include <optional>
#include <string>

namespace kestrio {

// NetworkManager's own "connection.metered" of a stored connection, as every program on the
// system sees it: `Unknown` leaves NetworkManager to guess (a phone's hotspot, a modem).
enum class ConnectionMetered { Unknown = 0, Yes = 1, No = 2 };

// What a change of "connection.metered" came to.
struct MeteredChange {
  // Whether NetworkManager took the change; `stored` then holds what it stores now, read back.
  bool accepted = false;
  std::optional<ConnectionMetered> stored;
  // NetworkManager's own words when it refused (the user declined the authorisation, no such
  // connection) or why it could not be asked (no system bus, NetworkManager not running).
  std::string error;
};

// Changes "connection.metered" of the connection with `uuid` through NetworkManager's settings
// service, saved to disk, on a call that lets polkit ask the user for the authorisation, then
// reads the setting back.
MeteredChange writeNetworkManagerMetered(const std::string& uuid, ConnectionMetered value);

}  // namespace kestrio

#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/PlistValue.h"

namespace kestrio {

// The traffic one network counted on one of NetworkManager's connections (a Wi-Fi network, a
// phone's hotspot, a modem's operator): in the running billing period and in all time, each as a
// total and split into sent and received. The name and whether the connection is metered are the
// latest NetworkManager gave.
struct ConnectionUsage {
  std::string name;
  bool metered = false;
  double dataThisMonth = 0;
  double dataThisMonthSent = 0;
  double dataThisMonthRecd = 0;
  double dataAllTime = 0;
  double dataAllTimeSent = 0;
  double dataAllTimeRecd = 0;
  friend bool operator==(const ConnectionUsage&, const ConnectionUsage&) = default;
};

// A record's connections by NetworkManager's connection UUID.
using ConnectionUsageMap = std::map<std::string, ConnectionUsage>;

// One connection's share of a closed billing period, as its history entry keeps it.
struct ClosedConnection {
  std::string uuid;
  std::string name;
  bool metered = false;
  double dataSent = 0;
  double dataReceived = 0;
  double dataTotal = 0;
  friend bool operator==(const ClosedConnection&, const ClosedConnection&) = default;
};

namespace connection_usage {

// The key of a record file that holds its connections; a file without it has none.
inline constexpr const char* kRecordKey = "connections";
// A record keeps at most this many connections: years of travel stay far below it, and a file
// that claims more is damaged rather than read into every pass.
inline constexpr std::size_t kMaxConnections = 10000;

PlistValue toPlist(const ConnectionUsageMap& connections);
// Why the stored value cannot be read as connections; empty when it can.
std::string damageIn(const PlistValue& stored);
// The connections of a stored value damageIn found sound.
ConnectionUsageMap fromPlist(const PlistValue& stored);

// A record's connections with their UUIDs, in the order they are listed: the most used in the
// period first, then the most used in all time, then by name.
std::vector<std::pair<std::string, ConnectionUsage>> listed(const ConnectionUsageMap& connections);

// The period's figures of every connection that counted something in it, largest first, and
// every connection's period figures set back to zero.
std::vector<ClosedConnection> closePeriod(ConnectionUsageMap& connections);

}  // namespace connection_usage

}  // namespace kestrio

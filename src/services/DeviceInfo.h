#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace kestrio {

// The only reader of the kernel's traffic counters and boot time. Keeps no state: every call
// asks the platform afresh.
class DeviceInfo {
 public:
  // Received plus sent bytes of the named interface; 0 when it is missing or a loopback.
  static double getCurrentDataUsageForBSDInterface(Platform& platform, std::string_view name);
  static double getCurrentDataReceivedForBSDInterface(Platform& platform, std::string_view name);
  static double getCurrentDataSentForBSDInterface(Platform& platform, std::string_view name);
  // The boot instant in whole seconds since 1970; -1 when unknown.
  static std::int64_t getSecondsSinceLastBoot(Platform& platform);
  static std::string getPlatformName(Platform& platform);

  // The interfaces whose traffic counts for a network ("wifi", or cellular for any other text),
  // with their counters, in the kernel's order. The user's choice under "cellularInterfaces" and
  // "wifiInterfaces" replaces the automatic one for its network.
  static std::vector<InterfaceCounters> interfacesForDataType(Platform& platform,
                                                              std::string_view type);
  // The same choice made from a reading the caller already has. The network of an interface is
  // decided in this order: the user's interface lists, then, while "countMeteredAsCellular" is
  // on and NetworkManager runs, whether the interface's connection is metered, then the
  // interface's kind. `connections` is NetworkManager's view to decide by; without one it is
  // asked afresh.
  static std::vector<InterfaceCounters> chooseInterfaces(
      Platform& platform, const std::vector<InterfaceCounters>& all, std::string_view type,
      const ConnectionSnapshot* connections = nullptr);
  static InterfaceOverrides interfaceOverrides(Platform& platform);
  // NetworkManager's connections when metered connections count as cellular; an unknown snapshot
  // when the user turned that off (NetworkManager is not even asked then).
  static ConnectionSnapshot connectionsInForce(Platform& platform);
  // Whether a metered connection decides the network of its interface ("countMeteredAsCellular",
  // on unless the user turned it off).
  static bool countsMeteredAsCellular(Platform& platform);

  static constexpr const char* kCellularInterfacesKey = "cellularInterfaces";
  static constexpr const char* kWifiInterfacesKey = "wifiInterfaces";
  static constexpr const char* kCountMeteredAsCellularKey = "countMeteredAsCellular";
};

}  // namespace kestrio

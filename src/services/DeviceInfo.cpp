#include "services/DeviceInfo.h"

#include <optional>

namespace kestrio {

namespace {

std::optional<InterfaceCounters> findInterface(Platform& platform, std::string_view name) {
  auto counters = platform.readInterfaceCounters();
  if (!counters) return std::nullopt;
  for (auto& c : *counters) {
    if (!c.loopback && c.name == name) return c;
  }
  return std::nullopt;
}

}  // namespace

double DeviceInfo::getCurrentDataUsageForBSDInterface(Platform& platform, std::string_view name) {
  auto c = findInterface(platform, name);
  return c ? static_cast<double>(c->received) + static_cast<double>(c->sent) : 0;
}

double DeviceInfo::getCurrentDataReceivedForBSDInterface(Platform& platform,
                                                         std::string_view name) {
  auto c = findInterface(platform, name);
  return c ? static_cast<double>(c->received) : 0;
}

double DeviceInfo::getCurrentDataSentForBSDInterface(Platform& platform, std::string_view name) {
  auto c = findInterface(platform, name);
  return c ? static_cast<double>(c->sent) : 0;
}

std::int64_t DeviceInfo::getSecondsSinceLastBoot(Platform& platform) {
  const std::int64_t boot = platform.bootInstant();
  return boot >= 1 ? boot : -1;
}

std::string DeviceInfo::getPlatformName(Platform& platform) {
  return platform.machineName();
}

InterfaceOverrides DeviceInfo::interfaceOverrides(Platform& platform) {
  UserDefaults& store = platform.userDefaults();
  return InterfaceOverrides{store.stringArrayForKey(kCellularInterfacesKey),
                            store.stringArrayForKey(kWifiInterfacesKey)};
}

std::vector<InterfaceCounters> DeviceInfo::interfacesForDataType(Platform& platform,
                                                                 std::string_view type) {
  auto counters = platform.readInterfaceCounters();
  if (!counters) return {};
  return chooseInterfaces(platform, *counters, type);
}

bool DeviceInfo::countsMeteredAsCellular(Platform& platform) {
  const std::optional<PlistValue> on =
      platform.userDefaults().objectForKey(kCountMeteredAsCellularKey);
  return !on || platform.userDefaults().boolForKey(kCountMeteredAsCellularKey);
}

ConnectionSnapshot DeviceInfo::connectionsInForce(Platform& platform) {
  if (!countsMeteredAsCellular(platform)) return {};
  return platform.activeConnections();
}

std::vector<InterfaceCounters> DeviceInfo::chooseInterfaces(
    Platform& platform, const std::vector<InterfaceCounters>& all, std::string_view type,
    const ConnectionSnapshot* connections) {
  const InterfaceKind wanted = type == "wifi" ? InterfaceKind::Wifi : InterfaceKind::Cellular;
  const InterfaceOverrides overrides = interfaceOverrides(platform);
  std::optional<ConnectionSnapshot> asked;
  if (connections == nullptr) connections = &asked.emplace(connectionsInForce(platform));
  std::vector<InterfaceCounters> chosen;
  for (const auto& c : all) {
    if (c.loopback) continue;
    const InterfaceKind kind =
        applyMetered(platform.interfaceKind(c.name), connections->forInterface(c.name));
    if (applyOverrides(c.name, kind, overrides) == wanted) chosen.push_back(c);
  }
  return chosen;
}

}  // namespace kestrio

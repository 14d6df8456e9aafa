#include "engine/ConnectionUsage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/StoredCount.h"

namespace kestrio::connection_usage {

namespace {

struct Figure {
  const char* key;
  double ConnectionUsage::*member;
};

constexpr Figure kFigures[] = {
    {"dataThisMonth", &ConnectionUsage::dataThisMonth},
    {"dataThisMonthSent", &ConnectionUsage::dataThisMonthSent},
    {"dataThisMonthRecd", &ConnectionUsage::dataThisMonthRecd},
    {"dataAllTime", &ConnectionUsage::dataAllTime},
    {"dataAllTimeSent", &ConnectionUsage::dataAllTimeSent},
    {"dataAllTimeRecd", &ConnectionUsage::dataAllTimeRecd},
};

}  // namespace

PlistValue toPlist(const ConnectionUsageMap& connections) {
  PlistValue::Dictionary stored;
  for (const auto& [uuid, usage] : connections) {
    PlistValue::Dictionary entry{{"name", PlistValue(usage.name)},
                                 {"metered", PlistValue(usage.metered)}};
    for (const Figure& figure : kFigures) entry[figure.key] = PlistValue(usage.*figure.member);
    stored[uuid] = PlistValue(std::move(entry));
  }
  return PlistValue(std::move(stored));
}

std::string damageIn(const PlistValue& stored) {
  auto* connections = stored.get<PlistValue::Dictionary>();
  if (!connections) return "the connections are malformed";
  if (connections->size() > kMaxConnections) return "it holds too many connections";
  for (const auto& [uuid, value] : *connections) {
    const std::string what = "the figures of connection " + uuid + " are malformed";
    auto* entry = value.get<PlistValue::Dictionary>();
    if (uuid.empty() || !entry) return what;
    auto name = entry->find("name");
    auto metered = entry->find("metered");
    if (name == entry->end() || !name->second.is<std::string>()) return what;
    if (metered == entry->end() || !metered->second.is<bool>()) return what;
    for (const Figure& figure : kFigures) {
      auto it = entry->find(figure.key);
      if (it == entry->end() || !storedCount(it->second)) return what;
    }
  }
  return {};
}

ConnectionUsageMap fromPlist(const PlistValue& stored) {
  ConnectionUsageMap connections;
  for (const auto& [uuid, value] : *stored.get<PlistValue::Dictionary>()) {
    const auto& entry = *value.get<PlistValue::Dictionary>();
    ConnectionUsage usage;
    usage.name = *entry.at("name").get<std::string>();
    usage.metered = *entry.at("metered").get<bool>();
    for (const Figure& figure : kFigures) usage.*figure.member = *storedCount(entry.at(figure.key));
    connections.emplace(uuid, std::move(usage));
  }
  return connections;
}

std::vector<std::pair<std::string, ConnectionUsage>> listed(const ConnectionUsageMap& connections) {
  std::vector<std::pair<std::string, ConnectionUsage>> rows(connections.begin(), connections.end());
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
    if (a.second.dataThisMonth != b.second.dataThisMonth) {
      return a.second.dataThisMonth > b.second.dataThisMonth;
    }
    if (a.second.dataAllTime != b.second.dataAllTime) {
      return a.second.dataAllTime > b.second.dataAllTime;
    }
    return a.second.name < b.second.name;
  });
  return rows;
}

std::vector<ClosedConnection> closePeriod(ConnectionUsageMap& connections) {
  std::vector<ClosedConnection> closed;
  for (auto& [uuid, usage] : connections) {
    if (usage.dataThisMonth > 0 || usage.dataThisMonthSent > 0 || usage.dataThisMonthRecd > 0) {
      closed.push_back({uuid, usage.name, usage.metered, usage.dataThisMonthSent,
                        usage.dataThisMonthRecd, usage.dataThisMonth});
    }
    usage.dataThisMonth = usage.dataThisMonthSent = usage.dataThisMonthRecd = 0;
  }
  std::stable_sort(closed.begin(), closed.end(),
                   [](const ClosedConnection& a, const ClosedConnection& b) {
                     return a.dataTotal > b.dataTotal;
                   });
  return closed;
}

}  // namespace kestrio::connection_usage

#include "plan/PlanSummaries.h"

#include <algorithm>
#include <cmath>

#include "engine/AppData.h"
#include "engine/BillingCycle.h"
#include "services/StringFormatter.h"

namespace kestrio {

PlanNetwork planNetworkOfKey(const std::string& key) {
  const PlanKeys& wifi = planKeys(PlanNetwork::WiFi);
  for (const char* name :
       {wifi.planType, wifi.cycleCode, wifi.length, wifi.startDate, wifi.limit, wifi.limitUnit}) {
    if (key == name) return PlanNetwork::WiFi;
  }
  return PlanNetwork::Cellular;
}

std::string customCycleSummary(Platform& platform, PlanNetwork network) {
  const PlanKeys& keys = planKeys(network);
  UserDefaults& store = platform.userDefaults();
  if (!store.objectForKey(keys.cycleCode) ||
      store.integerForKey(keys.cycleCode) != kCustomCycleCode) {
    return "Off";
  }
  return "Every " + cycleLengthSummary(platform, network);
}

std::string cycleLengthSummary(Platform& platform, PlanNetwork network) {
  const int days =
      BillingCycle::customLength(platform.userDefaults(), planKeys(network).recordType);
  return std::to_string(days) + (days == 1 ? " day" : " days");
}

std::string customStartSummary(Platform& platform, PlanNetwork network) {
  const std::optional<Date> start = platform.userDefaults().dateForKey(planKeys(network).startDate);
  if (!start) return "Not set";
  return StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, *start);
}

std::string quotaSummary(Platform& platform, PlanNetwork network) {
  const PlanKeys& keys = planKeys(network);
  UserDefaults& store = platform.userDefaults();
  const std::int64_t amount = store.integerForKey(keys.limit);
  if (amount <= 0) return "None";
  const std::string unit = store.stringForKey(keys.limitUnit).value_or("MB");
  return std::to_string(amount) + " " + unit;
}

std::string currentUsageSummary(Platform& platform) {
  AppData record(platform);
  record.getAppData("cellular");
  const double bytes = record.dataThisMonth().value_or(0);
  const double megabytes = std::floor(bytes / (1024.0 * 1024.0));
  return std::to_string(static_cast<std::int64_t>(std::max(0.0, megabytes))) + " MB";
}

}  // namespace kestrio

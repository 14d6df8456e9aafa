#include "cli/PlanSummary.h"

#include <fmt/format.h>

#include <array>
#include <cmath>

#include "engine/AppSettings.h"
#include "engine/BillingCycle.h"
#include "services/StringFormatter.h"

namespace kestrio::cli {

namespace {

constexpr int kDailyCode = 1001;

std::string cycle(Platform& platform, const PlanKeys& keys) {
  static constexpr std::array<const char*, 7> kWeekdays = {
      "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  UserDefaults& store = platform.userDefaults();
  // A plan never set runs monthly from the 1st, as the settings do.
  const auto code = store.objectForKey(keys.cycleCode) ? store.integerForKey(keys.cycleCode) : 1;
  if (code >= 1 && code <= 31) {
    const int day = static_cast<int>(code);
    return fmt::format("monthly, from the {}{} of the month", day,
                       StringFormatter::ordinalSuffix(day));
  }
  if (code >= kFirstWeeklyCode && code < kFirstWeeklyCode + 7) {
    return std::string("weekly, from ") + kWeekdays[static_cast<std::size_t>(code - 101)];
  }
  if (code == kDailyCode) return "daily";
  if (code == kCustomCycleCode) {
    // The length in force: one never chosen runs the default, as the pass counts it.
    std::string text =
        fmt::format("every {} days", BillingCycle::customLength(store, keys.recordType));
    if (const auto start = store.dateForKey(keys.startDate)) {
      text += ", from " +
              StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform, *start);
    } else {
      text += ", from no start yet (kestrio plan custom-start DATE sets it)";
    }
    return text;
  }
  return fmt::format("unknown cycle code {}", code);
}

// A whole amount, or one with the decimals it needs.
std::string amount(double value, const std::string& unit) {
  if (value == std::floor(value)) return fmt::format("{:.0f} {}", value, unit);
  return fmt::format("{} {}", value, unit);
}

}  // namespace

const char* dailyCapKey(PlanNetwork network) {
  return network == PlanNetwork::WiFi ? AppSettings::kDailyCapWifi : AppSettings::kDailyCap;
}

const char* dailyCapUnitKey(PlanNetwork network) {
  return network == PlanNetwork::WiFi ? AppSettings::kDailyCapWifiUnit : AppSettings::kDailyCapUnit;
}

std::string planSummary(Platform& platform, PlanNetwork network) {
  const PlanKeys& keys = planKeys(network);
  UserDefaults& store = platform.userDefaults();
  const bool wifi = network == PlanNetwork::WiFi;
  const std::string flag = wifi ? " --wifi" : "";
  const auto quota = store.integerForKey(keys.limit);
  const double cap = store.doubleForKey(dailyCapKey(network));
  std::string text = wifi ? "Wi-Fi plan\n" : "Cellular plan\n";
  text += "  Cycle      " + cycle(platform, keys) + "\n";
  text += "  Quota      " +
          (quota > 0 ? amount(static_cast<double>(quota),
                              store.stringForKey(keys.limitUnit).value_or("MB"))
                     : "none (kestrio plan" + flag + " quota 5 GB sets one)") +
          "\n";
  text += "  Daily cap  " +
          (cap > 0 ? amount(cap, store.stringForKey(dailyCapUnitKey(network)).value_or("MB"))
                   : std::string("none")) +
          "\n";
  return text;
}

}  // namespace kestrio::cli

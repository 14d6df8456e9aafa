#include "engine/UsageAlerts.h"

#include <fmt/format.h>

#include <cmath>

#include "engine/AppSettingsReader.h"
#include "engine/PeriodUsage.h"
#include "services/Communications.h"

namespace kestrio {

namespace {

constexpr const char* kViewAction = "View";
// The character that closes a usage alert ("account of"), not a percent sign.
constexpr const char* kUsageSign = "\xE2\x84\x80";

}  // namespace

const std::vector<UsageAlerts::Level>& UsageAlerts::levels() {
  // Most severe first: a pass stops at the first level reached, so a jump past several
  // thresholds announces only the worst of them.
  static const std::vector<Level> kLevels = {
      {"over_notification", 0.0f},   {"fifth_notification", 5.0f},   {"fourth_notification", 10.0f},
      {"third_notification", 20.0f}, {"second_notification", 35.0f}, {"first_notification", 50.0f},
  };
  return kLevels;
}

UsageAlerts::UsageAlerts(Platform& platform, const AppSettings& settings)
    : platform_(platform), settings_(settings) {}

void UsageAlerts::checkNetwork(const AppData& record, bool cellular, std::optional<float>& badge) {
  const std::string setting = settings_.appBadgeSetting().value_or("");
  const char* badgeUsed = cellular ? "CELLPERCENT" : "WIFIPERCENT";
  const char* badgeRemaining = cellular ? "CELL_REM_PERCENT" : "WIFI_REM_PERCENT";
  const char* badgeProjected = cellular ? "CELL_PROJ_PERCENT" : "WIFI_PROJ_PERCENT";
  const bool badgeIsThisNetwork =
      setting == badgeUsed || setting == badgeRemaining || setting == badgeProjected;

  const float limit = quotaInDisplayUnit(settings_, cellular).value_or(0.0f);
  if (!(std::trunc(limit) >= 1.0f)) {
    if (badgeIsThisNetwork) badge.reset();
    return;
  }

  const std::string type = cellular ? kCellular : kWifi;
  if (record.monthlyResetOccured()) {
    resetNotificationKeys(platform_, type);
    // The new period's notice takes the place of the old period's last alert.
    Communications::sendUsageAlertWithAlertBody(
        platform_,
        cellular ? "Cellular plan data usage was reset automatically due to start of new "
                   "billing cycle."
                 : "WiFi plan data usage was reset automatically due to start of new billing "
                   "cycle.",
        kViewAction, cellular ? "cellular" : "wifi", false);
  }

  const PeriodUsage usage = PeriodUsage::of(platform_, record, settings_, limit);
  const float remaining = usage.remainingShare;
  if (setting == badgeUsed) {
    badge = 100.0f - remaining;
  } else if (setting == badgeRemaining) {
    badge = remaining;
  } else if (setting == badgeProjected) {
    badge = usage.projectedShare;
  }

  for (const auto& level : levels()) {
    if (!AppSettingsReader::getSettingsBoolValueForKey(platform_, level.key)) continue;
    if (sendLocalNotificationForNotificationKey(level.key, level.threshold, remaining, type,
                                                record.monthlyResetOccured())) {
      break;
    }
  }
}

bool UsageAlerts::sendLocalNotificationForNotificationKey(const std::string& key,
                                                          float defaultValue, float percentRemain,
                                                          const std::string& type, bool newPeriod) {
  if (percentRemain > defaultValue) return false;

  UserDefaults& defaults = platform_.userDefaults();
  const std::string marker = type + key;
  if (!defaults.objectForKey(marker) || newPeriod) defaults.setBool(marker, false);
  if (!defaults.boolForKey(marker)) {
    const std::string body =
        type + " usage exceeded " + fmt::format("{:.1f}", 100.0f - percentRemain) + kUsageSign;
    Communications::sendUsageAlertWithAlertBody(
        platform_, body, kViewAction, type == kCellular ? "cellular" : "wifi", percentRemain <= 0);
    defaults.setBool(marker, true);
  }
  defaults.synchronize();
  return true;
}

void UsageAlerts::rearmLevelsAboveUsage(const AppData& record, bool cellular) {
  const std::string type = cellular ? kCellular : kWifi;
  const float limit = quotaInDisplayUnit(settings_, cellular).value_or(0.0f);
  if (!(std::trunc(limit) >= 1.0f)) {
    resetNotificationKeys(platform_, type);
    return;
  }
  const float remaining = PeriodUsage::of(platform_, record, settings_, limit).remainingShare;
  UserDefaults& defaults = platform_.userDefaults();
  for (const auto& level : levels()) {
    const std::string key = type + level.key;
    // The same comparison as the pass's: a level whose threshold the usage still reaches keeps
    // its marker.
    if (remaining > level.threshold && defaults.objectForKey(key)) defaults.setBool(key, false);
  }
  defaults.synchronize();
}

void UsageAlerts::resetNotificationKeys(Platform& platform, const std::string& type) {
  UserDefaults& defaults = platform.userDefaults();
  for (const auto& level : levels()) {
    const std::string key = type + level.key;
    if (defaults.objectForKey(key)) defaults.setBool(key, false);
  }
  defaults.synchronize();
}

}  // namespace kestrio

#pragma once

#include <optional>
#include <string>

#include "engine/Field.h"
#include "platform/Platform.h"

namespace kestrio {

// The user's plan and display settings, read from the user-defaults store on demand. Writers
// change only this copy, never the store.
class AppSettings {
 public:
  // The texts of the reminders that a new billing period has begun.
  static constexpr const char* kCellularCycleReminder = "Your cellular billing cycle starts today";
  static constexpr const char* kWifiCycleReminder = "Your WiFi billing cycle starts today";

  // User-defaults keys.
  static constexpr const char* kFirstDayOfCycle = "firstDayOfCycle";
  static constexpr const char* kFirstDayOfCycleWifi = "firstDayOfCycleWifi";
  static constexpr const char* kCellularDataLimit = "cellularDataLimit";
  static constexpr const char* kWifiDataLimit = "wifiDataLimit";
  static constexpr const char* kEnablePushNotifications = "enablePushNotifications";
  static constexpr const char* kEnableBackgrounding = "enableBackgrounding";
  static constexpr const char* kDailyCap = "cell_daily_cap";
  static constexpr const char* kDailyCapWifi = "wifi_daily_cap";
  static constexpr const char* kStartupScreen = "startup_settings";
  static constexpr const char* kDisplayUnit = "dataunit_settings";
  static constexpr const char* kCellularDataLimitUnit = "cellularDataLimitUnit";
  static constexpr const char* kWifiDataLimitUnit = "wifiDataLimitUnit";
  static constexpr const char* kDailyCapUnit = "dailyCapUnit";
  static constexpr const char* kDailyCapWifiUnit = "dailyCapUnitWifi";
  static constexpr const char* kProgressYellow = "progressYellow";
  static constexpr const char* kProgressRed = "progressRed";
  static constexpr const char* kAppBadgeSetting = "appBadgeSetting";
  static constexpr const char* kEnableHighPrecision = "enableHighPrecision";
  static constexpr const char* kLegacySettingsConverted = "legacySettingsConverted";
  // The settings file of older versions, read once and never written.
  static constexpr const char* kLegacyFileName = "app_settings.plist";

  explicit AppSettings(Platform& platform) : platform_(platform) {}

  // Converts the older settings file once if needed, then reads every field from the store.
  void getSettings();
  // The one-time conversion: the older file's values, or the defaults, into the store.
  void getLegacySettings();
  // Reloads the settings and schedules the billing-reset reminders from them anew.
  void applySettings();
  // Whether the older version's settings file exists.
  bool settingsExist();
  std::string dataFilePath();

  KESTRIO_FIELD(std::optional<int>, firstDayOfCycle, setFirstDayOfCycle)
  KESTRIO_FIELD(std::optional<int>, firstDayOfCycleWifi, setFirstDayOfCycleWifi)
  KESTRIO_FIELD(std::optional<int>, cellularDataLimit, setCellularDataLimit)
  KESTRIO_FIELD(std::optional<int>, wifiDataLimit, setWifiDataLimit)
  KESTRIO_FIELD(std::optional<bool>, enablePushNotifications, setEnablePushNotifications)
  KESTRIO_FIELD(std::optional<bool>, enableBackgrounding, setEnableBackgrounding)
  KESTRIO_FIELD(std::optional<double>, dailyCap, setDailyCap)
  KESTRIO_FIELD(std::optional<double>, dailyCapWifi, setDailyCapWifi)
  KESTRIO_FIELD(std::optional<std::string>, startupScreen, setStartupScreen)
  KESTRIO_FIELD(std::optional<std::string>, displayUnit, setDisplayUnit)
  KESTRIO_FIELD(std::optional<std::string>, cellularDataLimitUnit, setCellularDataLimitUnit)
  KESTRIO_FIELD(std::optional<std::string>, wifiDataLimitUnit, setWifiDataLimitUnit)
  KESTRIO_FIELD(std::optional<std::string>, dailyCapUnit, setDailyCapUnit)
  KESTRIO_FIELD(std::optional<std::string>, dailyCapWifiUnit, setDailyCapWifiUnit)
  KESTRIO_FIELD(std::optional<std::string>, progressYellow, setProgressYellow)
  KESTRIO_FIELD(std::optional<std::string>, progressRed, setProgressRed)
  KESTRIO_FIELD(std::optional<std::string>, appBadgeSetting, setAppBadgeSetting)
  KESTRIO_FIELD(std::optional<bool>, enableHighPrecision, setEnableHighPrecision)

 private:
  void scheduleBillingReminder(const std::optional<int>& code, const std::string& type,
                               const std::string& body);

  Platform& platform_;
};

}  // namespace kestrio

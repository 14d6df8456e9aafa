#include "engine/AppSettings.h"

#include <algorithm>

#include "engine/BillingCycle.h"
#include "platform/PropertyList.h"
#include "services/Communications.h"

namespace kestrio {

namespace {

std::optional<int> readInteger(UserDefaults& store, const char* key) {
  if (!store.objectForKey(key)) return std::nullopt;
  const std::int64_t value = store.integerForKey(key);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int>(value);
}

std::optional<double> readNumber(UserDefaults& store, const char* key) {
  if (!store.objectForKey(key)) return std::nullopt;
  return store.doubleForKey(key);
}

std::optional<bool> readBool(UserDefaults& store, const char* key) {
  if (!store.objectForKey(key)) return std::nullopt;
  return store.boolForKey(key);
}

// The older settings file as a dictionary; one that cannot be read has no keys.
PlistValue::Dictionary readLegacyFile(Platform& platform, const std::string& path) {
  auto bytes = platform.files().read(path);
  if (!bytes) return {};
  auto parsed = plist::parse(*bytes);
  if (!parsed || !parsed->is<PlistValue::Dictionary>()) return {};
  return *parsed->get<PlistValue::Dictionary>();
}

std::optional<double> legacyNumber(const PlistValue::Dictionary& file, const char* key) {
  auto it = file.find(key);
  if (it == file.end()) return std::nullopt;
  return it->second.number();
}

}  // namespace

std::string AppSettings::dataFilePath() {
  return platform_.documentPath(kLegacyFileName);
}

bool AppSettings::settingsExist() {
  return platform_.files().exists(dataFilePath());
}

void AppSettings::getLegacySettings() {
  UserDefaults& store = platform_.userDefaults();
  bool push = true;
  int cycle = 1;
  int cellularLimit = 0;
  int wifiLimit = 0;
  bool backgrounding = true;
  if (settingsExist()) {
    const auto file = readLegacyFile(platform_, dataFilePath());
    push = legacyNumber(file, kEnablePushNotifications).value_or(0) != 0;
    cycle = static_cast<int>(legacyNumber(file, kFirstDayOfCycle).value_or(0));
    cellularLimit = static_cast<int>(legacyNumber(file, kCellularDataLimit).value_or(0));
    wifiLimit = static_cast<int>(legacyNumber(file, kWifiDataLimit).value_or(0));
    backgrounding = legacyNumber(file, kEnableBackgrounding).value_or(1) != 0;
  }
  store.setBool(kEnablePushNotifications, push);
  store.setInteger(kFirstDayOfCycle, cycle);
  store.setInteger(kFirstDayOfCycleWifi, cycle);
  store.setInteger(kCellularDataLimit, cellularLimit);
  store.setInteger(kWifiDataLimit, wifiLimit);
  store.setBool(kEnableBackgrounding, backgrounding);

  store.setInteger(kDailyCap, 0);
  store.setInteger(kDailyCapWifi, 0);
  store.setString(kStartupScreen, "CELL");
  store.setString(kDisplayUnit, "MB");
  store.setString(kCellularDataLimitUnit, "MB");
  store.setString(kWifiDataLimitUnit, "MB");
  store.setString(kDailyCapUnit, "MB");
  store.setString(kDailyCapWifiUnit, "MB");
  store.setString(kProgressYellow, "AVG");
  store.setString(kProgressRed, "USE100");
  store.setString(kAppBadgeSetting, "BILLINGRESET");
  store.setBool(kEnableHighPrecision, false);
  store.synchronize();
}

void AppSettings::getSettings() {
  UserDefaults& store = platform_.userDefaults();
  if (!store.objectForKey(kLegacySettingsConverted)) {
    store.setBool(kLegacySettingsConverted, true);
    getLegacySettings();
  }
  firstDayOfCycle_ = readInteger(store, kFirstDayOfCycle);
  firstDayOfCycleWifi_ = readInteger(store, kFirstDayOfCycleWifi);
  cellularDataLimit_ = readInteger(store, kCellularDataLimit);
  wifiDataLimit_ = readInteger(store, kWifiDataLimit);
  enablePushNotifications_ = readBool(store, kEnablePushNotifications);
  enableBackgrounding_ = readBool(store, kEnableBackgrounding);
  dailyCap_ = readNumber(store, kDailyCap);
  dailyCapWifi_ = readNumber(store, kDailyCapWifi);
  startupScreen_ = store.stringForKey(kStartupScreen);
  displayUnit_ = store.stringForKey(kDisplayUnit);
  cellularDataLimitUnit_ = store.stringForKey(kCellularDataLimitUnit);
  wifiDataLimitUnit_ = store.stringForKey(kWifiDataLimitUnit);
  dailyCapUnit_ = store.stringForKey(kDailyCapUnit);
  dailyCapWifiUnit_ = store.stringForKey(kDailyCapWifiUnit);
  progressYellow_ = store.stringForKey(kProgressYellow);
  progressRed_ = store.stringForKey(kProgressRed);
  appBadgeSetting_ = store.stringForKey(kAppBadgeSetting);
  enableHighPrecision_ = readBool(store, kEnableHighPrecision);
  store.synchronize();
}

namespace {

// A cycle that no calendar interval repeats (every N days; monthly on a day some months lack)
// gets one reminder per coming start: those within about a year, and never more than this many
// (a two-day cycle is covered for some three months; the reminders are made again whenever the
// settings are applied).
constexpr int kMostSingleReminders = 48;
constexpr int kSingleRemindersSpanDays = 366;

}  // namespace

void AppSettings::scheduleBillingReminder(const std::optional<int>& code, const std::string& type,
                                          const std::string& body) {
  if (!code) return;  // no cycle for this network, so no start to remind of
  LocalNotification reminder;
  // The reminder only reads the plan; the pass that saves the record moves a custom start.
  reminder.fireDate =
      BillingCycle::billingDatesForCode(platform_, *code, type, false).nextBillingDate;
  const int customLength =
      *code == 9999 ? BillingCycle::customLength(platform_.userDefaults(), type) : 0;
  // A monthly repeat from the 31st fires on the 3rd of March; the period begins on the 1st.
  const bool monthLacksDay = *code > 28 && *code <= 100;
  reminder.repeatInterval = *code == 1001 || customLength == 1  ? RepeatInterval::Day
                            : monthLacksDay || customLength > 1 ? RepeatInterval::None
                            : *code < 101                       ? RepeatInterval::Month
                                                                : RepeatInterval::Week;
  reminder.repeatTimeZone = platform_.calendar().zoneId();
  if (appBadgeSetting_ == "BILLINGRESET") reminder.applicationIconBadgeNumber = 1;
  reminder.alertBody = body;
  reminder.alertAction = "Kestrio";
  if (reminder.repeatInterval != RepeatInterval::None) {
    Communications::scheduleLocalNotification(platform_, reminder);
    return;
  }
  // One for each day a period begins.
  const int span = std::max(kSingleRemindersSpanDays, customLength);
  for (const Date start :
       BillingCycle::comingStarts(platform_, *code, type, kMostSingleReminders, span - 1)) {
    reminder.fireDate = start;
    Communications::scheduleLocalNotification(platform_, reminder);
  }
}

void AppSettings::applySettings() {
  getSettings();
  // The reminders are made again from the settings as they now stand. A custom counter's end
  // notice carries its counter's identifier and stays: the user asked for it, and nothing here
  // would schedule it again. So does a single notification no desktop could show yet (a usage
  // alert raised by a timer): the reminders all repeat.
  auto lock = platform_.lockDocuments();
  std::vector<LocalNotification> kept;
  for (auto& scheduled : Communications::scheduledLocalNotifications(platform_)) {
    if (scheduled.uniqueId || scheduled.repeatInterval == RepeatInterval::None) {
      kept.push_back(std::move(scheduled));
    }
  }
  Communications::cancelAllLocalNotifications(platform_);
  for (const auto& notification : kept) {
    Communications::scheduleLocalNotification(platform_, notification);
  }
  if (!enablePushNotifications_.value_or(false)) return;
  // A period starts by itself: the reminder tells that it has, and asks nothing of the user.
  scheduleBillingReminder(firstDayOfCycle_, "cellular", kCellularCycleReminder);
  scheduleBillingReminder(firstDayOfCycleWifi_, "wifi", kWifiCycleReminder);
}

}  // namespace kestrio

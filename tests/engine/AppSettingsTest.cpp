#include <gtest/gtest.h>

#include "engine/AppSettings.h"
#include "engine/AppSettingsReader.h"
#include "engine/BillingCycle.h"
#include "services/Communications.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

class AppSettingsTest : public ::testing::Test {
 protected:
  void putLegacyFile(const PlistValue::Dictionary& keys) {
    testing::putRecord(platform, AppSettings::kLegacyFileName, keys);
  }

  FakePlatform platform;
};

TEST_F(AppSettingsTest, AFreshInstallationStoresTheDefaults) {
  AppSettings settings(platform);
  EXPECT_FALSE(settings.settingsExist());
  settings.getSettings();

  UserDefaults& store = platform.userDefaults();
  EXPECT_EQ(store.integerForKey("firstDayOfCycle"), 1);
  EXPECT_EQ(store.integerForKey("firstDayOfCycleWifi"), 1);
  EXPECT_EQ(store.integerForKey("cellularDataLimit"), 0);
  EXPECT_EQ(store.integerForKey("wifiDataLimit"), 0);
  EXPECT_EQ(store.doubleForKey("cell_daily_cap"), 0);
  EXPECT_EQ(store.doubleForKey("wifi_daily_cap"), 0);
  EXPECT_EQ(store.stringForKey("startup_settings"), "CELL");
  for (const char* key : {"dataunit_settings", "cellularDataLimitUnit", "wifiDataLimitUnit",
                          "dailyCapUnit", "dailyCapUnitWifi"}) {
    EXPECT_EQ(store.stringForKey(key), "MB") << key;
  }
  EXPECT_EQ(store.stringForKey("progressYellow"), "AVG");
  EXPECT_EQ(store.stringForKey("progressRed"), "USE100");
  EXPECT_EQ(store.stringForKey("appBadgeSetting"), "BILLINGRESET");
  EXPECT_TRUE(store.boolForKey("enablePushNotifications"));
  EXPECT_TRUE(store.boolForKey("enableBackgrounding"));
  EXPECT_EQ(store.objectForKey("enableHighPrecision"), PlistValue(false));
  EXPECT_EQ(store.objectForKey("legacySettingsConverted"), PlistValue(true));

  EXPECT_EQ(settings.firstDayOfCycle(), 1);
  EXPECT_EQ(settings.displayUnit(), "MB");
  EXPECT_EQ(settings.dailyCapWifiUnit(), "MB");
  EXPECT_EQ(settings.enableHighPrecision(), false);

  // The defaults reached the file: another process sees them.
  UserDefaults other(
      platform.files(), platform.documentPath(Platform::kDefaultsFileName),
      platform.documentPath(Platform::kLockFileName), [](std::string_view) {},
      [] { return Date{}; });
  EXPECT_EQ(other.stringForKey("progressRed"), "USE100");
}

TEST_F(AppSettingsTest, TheOlderSettingsFileIsConvertedOnce) {
  putLegacyFile({{"firstDayOfCycle", PlistValue(15)},
                 {"cellularDataLimit", PlistValue(500)},
                 {"enablePushNotifications", PlistValue(false)}});
  AppSettings settings(platform);
  EXPECT_TRUE(settings.settingsExist());
  settings.getSettings();
  EXPECT_EQ(settings.firstDayOfCycle(), 15);
  EXPECT_EQ(settings.firstDayOfCycleWifi(), 15);
  EXPECT_EQ(settings.cellularDataLimit(), 500);
  EXPECT_EQ(settings.wifiDataLimit(), 0);
  EXPECT_EQ(settings.enablePushNotifications(), false);
  EXPECT_EQ(settings.enableBackgrounding(), true);  // absent from the file: on

  // The user changes a setting; reading again must not convert again.
  platform.userDefaults().setInteger("firstDayOfCycle", 3);
  platform.userDefaults().setString("dataunit_settings", "GB");
  settings.getSettings();
  EXPECT_EQ(settings.firstDayOfCycle(), 3);
  EXPECT_EQ(settings.displayUnit(), "GB");
  // The older file is only ever read.
  EXPECT_TRUE(platform.files().exists(settings.dataFilePath()));
}

TEST_F(AppSettingsTest, AnUnreadableOlderFileConvertsAsOneWithoutKeys) {
  platform.fakeFiles().put(platform.documentPath(AppSettings::kLegacyFileName), "not a plist");
  AppSettings settings(platform);
  settings.getSettings();
  EXPECT_EQ(settings.firstDayOfCycle(), 0);
  EXPECT_EQ(settings.enablePushNotifications(), false);
  EXPECT_EQ(settings.enableBackgrounding(), true);
}

TEST_F(AppSettingsTest, AKeyMissingFromTheStoreLeavesItsFieldEmpty) {
  AppSettings settings(platform);
  settings.getSettings();
  platform.userDefaults().removeObjectForKey("progressYellow");
  platform.userDefaults().removeObjectForKey("wifi_daily_cap");
  settings.getSettings();
  EXPECT_FALSE(settings.progressYellow().has_value());
  EXPECT_FALSE(settings.dailyCapWifi().has_value());
  EXPECT_EQ(settings.progressRed(), "USE100");
}

TEST_F(AppSettingsTest, WritersChangeOnlyTheCopyInMemory) {
  AppSettings settings(platform);
  settings.getSettings();
  settings.setDisplayUnit("KB");
  EXPECT_EQ(platform.userDefaults().stringForKey("dataunit_settings"), "MB");
  settings.getSettings();
  EXPECT_EQ(settings.displayUnit(), "MB");
}

TEST_F(AppSettingsTest, ReaderDefaultsSwitchesOnAndNumbersToZero) {
  EXPECT_TRUE(AppSettingsReader::getSettingsBoolValueForKey(platform, "never_written"));
  platform.userDefaults().setBool("first_notification", false);
  EXPECT_FALSE(AppSettingsReader::getSettingsBoolValueForKey(platform, "first_notification"));
  EXPECT_EQ(AppSettingsReader::getSettingsFloatValueForKey(platform, "never_written"), 0.0f);
  platform.userDefaults().setDouble("cell_daily_cap", 1.5);
  EXPECT_EQ(AppSettingsReader::getSettingsFloatValueForKey(platform, "cell_daily_cap"), 1.5f);
}

struct ReminderCase {
  const char* name;
  int code;
  std::optional<int> length;  // of a custom cycle
  RepeatInterval interval;
  std::vector<int> firstDays;  // of the first reminders, days after 7 December 2026
  std::size_t count;
};

void PrintTo(const ReminderCase& c, std::ostream* os) {
  *os << c.name;
}

class BillingReminderTest : public ::testing::TestWithParam<ReminderCase> {};

// Each reminder falls on a day a period begins, and says that it has begun.
TEST_P(BillingReminderTest, RemindersFallOnTheDaysPeriodsBegin) {
  const ReminderCase& c = GetParam();
  FakePlatform platform;
  platform.setNow(2026, 12, 7, 9);
  UserDefaults& store = platform.userDefaults();
  AppSettings settings(platform);
  settings.getSettings();
  store.setInteger(AppSettings::kFirstDayOfCycle, c.code);
  store.removeObjectForKey(AppSettings::kFirstDayOfCycleWifi);
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(platform.at(2026, 11, 20, 8)));
  if (c.length) store.setInteger(BillingCycle::kResetDays, *c.length);
  settings.applySettings();

  const auto scheduled = Communications::scheduledLocalNotifications(platform);
  ASSERT_EQ(scheduled.size(), c.count);
  for (std::size_t i = 0; i < c.firstDays.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(scheduled[i].fireDate, platform.at(2026, 12, 7 + c.firstDays[i]));
    EXPECT_EQ(scheduled[i].repeatInterval, c.interval);
    EXPECT_EQ(scheduled[i].alertBody, "Your cellular billing cycle starts today");
  }
}

// 7 December 2026 is a Monday; the custom cycles began on 20 November.
INSTANTIATE_TEST_SUITE_P(
    Cycles, BillingReminderTest,
    ::testing::Values(
        ReminderCase{"Monthly", 15, std::nullopt, RepeatInterval::Month, {8}, 1},
        ReminderCase{"MonthlyOnThe28th", 28, std::nullopt, RepeatInterval::Month, {21}, 1},
        // February lacks the day: its period begins on 1 March.
        ReminderCase{
            "MonthlyOnThe31st", 31, std::nullopt, RepeatInterval::None, {24, 55, 84, 114}, 13},
        ReminderCase{
            "MonthlyOnThe29th", 29, std::nullopt, RepeatInterval::None, {22, 53, 84, 112}, 13},
        ReminderCase{"Weekly", 103, std::nullopt, RepeatInterval::Week, {1}, 1},
        ReminderCase{"Daily", 1001, std::nullopt, RepeatInterval::Day, {1}, 1},
        ReminderCase{"ThirtyDays", 9999, 30, RepeatInterval::None, {13, 43, 73}, 13},
        ReminderCase{
            "ThirtyDaysWithoutALength", 9999, std::nullopt, RepeatInterval::None, {13, 43}, 13},
        ReminderCase{"TwoDays", 9999, 2, RepeatInterval::None, {1, 3, 5}, 48},
        ReminderCase{"OneDayIsDaily", 9999, 1, RepeatInterval::Day, {1}, 1},
        ReminderCase{"ALongCycle", 9999, 1000, RepeatInterval::None, {983}, 1}),
    testing::NameField{});

}  // namespace
}  // namespace kestrio

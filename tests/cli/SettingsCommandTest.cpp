#include <gtest/gtest.h>

#include <sstream>

#include "cli/SettingsCommand.h"
#include "services/Communications.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

const Setting& setting(const std::string& key) {
  for (const auto& s : settingsTable()) {
    if (key == s.key) return s;
  }
  throw std::runtime_error("no setting " + key);
}

class SettingsCommandTest : public ::testing::Test {
 protected:
  int set(const std::string& key, const std::string& value) {
    out.str("");
    err.str("");
    return runSettingsSet(platform, key, value, out, err);
  }

  FakePlatform platform;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(SettingsCommandTest, ValuesAreTypedByTheirKeysKind) {
  auto parse = [&](const char* key, const char* text) {
    return parseSettingValue(platform, setting(key), text).value;
  };
  EXPECT_EQ(parse("firstDayOfCycle", "15"), PlistValue(15));
  EXPECT_FALSE(parse("firstDayOfCycle", "15.5"));
  EXPECT_FALSE(parse("firstDayOfCycle", "fifteen"));
  EXPECT_FALSE(parse("firstDayOfCycle", "99999999999"));
  EXPECT_EQ(parse("cell_daily_cap", " 1.5 "), PlistValue(1.5));
  EXPECT_FALSE(parse("cell_daily_cap", "inf"));
  EXPECT_EQ(parse("enablePushNotifications", "no"), PlistValue(false));
  EXPECT_FALSE(parse("enablePushNotifications", "maybe"));
  EXPECT_EQ(parse("dataunit_settings", "GB"), PlistValue("GB"));
  EXPECT_FALSE(parse("dataunit_settings", "TB"));
  EXPECT_FALSE(parse("dataunit_settings", "gb"));
  EXPECT_EQ(parse("CustomStartDate", "2027-02-28"), PlistValue(platform.at(2027, 2, 28)));
  EXPECT_FALSE(parse("CustomStartDate", "2027-02-30"));
  EXPECT_FALSE(parse("CustomStartDate", "2027-02-28x"));
  EXPECT_EQ(parse("cellularInterfaces", "wwan*, usb0,,"),
            PlistValue(PlistValue::Array{PlistValue("wwan*"), PlistValue("usb0")}));
  EXPECT_EQ(parse("wifiInterfaces", ""), PlistValue(PlistValue::Array{}));
}

TEST_F(SettingsCommandTest, SettingStoresAppliesAndSchedulesTheReminders) {
  platform.setNow(2027, 3, 10, 12, 0, 0);
  ASSERT_EQ(set("firstDayOfCycle", "15"), 0) << err.str();
  EXPECT_EQ(platform.userDefaults().integerForKey("firstDayOfCycle"), 15);
  // A fresh installation's defaults came first, and did not overwrite the new value.
  EXPECT_EQ(platform.userDefaults().stringForKey("dataunit_settings"), "MB");

  const auto scheduled = Communications::scheduledLocalNotifications(platform);
  ASSERT_EQ(scheduled.size(), 2u);
  EXPECT_EQ(scheduled[0].alertBody, "Your cellular billing cycle starts today");
  EXPECT_EQ(scheduled[0].fireDate, platform.at(2027, 3, 15));
  EXPECT_EQ(scheduled[0].repeatInterval, RepeatInterval::Month);
  EXPECT_EQ(scheduled[0].applicationIconBadgeNumber, 1);
  EXPECT_EQ(scheduled[1].alertBody, "Your WiFi billing cycle starts today");
  EXPECT_EQ(scheduled[1].fireDate, platform.at(2027, 4, 1));
}

TEST_F(SettingsCommandTest, UnknownKeysAndWrongKindsChangeNothing) {
  EXPECT_NE(set("firstDayOfCycl", "15"), 0);
  EXPECT_NE(err.str().find("unknown setting"), std::string::npos);
  EXPECT_NE(set("firstDayOfCycle", "soon"), 0);
  EXPECT_NE(err.str().find("takes an integer"), std::string::npos) << err.str();
  EXPECT_FALSE(platform.userDefaults().objectForKey("firstDayOfCycle"));
  EXPECT_TRUE(Communications::scheduledLocalNotifications(platform).empty());
}

TEST_F(SettingsCommandTest, ImpossiblePlansAreRefusedWithTheAcceptedRange) {
  ASSERT_EQ(set("firstDayOfCycle", "15"), 0) << err.str();
  const auto stored = platform.fakeFiles().contents();
  EXPECT_EQ(set("firstDayOfCycle", "42"), 2);
  EXPECT_NE(err.str().find("takes 1 to 31"), std::string::npos) << err.str();
  EXPECT_EQ(set("ResetDays", "0"), 2);
  EXPECT_EQ(set("CustomStartDate", "2099-01-01"), 2);
  EXPECT_NE(err.str().find("2068-12-31"), std::string::npos) << err.str();
  EXPECT_EQ(platform.fakeFiles().contents(), stored);
}

TEST_F(SettingsCommandTest, ApplyingKeepsACustomCountersEndNoticeAndAnAlertNotShownYet) {
  Communications::sendLocalNotificationOnDate(platform, platform.at(2027, 6, 1),
                                              "Custom Counter X Ended!", "View", "COUNTER-1");
  platform.desktopShowsNotifications = false;
  Communications::sendLocalNotificationNowWithAlertBody(platform, "WiFi usage exceeded 95.0",
                                                        "View");
  ASSERT_EQ(set("enablePushNotifications", "false"), 0);
  const auto scheduled = Communications::scheduledLocalNotifications(platform);
  ASSERT_EQ(scheduled.size(), 2u);
  EXPECT_EQ(scheduled[0].alertBody, "WiFi usage exceeded 95.0");
  EXPECT_EQ(scheduled[1].uniqueId, "COUNTER-1");
}

}  // namespace
}  // namespace kestrio::cli

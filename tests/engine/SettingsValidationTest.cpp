#include <gtest/gtest.h>

#include <string>

#include "engine/SettingsValidation.h"

namespace kestrio {
namespace {

struct Case {
  const char* name;
  std::string key;
  PlistValue value;
  const char* refusal;  // a part of the reason; nullptr when the value is accepted
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class SettingsValidationTest : public ::testing::TestWithParam<Case> {};

TEST_P(SettingsValidationTest, RefusesOnlyWhatCannotDescribeAPlan) {
  const Case& c = GetParam();
  const auto refusal = refuseSetting(c.key, c.value);
  if (c.refusal == nullptr) {
    EXPECT_FALSE(refusal) << *refusal;
  } else {
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find(c.refusal), std::string::npos) << *refusal;
    EXPECT_EQ(refusal->find('\n'), std::string::npos) << "one line";
  }
}

Date at(double secondsSince1970) {
  return Date::fromSecondsSince1970(secondsSince1970);
}

constexpr double k1933 = -1167609600;  // 1933-01-01 00:00 UTC
constexpr double k2069 = 3124224000;   // 2069-01-01 00:00 UTC

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsValidationTest,
    ::testing::Values(
        Case{"MonthlyFirst", "firstDayOfCycle", PlistValue(1), nullptr},
        Case{"MonthlyLast", "firstDayOfCycleWifi", PlistValue(31), nullptr},
        Case{"WeeklyFirst", "firstDayOfCycle", PlistValue(101), nullptr},
        Case{"WeeklyLast", "firstDayOfCycle", PlistValue(107), nullptr},
        Case{"Daily", "firstDayOfCycle", PlistValue(1001), nullptr},
        Case{"EveryNDays", "firstDayOfCycleWifi", PlistValue(9999), nullptr},
        Case{"CycleZero", "firstDayOfCycle", PlistValue(0), "1 to 31"},
        Case{"CycleAfterMonth", "firstDayOfCycle", PlistValue(32), "not 32"},
        Case{"CycleBeforeWeek", "firstDayOfCycleWifi", PlistValue(100), "101 to 107"},
        Case{"CycleAfterWeek", "firstDayOfCycle", PlistValue(108), "not 108"},
        Case{"CycleNearDaily", "firstDayOfCycle", PlistValue(1000), "1001"},
        Case{"CycleNearCustom", "firstDayOfCycle", PlistValue(9998), "9999"},
        Case{"CycleNegative", "firstDayOfCycle", PlistValue(-15), "not -15"},
        Case{"CycleFraction", "firstDayOfCycle", PlistValue(15.5), "not 15.5"},
        Case{"OneDayCycle", "ResetDays", PlistValue(1), nullptr},
        Case{"TenYearCycle", "ResetDaysWiFi", PlistValue(3650), nullptr},
        Case{"ZeroDayCycle", "ResetDays", PlistValue(0), "from 1 to 3650, not 0"},
        Case{"NegativeCycle", "ResetDaysWiFi", PlistValue(-7), "not -7"},
        Case{"EndlessCycle", "ResetDays", PlistValue(3651), "not 3651"},
        Case{"NoQuota", "cellularDataLimit", PlistValue(0), nullptr},
        Case{"Quota", "wifiDataLimit", PlistValue(500), nullptr},
        Case{"NegativeQuota", "cellularDataLimit", PlistValue(-1), "0 (none) or more, not -1"},
        Case{"NegativeWifiQuota", "wifiDataLimit", PlistValue(-500), "not -500"},
        Case{"Cap", "cell_daily_cap", PlistValue(0.5), nullptr},
        Case{"NegativeCap", "cell_daily_cap", PlistValue(-0.5), "not -0.5"},
        Case{"NegativeWifiCap", "wifi_daily_cap", PlistValue(-2.0), "daily cap"},
        Case{"FirstDay", "CustomStartDate", PlistValue(at(k1933)), nullptr},
        Case{"LastDay", "CustomStartDateWiFi", PlistValue(at(k2069 - 86400)), nullptr},
        Case{"LongBefore", "CustomStartDate", PlistValue(at(k1933 - 86400 * 30)),
             "from 1933-01-01 to 2068-12-31"},
        Case{"LongAfter", "CustomStartDateWiFi", PlistValue(at(k2069 + 86400 * 30)), "2068-12-31"},
        Case{"Year1", "CustomStartDate", PlistValue(at(-62135596800)), "1933-01-01"},
        // Keys without a rule take any value of their kind.
        Case{"OtherKey", "dataunit_settings", PlistValue("GB"), nullptr},
        Case{"OtherNumber", "first_notification", PlistValue(false), nullptr}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kestrio

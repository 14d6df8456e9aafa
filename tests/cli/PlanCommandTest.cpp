#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "cli/PlanCommand.h"
#include "engine/BillingCycle.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

struct Stored {
  const char* key;
  std::optional<PlistValue> value;  // nothing: the key must stay absent
};

struct PlanCase {
  const char* name;
  std::vector<std::vector<std::string>> before;  // commands that must succeed first
  std::string what;
  std::vector<std::string> args;
  bool wifi;
  int status;
  const char* said;  // in the output when it succeeds, in the error otherwise
  std::vector<Stored> stored;
  const char* dateKey = nullptr;  // holds the moment below (year, month, day, hour, minute)
  std::array<int, 5> date = {};

  void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }
};

class PlanCommandTest : public ::testing::TestWithParam<PlanCase> {
 protected:
  PlanCommandTest() { platform.setNow(2027, 3, 14, 10, 30, 0); }
  int plan(const std::string& what, std::vector<std::string> args, bool wifi) {
    out.str("");
    err.str("");
    return runPlan(platform, what, args, wifi, out, err);
  }

  FakePlatform platform;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_P(PlanCommandTest, StoresThatNetworksPlanOrRefusesClearly) {
  const PlanCase& c = GetParam();
  for (const auto& command : c.before) {
    const bool wifi = command.back() == "--wifi";
    std::vector<std::string> args(command.begin() + 1, command.end() - (wifi ? 1 : 0));
    ASSERT_EQ(plan(command[0], args, wifi), 0) << err.str();
  }
  ASSERT_EQ(plan(c.what, c.args, c.wifi), c.status) << err.str();
  const std::string said = c.status == 0 ? out.str() : err.str();
  EXPECT_NE(said.find(c.said), std::string::npos) << said;
  UserDefaults& store = platform.userDefaults();
  for (const Stored& s : c.stored) {
    EXPECT_EQ(store.objectForKey(s.key), s.value) << s.key;
  }
  if (c.dateKey) {
    const auto& [y, mo, d, h, mi] = c.date;
    EXPECT_EQ(store.dateForKey(c.dateKey), platform.at(y, mo, d, h, mi));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PlanCommandTest,
    ::testing::Values(
        PlanCase{"WifiWeeklyTypeMakesTheWifiCycleWeekly",
                 {{"start-day", "15"}},
                 "type",
                 {"weekly"},
                 true,
                 0,
                 "Weekly Wi-Fi plan",
                 {{"WiFiPlanType", PlistValue(1)},
                  {"firstDayOfCycleWifi", PlistValue(101)},
                  {"CellularPlanType", std::nullopt},
                  {"firstDayOfCycle", PlistValue(15)}}},
        PlanCase{"WifiStartDayFollowsTheWifiType",
                 {{"type", "weekly", "--wifi"}},
                 "start-day",
                 {"saturday"},
                 true,
                 0,
                 "Every Saturday",
                 {{"firstDayOfCycleWifi", PlistValue(107)}, {"firstDayOfCycle", PlistValue(1)}}},
        PlanCase{"WifiEvery",
                 {},
                 "every",
                 {"45"},
                 true,
                 0,
                 "45 Days",
                 {{"ResetDaysWiFi", PlistValue(45)},
                  {"firstDayOfCycleWifi", PlistValue(9999)},
                  {"ResetDays", std::nullopt},
                  {"firstDayOfCycle", PlistValue(1)}}},
        PlanCase{"WifiQuota",
                 {},
                 "quota",
                 {"5", "GB"},
                 true,
                 0,
                 "5 GB",
                 {{"wifiDataLimit", PlistValue(5)},
                  {"wifiDataLimitUnit", PlistValue("GB")},
                  {"cellularDataLimit", PlistValue(0)}}},
        PlanCase{"WifiCustomStartWithoutALengthAllowsTheThirtyDaysShown",
                 {},
                 "custom-start",
                 {"2027-02-20"},
                 true,
                 0,
                 "Wi-Fi custom cycle starting",
                 {{"firstDayOfCycleWifi", PlistValue(9999)}, {"CustomStartDate", std::nullopt}},
                 "CustomStartDateWiFi",
                 {2027, 2, 20, 0, 0}},
        PlanCase{"DateAndTimeAsTwoWords",
                 {{"every", "30"}},
                 "custom-start",
                 {"2027-03-08", "07:30"},
                 false,
                 0,
                 "Cellular custom cycle starting",
                 {},
                 "CustomStartDate",
                 {2027, 3, 8, 7, 30}},
        PlanCase{"ABadTimeIsRefused",
                 {{"every", "30"}},
                 "custom-start",
                 {"2027-03-08", "soon"},
                 false,
                 2,
                 "\"2027-03-08 soon\"",
                 {{"CustomStartDate", std::nullopt}}},
        PlanCase{"AStartTooEarlyAdvisesTheWifiLength",
                 {{"every", "7", "--wifi"}},
                 "custom-start",
                 {"2027-02-01"},
                 true,
                 2,
                 "kestrio plan every N --wifi",
                 {{"CustomStartDateWiFi", std::nullopt}}},
        PlanCase{"AnExtraTypeWordIsRefused",
                 {},
                 "type",
                 {"monthly", "weekly"},
                 false,
                 2,
                 "takes one value, not also \"weekly\"",
                 {{"CellularPlanType", std::nullopt}}},
        PlanCase{"AnExtraQuotaWordIsRefused",
                 {},
                 "quota",
                 {"5", "GB", "now"},
                 false,
                 2,
                 "not also \"now\"",
                 {{"cellularDataLimit", std::nullopt}}},
        PlanCase{"UsageIsCellularOnly",
                 {},
                 "usage",
                 {"2", "GB"},
                 true,
                 2,
                 "--wifi does not apply to usage",
                 {}},
        // An amount is stored as a whole number of its unit, or of MB when it has decimals.
        PlanCase{
            "ADecimalQuotaIsStoredAsWholeMB",
            {},
            "quota",
            {"1.5", "GB"},
            false,
            0,
            "1536 MB",
            {{"cellularDataLimit", PlistValue(1536)}, {"cellularDataLimitUnit", PlistValue("MB")}}},
        PlanCase{"AUnitGluedToTheNumber",
                 {},
                 "quota",
                 {"5gb"},
                 true,
                 0,
                 "5 GB",
                 {{"wifiDataLimit", PlistValue(5)}, {"wifiDataLimitUnit", PlistValue("GB")}}},
        PlanCase{"AQuotaNoWholeMBHoldsIsRefused",
                 {},
                 "quota",
                 {"1.0001GB"},
                 false,
                 2,
                 "1.0001 GB cannot be stored exactly",
                 {{"cellularDataLimit", std::nullopt}}},
        PlanCase{"AnAmountTooLongToHold",
                 {},
                 "quota",
                 {"99999999999.999999GB"},
                 false,
                 2,
                 "the amount is a number",
                 {{"cellularDataLimit", std::nullopt}}},
        PlanCase{"ADecimalCommaIsRefused",
                 {},
                 "quota",
                 {"1,5", "GB"},
                 false,
                 2,
                 "a point before the decimals",
                 {{"cellularDataLimit", std::nullopt}}},
        PlanCase{"AQuotaOfZeroIsNoQuota",
                 {{"quota", "5", "GB", "--wifi"}},
                 "quota",
                 {"0", "GB"},
                 true,
                 0,
                 "No Wi-Fi quota",
                 {{"wifiDataLimit", PlistValue(0)}, {"wifiDataLimitUnit", PlistValue("GB")}}},
        PlanCase{"ADecimalUsage", {}, "usage", {"0.5GB"}, false, 0, "512 MB", {}},
        PlanCase{"AWifiDailyCapKeepsItsDecimals",
                 {},
                 "daily-cap",
                 {"1.5GB"},
                 true,
                 0,
                 "Wi-Fi daily cap 1.5 GB",
                 {{"wifi_daily_cap", PlistValue(1.5)},
                  {"dailyCapUnitWifi", PlistValue("GB")},
                  {"cell_daily_cap", PlistValue(0)}}},
        PlanCase{"ADailyCapOfZeroIsNone",
                 {{"daily-cap", "300", "MB"}},
                 "daily-cap",
                 {"0", "MB"},
                 false,
                 0,
                 "No daily cap",
                 {{"cell_daily_cap", PlistValue(0)}}},
        PlanCase{"AWeekdayAbbreviated",
                 {{"type", "weekly", "--wifi"}},
                 "start-day",
                 {"sat"},
                 true,
                 0,
                 "Every Saturday",
                 {{"firstDayOfCycleWifi", PlistValue(107)}}},
        PlanCase{"TwoLettersNameNoWeekday",
                 {{"type", "weekly"}},
                 "start-day",
                 {"Tu"},
                 false,
                 2,
                 "a weekly plan starts on a weekday",
                 {}},
        PlanCase{"AMistypedSettingIsSuggested",
                 {},
                 "quot",
                 {"5", "GB"},
                 false,
                 2,
                 "did you mean quota?",
                 {{"cellularDataLimit", std::nullopt}}}),
    testing::NameField{});

// kestrio plan alone: both plans, whatever each has, with units.
TEST(PlanShowTest, ShowsEachNetworksCycleQuotaAndDailyCap) {
  FakePlatform platform;
  platform.setNow(2027, 3, 14, 10, 30, 0);
  std::ostringstream out, err;
  const auto set = [&](const std::string& what, std::vector<std::string> args, bool wifi) {
    ASSERT_EQ(runPlan(platform, what, args, wifi, out, err), 0) << err.str();
  };
  set("start-day", {"15"}, false);
  set("quota", {"5", "GB"}, false);
  set("every", {"30"}, true);
  set("custom-start", {"2027-03-08", "07:30"}, true);
  set("daily-cap", {"1.5", "GB"}, true);
  struct Shown {
    bool wifi;
    std::vector<const char*> lines;
    std::vector<const char*> absent;
  };
  for (const Shown& c :
       {Shown{false,
              {"Cellular plan\n", "  Cycle      monthly, from the 15th of the month\n",
               "  Quota      5 GB\n", "  Daily cap  none\n", "Wi-Fi plan\n",
               "  Cycle      every 30 days, from 3/8/27, 7:30\u202FAM",
               "  Quota      none (kestrio plan "
               "--wifi quota 5 GB sets one)\n",
               "  Daily cap  1.5 GB\n"},
              {}},
        Shown{true, {"Wi-Fi plan\n", "  Daily cap  1.5 GB\n"}, {"Cellular plan"}}}) {
    out.str("");
    ASSERT_EQ(runPlan(platform, "", {}, c.wifi, out, err), 0) << err.str();
    for (const char* line : c.lines)
      EXPECT_NE(out.str().find(line), std::string::npos) << line << "\n" << out.str();
    for (const char* line : c.absent)
      EXPECT_EQ(out.str().find(line), std::string::npos) << out.str();
  }
}

TEST(PlanCommandWifiCycleTest, AWifiStartWithoutALengthRunsTheThirtyDaysTheSettingsShow) {
  FakePlatform platform;
  platform.setNow(2026, 12, 7, 9, 0, 0);
  std::ostringstream out, err;
  ASSERT_EQ(runPlan(platform, "custom-start", {"2026-12-07"}, true, out, err), 0) << err.str();
  const BillingPeriod period = BillingCycle::billingDatesForCode(platform, 9999, "wifi", false);
  EXPECT_EQ(period.lastBillingDate, platform.at(2026, 12, 7));
  EXPECT_EQ(period.nextBillingDate, platform.at(2027, 1, 6));
  // The plan shown is the one in force, not the length never stored.
  out.str("");
  ASSERT_EQ(runPlan(platform, "", {}, true, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("every 30 days"), std::string::npos) << out.str();
}

}  // namespace
}  // namespace kestrio::cli

#include <gtest/gtest.h>

#include <functional>

#include "engine/AppData.h"
#include "plan/CustomDatePickerController.h"
#include "plan/DaysViewController.h"
#include "plan/PlanPanes.h"
#include "plan/PlanTypeViewController.h"
#include "plan/QuotaViewController.h"
#include "plan/StartDateViewController.h"
#include "plan/StartDayViewController.h"
#include "platform/Calendar.h"
#include "support/FakePlatform.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

class PlanPanesTest : public ::testing::Test {
 protected:
  PlanPanesTest() { platform.setNow(2027, 3, 14, 10, 30, 0); }
  UserDefaults& store() { return platform.userDefaults(); }
  FakePlatform platform;
};

struct StartDayCase {
  int planType;
  int row;
  std::int64_t stored;
  const char* summary;
};

void PrintTo(const StartDayCase& c, std::ostream* os) {
  *os << c.summary;
}

class StartDayTest : public PlanPanesTest, public ::testing::WithParamInterface<StartDayCase> {};

TEST_P(StartDayTest, StoresTheCycleCodeAndSaysWhichDay) {
  const StartDayCase& c = GetParam();
  store().setInteger(PlanTypeViewController::kCellularPlanType, c.planType);
  StartDayViewController pane(platform);
  EXPECT_EQ(pane.rowTitles().size(), c.planType == 0 ? 31u : 7u);
  ASSERT_TRUE(pane.didSelectRow(c.row));
  EXPECT_EQ(store().integerForKey("firstDayOfCycle"), c.stored);
  EXPECT_EQ(pane.selectedDate, c.summary);
}

// Days after the 2nd all take "th", as the summary has always written them.
INSTANTIATE_TEST_SUITE_P(Days, StartDayTest,
                         ::testing::Values(StartDayCase{0, 0, 1, "1st of the month"},
                                           StartDayCase{0, 1, 2, "2nd of the month"},
                                           StartDayCase{0, 2, 3, "3th of the month"},
                                           StartDayCase{0, 14, 15, "15th of the month"},
                                           StartDayCase{0, 30, 31, "31th of the month"},
                                           StartDayCase{1, 6, 107, "Every Saturday"},
                                           StartDayCase{3, 0, 101, "Every Sunday"}),
                         [](const ::testing::TestParamInfo<StartDayCase>& param) {
                           return "Code" + std::to_string(param.param.stored) + "Row" +
                                  std::to_string(param.param.row);
                         });

TEST_F(PlanPanesTest, ThePlanTypeIsStoredByRowAndRowsOutsideTheListAreRefused) {
  PlanTypeViewController pane(platform);
  EXPECT_TRUE(pane.accessoryCheckmark(0));
  pane.didSelectRowAtIndexPath(1);
  EXPECT_TRUE(pane.accessoryCheckmark(1));
  EXPECT_FALSE(pane.accessoryCheckmark(0));
  EXPECT_EQ(store().integerForKey("CellularPlanType"), 1);
  StartDayViewController days(platform);
  EXPECT_FALSE(days.didSelectRow(7));  // a weekly plan has seven rows
  EXPECT_EQ(store().integerForKey("firstDayOfCycle"), 101);
  // The pane opens on the stored kind.
  EXPECT_TRUE(PlanTypeViewController(platform).accessoryCheckmark(1));
}

struct KindCase {
  const char* name;
  std::optional<int> code;  // before the plan type is chosen
  int planType;
  int codeAfter;
  std::optional<int> startRow;  // where the start-day list then opens
};

// Choosing a kind of plan leaves no start of the other kind in force, and the start-day list
// opens on the start in force, so every row, the first included, is a change to pick.
TEST_F(PlanPanesTest, ThePlanTypeKeepsTheStartOfItsOwnKind) {
  for (const KindCase& c :
       {KindCase{"monthly 15 made weekly", 15, 1, 101, 0},
        KindCase{"weekly Friday made monthly", 106, 0, 1, 0},
        KindCase{"monthly 15 kept", 15, 0, 15, 14}, KindCase{"weekly Friday kept", 106, 1, 106, 5},
        KindCase{"custom made monthly", 9999, 0, 1, 0},
        KindCase{"none made weekly", std::nullopt, 1, 101, 0}}) {
    SCOPED_TRACE(c.name);
    FakePlatform fresh;
    if (c.code) fresh.userDefaults().setInteger("firstDayOfCycle", *c.code);
    PlanTypeViewController(fresh).didSelectRowAtIndexPath(c.planType);
    EXPECT_EQ(fresh.userDefaults().integerForKey("firstDayOfCycle"), c.codeAfter);
    EXPECT_EQ(StartDayViewController(fresh).storedRow(), c.startRow);
  }
  FakePlatform empty;
  EXPECT_EQ(StartDayViewController(empty).storedRow(), std::nullopt);
}

TEST_F(PlanPanesTest, ACycleLengthMakesTheCycleCustom) {
  DaysViewController pane(platform);
  EXPECT_EQ(DaysViewController::numberOfRows(), 999);
  EXPECT_EQ(DaysViewController::rowTitle(998), "1000");
  ASSERT_TRUE(pane.didSelectRow(28));
  EXPECT_EQ(store().integerForKey("ResetDays"), 30);
  EXPECT_EQ(store().integerForKey("firstDayOfCycle"), 9999);
  EXPECT_EQ(pane.selectedDate, "30 Days");
  store().setInteger("firstDayOfCycle", 5);
  platform.fakeFiles().failWrites(testing::FakeFileSystem::Failure::DiskFull, 100);
  EXPECT_FALSE(pane.didSelectRow(1));  // a store that cannot be written is reported
}

// The pane opens on the length in force, so any other length is a change and the one shown is
// the one the cycle runs: a length never chosen runs 30 days, one out of the list's range shows
// its nearest end.
TEST_F(PlanPanesTest, TheCycleLengthOpensOnTheLengthInForce) {
  EXPECT_EQ(DaysViewController(platform).selectedRow(), 28);
  EXPECT_EQ(DaysViewController(platform, PlanNetwork::WiFi).selectedRow(), 28);
  store().setInteger("ResetDaysWiFi", 45);
  EXPECT_EQ(DaysViewController(platform, PlanNetwork::WiFi).selectedRow(), 43);
  EXPECT_EQ(DaysViewController(platform).selectedRow(), 28);
  store().setInteger("ResetDays", 5000);
  EXPECT_EQ(DaysViewController(platform).selectedRow(), 998);
}

struct WindowCase {
  const char* name;
  std::optional<std::int64_t> length;
  std::optional<Date> stored;  // relative to now below
  Date expectedMinimum;
  Date expectedStart;
  bool rewritten;
};

TEST_F(PlanPanesTest, TheCustomStartWindowEndsNowAndKeepsTodayInTheCycle) {
  const Date now = platform.now();
  const Date midnight29DaysAgo = platform.at(2027, 2, 13);
  const std::vector<WindowCase> cases = {
      {"30 days, nothing stored", 30, std::nullopt, midnight29DaysAgo, now, false},
      {"40 days old", 30, now.addingSeconds(-40 * 86400.0), midnight29DaysAgo, midnight29DaysAgo,
       true},
      {"in the future", 30, now.addingSeconds(3600), midnight29DaysAgo, now, true},
      {"within", 30, platform.at(2027, 3, 1, 8), midnight29DaysAgo, platform.at(2027, 3, 1, 8),
       false},
      // No length chosen: the thirty days the settings screens show are in force.
      {"no length: thirty days", std::nullopt, platform.at(2027, 3, 1), midnight29DaysAgo,
       platform.at(2027, 3, 1), false},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fresh;
    fresh.setNow(now);
    if (c.length) fresh.userDefaults().setInteger("ResetDays", *c.length);
    if (c.stored) fresh.userDefaults().setObject("CustomStartDate", PlistValue(*c.stored));
    fresh.userDefaults().synchronize();
    const int writes = fresh.fakeFiles().writeCount();
    CustomDatePickerController pane(fresh);
    EXPECT_EQ(pane.minimumDate, c.expectedMinimum);
    EXPECT_EQ(pane.maximumDate, now);
    EXPECT_EQ(pane.date, c.expectedStart);
    EXPECT_EQ(fresh.fakeFiles().writeCount() > writes, c.rewritten);
    if (c.stored) {
      EXPECT_EQ(fresh.userDefaults().dateForKey("CustomStartDate"), c.expectedStart);
    }
  }
}

TEST_F(PlanPanesTest, PickingAStartStoresItAndMakesThatNetworksCycleCustom) {
  store().setInteger("ResetDays", 30);
  store().setInteger("ResetDaysWiFi", 10);
  CustomDatePickerController cellular(platform);
  ASSERT_TRUE(cellular.dateChanged(platform.at(2027, 3, 1)));
  EXPECT_EQ(store().dateForKey("CustomStartDate"), platform.at(2027, 3, 1));
  EXPECT_EQ(store().integerForKey("firstDayOfCycle"), 9999);
  EXPECT_FALSE(store().objectForKey("firstDayOfCycleWifi"));

  CustomWiFiDatePickerController wifi(platform);
  EXPECT_EQ(wifi.minimumDate, platform.at(2027, 3, 5));
  // A moment before the window is moved to its start.
  ASSERT_TRUE(wifi.dateChanged(platform.at(2027, 1, 1)));
  EXPECT_EQ(store().dateForKey("CustomStartDateWiFi"), platform.at(2027, 3, 5));
  EXPECT_EQ(store().integerForKey("firstDayOfCycleWifi"), 9999);
}

TEST_F(PlanPanesTest, TheStartDatePaneStoresAtOnceAndLeavesTheCycleCode) {
  store().setInteger("firstDayOfCycle", 15);
  StartDateViewController pane(platform);
  EXPECT_EQ(store().dateForKey("CustomStartDate"), platform.now());
  ASSERT_TRUE(pane.dateChanged(platform.at(2027, 3, 14, 0)));
  EXPECT_EQ(pane.selectedDate, "Starting " + StartDateViewController::describe(pane.date));
  EXPECT_EQ(store().integerForKey("firstDayOfCycle"), 15);
  EXPECT_EQ(StartDateViewController::describe(Date{0}), "1970-01-01 00:00:00 +0000");
  EXPECT_EQ(StartDateViewController::describe(Date{1e9 + 0.5}), "2001-09-09 01:46:40 +0000");
}

struct WheelsCase {
  std::int64_t stored;
  std::vector<int> digits;
};

void PrintTo(const WheelsCase& c, std::ostream* os) {
  *os << "Stored" << c.stored;
}

class QuotaWheelsTest : public PlanPanesTest, public ::testing::WithParamInterface<WheelsCase> {};

TEST_P(QuotaWheelsTest, TheStoredQuotaIsShownWhole) {
  store().setInteger("cellularDataLimit", GetParam().stored);
  store().setString("cellularDataLimitUnit", "GB");
  QuotaViewController pane(platform);
  EXPECT_EQ(pane.wheels.digits, GetParam().digits);
  EXPECT_EQ(pane.wheels.unitName(), "GB");
}

INSTANTIATE_TEST_SUITE_P(Digits, QuotaWheelsTest,
                         ::testing::Values(WheelsCase{500, {0, 5, 0, 0}},
                                           WheelsCase{7, {0, 0, 0, 7}}, WheelsCase{0, {0, 0, 0, 0}},
                                           WheelsCase{12345, {1, 2, 3, 4, 5}}),
                         [](const ::testing::TestParamInfo<WheelsCase>& param) {
                           return "Stored" + std::to_string(param.param.stored);
                         });

TEST_F(PlanPanesTest, AQuotaOfNothingIsNoQuota) {
  store().setInteger("cellularDataLimit", 500);
  store().setString("cellularDataLimitUnit", "GB");
  QuotaViewController pane(platform);
  ASSERT_TRUE(pane.didSelectRow(1, 0));
  EXPECT_EQ(pane.wheels.digits, (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(store().integerForKey("cellularDataLimit"), 0);
  EXPECT_EQ(store().stringForKey("cellularDataLimitUnit"), "GB");
  EXPECT_EQ(pane.selectedQuota, "No quota");
  ASSERT_TRUE(pane.setAmount(5, 1));
  EXPECT_EQ(store().integerForKey("cellularDataLimit"), 5);
  EXPECT_EQ(pane.selectedQuota, "5 GB");
  EXPECT_FALSE(pane.didSelectRow(4, 2));  // no third unit
  EXPECT_FALSE(pane.didSelectRow(0, 10));
  EXPECT_FALSE(pane.setAmount(-1, 0));
  // Unit MB only when the store says so.
  store().setString("cellularDataLimitUnit", "KB");
  EXPECT_EQ(QuotaViewController(platform).wheels.unitName(), "GB");
}

TEST_F(PlanPanesTest, CurrentUsageChangesOnlyThePeriodsUsageOfTheCellularRecord) {
  // 2.9 MB used: the pane opens on what was used, rounded down, not on the quota.
  testing::putRecord(
      platform, AppData::kCellularFileName,
      {{"dataThisMonth", 2.9 * 1024 * 1024}, {"dataThisMonthSent", 2.0}, {"dataToday", 9.0}});
  store().setInteger("cellularDataLimit", 7);
  CurrentUsageViewController pane(platform);
  EXPECT_EQ(pane.wheels.digits, (std::vector<int>{0, 0, 0, 2}));
  EXPECT_EQ(pane.wheels.unit, 0);
  ASSERT_TRUE(pane.didSelectRow(4, 1)) << pane.failure;
  EXPECT_EQ(pane.selectedQuota, "2 GB");
  const PlistValue::Dictionary stored = testing::storedRecord(platform, AppData::kCellularFileName);
  EXPECT_EQ(stored.at("dataThisMonth").number(), 2.0 * 1024 * 1024 * 1024);
  EXPECT_EQ(stored.at("dataThisMonthSent").number(), 2.0);
  EXPECT_EQ(stored.at("dataToday").number(), 9.0);

  platform.fakeFiles().failWrites(testing::FakeFileSystem::Failure::DiskFull, 100);
  EXPECT_FALSE(pane.setAmount(3, 1));
  EXPECT_FALSE(pane.failure.empty());
}

// Each settings row that opens a plan editor shows the value in force on the network its key
// names, and the editor it opens edits that network's plan.
TEST_F(PlanPanesTest, TheRowsOpeningThePlanEditorsShowTheValueInForce) {
  settings::ViewControllerFactory factory;
  registerPlanPanes(factory, platform);
  const Date start = platform.at(2027, 3, 1, 9);
  struct Case {
    const char* name;
    std::function<void(UserDefaults&)> set;
    const char* row;  // the class a row opens, or its nested screen's file
    const char* key;
    std::string shown;
  };
  const auto nothing = [](UserDefaults&) {};
  for (const Case& c : {
           Case{"cellular cycle monthly",
                [](UserDefaults& d) { d.setInteger("firstDayOfCycle", 15); }, "CustomCycle", "",
                "Off"},
           Case{"cellular custom, no length",
                [](UserDefaults& d) { d.setInteger("firstDayOfCycle", 9999); }, "CustomCycle", "",
                "Every 30 days"},
           Case{"Wi-Fi custom of 45 days",
                [](UserDefaults& d) {
                  d.setInteger("firstDayOfCycleWifi", 9999);
                  d.setInteger("ResetDaysWiFi", 45);
                },
                "CustomCycleWiFi", "", "Every 45 days"},
           Case{"Wi-Fi length", [](UserDefaults& d) { d.setInteger("ResetDaysWiFi", 45); },
                "DaysViewController", "ResetDaysWiFi", "45 days"},
           Case{"cellular length apart from Wi-Fi's",
                [](UserDefaults& d) { d.setInteger("ResetDaysWiFi", 45); }, "DaysViewController",
                "ResetDays", "30 days"},
           Case{"no first day", nothing, "CustomWiFiDatePickerController", "", "Not set"},
           Case{"Wi-Fi first day",
                [start](UserDefaults& d) { d.setObject("CustomStartDateWiFi", PlistValue(start)); },
                "CustomWiFiDatePickerController", "",
                platform.calendar().format(start, DateStyle::Short, DateStyle::None)},
           Case{"no quota is none", [](UserDefaults& d) { d.setInteger("wifiDataLimit", 0); },
                "QuotaViewController", "wifiDataLimit", "None"},
           Case{"Wi-Fi quota",
                [](UserDefaults& d) {
                  d.setInteger("wifiDataLimit", 5);
                  d.setString("wifiDataLimitUnit", "GB");
                },
                "QuotaViewController", "wifiDataLimit", "5 GB"},
           Case{"usage, not quota", [](UserDefaults& d) { d.setInteger("cellularDataLimit", 7); },
                "CurrentUsageViewController", "", "0 MB"},
       }) {
    SCOPED_TRACE(c.name);
    for (const char* key : {"firstDayOfCycle", "firstDayOfCycleWifi", "ResetDays", "ResetDaysWiFi",
                            "CustomStartDateWiFi", "wifiDataLimit", "cellularDataLimit"}) {
      store().removeObjectForKey(key);
    }
    c.set(store());
    EXPECT_EQ(factory.describe(c.row, {"", "", c.key}), c.shown);
  }

  // The length row under the Wi-Fi plan edits the Wi-Fi cycle and leaves the cellular one.
  store().setInteger("firstDayOfCycle", 15);
  auto length = std::dynamic_pointer_cast<DaysViewController>(
      factory.make("DaysViewController", {"", "", "ResetDaysWiFi"}));
  ASSERT_TRUE(length);
  ASSERT_TRUE(length->didSelectRow(12));
  EXPECT_EQ(store().integerForKey("ResetDaysWiFi"), 14);
  EXPECT_EQ(store().integerForKey("firstDayOfCycleWifi"), 9999);
  EXPECT_EQ(store().integerForKey("firstDayOfCycle"), 15);
  EXPECT_FALSE(store().objectForKey("ResetDays"));
}

}  // namespace
}  // namespace kestrio

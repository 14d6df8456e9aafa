#include <gtest/gtest.h>

#include <algorithm>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/BillingCycle.h"
#include "engine/History.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::putRecord;
using testing::storedRecord;

struct Day {
  int year;
  int month;
  int day;
};

// ---------------------------------------------------------------------------------------------
// The date rules, one table.

struct DateCase {
  const char* name;
  int code;
  Day today;
  int hour;
  Day last;
  Day next;
  bool february;  // "handling feb.." is logged
};

void PrintTo(const DateCase& c, std::ostream* os) {
  *os << c.name;
}

class BillingDatesTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(BillingDatesTest, PeriodContainsToday) {
  const DateCase& c = GetParam();
  FakePlatform platform;
  platform.setNow(c.today.year, c.today.month, c.today.day, c.hour);
  const BillingPeriod period = BillingCycle::billingDatesForCode(platform, c.code, "cellular");
  EXPECT_EQ(period.lastBillingDate, platform.at(c.last.year, c.last.month, c.last.day));
  EXPECT_EQ(period.nextBillingDate, platform.at(c.next.year, c.next.month, c.next.day));
  EXPECT_LE(period.lastBillingDate, platform.now());
  EXPECT_LT(platform.now(), period.nextBillingDate);
  const bool logged =
      std::count(platform.logLines.begin(), platform.logLines.end(), "handling feb..") == 1;
  EXPECT_EQ(logged, c.february);
}

// 10 March 2026 is a Tuesday.
INSTANTIATE_TEST_SUITE_P(
    Rules, BillingDatesTest,
    ::testing::Values(
        DateCase{"MonthlyBeforeTheDay", 15, {2026, 3, 10}, 12, {2026, 2, 15}, {2026, 3, 15}, false},
        DateCase{"MonthlyOnTheDay", 15, {2026, 3, 15}, 0, {2026, 3, 15}, {2026, 4, 15}, false},
        DateCase{"Day31InJanuary", 31, {2027, 1, 31}, 9, {2027, 1, 31}, {2027, 3, 1}, true},
        DateCase{
            "Day31InJanuaryOfALeapYear", 31, {2028, 1, 31}, 9, {2028, 1, 31}, {2028, 3, 1}, true},
        DateCase{"Day30InFebruary", 30, {2026, 2, 10}, 9, {2026, 1, 30}, {2026, 3, 1}, true},
        DateCase{"Day29InALeapYear", 29, {2024, 1, 29}, 9, {2024, 1, 29}, {2024, 2, 29}, false},
        DateCase{"Day29InAnOrdinaryYear", 29, {2023, 1, 29}, 9, {2023, 1, 29}, {2023, 3, 1}, true},
        // A period that would begin on a day its month lacks begins on the 1st of the next.
        DateCase{"Day31InApril", 31, {2026, 4, 10}, 9, {2026, 3, 31}, {2026, 5, 1}, false},
        DateCase{"Day31On1May", 31, {2026, 5, 1}, 0, {2026, 5, 1}, {2026, 5, 31}, false},
        DateCase{"Day31On31May", 31, {2026, 5, 31}, 9, {2026, 5, 31}, {2026, 7, 1}, false},
        DateCase{"Day31On30June", 31, {2026, 6, 30}, 23, {2026, 5, 31}, {2026, 7, 1}, false},
        DateCase{"Day31In1July", 31, {2026, 7, 1}, 9, {2026, 7, 1}, {2026, 7, 31}, false},
        DateCase{"Day31On1March", 31, {2026, 3, 1}, 9, {2026, 3, 1}, {2026, 3, 31}, false},
        DateCase{"Day30InLateFebruary", 30, {2026, 2, 28}, 23, {2026, 1, 30}, {2026, 3, 1}, true},
        DateCase{
            "Day29On1MarchOfALeapYear", 29, {2024, 3, 1}, 9, {2024, 2, 29}, {2024, 3, 29}, false},
        DateCase{"Day31InDecember", 31, {2026, 12, 31}, 9, {2026, 12, 31}, {2027, 1, 31}, false},
        DateCase{"Day1InDecember", 1, {2026, 12, 10}, 9, {2026, 12, 1}, {2027, 1, 1}, false},
        DateCase{"TuesdayOnATuesday", 103, {2026, 3, 10}, 9, {2026, 3, 10}, {2026, 3, 17}, false},
        DateCase{"TuesdayOnAMonday", 103, {2026, 3, 9}, 9, {2026, 3, 3}, {2026, 3, 10}, false},
        DateCase{
            "OtherCodesStartOnSunday", 150, {2026, 3, 10}, 9, {2026, 3, 8}, {2026, 3, 15}, false},
        DateCase{
            "SaturdayAcrossTheYear", 107, {2026, 12, 26}, 9, {2026, 12, 26}, {2027, 1, 2}, false},
        DateCase{
            "DailyLateInTheDay", 1001, {2026, 12, 31}, 23, {2026, 12, 31}, {2027, 1, 1}, false}),
    [](const ::testing::TestParamInfo<DateCase>& param) { return param.param.name; });

// ---------------------------------------------------------------------------------------------
// Every N days, with the custom keys in the user-defaults store.

class CustomCycleTest : public ::testing::Test {
 protected:
  CustomCycleTest() { platform.setNow(2026, 6, 20, 12, 0, 0); }

  BillingPeriod dates(const std::string& type = "cellular") {
    return BillingCycle::billingDatesForCode(platform, 9999, type);
  }
  Date daysAgo(int days, int hour = 0) { return platform.at(2026, 6, 20 - days, hour); }
  // The store as written to its file: every change must have been flushed.
  PlistValue::Dictionary flushedStore() {
    return storedRecord(platform, std::string(Platform::kDefaultsFileName));
  }

  FakePlatform platform;
  UserDefaults& store = platform.userDefaults();
};

struct CatchUpCase {
  const char* name;
  int startDaysAgo;
  std::optional<int> length;  // nothing: no length stored
  int hour;                   // of now, on 20 June
  int lastDaysAgo;
  int nextDaysAgo;
};

void PrintTo(const CatchUpCase& c, std::ostream* os) {
  *os << c.name;
}

class CustomCatchUpTest : public CustomCycleTest,
                          public ::testing::WithParamInterface<CatchUpCase> {};

// However long the absence, one call reaches the period that holds now, and stores its start.
TEST_P(CustomCatchUpTest, OneCallReachesThePeriodHoldingNow) {
  const CatchUpCase& c = GetParam();
  platform.setNow(2026, 6, 20, c.hour, 0, 0);
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(daysAgo(c.startDaysAgo, 8)));
  if (c.length) {
    store.setInteger(BillingCycle::kResetDays, *c.length);
    store.setInteger(BillingCycle::kLastResetDays, *c.length);
  }
  const BillingPeriod period = dates();
  EXPECT_EQ(period.lastBillingDate, daysAgo(c.lastDaysAgo));
  EXPECT_EQ(period.nextBillingDate, daysAgo(c.nextDaysAgo));
  EXPECT_LE(period.lastBillingDate, platform.now());
  EXPECT_LE(platform.now(), period.nextBillingDate);
  if (c.lastDaysAgo != c.startDaysAgo) {
    EXPECT_EQ(flushedStore()[BillingCycle::kCustomStartDate], PlistValue(daysAgo(c.lastDaysAgo)));
  }
  const BillingPeriod again = dates();
  EXPECT_EQ(again.lastBillingDate, period.lastBillingDate);
  EXPECT_EQ(again.nextBillingDate, period.nextBillingDate);
}

INSTANTIATE_TEST_SUITE_P(
    Absences, CustomCatchUpTest,
    ::testing::Values(CatchUpCase{"WithinTheFirstPeriod", 5, 30, 12, 5, -25},
                      CatchUpCase{"SeventyDaysOfAThirtyDayCycle", 70, 30, 12, 10, -20},
                      CatchUpCase{"TwoMonthsOfAWeeklyCycle", 60, 7, 12, 4, -3},
                      // A period runs up to and including the midnight that begins the next.
                      CatchUpCase{"NowOnTheMidnightAPeriodEnds", 60, 30, 0, 30, 0},
                      // No length chosen: the thirty days the settings screens show.
                      CatchUpCase{"NoLengthStored", 3, std::nullopt, 12, 3, -27},
                      CatchUpCase{"NoLengthStoredLongAgo", 40, std::nullopt, 12, 10, -20}),
    testing::NameField{});

TEST_F(CustomCycleTest, AChangedLengthKeepsTodayInTheFirstPeriod) {
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(daysAgo(20, 8)));
  store.setInteger(BillingCycle::kResetDays, 7);
  store.setInteger(BillingCycle::kLastResetDays, 30);

  BillingPeriod period = dates();
  EXPECT_EQ(period.lastBillingDate, daysAgo(6));
  EXPECT_EQ(period.nextBillingDate, daysAgo(-1));
  EXPECT_EQ(BillingCycle::getMinDate(platform, 7), daysAgo(6));
  PlistValue::Dictionary flushed = flushedStore();
  EXPECT_EQ(flushed[BillingCycle::kCustomStartDate], PlistValue(daysAgo(6)));
  EXPECT_EQ(flushed[BillingCycle::kLastResetDays], PlistValue(7));
}

TEST_F(CustomCycleTest, AChangedLengthBringsAFutureStartToNow) {
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(daysAgo(-5)));
  store.setInteger(BillingCycle::kResetDays, 10);
  store.setInteger(BillingCycle::kLastResetDays, 30);
  EXPECT_EQ(dates().lastBillingDate, daysAgo(0));
  EXPECT_EQ(store.dateForKey(BillingCycle::kCustomStartDate), platform.now());
}

TEST_F(CustomCycleTest, LengthOneAndLengthsBelowOneAreDaily) {
  const BillingPeriod daily = BillingCycle::billingDatesForCode(platform, 1001, "cellular");
  for (int length : {1, 0, -5}) {
    SCOPED_TRACE(length);
    store.setObject(BillingCycle::kCustomStartDate, PlistValue(daysAgo(3)));
    store.setInteger(BillingCycle::kResetDays, length);
    store.removeObjectForKey(BillingCycle::kLastResetDays);
    for (int call = 0; call < 3; ++call) {
      BillingPeriod period = dates();
      EXPECT_EQ(period.lastBillingDate, daily.lastBillingDate);
      EXPECT_EQ(period.nextBillingDate, daily.nextBillingDate);
    }
    EXPECT_EQ(store.integerForKey(BillingCycle::kLastResetDays), 1);
  }
}

TEST_F(CustomCycleTest, AMissingStartDateAnchorsTheCycle) {
  store.setInteger(BillingCycle::kResetDays, 10);
  BillingPeriod first = dates();
  EXPECT_EQ(first.lastBillingDate, daysAgo(0));
  EXPECT_EQ(first.nextBillingDate, daysAgo(-10));
  platform.setNow(2026, 6, 23, 9, 0, 0);
  BillingPeriod later = dates();
  EXPECT_EQ(later.lastBillingDate, first.lastBillingDate);
  EXPECT_EQ(later.nextBillingDate, first.nextBillingDate);
}

TEST_F(CustomCycleTest, WifiUsesItsOwnKeys) {
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(daysAgo(2)));
  store.setInteger(BillingCycle::kResetDays, 30);
  store.setInteger(BillingCycle::kLastResetDays, 30);
  store.setObject(BillingCycle::kCustomStartDateWiFi, PlistValue(daysAgo(12)));
  store.setInteger(BillingCycle::kResetDaysWiFi, 5);
  store.setInteger(BillingCycle::kLastResetDaysWiFi, 5);

  BillingPeriod wifi = dates("wifi");
  EXPECT_EQ(wifi.lastBillingDate, daysAgo(2));
  EXPECT_EQ(wifi.nextBillingDate, daysAgo(-3));
  EXPECT_EQ(store.dateForKey(BillingCycle::kCustomStartDateWiFi), daysAgo(2));
  EXPECT_EQ(store.dateForKey(BillingCycle::kCustomStartDate), daysAgo(2));
  EXPECT_EQ(dates("cellular").lastBillingDate, daysAgo(2));
}

// ---------------------------------------------------------------------------------------------
// The period counter of a usage record.

class BillingCounterTest : public ::testing::Test {
 protected:
  BillingCounterTest() {
    platform.setBoot(1000, "boot-1");
    setCycles(15, 15);
  }

  void setCycles(std::optional<int> cellular, std::optional<int> wifi) {
    UserDefaults& store = platform.userDefaults();
    store.setBool(AppSettings::kLegacySettingsConverted, true);
    if (cellular)
      store.setInteger(AppSettings::kFirstDayOfCycle, *cellular);
    else
      store.removeObjectForKey(AppSettings::kFirstDayOfCycle);
    if (wifi)
      store.setInteger(AppSettings::kFirstDayOfCycleWifi, *wifi);
    else
      store.removeObjectForKey(AppSettings::kFirstDayOfCycleWifi);
  }

  // A record as the previous pass saved it: its period, its counter (500 = 200 sent + 300
  // received) and the moment of that pass.
  static PlistValue::Dictionary saved(std::optional<Date> last, std::optional<Date> next,
                                      std::optional<Date> previousPass) {
    PlistValue::Dictionary keys{{"dataThisMonth", PlistValue(500.0)},
                                {"dataThisMonthSent", PlistValue(200.0)},
                                {"dataThisMonthRecd", PlistValue(300.0)},
                                {"dataAllTime", PlistValue(9000.0)}};
    if (last) keys["lastBillingDate"] = PlistValue(*last);
    if (next) keys["nextBillingDate"] = PlistValue(*next);
    if (previousPass) keys["lastUpdate"] = PlistValue(*previousPass);
    return keys;
  }

  // Loads the record, gives it this pass's increment (50 = 20 + 30) and updates the period.
  void update(AppData& record, bool inUpdatePass = true, const std::string& type = "cellular") {
    record.getAppData(type);
    record.setDataSinceLastRun(50.0);
    record.setDataSinceLastRunSent(20.0);
    record.setDataSinceLastRunRecd(30.0);
    record.udpateBillingCounter(inUpdatePass);
  }

  std::vector<History> periods() {
    std::vector<History> all = History::getAllHistoryLogs(platform);
    std::erase_if(all, [](const History& h) { return h.historyType() != 1; });
    return all;
  }

  void pass(std::uint64_t received, std::uint64_t sent) {
    platform.setCounters("wwan0", received, sent, InterfaceKind::Cellular);
    (void)data.performBackgroundUpdateForType("cellular", "", false);
  }

  FakePlatform platform;
  AppData data{platform};
};

TEST_F(BillingCounterTest, APassWithinThePeriodAddsItsTrafficToTheSavedCounter) {
  platform.setNow(2026, 3, 10, 12);
  putRecord(platform, AppData::kCellularFileName,
            saved(platform.at(2026, 2, 15), platform.at(2026, 3, 15), platform.at(2026, 3, 10, 8)));
  update(data);
  EXPECT_EQ(data.dataThisMonth(), 550.0);
  EXPECT_EQ(data.dataThisMonthSent(), 220.0);
  EXPECT_EQ(data.dataThisMonthRecd(), 330.0);
  EXPECT_FALSE(data.monthlyResetOccured());
  EXPECT_EQ(data.billingDaysTotal(), 28);
  EXPECT_EQ(data.billingDaysElapsed(), 23);
  EXPECT_TRUE(periods().empty());
}

TEST_F(BillingCounterTest, TheCounterComesFromTheFileNotFromWhatALoadDerived) {
  platform.setNow(2026, 3, 10, 12);
  // An older file: no split keys, which a load derives in proportion and the pass does not.
  putRecord(platform, AppData::kCellularFileName,
            {{"dataThisMonth", PlistValue(400.0)},
             {"dataAllTime", PlistValue(1000.0)},
             {"lastBillingDate", PlistValue(platform.at(2026, 2, 15))},
             {"nextBillingDate", PlistValue(platform.at(2026, 3, 15))},
             {"lastUpdate", PlistValue(platform.at(2026, 3, 10, 8))}});
  update(data);
  EXPECT_EQ(data.dataThisMonth(), 450.0);
  EXPECT_EQ(data.dataThisMonthSent(), 20.0);
  EXPECT_EQ(data.dataThisMonthRecd(), 30.0);
}

TEST_F(BillingCounterTest, APassAfterTheCycleDayClosesThePeriodIntoTheHistory) {
  platform.setNow(2026, 3, 15, 7);
  putRecord(
      platform, AppData::kCellularFileName,
      saved(platform.at(2026, 2, 15), platform.at(2026, 3, 15), platform.at(2026, 3, 14, 23)));
  update(data);
  EXPECT_EQ(data.lastBillingDate(), platform.at(2026, 3, 15));
  EXPECT_EQ(data.nextBillingDate(), platform.at(2026, 4, 15));
  EXPECT_EQ(data.dataThisMonth(), 0.0);
  EXPECT_EQ(data.dataThisMonthSent(), 0.0);
  EXPECT_EQ(data.dataThisMonthRecd(), 0.0);
  EXPECT_TRUE(data.monthlyResetOccured());
  EXPECT_EQ(data.billingDaysElapsed(), 0);

  auto closed = periods();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].startDate(), platform.at(2026, 2, 15));
  EXPECT_EQ(closed[0].endDate(), platform.at(2026, 3, 14));
  EXPECT_EQ(closed[0].dataTotal(), 500.0);
  EXPECT_EQ(closed[0].dataSent(), 200.0);
  EXPECT_EQ(closed[0].dataReceived(), 300.0);
  EXPECT_EQ(closed[0].dataType(), 1);
}

TEST_F(BillingCounterTest, AWifiPeriodUsesTheWifiCycleAndDataType) {
  setCycles(15, 101);  // Wi-Fi weekly from Sunday; 15 March 2026 is a Sunday
  platform.setNow(2026, 3, 15, 7);
  putRecord(platform, AppData::kWifiFileName,
            saved(platform.at(2026, 3, 8), platform.at(2026, 3, 15), platform.at(2026, 3, 14, 23)));
  update(data, true, "wifi");
  EXPECT_EQ(data.nextBillingDate(), platform.at(2026, 3, 22));
  auto closed = periods();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].dataType(), 2);
  EXPECT_EQ(closed[0].startDate(), platform.at(2026, 3, 8));
  EXPECT_EQ(closed[0].endDate(), platform.at(2026, 3, 14));
}

TEST_F(BillingCounterTest, ALongAbsenceClosesTheOldPeriodOnce) {
  platform.setNow(2026, 6, 20, 12);
  putRecord(platform, AppData::kCellularFileName,
            saved(platform.at(2026, 1, 15), platform.at(2026, 2, 15), platform.at(2026, 2, 10)));
  update(data);
  EXPECT_EQ(data.lastBillingDate(), platform.at(2026, 6, 15));
  EXPECT_EQ(data.dataThisMonth(), 0.0);
  auto closed = periods();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].startDate(), platform.at(2026, 1, 15));
  EXPECT_EQ(closed[0].endDate(), platform.at(2026, 2, 14));
  EXPECT_EQ(closed[0].dataTotal(), 500.0);
}

TEST_F(BillingCounterTest, ACustomCycleCatchingUpClosesOnceAndKeepsCounting) {
  setCycles(9999, 15);
  platform.setNow(2026, 6, 20, 12);
  UserDefaults& store = platform.userDefaults();
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(platform.at(2026, 5, 1)));
  store.setInteger(BillingCycle::kResetDays, 10);
  store.setInteger(BillingCycle::kLastResetDays, 10);
  platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
  putRecord(platform, AppData::kCellularFileName,
            saved(platform.at(2026, 5, 1), platform.at(2026, 5, 11), platform.at(2026, 5, 5)));

  // 1 May + 10 days a period: the one holding 20 June starts on 20 June, and the first pass
  // reaches it.
  std::vector<Date> starts;
  for (int i = 0; i < 5; ++i) {
    pass(100 * (i + 1), 0);
    starts.push_back(*data.lastBillingDate());
    EXPECT_EQ(data.billingDaysElapsed(), 0);
    EXPECT_EQ(data.billingDaysTotal(), 10);
    platform.advance(600);
  }
  EXPECT_EQ(starts.front(), platform.at(2026, 6, 20));
  EXPECT_EQ(starts.back(), platform.at(2026, 6, 20));
  // Only the period the counter belonged to is closed, as successive passes would have.
  ASSERT_EQ(periods().size(), 1u);
  EXPECT_EQ(periods()[0].startDate(), platform.at(2026, 5, 1));
  EXPECT_EQ(periods()[0].endDate(), platform.at(2026, 5, 10));
  EXPECT_EQ(periods()[0].dataTotal(), 500.0);
  // The first pass closed the period; the four after it counted 100 each.
  EXPECT_EQ(data.dataThisMonth(), 400.0);
}

// After a long absence a custom plan catches up one period per pass. Whatever runs in between (a
// screen's redraw, the reminders being scheduled again) must leave the stored start where the
// saved record's period begins, or the next pass would skip a period the record never held.
TEST_F(BillingCounterTest, OnlyThePassMovesACustomPlansStart) {
  setCycles(9999, 15);
  platform.setNow(2026, 6, 20, 12);
  UserDefaults& store = platform.userDefaults();
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(platform.at(2026, 5, 1)));
  store.setInteger(BillingCycle::kResetDays, 10);
  store.setInteger(BillingCycle::kLastResetDays, 10);
  platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
  putRecord(platform, AppData::kCellularFileName,
            saved(platform.at(2026, 5, 1), platform.at(2026, 5, 11), platform.at(2026, 5, 5)));

  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    pass(100 * (i + 1), 0);
    for (int redraws = 0; redraws < 2; ++redraws) {
      AppData screen(platform);
      screen.getAppData("cellular");
      screen.udpateBillingCounter(false);
      EXPECT_GE(screen.lastBillingDate(), data.lastBillingDate());
    }
    AppSettings(platform).applySettings();
    const PlistValue::Dictionary record = storedRecord(platform, AppData::kCellularFileName);
    EXPECT_EQ(PlistValue(*store.dateForKey(BillingCycle::kCustomStartDate)),
              record.at("lastBillingDate"));
    platform.advance(600);
  }
  EXPECT_EQ(data.lastBillingDate(), platform.at(2026, 6, 20));
  EXPECT_EQ(periods().size(), 1u);
}

// A reset closed the period so far into an entry ending at the reset: the period closed later
// holds only what came after it, and begins there.
TEST_F(BillingCounterTest, APeriodClosedAfterAResetBeginsAtTheReset) {
  setCycles(20, 20);
  const Date reset = platform.at(2026, 12, 7, 10);
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, History(platform, platform.at(2026, 11, 20),
                                                              reset, 1.0, 2.0, 3.0, 1, 1))
                  .ok());
  // The Wi-Fi network's own reset, and the period before, change nothing here.
  ASSERT_TRUE(History::addNewHistoryItemLog(
                  platform, History(platform, platform.at(2026, 11, 20), platform.at(2026, 12, 9),
                                    1.0, 2.0, 3.0, 2, 1))
                  .ok());
  ASSERT_TRUE(History::addNewHistoryItemLog(
                  platform, History(platform, platform.at(2026, 10, 20), platform.at(2026, 11, 19),
                                    1.0, 2.0, 3.0, 1, 1))
                  .ok());
  platform.setNow(2026, 12, 20, 7);
  putRecord(
      platform, AppData::kCellularFileName,
      saved(platform.at(2026, 11, 20), platform.at(2026, 12, 20), platform.at(2026, 12, 19, 23)));
  update(data);
  auto closed = periods();
  ASSERT_EQ(closed.size(), 4u);
  EXPECT_EQ(closed[3].startDate(), reset);
  EXPECT_EQ(closed[3].endDate(), platform.at(2026, 12, 19));
  EXPECT_EQ(closed[3].dataTotal(), 500.0);
}

TEST_F(BillingCounterTest, ARedrawShowsTheNewPeriodAndLeavesTheClosingToThePass) {
  platform.setNow(2026, 3, 15, 7);
  putRecord(
      platform, AppData::kCellularFileName,
      saved(platform.at(2026, 2, 15), platform.at(2026, 3, 15), platform.at(2026, 3, 14, 23)));
  update(data, false);
  EXPECT_EQ(data.dataThisMonth(), 0.0);
  EXPECT_EQ(data.lastBillingDate(), platform.at(2026, 3, 15));
  EXPECT_TRUE(periods().empty());

  update(data, true);
  EXPECT_EQ(periods().size(), 1u);
  EXPECT_EQ(periods()[0].dataTotal(), 500.0);
}

TEST_F(BillingCounterTest, APassAtTheVeryStartOfThePeriodClosesItOnlyOnce) {
  platform.setCounters("wwan0", 1000, 0, InterfaceKind::Cellular);
  platform.setNow(2026, 3, 14, 22);
  pass(1000, 0);
  platform.setNow(2026, 3, 15, 0, 0, 0);
  pass(1200, 0);
  platform.setNow(2026, 3, 15, 0, 10, 0);
  pass(1300, 0);
  EXPECT_EQ(periods().size(), 1u);
  EXPECT_EQ(data.dataThisMonth(), 100.0);
}

// Code 31 from April to August: every day falls in exactly one period, every closed period ends
// on the eve of the next one's start, and the reminder falls on the day the reset happens.
TEST_F(BillingCounterTest, Day31PeriodsFollowOneAnotherAcrossShortMonths) {
  setCycles(31, 31);
  platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
  platform.setNow(2026, 4, 10, 12);
  pass(0, 0);
  std::uint64_t received = 0;
  // One pass a day at noon, each carrying 100 bytes.
  for (Date day = platform.at(2026, 4, 11, 12); day <= platform.at(2026, 8, 2, 12);
       day = platform.calendar().date([&] {
         DateComponents c = platform.calendar().components(day);
         ++c.day;
         return c;
       }())) {
    platform.setNow(day);
    const Date reminder =
        BillingCycle::billingDatesForCode(platform, 31, "cellular").nextBillingDate;
    received += 100;
    pass(received, 0);
    EXPECT_EQ(data.nextBillingDate(), reminder);
  }
  std::vector<History> closed = periods();
  struct Expected {
    Day start;
    Day end;
    double total;
  };
  // 10 April's pass counted nothing, and the pass that closes a period does not count its own
  // increment into the new one: 11–30 April, 2–30 May, 1–30 June, 2–30 July.
  const std::vector<Expected> expected{{{2026, 3, 31}, {2026, 4, 30}, 2000},
                                       {{2026, 5, 1}, {2026, 5, 30}, 2900},
                                       {{2026, 5, 31}, {2026, 6, 30}, 3000},
                                       {{2026, 7, 1}, {2026, 7, 30}, 2900}};
  ASSERT_EQ(closed.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const Expected& e = expected[i];
    EXPECT_EQ(closed[i].startDate(), platform.at(e.start.year, e.start.month, e.start.day));
    EXPECT_EQ(closed[i].endDate(), platform.at(e.end.year, e.end.month, e.end.day));
    EXPECT_EQ(closed[i].dataTotal(), e.total);
  }
  EXPECT_EQ(data.lastBillingDate(), platform.at(2026, 7, 31));
  EXPECT_EQ(data.nextBillingDate(), platform.at(2026, 8, 31));
}

TEST_F(BillingCounterTest, AMissingWifiCycleClearsBothRecordsBillingFields) {
  setCycles(15, std::nullopt);
  platform.setNow(2026, 3, 10, 12);
  for (const char* type : {"cellular", "wifi"}) {
    SCOPED_TRACE(type);
    const std::string file =
        std::string(type) == "wifi" ? AppData::kWifiFileName : AppData::kCellularFileName;
    PlistValue::Dictionary keys =
        saved(platform.at(2026, 2, 15), platform.at(2026, 3, 15), platform.at(2026, 3, 10, 8));
    keys["billingDaysTotal"] = PlistValue(28);
    keys["billingDaysElapsed"] = PlistValue(23);
    putRecord(platform, file, keys);
    AppData record(platform);
    update(record, true, type);
    EXPECT_FALSE(record.lastBillingDate());
    EXPECT_FALSE(record.nextBillingDate());
    EXPECT_FALSE(record.billingDaysTotal());
    EXPECT_FALSE(record.billingDaysElapsed());
    EXPECT_FALSE(record.dataThisMonth());
    EXPECT_FALSE(record.dataThisMonthSent());
    EXPECT_FALSE(record.dataThisMonthRecd());
    (void)record.saveAppData();
    const PlistValue::Dictionary written = storedRecord(platform, file);
    for (const char* key :
         {"lastBillingDate", "nextBillingDate", "billingDaysTotal", "billingDaysElapsed",
          "dataThisMonth", "dataThisMonthSent", "dataThisMonthRecd"}) {
      EXPECT_EQ(written.count(key), 0u) << key;
    }
  }
}

TEST_F(BillingCounterTest, ACycleCodeBelowOneFreezesTheBookkeeping) {
  setCycles(0, 15);
  platform.setNow(2026, 3, 20, 12);
  putRecord(
      platform, AppData::kCellularFileName,
      saved(platform.at(2026, 2, 15), platform.at(2026, 3, 15), platform.at(2026, 3, 14, 23)));
  update(data);
  EXPECT_EQ(data.lastBillingDate(), platform.at(2026, 2, 15));
  EXPECT_EQ(data.nextBillingDate(), platform.at(2026, 3, 15));
  EXPECT_EQ(data.dataThisMonth(), 500.0);
  EXPECT_FALSE(data.monthlyResetOccured());
  EXPECT_TRUE(periods().empty());
}

TEST_F(BillingCounterTest, UsageWithoutPeriodDatesIsClosedFromTheDayOfThePreviousPass) {
  // The cycle was off when the previous pass ran (no dates); it is set again now.
  platform.setNow(2026, 3, 16, 9);
  putRecord(platform, AppData::kCellularFileName,
            saved(std::nullopt, std::nullopt, platform.at(2026, 3, 12, 18)));
  update(data);
  auto closed = periods();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].startDate(), platform.at(2026, 3, 12));
  EXPECT_EQ(closed[0].endDate(), platform.at(2026, 3, 14));
  EXPECT_EQ(closed[0].dataTotal(), 500.0);
  EXPECT_EQ(data.dataThisMonth(), 0.0);
  EXPECT_TRUE(data.monthlyResetOccured());
}

TEST_F(BillingCounterTest, AnEmptyCounterWithoutPeriodDatesMakesNoEntry) {
  platform.setNow(2026, 3, 16, 9);
  PlistValue::Dictionary keys = saved(std::nullopt, std::nullopt, platform.at(2026, 3, 12, 18));
  keys.erase("dataThisMonth");
  keys.erase("dataThisMonthSent");
  keys.erase("dataThisMonthRecd");
  putRecord(platform, AppData::kCellularFileName, keys);
  update(data);
  EXPECT_TRUE(periods().empty());
  EXPECT_EQ(data.dataThisMonth(), 0.0);
  EXPECT_FALSE(data.monthlyResetOccured());
}

// Berlin changes to summer time on 29 March 2026 and back on 25 October 2026.
TEST_F(BillingCounterTest, DaylightSavingChangesKeepMidnightsAndWholeDays) {
  struct Case {
    int code;
    Day now;
    int hour;
    int minute;
    Day last;
    Day next;
    int total;
    int elapsed;
  };
  for (const Case& c : {Case{15, {2026, 4, 1}, 0, 30, {2026, 3, 15}, {2026, 4, 15}, 31, 17},
                        Case{1001, {2026, 3, 29}, 23, 30, {2026, 3, 29}, {2026, 3, 30}, 1, 0},
                        Case{101, {2026, 10, 25}, 12, 0, {2026, 10, 25}, {2026, 11, 1}, 7, 0},
                        Case{20, {2026, 11, 1}, 0, 30, {2026, 10, 20}, {2026, 11, 20}, 31, 12}}) {
    SCOPED_TRACE(c.code);
    setCycles(c.code, c.code);
    platform.setNow(c.now.year, c.now.month, c.now.day, c.hour, c.minute);
    AppData record(platform);
    record.getAppData("cellular");
    record.udpateBillingCounter(false);
    ASSERT_TRUE(record.lastBillingDate());
    const DateComponents last = platform.calendar().components(*record.lastBillingDate());
    const DateComponents next = platform.calendar().components(*record.nextBillingDate());
    EXPECT_EQ((std::array{last.year, last.month, last.day, last.hour, last.minute}),
              (std::array{c.last.year, c.last.month, c.last.day, 0, 0}));
    EXPECT_EQ((std::array{next.year, next.month, next.day, next.hour, next.minute}),
              (std::array{c.next.year, c.next.month, c.next.day, 0, 0}));
    EXPECT_EQ(record.billingDaysTotal(), c.total);
    EXPECT_EQ(record.billingDaysElapsed(), c.elapsed);
  }
}

// The user travels: the record saved in one zone is updated in another. The new period is
// reckoned in the new zone, the ended one closes once and ends on the cycle day's eve.
TEST_F(BillingCounterTest, AChangeOfTimeZoneBetweenPassesClosesThePeriodOnce) {
  for (const char* zone : {"America/New_York", "Asia/Shanghai"}) {
    SCOPED_TRACE(zone);
    FakePlatform home;  // Berlin
    home.userDefaults().setBool(AppSettings::kLegacySettingsConverted, true);
    home.userDefaults().setInteger(AppSettings::kFirstDayOfCycle, 15);
    home.userDefaults().setInteger(AppSettings::kFirstDayOfCycleWifi, 15);
    AppData before(home);
    home.setCounters("wwan0", 1000, 0, InterfaceKind::Cellular);
    home.setNow(2026, 3, 14, 21);
    (void)before.performBackgroundUpdateForType("cellular", "", false);
    home.setCounters("wwan0", 1300, 0);
    home.setNow(2026, 3, 14, 22);
    (void)before.performBackgroundUpdateForType("cellular", "", false);
    const Date endedStart = *before.lastBillingDate();

    FakePlatform away(zone);
    for (const auto& [path, content] : home.fakeFiles().contents()) {
      away.fakeFiles().put(path, content);
    }
    away.setCounters("wwan0", 1400, 0, InterfaceKind::Cellular);
    away.setNow(2026, 3, 15, 8);
    AppData after(away);
    (void)after.performBackgroundUpdateForType("cellular", "", false);
    away.advance(3600);
    away.setCounters("wwan0", 1500, 0);
    (void)after.performBackgroundUpdateForType("cellular", "", false);

    std::vector<History> closed = History::getAllBillingCycleLogs(away);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].startDate(), endedStart);
    EXPECT_EQ(closed[0].endDate(), away.at(2026, 3, 14));
    EXPECT_EQ(closed[0].dataTotal(), 300.0);
    EXPECT_EQ(after.lastBillingDate(), away.at(2026, 3, 15));
    EXPECT_EQ(after.nextBillingDate(), away.at(2026, 4, 15));
    EXPECT_EQ(after.dataThisMonth(), 100.0);
  }
}

TEST_F(BillingCounterTest, PassesAcrossTheCycleDayEndThePeriodAndStartAfresh) {
  platform.setNow(2026, 3, 14, 10);
  pass(1000, 0);  // first pass: no file yet, nothing counted
  EXPECT_EQ(data.dataThisMonth(), 0.0);
  EXPECT_EQ(data.lastBillingDate(), platform.at(2026, 2, 15));

  platform.setNow(2026, 3, 14, 20);
  pass(1300, 200);
  EXPECT_EQ(data.dataThisMonth(), 500.0);

  platform.setNow(2026, 3, 15, 9);
  pass(1500, 300);
  EXPECT_TRUE(data.monthlyResetOccured());
  const PlistValue::Dictionary written = storedRecord(platform, AppData::kCellularFileName);
  EXPECT_EQ(AppData::getNumberForKey("dataThisMonth", written), 0.0);
  EXPECT_EQ(written.at("lastBillingDate"), PlistValue(platform.at(2026, 3, 15)));
  auto closed = periods();
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].startDate(), platform.at(2026, 2, 15));
  EXPECT_EQ(closed[0].endDate(), platform.at(2026, 3, 14));
  EXPECT_EQ(closed[0].dataTotal(), 500.0);
  EXPECT_EQ(closed[0].dataSent(), 200.0);
  EXPECT_EQ(closed[0].dataReceived(), 300.0);

  platform.setNow(2026, 3, 15, 10);
  pass(1700, 300);
  EXPECT_FALSE(data.monthlyResetOccured());
  EXPECT_EQ(data.dataThisMonth(), 200.0);
  EXPECT_EQ(periods().size(), 1u);
}

}  // namespace
}  // namespace kestrio

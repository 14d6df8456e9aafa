#include <gtest/gtest.h>

#include <string>

#include "app/MainViewController.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/ApplicationHistory.h"
#include "engine/ApplicationUsage.h"
#include "engine/History.h"
#include "platform/DecimalFormat.h"
#include "services/NotificationCenter.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::putRecord;
using testing::RecordingUi;
using testing::storedRecord;

constexpr double kMB = 1024.0 * 1024.0;
constexpr double kGB = 1024.0 * kMB;

double storedNumber(FakePlatform& platform, const char* file, const char* key) {
  const auto record = storedRecord(platform, file);
  const auto found = record.find(key);
  if (found == record.end()) return -1;
  return AppData::getNumberForKey(key, record);
}

// A usage screen on a fake platform of the given zone and locale, with the default settings in
// the store.
class AdjustTest : public ::testing::Test {
 protected:
  explicit AdjustTest(const std::string& localeId = "en_US")
      : platform("Europe/Berlin", localeId), controller(platform, ui, center) {
    AppSettings(platform).getSettings();
  }

  void setDisplayUnit(const std::string& unit) {
    platform.userDefaults().setString(AppSettings::kDisplayUnit, unit);
    platform.userDefaults().synchronize();
  }

  void putPeriod(const char* file, double total, double sent, double received) {
    putRecord(platform, file,
              {{"dataThisMonth", PlistValue(total)},
               {"dataThisMonthSent", PlistValue(sent)},
               {"dataThisMonthRecd", PlistValue(received)},
               {"dataAllTime", PlistValue(5000 * kMB)},
               {"dataToday", PlistValue(7 * kMB)},
               {"lastBillingDate", PlistValue(platform.at(2026, 1, 1))},
               {"lastUpdate", PlistValue(platform.at(2026, 1, 15, 11))}});
  }

  double cellular(const char* key) {
    return storedNumber(platform, AppData::kCellularFileName, key);
  }
  double wifi(const char* key) { return storedNumber(platform, AppData::kWifiFileName, key); }

  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  MainViewController controller;
};

class GermanAdjustTest : public AdjustTest {
 protected:
  GermanAdjustTest() : AdjustTest("de_DE") {}
};

TEST_F(AdjustTest, ATypedTotalKeepsTheDirectionSplitAndLeavesOtherCountersAlone) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  EXPECT_TRUE(controller.applyAdjustedUsage(true, "600"));
  EXPECT_EQ(cellular("dataThisMonth"), 629145600.0);
  EXPECT_EQ(cellular("dataThisMonthRecd"), 400 * kMB);
  EXPECT_EQ(cellular("dataThisMonthSent"), 200 * kMB);
  EXPECT_EQ(cellular("dataToday"), 7 * kMB);
  EXPECT_EQ(cellular("dataAllTime"), 5000 * kMB);
  // Another process's pass cannot slip in between the reload and the save.
  EXPECT_EQ(platform.fakeFiles().writesOutsideLock(), 0);
}

TEST_F(AdjustTest, AFreshPeriodTakesTheWholeAmountAsReceivedInTheDisplayUnit) {
  setDisplayUnit("GB");
  putPeriod(AppData::kWifiFileName, 0, 0, 0);
  EXPECT_TRUE(controller.applyAdjustedUsage(false, "1.5"));
  EXPECT_EQ(wifi("dataThisMonth"), 1.5 * kGB);
  EXPECT_EQ(wifi("dataThisMonthRecd"), 1.5 * kGB);
  EXPECT_EQ(wifi("dataThisMonthSent"), 0.0);
}

TEST_F(AdjustTest, PartsWithoutATotalGiveNoSplit) {
  putPeriod(AppData::kCellularFileName, 0, 10 * kMB, 0);
  EXPECT_TRUE(controller.applyAdjustedUsage(true, "50"));
  EXPECT_EQ(cellular("dataThisMonth"), 50 * kMB);
  EXPECT_EQ(cellular("dataThisMonthRecd"), 0.0);
  EXPECT_EQ(cellular("dataThisMonthSent"), 0.0);
}

TEST_F(AdjustTest, ThePromptIsFilledFromTheStoreAndTheAnswerSplitsWhatTheStoreHoldsThen) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  controller.adjustCellularUsage();
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "enter adjusted cellular usage");
  EXPECT_EQ(ui.latest().message, "\n");
  EXPECT_EQ(ui.latest().cancelButton, "Cancel");
  EXPECT_EQ(ui.latest().otherButtons, std::vector<std::string>{"OK"});
  ASSERT_TRUE(ui.latest().textField.has_value());
  EXPECT_EQ(ui.latest().textField->text, "300");
  EXPECT_FALSE(controller.isLSViewUpdated);

  // A pass of another process while the prompt is open: now all sent.
  putPeriod(AppData::kCellularFileName, 300 * kMB, 300 * kMB, 0);
  ui.tap(1, "1,000");
  EXPECT_EQ(cellular("dataThisMonth"), 1000 * kMB);
  EXPECT_EQ(cellular("dataThisMonthSent"), 1000 * kMB);
  EXPECT_EQ(cellular("dataThisMonthRecd"), 0.0);
}

TEST_F(AdjustTest, TheWifiPromptDiffersInTitleMessageAndLog) {
  putPeriod(AppData::kWifiFileName, 2.5 * kMB, 0, 2.5 * kMB);
  controller.isLSViewUpdated = true;
  controller.adjustWifiUsage();
  EXPECT_EQ(ui.latest().title, "enter adjusted WiFi usage");
  EXPECT_EQ(ui.latest().message, "\n\n");
  EXPECT_EQ(ui.latest().textField->text, "2.5");
  EXPECT_TRUE(controller.isLSViewUpdated);
  EXPECT_EQ(platform.logLines.front(), "Called adjust wifi usage ..");
}

TEST_F(AdjustTest, TextThatIsNotANonNegativeNumberChangesNothing) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  const auto before = storedRecord(platform, AppData::kCellularFileName);
  for (const char* typed : {"abc", "", "   ", "-3", "12abc", "1.2.3", "1e40"}) {
    EXPECT_FALSE(controller.applyAdjustedUsage(true, typed)) << typed;
  }
  EXPECT_EQ(storedRecord(platform, AppData::kCellularFileName), before);
}

TEST_F(AdjustTest, ARefusedAnswerTellsTheUser) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  controller.adjustCellularUsage();
  ui.tap(1, "abc");
  ASSERT_EQ(ui.shown.size(), 2u);
  EXPECT_EQ(ui.latest().title, "Not a number");
  EXPECT_EQ(ui.latest().message, "Not a number: abc");
  EXPECT_EQ(ui.latest().cancelButton, "OK");
  EXPECT_EQ(cellular("dataThisMonth"), 300 * kMB);

  ui.tap(0);  // dismissing the notice does nothing more
  EXPECT_EQ(ui.shown.size(), 2u);
}

TEST_F(AdjustTest, CancellingThePromptKeepsTheUsage) {
  putPeriod(AppData::kWifiFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  controller.adjustWifiUsage();
  ui.tap(0, "5");
  EXPECT_EQ(wifi("dataThisMonth"), 300 * kMB);
  EXPECT_EQ(ui.shown.size(), 1u);
}

TEST_F(AdjustTest, OnlyTheAdjustedNetworksMarkersAreCleared) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  UserDefaults& defaults = platform.userDefaults();
  defaults.setBool("Cellularfirst_notification", true);
  defaults.setBool("Cellularover_notification", true);
  defaults.setBool("WiFifirst_notification", true);
  EXPECT_TRUE(controller.applyAdjustedUsage(true, "10"));
  EXPECT_FALSE(defaults.boolForKey("Cellularfirst_notification"));
  EXPECT_FALSE(defaults.boolForKey("Cellularover_notification"));
  EXPECT_TRUE(defaults.boolForKey("WiFifirst_notification"));
}

// A period with a 1,000 MB quota, the alerts of every level up to `sentUpTo` given; the user
// answers the adjustment prompt with `answer` (button 0 cancels). Only the levels the stored
// usage no longer reaches are given again; "-" is a marker that stays absent.
struct MarkerCase {
  const char* name;
  double usedMB;
  const char* sentUpTo;  // the most severe level given so far
  int button;
  const char* answer;
  const char* markersAfter;  // over, fifth, fourth, third, second, first: 1 sent, 0 not, - none
};

class AdjustMarkerTest : public AdjustTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(AdjustMarkerTest, OnlyLevelsAboveTheStoredUsageAreGivenAgain) {
  const MarkerCase& c = GetParam();
  platform.userDefaults().setInteger(AppSettings::kCellularDataLimit, 1000);
  platform.userDefaults().setString(AppSettings::kCellularDataLimitUnit, "MB");
  setDisplayUnit("MB");
  putPeriod(AppData::kCellularFileName, c.usedMB * kMB, 0, c.usedMB * kMB);
  const char* keys[] = {"over", "fifth", "fourth", "third", "second", "first"};
  bool given = false;
  for (const char* key : keys) {
    given = given || std::string(key) == c.sentUpTo;
    if (given)
      platform.userDefaults().setBool(std::string("Cellular") + key + "_notification", true);
  }
  platform.userDefaults().synchronize();

  controller.adjustCellularUsage();
  ui.tap(c.button, c.answer);

  std::string markers;
  for (const char* key : keys) {
    const std::string marker = std::string("Cellular") + key + "_notification";
    markers += !platform.userDefaults().objectForKey(marker) ? '-'
               : platform.userDefaults().boolForKey(marker)  ? '1'
                                                             : '0';
  }
  EXPECT_EQ(markers, c.markersAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AdjustMarkerTest,
    ::testing::Values(
        MarkerCase{"cancelled at 60.7 percent", 607, "first", 0, "", "-----1"},
        MarkerCase{"cancelled over the quota", 1031, "over", 0, "", "111111"},
        MarkerCase{"lowered from 103 to 41 percent", 1031, "over", 1, "410", "000000"},
        MarkerCase{"lowered from 103 to 60 percent", 1031, "over", 1, "600", "000001"},
        MarkerCase{"lowered to exactly half", 1031, "over", 1, "500", "000001"},
        MarkerCase{"raised keeps what was given", 607, "first", 1, "950", "-----1"},
        MarkerCase{"not a number changes nothing", 950, "fifth", 1, "abc", "-11111"}),
    testing::NameField());

TEST_F(AdjustTest, AResetClosesThePeriodIntoTheHistoryAndZeroesIt) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  controller.isLSViewUpdated = true;
  controller.askResetCellularUsage();
  EXPECT_EQ(ui.latest().title, "Reset Cellular Usage");
  EXPECT_EQ(ui.latest().message, "Are you sure you would like to reset Cellular Usage to Zero?");
  EXPECT_EQ(ui.latest().otherButtons, std::vector<std::string>{"Reset"});
  ui.tap(1);

  const auto logs = History::getAllHistoryLogs(platform);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].dataType(), 1);
  EXPECT_EQ(logs[0].historyType(), 1);
  EXPECT_EQ(logs[0].startDate(), platform.at(2026, 1, 1));
  EXPECT_EQ(logs[0].endDate(), platform.now());
  EXPECT_EQ(logs[0].dataSent(), 100 * kMB);
  EXPECT_EQ(logs[0].dataReceived(), 200 * kMB);
  EXPECT_EQ(logs[0].dataTotal(), 300 * kMB);
  EXPECT_EQ(cellular("dataThisMonth"), 0.0);
  EXPECT_EQ(cellular("dataThisMonthSent"), 0.0);
  EXPECT_EQ(cellular("dataThisMonthRecd"), 0.0);
  EXPECT_EQ(cellular("dataAllTime"), 5000 * kMB);
  EXPECT_FALSE(controller.isLSViewUpdated);
  EXPECT_EQ(platform.fakeFiles().writesOutsideLock(), 0);
}

// A second reset in the same period closes only what came after the first: the two entries
// follow each other instead of both starting with the period.
TEST_F(AdjustTest, ASecondResetInThePeriodBeginsWhereTheFirstEnded) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  controller.askResetCellularUsage();
  ui.tap(1);
  const Date firstReset = platform.now();
  platform.setNow(firstReset.addingSeconds(3 * 3600));
  controller.askResetCellularUsage();
  ui.tap(1);
  const auto logs = History::getAllHistoryLogs(platform);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].startDate(), platform.at(2026, 1, 1));
  EXPECT_EQ(logs[1].startDate(), firstReset);
  EXPECT_EQ(logs[1].endDate(), platform.now());
}

// The reset's entry keeps each connection's share, and the connections start again with it.
TEST_F(AdjustTest, AWifiResetIsRecordedAsWifiWithItsConnections) {
  putPeriod(AppData::kWifiFileName, 30 * kMB, 10 * kMB, 20 * kMB);
  {
    AppData record(platform);
    record.getAppData("wifi");
    record.setConnectionUsage({{"u-1", {"Home", false, 30 * kMB, 10 * kMB, 20 * kMB, kGB, 0, kGB}},
                               {"u-2", {"Cafe", false, 0, 0, 0, kMB, 0, kMB}}});
    ASSERT_TRUE(record.saveAppData().ok());
  }
  controller.askResetWifiUsage();
  EXPECT_EQ(ui.latest().message, "Are you sure you would like to reset WiFi Usage to Zero?");
  ui.tap(1);
  const auto logs = History::getAllHistoryLogs(platform);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].dataType(), 2);
  EXPECT_EQ(logs[0].dataTotal(), 30 * kMB);
  EXPECT_EQ(logs[0].connections(),
            (std::vector<ClosedConnection>{{"u-1", "Home", false, 10 * kMB, 20 * kMB, 30 * kMB}}));
  EXPECT_EQ(wifi("dataThisMonth"), 0.0);
  AppData after(platform);
  after.getAppData("wifi");
  EXPECT_EQ(after.connectionUsage().at("u-1").dataThisMonth, 0.0);
  EXPECT_EQ(after.connectionUsage().at("u-1").dataAllTime, kGB);
}

TEST_F(AdjustTest, CancellingAResetChangesNothing) {
  putPeriod(AppData::kWifiFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  const auto before = storedRecord(platform, AppData::kWifiFileName);
  controller.askResetWifiUsage();
  ui.tap(0);
  EXPECT_EQ(storedRecord(platform, AppData::kWifiFileName), before);
  EXPECT_TRUE(History::getAllHistoryLogs(platform).empty());
}

TEST_F(AdjustTest, AResetOfARecordWithoutAPeriodStartNeverStartsAfterItEnds) {
  putRecord(platform, AppData::kCellularFileName,
            {{"dataThisMonth", PlistValue(3 * kMB)},
             {"lastUpdate", PlistValue(platform.at(2026, 1, 15, 9))}});
  (void)controller.resetCellularUsage();
  putRecord(platform, AppData::kWifiFileName, {{"dataThisMonth", PlistValue(4 * kMB)}});
  (void)controller.resetWifiUsage();

  const auto logs = History::getAllHistoryLogs(platform);
  ASSERT_EQ(logs.size(), 2u);
  EXPECT_EQ(logs[0].startDate(), platform.at(2026, 1, 15, 9));
  EXPECT_EQ(logs[1].startDate(), platform.now());
  EXPECT_EQ(logs[1].endDate(), platform.now());
  EXPECT_EQ(logs[1].dataTotal(), 4 * kMB);
}

// A reset closes the applications' period with the network's: their figures go beside its
// history entry, the other network's stay.
TEST_F(AdjustTest, AResetClosesTheApplicationsPeriodIntoItsEntry) {
  putPeriod(AppData::kWifiFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  ApplicationUsageStore store(platform);
  store.setApplications(
      2,
      {{"firefox",
        {"Firefox", "firefox", 300 * kMB, 100 * kMB, 200 * kMB, 900 * kMB, 300 * kMB, 600 * kMB}}});
  store.setApplications(1, {{"maps", {"Maps", "", 5 * kMB, 0, 5 * kMB, 5 * kMB, 0, 5 * kMB}}});
  ASSERT_TRUE(store.save().ok());

  ASSERT_TRUE(controller.resetWifiUsage().ok());
  store.load();
  EXPECT_EQ(store.applications(2).at("firefox").dataThisMonth, 0);
  EXPECT_EQ(store.applications(2).at("firefox").dataAllTime, 900 * kMB);
  EXPECT_EQ(store.applications(1).at("maps").dataThisMonth, 5 * kMB);
  const auto logs = History::getAllHistoryLogs(platform);
  ASSERT_EQ(logs.size(), 1u);
  const auto closed = ApplicationHistory::forHistory(platform, logs[0].uniqueId().value_or(""));
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(closed->applications,
            (std::vector<ClosedApplication>{
                {"firefox", "Firefox", "firefox", 100 * kMB, 200 * kMB, 300 * kMB}}));
}

TEST_F(AdjustTest, OtherAlertsAreDispatchedByTitle) {
  controller.clickedButtonAtIndex(Alert{"Rate Kestrio", "", "No Thanks", {"Rate It!"}, {}}, 0);
  EXPECT_TRUE(ui.openedUrls.empty());
  controller.clickedButtonAtIndex(Alert{"Rate Kestrio", "", "No Thanks", {"Rate It!"}, {}}, 1);
  EXPECT_EQ(ui.openedUrls, std::vector<std::string>{MainViewController::kProductPageUrl});

  controller.clickedButtonAtIndex(Alert{"Last Place Data Used", "", "OK", {}, {}}, 0);
  controller.clickedButtonAtIndex(Alert{"Something else", "", "OK", {"Go"}, {}}, 1);
  EXPECT_TRUE(ui.shown.empty());

  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  controller.clickedButtonAtIndex(Alert{"Run Before Reboot", "", "OK", {"Adjust Usage"}, {}}, 1);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "enter adjusted cellular usage");
}

TEST_F(GermanAdjustTest, TheUsersLocaleReadsAndWritesTheAmount) {
  putPeriod(AppData::kCellularFileName, 1.5 * kMB, 0, 1.5 * kMB);
  controller.adjustCellularUsage();
  EXPECT_EQ(ui.latest().textField->text, "1,5");

  ui.tap(1, " 2,5 ");
  EXPECT_EQ(cellular("dataThisMonth"), 2.5 * kMB);
  // A point groups thousands here; "2.5" is not a German number.
  EXPECT_FALSE(controller.applyAdjustedUsage(true, "2.5"));
  EXPECT_EQ(cellular("dataThisMonth"), 2.5 * kMB);
}

TEST(DecimalFormatTest, FormatsAndReadsEachLocalesSeparators) {
  const DecimalFormat english("en_US");
  EXPECT_EQ(english.format(1234.5), "1,234.5");
  EXPECT_EQ(english.format(0.1234), "0.123");
  EXPECT_EQ(english.parse("1,234.5"), 1234.5);
  EXPECT_EQ(english.parse("1,5"), std::nullopt);

  const DecimalFormat german("de_DE");
  EXPECT_EQ(german.format(1234.5), "1.234,5");
  EXPECT_EQ(german.parse("1.234,5"), 1234.5);
  EXPECT_EQ(german.parse("1,5"), 1.5);
  EXPECT_EQ(german.parse("-3"), -3.0);
  EXPECT_EQ(german.parse("1,5 kg"), std::nullopt);
  EXPECT_EQ(german.parse("NaN"), std::nullopt);
}

}  // namespace
}  // namespace kestrio

namespace kestrio {
namespace {

// The window tells the user when an adjustment or a reset could not be stored, and the stored
// period stays as it was.
TEST_F(AdjustTest, AChangeThatCannotBeStoredIsToldAndLeavesThePeriod) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  const auto before = platform.fakeFiles().contents();
  for (const bool reset : {false, true}) {
    platform.fakeFiles().failWrites(testing::FakeFileSystem::Failure::DiskFull, 1000);
    Stored stored;
    if (reset) {
      stored = controller.resetCellularUsage();
    } else {
      const std::optional<Stored> adjusted = controller.applyAdjustedUsage(true, "600");
      EXPECT_TRUE(adjusted);
      if (adjusted) stored = *adjusted;
    }
    EXPECT_EQ(ui.latest().title, "Usage Not Changed");
    EXPECT_FALSE(stored.ok());
    EXPECT_FALSE(stored.reason().empty());
    EXPECT_EQ(platform.fakeFiles().contents(), before);
  }
  platform.fakeFiles().failWrites(testing::FakeFileSystem::Failure::None, 0);
  EXPECT_TRUE(controller.resetCellularUsage().ok());
  EXPECT_EQ(cellular("dataThisMonth"), 0);
}

// A reset kept whole but not yet put in place (the record cannot be replaced for now) does not
// tell the user that the usage is as it was: it is completed before anything else is stored.
TEST_F(AdjustTest, AResetKeptButNotInPlaceSaysItIsCompletedLater) {
  putPeriod(AppData::kCellularFileName, 300 * kMB, 100 * kMB, 200 * kMB);
  platform.fakeFiles().immutable.insert(platform.documentPath(AppData::kCellularFileName));
  const Stored stored = controller.resetCellularUsage();
  EXPECT_TRUE(stored.isPending()) << stored.reason();
  EXPECT_NE(ui.latest().message.find("completed before anything else is stored"), std::string::npos)
      << ui.latest().message;
  EXPECT_EQ(ui.latest().message.find("as it was"), std::string::npos);
  platform.fakeFiles().immutable.clear();
  EXPECT_TRUE(controller.resetCellularUsage().ok());
  EXPECT_EQ(History::getAllHistoryLogs(platform).size(), 2u);
}

}  // namespace
}  // namespace kestrio

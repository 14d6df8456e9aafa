#include <gtest/gtest.h>

#include <algorithm>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/ApplicationHistory.h"
#include "history/HistoryChartViewController.h"
#include "history/HistoryDetailViewController.h"
#include "history/HistoryViewController.h"
#include "services/StringFormatter.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakeFileSystem;
using testing::FakePlatform;
using testing::RecordingUi;

constexpr double kMB = 1048576;
constexpr int kCellular = 1;
constexpr int kWifi = 2;
constexpr int kPeriod = 1;
constexpr int kDay = 2;

// The clock stands at March 10, 2026, 12:00 in Berlin.
class HistoryScreens : public ::testing::Test {
 protected:
  HistoryScreens() { platform.setNow(2026, 3, 10, 12); }

  History add(Date start, Date end, int dataType, int historyType, double totalMB) {
    History record(platform, start, end, totalMB * kMB / 4, totalMB * kMB * 3 / 4, totalMB * kMB,
                   dataType, historyType);
    EXPECT_TRUE(History::addNewHistoryItemLog(platform, record).ok());
    return record;
  }
  History period(int month, int dataType, double totalMB) {
    return add(platform.at(2026, month, 1), platform.at(2026, month + 1, 0), dataType, kPeriod,
               totalMB);
  }
  History day(int month, int dayOfMonth, int dataType, double totalMB) {
    return add(platform.at(2026, month, dayOfMonth, 0, 5), platform.at(2026, month, dayOfMonth + 1),
               dataType, kDay, totalMB);
  }
  std::string fullDate(Date date) {
    return StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, date);
  }
  std::string dayMonth(Date date) {
    return StringFormatter::getLocalizedShortDateMonthFromDate(platform, date);
  }
  std::vector<std::string> storedIds() {
    std::vector<std::string> ids;
    for (const auto& r : History::getAllHistoryLogs(platform)) ids.push_back(*r.uniqueId());
    return ids;
  }
  HistoryViewController& shownList() {
    list.viewWillAppear();
    return list;
  }
  std::shared_ptr<HistoryDetailViewController> pushedDetail(int row) {
    shownList().didSelectRow(row);
    return std::dynamic_pointer_cast<HistoryDetailViewController>(ui.pushed.back().screen);
  }

  FakePlatform platform;
  RecordingUi ui;
  HistoryViewController list{platform, ui};
};

TEST_F(HistoryScreens, AnEmptyHistoryShowsTheTwoRunningPeriodsAndNoActions) {
  day(3, 2, kCellular, 5);  // days are not periods
  HistoryViewController& screen = shownList();
  ASSERT_EQ(screen.numberOfRows(), 2);
  EXPECT_EQ(screen.rowAt(0), (HistoryRow{"Current Billing Period", "", kCellular}));
  EXPECT_EQ(screen.rowAt(1), (HistoryRow{"Current Billing Period", "", kWifi}));
  EXPECT_FALSE(screen.actionButtonEnabled());
  screen.actionButtonTapped();
  EXPECT_TRUE(ui.sheets.empty());
}

TEST_F(HistoryScreens, ClosedPeriodsFollowInTheOrderTheyClosedInTheDisplayUnit) {
  AppSettings(platform).getSettings();  // the first reading stores the defaults
  platform.userDefaults().setString(AppSettings::kDisplayUnit, "GB");
  platform.userDefaults().synchronize();
  History wifi = period(1, kWifi, 1536);
  History cell = period(1, kCellular, 512);
  History odd = period(2, 3, 0);
  HistoryViewController& screen = shownList();
  ASSERT_EQ(screen.numberOfRows(), 5);
  EXPECT_EQ(screen.rowAt(2),
            (HistoryRow{fullDate(*wifi.startDate()) + " to " + fullDate(*wifi.endDate()), "1.50 GB",
                        kWifi}));
  EXPECT_EQ(screen.rowAt(3).detail, "0.50 GB");
  EXPECT_EQ(screen.rowAt(3).icon, kCellular);
  EXPECT_EQ(screen.rowAt(4).icon, kCellular);  // neither network: the cellular icon
  EXPECT_TRUE(screen.actionButtonEnabled());
  EXPECT_EQ(odd.dataType(), 3);
  EXPECT_EQ(cell.dataType(), kCellular);
}

TEST_F(HistoryScreens, DeletingAPeriodRemovesExactlyThatRecord) {
  History cellJan = period(1, kCellular, 1);
  History wifiJan = period(1, kWifi, 2);
  History cellFeb = period(2, kCellular, 3);
  History aDay = day(1, 10, kCellular, 1);
  HistoryViewController& screen = shownList();
  EXPECT_FALSE(screen.canEditRow(0));
  EXPECT_FALSE(screen.canEditRow(1));
  EXPECT_FALSE(screen.commitDeleteRow(1));
  ASSERT_TRUE(screen.commitDeleteRow(2));
  EXPECT_EQ(storedIds(), (std::vector{*wifiJan.uniqueId(), *cellFeb.uniqueId(), *aDay.uniqueId()}));
  ASSERT_EQ(screen.numberOfRows(), 4);
  EXPECT_EQ(screen.historyData()[0].uniqueId(), wifiJan.uniqueId());
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(cellJan.dataType(), kCellular);
}

TEST_F(HistoryScreens, ADeletionThatCannotBeStoredChangesNothingAndSaysSo) {
  period(1, kCellular, 1);
  period(2, kCellular, 2);
  HistoryViewController& screen = shownList();
  const auto before = History::getAllHistoryLogs(platform);
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::DiskFull);
  EXPECT_FALSE(screen.commitDeleteRow(3));
  EXPECT_EQ(screen.numberOfRows(), 4);
  EXPECT_EQ(History::getAllHistoryLogs(platform), before);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "Not Deleted");
}

TEST_F(HistoryScreens, ClearingThroughBothSheetsRemovesTheDaysToo) {
  period(1, kWifi, 1);
  day(3, 2, kWifi, 1);
  ASSERT_TRUE(
      ApplicationHistory::add(platform, {"p1", kWifi, {}, {}, {{"a", "A", "", 1, 2, 3}}}).ok());
  HistoryViewController& screen = shownList();
  screen.actionButtonTapped();
  ASSERT_EQ(ui.sheets.size(), 1u);
  const ActionSheet& actions = ui.sheets[0].sheet;
  EXPECT_EQ(actions.tag, 8787);
  EXPECT_EQ(actions.buttons, (std::vector<std::string>{"Clear History", "Email History",
                                                       "Export to CSV", "View Chart", "Cancel"}));
  EXPECT_EQ(actions.destructiveButtonIndex, 0);
  ui.tapSheet(0);
  ASSERT_EQ(ui.sheets.size(), 2u);
  EXPECT_EQ(ui.sheets[1].sheet.tag, 8788);
  EXPECT_EQ(ui.sheets[1].sheet.buttons, (std::vector<std::string>{"Clear All Records", "Cancel"}));
  ui.tapSheet(1);  // Cancel keeps everything
  EXPECT_EQ(History::getAllHistoryLogs(platform).size(), 2u);
  EXPECT_EQ(ApplicationHistory::all(platform).size(), 1u);
  screen.actionButtonTapped();
  ui.tapSheet(0);
  ui.tapSheet(0);
  EXPECT_TRUE(History::getAllHistoryLogs(platform).empty());
  EXPECT_TRUE(ApplicationHistory::all(platform).empty());
  EXPECT_EQ(screen.numberOfRows(), 2);
  auto running = pushedDetail(1);
  ASSERT_TRUE(running);
  EXPECT_TRUE(running->dailyLogs().empty());
}

TEST_F(HistoryScreens, TheSheetsMailAndChartTheClosedPeriods) {
  period(1, kCellular, 1);
  period(1, kWifi, 2);
  HistoryViewController& screen = shownList();
  screen.actionButtonTapped();
  ui.tapSheet(1);
  ASSERT_EQ(platform.sentMail.size(), 1u);
  EXPECT_EQ(platform.sentMail[0].subject, "Kestrio History");
  screen.actionButtonTapped();
  ui.tapSheet(2);
  ASSERT_EQ(platform.sentMail.size(), 2u);
  EXPECT_EQ(platform.sentMail[1].attachments.size(), 1u);
  screen.actionButtonTapped();
  ui.tapSheet(3);
  ASSERT_EQ(ui.presented.size(), 1u);
  auto chart = std::dynamic_pointer_cast<HistoryChartViewController>(ui.presented[0].screen);
  ASSERT_TRUE(chart);
  EXPECT_FALSE(chart->isDailyChart());
  EXPECT_EQ(chart->chartTitle(), "");
  EXPECT_EQ(chart->numberOfRecordsForPlot(), 2);

  // A mail client that refuses the message is reported.
  platform.mailSucceeds = false;
  screen.emailHistory();
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "Mail Not Sent");
}

TEST_F(HistoryScreens, RowsPushTheRunningPeriodsOrTheChosenRecord) {
  History feb = period(2, kWifi, 1);
  auto cellular = pushedDetail(0);
  EXPECT_TRUE(cellular->showCurrentCellCycle());
  EXPECT_FALSE(cellular->showCurrentWiFiCycle());
  auto wifi = pushedDetail(1);
  EXPECT_TRUE(wifi->showCurrentWiFiCycle());
  EXPECT_FALSE(wifi->showCurrentCellCycle());
  auto past = pushedDetail(2);
  EXPECT_EQ(past->historyItem().uniqueId(), feb.uniqueId());
  EXPECT_EQ(past->sections()[0].header, "Past Wi-Fi Billing Cycle");
  EXPECT_EQ(ui.pushed.back().from, &list);
}

// The running period comes from the usage record and is never stored.
TEST_F(HistoryScreens, TheRunningPeriodIsBuiltFromTheUsageRecord) {
  testing::putRecord(platform, AppData::kWifiFileName,
                     {{"dataThisMonth", PlistValue(40 * kMB)},
                      {"dataThisMonthSent", PlistValue(10 * kMB)},
                      {"dataThisMonthRecd", PlistValue(30 * kMB)},
                      {"lastBillingDate", PlistValue(platform.at(2026, 3, 1))},
                      {"nextBillingDate", PlistValue(platform.at(2026, 4, 1, 0, 0, 0))}});
  day(3, 8, kWifi, 1);
  day(3, 9, kWifi, 2);
  day(3, 9, kCellular, 9);
  day(2, 20, kWifi, 9);  // before the period
  const auto storedBefore = History::getAllHistoryLogs(platform);
  const auto recordBefore = testing::storedRecord(platform, AppData::kWifiFileName);

  HistoryDetailViewController detail(platform, ui, "MB");
  detail.setShowCurrentCellCycle(true);
  detail.setShowCurrentWiFiCycle(true);  // Wi-Fi wins
  detail.viewDidLoad();
  const auto& sections = detail.sections();
  ASSERT_EQ(sections.size(), 3u);
  EXPECT_EQ(sections[0].header, "Current Wi-Fi Billing Cycle");
  EXPECT_EQ(sections[0].rows,
            (std::vector<DetailRow>{{"Start Date", fullDate(platform.at(2026, 3, 1))},
                                    {"End Date", fullDate(platform.at(2026, 3, 31))}}));
  EXPECT_EQ(*detail.historyItem().endDate(), platform.at(2026, 3, 31));
  EXPECT_EQ(sections[1].header, "Wi-Fi Kestrio");
  EXPECT_EQ(sections[1].rows,
            (std::vector<DetailRow>{
                {"Total Data", "40.00 MB"}, {"Received", "30.00 MB"}, {"Sent", "10.00 MB"}}));
  EXPECT_EQ(sections[2].header, "Usage Breakup");
  ASSERT_EQ(sections[2].rows.size(), 2u);
  EXPECT_EQ(sections[2].rows[0].detail, "2.00 MB");  // newest first
  EXPECT_EQ(sections[2].rows[1].detail, "1.00 MB");
  EXPECT_EQ(History::getAllHistoryLogs(platform), storedBefore);
  EXPECT_EQ(testing::storedRecord(platform, AppData::kWifiFileName), recordBefore);
  EXPECT_EQ(detail.chartTitle(), "WiFi Usage (" + dayMonth(platform.at(2026, 3, 1)) + " - " +
                                     dayMonth(platform.at(2026, 3, 31)) + ")");
}

// A period counted on NetworkManager's connections lists them between its amounts and its days,
// most used first; the running period's come from the record, which stays as it was.
TEST_F(HistoryScreens, APeriodListsTheConnectionsItWasCountedOn) {
  ConnectionUsageMap connections;
  connections["u-1"] = {"Home", false, 3 * kMB, 1 * kMB, 2 * kMB, 30 * kMB, 10 * kMB, 20 * kMB};
  connections["u-2"] = {"Pixel hotspot", true,    7 * kMB, 2 * kMB,
                        5 * kMB,         7 * kMB, 2 * kMB, 5 * kMB};
  testing::putRecord(platform, AppData::kCellularFileName,
                     {{"dataThisMonth", PlistValue(10 * kMB)},
                      {"lastBillingDate", PlistValue(platform.at(2026, 3, 1))},
                      {"nextBillingDate", PlistValue(platform.at(2026, 4, 1))},
                      {connection_usage::kRecordKey, connection_usage::toPlist(connections)}});
  const auto recordBefore = testing::storedRecord(platform, AppData::kCellularFileName);
  HistoryDetailViewController running(platform, ui, "MB");
  running.setShowCurrentCellCycle(true);
  running.viewDidLoad();
  ASSERT_EQ(running.sections().size(), 4u);
  EXPECT_EQ(running.sections()[2].header, "Networks");
  EXPECT_EQ(running.sections()[2].rows,
            (std::vector<DetailRow>{{"Pixel hotspot (metered)", "7.00 MB"}, {"Home", "3.00 MB"}}));
  EXPECT_EQ(running.sections()[3].header, "Usage Breakup");
  EXPECT_EQ(testing::storedRecord(platform, AppData::kCellularFileName), recordBefore);

  History past(platform, platform.at(2026, 2, 1), platform.at(2026, 2, 28), kMB, kMB, 2 * kMB,
               kCellular, kPeriod);
  past.setConnections({{"u-3", "Hotel", true, kMB, kMB, 2 * kMB}});
  HistoryDetailViewController closed(platform, ui, "MB");
  closed.setHistoryItem(past);
  closed.viewDidLoad();
  ASSERT_EQ(closed.sections().size(), 4u);
  EXPECT_EQ(closed.sections()[2].rows, (std::vector<DetailRow>{{"Hotel (metered)", "2.00 MB"}}));
}

TEST_F(HistoryScreens, BeforeTheFirstPassTheRunningPeriodHasNoDays) {
  day(3, 9, kCellular, 2);
  HistoryDetailViewController detail(platform, ui, "MB");
  detail.setShowCurrentCellCycle(true);
  detail.viewDidLoad();
  EXPECT_EQ(detail.sections()[0].header, "Current Cellular Billing Cycle");
  EXPECT_EQ(detail.sections()[0].rows[0].detail, "");
  EXPECT_TRUE(detail.dailyLogs().empty());
  EXPECT_EQ(detail.sections()[1].rows[0].detail, "0.00 MB");
}

TEST_F(HistoryScreens, DayRowsAreTitledByOneDayOrBySpanAcrossMidnight) {
  History sameDay =
      add(platform.at(2026, 2, 3, 8), platform.at(2026, 2, 3, 23, 59), kCellular, kDay, 1);
  History spanning = add(platform.at(2026, 2, 4, 22), platform.at(2026, 2, 5), kCellular, kDay, 2);
  History past(platform, platform.at(2026, 2, 1), platform.at(2026, 2, 28), 0, 0, 0, kCellular,
               kPeriod);
  HistoryDetailViewController detail(platform, ui, "KB");
  detail.setHistoryItem(past);
  detail.viewDidLoad();
  const auto& days = detail.sections()[2].rows;
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[0].title,
            dayMonth(*spanning.startDate()) + " to " + dayMonth(*spanning.endDate()));
  EXPECT_EQ(days[0].detail, "2048.00 KB");
  EXPECT_EQ(days[1].title,
            StringFormatter::getLocalizedDayShortDateFromDate(platform, *sameDay.startDate()));
  EXPECT_EQ(detail.sections()[1].header, "Cellular (3G/GPRS/EDGE) Kestrio");
}

TEST_F(HistoryScreens, HeadersOfPastPeriodsFollowTheirNetwork) {
  struct Case {
    int dataType;
    const char* periodHeader;
    const char* amountsHeader;
  };
  for (const Case& c :
       {Case{kCellular, "Past Cellular Billing Cycle", "Cellular (3G/GPRS/EDGE) Kestrio"},
        Case{kWifi, "Past Wi-Fi Billing Cycle", "Wi-Fi Kestrio"},
        Case{0, "Past Cellular Billing Cycle", ""}}) {
    HistoryDetailViewController detail(platform, ui, "MB");
    detail.setHistoryItem(History(platform, platform.at(2026, 1, 1), platform.at(2026, 1, 31), 0, 0,
                                  0, c.dataType, kPeriod));
    detail.viewDidLoad();
    EXPECT_EQ(detail.sections()[0].header, c.periodHeader);
    EXPECT_EQ(detail.sections()[1].header, c.amountsHeader);
  }
}

TEST_F(HistoryScreens, TheDetailSheetMailsAndChartsItsDays) {
  day(1, 4, kCellular, 1);
  day(1, 5, kCellular, 2);
  auto detail = pushedDetail(0);  // no usage record: no days
  History jan(platform, platform.at(2026, 1, 1), platform.at(2026, 1, 31), 0, 0, 0, kCellular,
              kPeriod);
  HistoryDetailViewController past(platform, ui, "MB");
  past.setHistoryItem(jan);
  past.viewDidLoad();
  past.actionButtonTapped();
  EXPECT_EQ(ui.sheets.back().sheet.tag, 8787);
  EXPECT_EQ(ui.sheets.back().sheet.buttons,
            (std::vector<std::string>{"Email History", "Export to CSV", "View Chart", "Cancel"}));
  ui.tapSheet(1);
  ASSERT_EQ(platform.sentMail.size(), 1u);
  const std::string csv = *platform.files().read(platform.documentPath("kestrio.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
  EXPECT_NE(csv.find("2.00 MB"), std::string::npos);
  EXPECT_LT(csv.find("2.00 MB"), csv.find("1.00 MB"));  // newest first
  past.actionButtonTapped();
  ui.tapSheet(2);
  auto chart = std::dynamic_pointer_cast<HistoryChartViewController>(ui.presented.back().screen);
  ASSERT_TRUE(chart);
  EXPECT_TRUE(chart->isDailyChart());
  EXPECT_EQ(chart->chartTitle(), past.chartTitle());
  EXPECT_EQ(chart->numberOfRecordsForPlot(), 2);
  EXPECT_TRUE(detail->dailyLogs().empty());
}

}  // namespace
}  // namespace kestrio

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "engine/AppData.h"
#include "engine/History.h"
#include "gui/OneTabWindow.h"
#include "gui/QtApp.h"
#include "gui/history/HistoryChartScreen.h"
#include "gui/history/HistoryDetailScreen.h"
#include "gui/history/HistoryScreen.h"
#include "gui/history/HistoryScreenRegistry.h"
#include "gui/shell/QtUi.h"
#include "gui/theme/ThemeStyle.h"
#include "history/HistoryViewController.h"
#include "support/FakePlatform.h"
#include "support/Records.h"

namespace kestrio::gui {
namespace {

using kestrio::testing::FakePlatform;

constexpr double kMB = 1048576;

QString shots() {
  return kestrio::testing::screenshotDirectory();
}

// The action sheet QtUi shows now, answered by its button's text.
bool tapSheetButton(const QString& text) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* sheet = qobject_cast<QDialog*>(top);
    if (!sheet || sheet->objectName() != "actionSheet" || !sheet->isVisible()) continue;
    for (auto* button : sheet->findChildren<QPushButton*>()) {
      if (button->text() == text) {
        button->click();
        return true;
      }
    }
  }
  return false;
}

// The history tab on the window's shell, on a fake platform at March 10, 2026: a year of closed
// monthly periods on both networks, the days of the running period, and the running period's
// usage records.
struct HistoryWorld {
  explicit HistoryWorld(bool withHistory = true) {
    platform.setNow(2026, 3, 10, 12);
    applyTheme(shell.window.get(), platform, true);
    if (withHistory) {
      for (int month = 1; month <= 12; ++month) {
        for (int type : {1, 2}) {
          add(platform.at(2025, month, 1), platform.at(2025, month + 1, 0), type, 1,
              (type == 1 ? 800 : 3000) + month * 40);
        }
      }
      for (int day = 1; day <= 9; ++day) {
        // A day closes from the last update before midnight to that day's midnight.
        add(platform.at(2026, 3, day, 23, 50), platform.at(2026, 3, day), 1, 2, 20 + day * 7);
        add(platform.at(2026, 3, day, 23, 50), platform.at(2026, 3, day), 2, 2, 100 + day * 9);
      }
      for (const char* file : {AppData::kCellularFileName, AppData::kWifiFileName}) {
        kestrio::testing::putRecord(platform, file,
                                    {{"dataThisMonth", PlistValue(420 * kMB)},
                                     {"dataThisMonthSent", PlistValue(60 * kMB)},
                                     {"dataThisMonthRecd", PlistValue(360 * kMB)},
                                     {"lastBillingDate", PlistValue(platform.at(2026, 3, 1))},
                                     {"nextBillingDate", PlistValue(platform.at(2026, 4, 1))}});
      }
    }
    registerHistoryScreens(*shell.navigator);
    listScreen = new HistoryScreen(std::make_shared<HistoryViewController>(platform, *shell.ui));
    shell.setRoot(listScreen, &listScreen->controller());
    shell.window->resize(540, 760);
    shell.window->show();
    shell.stack->willAppear();  // the tab comes to front
    QCoreApplication::processEvents();
  }
  ~HistoryWorld() {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->objectName() == "actionSheet" && top->isVisible()) top->close();
    }
    QCoreApplication::processEvents();
  }
  int depth() const { return shell.stack->depth(); }
  QWidget* topScreen() const { return shell.topScreen(); }
  // The chart shown now, if any.
  HistoryChartScreen* chartScreen() const {
    return qobject_cast<HistoryChartScreen*>(shell.topScreen());
  }
  QWidget& host() { return *shell.window; }
  void add(Date start, Date end, int type, int kind, double totalMB) {
    EXPECT_TRUE(History::addNewHistoryItemLog(
                    platform, History(platform, start, end, totalMB * kMB / 5,
                                      totalMB * kMB * 4 / 5, totalMB * kMB, type, kind))
                    .ok());
  }
  HistoryScreen& list() { return *listScreen; }
  QTableView* table() { return list().table(); }
  void pressOnTable(Qt::Key key, int row) {
    table()->setFocus();
    table()->setCurrentIndex(table()->model()->index(row, 0));
    QTest::keyClick(table(), key);
    QCoreApplication::processEvents();
  }

  // The application object comes before any widget.
  struct App {
    App() { kestrio::testing::qtApp(); }
  } app;
  FakePlatform platform;
  kestrio::testing::OneTabWindow shell;
  HistoryScreen* listScreen = nullptr;
};

TEST(HistoryTabTest, TheListShowsTheRunningAndClosedPeriods) {
  HistoryWorld world;
  ASSERT_EQ(world.table()->model()->rowCount(), 26);
  EXPECT_EQ(world.table()->model()->index(0, 0).data().toString(), "Current Billing Period");
  EXPECT_EQ(world.table()->rowHeight(0), 60);
  EXPECT_TRUE(world.list().actionButton()->isEnabled());
  world.host().grab().save(shots() + "/history_list.png");
}

TEST(HistoryTabTest, AnEmptyHistoryDisablesTheActions) {
  HistoryWorld world(false);
  EXPECT_EQ(world.table()->model()->rowCount(), 2);
  EXPECT_FALSE(world.list().actionButton()->isEnabled());
  EXPECT_FALSE(world.list().saveCsvButton()->isEnabled());
}

TEST(HistoryTabTest, ReturnOpensAPeriodAndEscapeComesBack) {
  HistoryWorld world;
  world.pressOnTable(Qt::Key_Return, 1);
  ASSERT_EQ(world.depth(), 2);
  auto* detail = qobject_cast<HistoryDetailScreen*>(world.topScreen());
  ASSERT_NE(detail, nullptr);
  EXPECT_TRUE(detail->controller().showCurrentWiFiCycle());
  QTableWidget* rows = detail->table();
  // Three headers, five figures and nine days.
  ASSERT_EQ(rows->rowCount(), 17);
  EXPECT_EQ(rows->item(0, 0)->text(), "Current Wi-Fi Billing Cycle");
  EXPECT_EQ(rows->item(4, 1)->text(), "420.00 MB");
  EXPECT_EQ(rows->item(8, 1)->text(), "181.00 MB");  // the newest day first
  world.host().grab().save(shots() + "/history_detail.png");

  QTest::keyClick(detail->actionButton(), Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_EQ(world.depth(), 1);
  EXPECT_EQ(world.topScreen(), &world.list());
}

TEST(HistoryTabTest, EditModeDeletesAPeriodWithTheDeleteKey) {
  HistoryWorld world;
  const auto before = History::getAllHistoryLogs(world.platform).size();
  world.pressOnTable(Qt::Key_Delete, 2);  // outside edit mode: nothing
  EXPECT_EQ(History::getAllHistoryLogs(world.platform).size(), before);
  world.list().editButton()->click();
  EXPECT_EQ(world.list().editButton()->text(), "Done");
  world.pressOnTable(Qt::Key_Delete, 1);  // a running period cannot be deleted
  world.pressOnTable(Qt::Key_Delete, 2);
  EXPECT_EQ(History::getAllHistoryLogs(world.platform).size(), before - 1);
  EXPECT_EQ(world.table()->model()->rowCount(), 25);
  world.list().editButton()->click();
  EXPECT_TRUE(world.list().editButton()->text().isEmpty());
}

TEST(HistoryTabTest, BothChartsDrawAndSaveAsPng) {
  HistoryWorld world;
  world.list().actionButton()->click();
  ASSERT_TRUE(tapSheetButton("View Chart"));
  HistoryChartScreen* periods = world.chartScreen();
  ASSERT_NE(periods, nullptr);
  ASSERT_NE(periods->plot(), nullptr);
  EXPECT_EQ(periods->plot()->plottableCount(), 1);
  EXPECT_EQ(periods->plot()->xAxis->range().upper, 25);
  periods->grab().save(shots() + "/history_chart_periods.png");
  QTest::keyClick(periods, Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_EQ(world.chartScreen(), nullptr);

  world.pressOnTable(Qt::Key_Return, 0);
  auto* detail = qobject_cast<HistoryDetailScreen*>(world.topScreen());
  ASSERT_NE(detail, nullptr);
  detail->actionButton()->click();
  ASSERT_TRUE(tapSheetButton("View Chart"));
  HistoryChartScreen* days = world.chartScreen();
  ASSERT_NE(days, nullptr);
  EXPECT_TRUE(days->controller().isDailyChart());
  EXPECT_EQ(days->plot()->xAxis->tickLabelRotation(), -90);
  days->grab().save(shots() + "/history_chart_days.png");
  const QString png = shots() + "/history_chart_days_saved.png";
  QFile::remove(png);
  days->choosePngFile = [&] { return png; };
  days->savePngButton()->click();
  EXPECT_FALSE(QImage(png).isNull());
  days->closeButton()->click();
  QCoreApplication::processEvents();
  EXPECT_EQ(world.chartScreen(), nullptr);
}

TEST(HistoryTabTest, APeriodWithoutDaysChartsOnlyTheNoDataLabel) {
  HistoryWorld world;
  world.pressOnTable(Qt::Key_Return, 2);  // January 2025: no day records kept
  auto* detail = qobject_cast<HistoryDetailScreen*>(world.topScreen());
  ASSERT_NE(detail, nullptr);
  detail->controller().viewChart();
  HistoryChartScreen* chart = world.chartScreen();
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->plot(), nullptr);
  ASSERT_NE(chart->noDataLabel(), nullptr);
  EXPECT_EQ(chart->noDataLabel()->text(), "No Chart Data Available");
  EXPECT_FALSE(chart->savePngButton()->isEnabled());
}

TEST(HistoryTabTest, SaveCsvWritesTheChosenFileAndClearEmptiesTheList) {
  HistoryWorld world;
  world.list().chooseCsvFile = [] { return QStringLiteral("/exports/history.csv"); };
  world.list().saveCsvButton()->click();
  const auto csv = world.platform.files().read("/exports/history.csv");
  ASSERT_TRUE(csv);
  EXPECT_EQ(std::count(csv->begin(), csv->end(), '\n'), 25);

  world.list().actionButton()->click();
  ASSERT_TRUE(tapSheetButton("Clear History"));
  ASSERT_TRUE(tapSheetButton("Clear All Records"));
  EXPECT_TRUE(History::getAllHistoryLogs(world.platform).empty());
  EXPECT_EQ(world.table()->model()->rowCount(), 2);
  EXPECT_FALSE(world.list().actionButton()->isEnabled());
}

}  // namespace
}  // namespace kestrio::gui

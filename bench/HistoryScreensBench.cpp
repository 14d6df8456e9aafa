// The history tab on a 20-year history (two networks: a day record each per day and a monthly
// billing period each, about 15,000 records), and on 10 years to see how the cost grows: the
// tab's first paint, a period's detail, the chart of 365 day bars, the CSV of every day record.
// Real files in a temporary home; Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTableView>
#include <cstdlib>
#include <map>

#include "gui/history/HistoryChartScreen.h"
#include "gui/history/HistoryDetailScreen.h"
#include "gui/history/HistoryScreen.h"
#include "gui/shell/QtUi.h"
#include "gui/theme/ThemeStyle.h"
#include "history/HistoryChartViewController.h"
#include "history/HistoryDetailViewController.h"
#include "history/HistoryExport.h"
#include "history/HistoryViewController.h"
#include "platform/LinuxPlatform.h"
#include "support/Process.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

constexpr double kDay = 86400;
const Date kFirstDay = Date::fromSecondsSince1970(1262304000);  // 2010-01-01 00:00 UTC

QApplication& app() {
  static int argc = 1;
  static char name[] = "history-bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* instance = new QApplication(argc, argv);
  return *instance;
}

// `years` of history: every day a record per network, every 30 days a period per network.
struct History20 {
  testing::TemporaryDirectory dir;
  std::unique_ptr<LinuxPlatform> platform;
  std::vector<History> days;  // every day record, oldest first
  std::vector<History> records;

  explicit History20(int years) {
    LinuxEnvironment env;
    env.documentsDirectory = dir.path() + "/home";
    env.zoneId = "UTC";
    env.localeId = "en_US";
    std::string error;
    platform = LinuxPlatform::create(env, &error);
    if (!platform) std::abort();
    const int count = years * 365;
    for (int day = 0; day < count; ++day) {
      const Date start = kFirstDay.addingSeconds(day * kDay);
      for (int type : {1, 2}) {
        History record(*platform, start.addingSeconds(60), start.addingSeconds(kDay),
                       1e6 + day * 10.0, 3e6 + day * 20.0, 4e6 + day * 30.0, type, 2);
        days.push_back(record);
        records.push_back(record);
        if (day % 30 == 29) {
          records.emplace_back(*platform, kFirstDay.addingSeconds((day - 29) * kDay),
                               kFirstDay.addingSeconds(day * kDay), 3e7, 9e7, 1.2e8, type, 1);
        }
      }
    }
    if (!History::saveHistoryLogs(*platform, records).ok()) std::abort();
  }
};

History20& history(int years) {
  static std::map<int, std::unique_ptr<History20>> made;
  auto& slot = made[years];
  if (!slot) slot = std::make_unique<History20>(years);
  return *slot;
}

void BM_HistoryTabFirstPaint(benchmark::State& state) {
  app();
  History20& h = history(static_cast<int>(state.range(0)));
  QWidget host;
  gui::applyTheme(&host, *h.platform, true);
  gui::QtUi ui(&host);
  host.resize(540, 760);
  host.show();
  double rows = 0;
  for (auto _ : state) {
    auto controller = std::make_shared<HistoryViewController>(*h.platform, ui);
    gui::HistoryScreen list(controller, &host);
    list.resize(540, 760);
    controller->viewWillAppear();  // as the tab does when it comes to front: reads the periods
    list.show();
    benchmark::DoNotOptimize(list.grab());
    rows = list.table()->model()->rowCount();
  }
  state.counters["records"] = static_cast<double>(h.records.size());
  state.counters["rows"] = rows;
}
BENCHMARK(BM_HistoryTabFirstPaint)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_PeriodDetail(benchmark::State& state) {
  app();
  History20& h = history(static_cast<int>(state.range(0)));
  testing::RecordingUi ui;
  // A period in the middle of the history.
  History period;
  for (std::size_t i = h.records.size() / 2; i < h.records.size(); ++i) {
    if (h.records[i].historyType() == 1) {
      period = h.records[i];
      break;
    }
  }
  for (auto _ : state) {
    auto controller = std::make_shared<HistoryDetailViewController>(*h.platform, ui, "MB");
    controller->setHistoryItem(period);
    controller->viewDidLoad();
    gui::HistoryDetailScreen screen(controller);
    screen.resize(540, 760);
    benchmark::DoNotOptimize(screen.grab());
    if (controller->dailyLogs().empty()) state.SkipWithError("the period has no days");
  }
}
BENCHMARK(BM_PeriodDetail)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_ChartOf365Days(benchmark::State& state) {
  app();
  History20& h = history(20);
  testing::RecordingUi ui;
  const std::vector<History> year(h.days.end() - 365, h.days.end());
  for (auto _ : state) {
    auto controller = std::make_shared<HistoryChartViewController>(*h.platform, ui, year, "MB",
                                                                   true, "A year", true);
    controller->viewDidLoad();
    gui::HistoryChartScreen window(controller);
    benchmark::DoNotOptimize(window.grab());
  }
}
BENCHMARK(BM_ChartOf365Days)->Unit(benchmark::kMillisecond);

void BM_CsvOfEveryDay(benchmark::State& state) {
  History20& h = history(static_cast<int>(state.range(0)));
  const std::string path = h.platform->documentPath("all-days.csv");
  for (auto _ : state) {
    const std::string failure = HistoryExport::writeCsvFile(*h.platform, path, h.days, "MB");
    if (!failure.empty()) state.SkipWithError(failure.c_str());
  }
  state.counters["rows"] = static_cast<double>(h.days.size());
}
BENCHMARK(BM_CsvOfEveryDay)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrio

BENCHMARK_MAIN();

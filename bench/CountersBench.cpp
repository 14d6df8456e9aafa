// The custom counters at a hundred: the list's first paint (reading the archive, building the
// rows, painting them) on Qt's offscreen platform, and one update pass over both records, which
// feeds every counter twice. Each with one counter beside, for the ratio in the same run.
#include <benchmark/benchmark.h>

#include <QListWidget>

#include "ScriptedHome.h"
#include "counters/CustomCounterViewController.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "gui/QtApp.h"
#include "gui/counters/CustomCounterScreen.h"
#include "services/NotificationCenter.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

void storeCounters(Platform& platform, int count) {
  std::vector<CustomCounter> list;
  for (int i = 0; i < count; ++i) {
    CustomCounter counter(platform, "Counter " + std::to_string(i + 1));
    counter.addDataToCounterWithDataSent(1e6 * i, 3e6 * i, CustomCounter::kCellular);
    counter.addDataToCounterWithDataSent(2e6 * i, 9e6 * i, CustomCounter::kWiFi);
    counter.setDirection(1 + i % 3);
    list.push_back(counter);
  }
  (void)CustomCounter::saveCustomCounterData(platform, list);
}

void BM_CounterListFirstPaint(benchmark::State& state) {
  testing::qtApp();
  bench::ScriptedHome home;
  if (!home.platform) {
    state.SkipWithError(home.error.c_str());
    return;
  }
  AppSettings(*home.platform).getSettings();
  storeCounters(*home.platform, static_cast<int>(state.range(0)));
  testing::RecordingUi ui;
  NotificationCenter center;
  for (auto _ : state) {
    auto controller = std::make_shared<CustomCounterViewController>(*home.platform, ui, center);
    gui::CustomCounterScreen screen(controller);
    screen.resize(540, 780);
    screen.show();
    controller->viewWillAppear();
    screen.repaint();
    if (screen.list()->count() != state.range(0)) state.SkipWithError("rows missing");
    state.PauseTiming();
    screen.hide();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CounterListFirstPaint)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_PassWithCounters(benchmark::State& state) {
  bench::ScriptedHome home;
  if (!home.platform) {
    state.SkipWithError(home.error.c_str());
    return;
  }
  storeCounters(*home.platform, static_cast<int>(state.range(0)));
  AppData cellular(*home.platform);
  AppData wifi(*home.platform);
  std::uint64_t step = 0;
  for (auto _ : state) {
    state.PauseTiming();
    home.advanceCounters(++step);
    state.ResumeTiming();
    auto lock = home.platform->lockDocuments();
    (void)cellular.performBackgroundUpdateForType("cellular", "", false);
    (void)wifi.performBackgroundUpdateForType("wifi", "", false);
  }
  if (CustomCounter::getAllCustomCounters(*home.platform).size() !=
      static_cast<std::size_t>(state.range(0))) {
    state.SkipWithError("counters lost");
  }
}
BENCHMARK(BM_PassWithCounters)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kestrio

BENCHMARK_MAIN();

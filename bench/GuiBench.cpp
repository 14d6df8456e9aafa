// The cost of what the user waits for when the window comes to front: one refresh of the usage
// screen in front (a pass over both records, all rendering) and its painting, on the offscreen
// platform. Once on real files (with fsync), once in memory, where only rendering and painting
// remain.
#include <benchmark/benchmark.h>

#include <QTest>

#include "ScriptedHome.h"
#include "engine/AppSettings.h"
#include "gui/usage/MainScreen.h"
#include "platform/LinuxPlatform.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"
#include "support/ProcNetDev.h"
#include "support/Process.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

// A usage screen shown at the window's size, with a cellular quota so every field has a value.
struct ShownScreen {
  testing::RecordingUi ui;
  NotificationCenter center;
  std::unique_ptr<gui::MainScreen> screen;

  explicit ShownScreen(Platform& platform) {
    AppSettings(platform).getSettings();
    platform.userDefaults().setInteger(AppSettings::kCellularDataLimit, 2000);
    platform.userDefaults().synchronize();
    screen = std::make_unique<gui::MainScreen>(platform, ui, center, true);
    screen->resize(540, 780);
    screen->show();
    (void)QTest::qWaitForWindowExposed(screen.get());
    screen->refresh();
  }

  void refreshAndPaint() {
    screen->refresh();
    screen->repaint();
  }
};

void BM_RefreshVisibleScreen(benchmark::State& state) {
  bench::ScriptedHome home;
  if (!home.platform) {
    state.SkipWithError(home.error.c_str());
    return;
  }
  ShownScreen shown(*home.platform);
  std::uint64_t step = 0;
  for (auto _ : state) {
    state.PauseTiming();
    home.advanceCounters(++step);
    state.ResumeTiming();
    shown.refreshAndPaint();
  }
}
BENCHMARK(BM_RefreshVisibleScreen)->Unit(benchmark::kMillisecond);

void BM_RefreshVisibleScreenInMemory(benchmark::State& state) {
  testing::FakePlatform platform("UTC", "en_US");
  platform.setNow(2027, 1, 15, 12, 0, 0);
  platform.setCounters("wwan7", 1000000, 20000, InterfaceKind::Cellular);
  platform.setCounters("wlan7", 9000000, 300000, InterfaceKind::Wifi);
  ShownScreen shown(platform);
  std::uint64_t step = 0;
  for (auto _ : state) {
    ++step;
    platform.advance(60);
    platform.setCounters("wwan7", 1000000 + step * 1500, 20000 + step * 40);
    shown.refreshAndPaint();
  }
}
BENCHMARK(BM_RefreshVisibleScreenInMemory)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrio

// The window's reaction to another process's pass: from the moment that pass has stored its
// files to the window having drawn them (redrawn from the files and painted), on real files
// watched with inotify, on the offscreen platform. The reaction includes the watcher's
// deliberate wait for the end of a burst of changes (DocumentsWatcher::kDebounceMs); the second
// benchmark is the redraw alone.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include "ScriptedHome.h"
#include "app/KestrioAppDelegate.h"
#include "engine/AppSettings.h"
#include "gui/MainWindow.h"
#include "gui/usage/MainScreen.h"
#include "services/NotificationCenter.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

// The window and, on the same directory, another platform standing for another process.
struct WindowBeside {
  bench::ScriptedHome home;
  std::unique_ptr<LinuxPlatform> other;
  std::unique_ptr<gui::MainWindow> window;
  testing::RecordingUi ui;
  NotificationCenter center;
  std::unique_ptr<KestrioAppDelegate> daemon;
  std::uint64_t step = 0;

  bool start(std::string* error) {
    if (!home.platform) {
      *error = home.error;
      return false;
    }
    other = LinuxPlatform::create(home.env, error);
    if (!other) return false;
    UserDefaults& store = home.platform->userDefaults();
    AppSettings(*home.platform).getSettings();
    store.setInteger(AppSettings::kCellularDataLimit, 2000);
    store.setObject(KestrioAppDelegate::kFirstRunKey, PlistValue(home.platform->now()));
    store.setString(KestrioAppDelegate::kVersionKey, KESTRIO_VERSION);
    store.synchronize();
    window = std::make_unique<gui::MainWindow>(*home.platform);
    window->resize(540, 780);
    window->show();
    (void)QTest::qWaitForWindowExposed(window.get());
    window->launch();
    window->becameActive();
    daemon = std::make_unique<KestrioAppDelegate>(*other, ui, center, KESTRIO_VERSION);
    return true;
  }

  // The other process counts a little more traffic and stores it.
  void otherPass() {
    home.advanceCounters(++step);
    daemon->performFetchWithCompletionHandler(nullptr);
  }
};

// Starts the window beside its other process; a benchmark that cannot start is skipped.
bool startOrSkip(WindowBeside& w, benchmark::State& state) {
  std::string error;
  if (w.start(&error)) return true;
  state.SkipWithError(error.c_str());
  return false;
}

void BM_WindowFollowsAnotherProcessPass(benchmark::State& state) {
  WindowBeside w;
  if (!startOrSkip(w, state)) return;
  QSignalSpy redrawn(w.window.get(), &gui::MainWindow::redrawnFromFiles);
  for (auto _ : state) {
    state.PauseTiming();
    redrawn.clear();
    w.otherPass();
    state.ResumeTiming();
    if (!redrawn.wait(5000)) {
      state.SkipWithError("the window did not follow the other process's pass");
      return;
    }
    w.window->repaint();
  }
}
BENCHMARK(BM_WindowFollowsAnotherProcessPass)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_RedrawFromFiles(benchmark::State& state) {
  WindowBeside w;
  if (!startOrSkip(w, state)) return;
  for (auto _ : state) {
    state.PauseTiming();
    w.otherPass();
    state.ResumeTiming();
    w.window->redrawFromFiles();
    w.window->repaint();
  }
}
BENCHMARK(BM_RedrawFromFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kestrio

// Opening the settings tab: the schema read from the resource files, the screen's rows computed
// from the store, and the first paint of the view, on the offscreen platform and real files.
#include <benchmark/benchmark.h>

#include "ScriptedHome.h"
#include "app/SettingsChangePoster.h"
#include "engine/AppSettings.h"
#include "gui/settings/AppSettingsScreen.h"
#include "services/NotificationCenter.h"
#include "settings/AppSettingsViewController.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

void BM_OpenSettingsTab(benchmark::State& state) {
  bench::ScriptedHome home;
  if (!home.platform) {
    state.SkipWithError(home.error.c_str());
    return;
  }
  if (home.platform->resourceDirectory().empty()) {
    state.SkipWithError("the settings schema is not beside the benchmark (build share/kestrio)");
    return;
  }
  AppSettings(*home.platform).getSettings();
  testing::RecordingUi ui;
  NotificationCenter center;
  SettingsChangePoster changes(center);
  for (auto _ : state) {
    auto controller =
        std::make_shared<settings::AppSettingsViewController>(*home.platform, ui, changes);
    gui::AppSettingsScreen view(controller);
    view.resize(540, 760);
    view.show();
    view.repaint();
    benchmark::DoNotOptimize(controller->numberOfSections());
  }
}
BENCHMARK(BM_OpenSettingsTab)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrio

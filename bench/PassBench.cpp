// The cost of counting: one counter sample, one pass over both records in process, and
// `kestrio update` as a whole process.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "ScriptedHome.h"
#include "app/MainViewController.h"
#include "engine/AppData.h"
#include "engine/ApplicationUsage.h"
#include "engine/History.h"
#include "engine/RefreshPass.h"
#include "platform/LinuxPlatform.h"
#include "platform/PlatformWrapper.h"
#include "services/DeviceInfo.h"
#include "support/FakePlatform.h"
#include "support/ProcNetDev.h"
#include "support/Process.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

using bench::countersText;
using bench::ScriptedHome;

void BM_CounterSample(benchmark::State& state) {
  // The machine's own counters: what every pass reads.
  std::string error;
  LinuxEnvironment env = LinuxEnvironment::fromProcessEnvironment();
  testing::TemporaryDirectory dir;
  env.documentsDirectory = dir.path();
  auto platform = LinuxPlatform::create(env, &error);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DeviceInfo::interfacesForDataType(*platform, "wifi"));
  }
}
BENCHMARK(BM_CounterSample);

void BM_PassOverBothRecords(benchmark::State& state) {
  ScriptedHome home;
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
}
BENCHMARK(BM_PassOverBothRecords)->Unit(benchmark::kMicrosecond);

// A pass over both records on the in-memory platform, a year of history in the archive: on the
// same day as the previous pass (state 0), or on the next day, closing a day per record (1).
void BM_PassDayChange(benchmark::State& state) {
  const bool dayChange = state.range(0) != 0;
  testing::FakePlatform platform("UTC", "en_US");
  platform.setCounters("wwan7", 1000000, 20000, InterfaceKind::Cellular);
  platform.setCounters("wlan7", 9000000, 300000, InterfaceKind::Wifi);
  platform.setNow(2027, 1, 1, 12, 0, 0);
  std::vector<History> year;
  for (int day = 0; day < 730; ++day) {
    const Date start = platform.at(2026, 1, 1).addingSeconds(day / 2 * 86400.0);
    year.emplace_back(platform, start, start.addingSeconds(86400), 1e6, 4e6, 5e6, 1 + day % 2, 2);
  }
  if (!History::saveHistoryLogs(platform, year).ok()) std::abort();
  AppData cellular(platform);
  AppData wifi(platform);
  (void)cellular.performBackgroundUpdateForType("cellular", "", false);
  (void)wifi.performBackgroundUpdateForType("wifi", "", false);
  const std::string historyPath = platform.documentPath(History::kFileName);
  const std::string baseline = *platform.files().read(historyPath);
  std::uint64_t step = 0;
  for (auto _ : state) {
    state.PauseTiming();
    platform.fakeFiles().put(historyPath, baseline);
    platform.advance(dayChange ? 86400 : 60);
    ++step;
    platform.setCounters("wwan7", 1000000 + step * 1500, 20000 + step * 40);
    platform.setCounters("wlan7", 9000000 + step * 9000, 300000 + step * 300);
    state.ResumeTiming();
    (void)cellular.performBackgroundUpdateForType("cellular", "", false);
    (void)wifi.performBackgroundUpdateForType("wifi", "", false);
  }
}
BENCHMARK(BM_PassDayChange)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The full refresh of a usage screen: a pass over both records, the alerts and every text the
// screen shows, on real files.
void BM_RenderView(benchmark::State& state) {
  ScriptedHome home;
  testing::RecordingUi ui;
  NotificationCenter center;
  MainViewController screen(*home.platform, ui, center);
  home.platform->userDefaults().setInteger("cellularDataLimit", 5000);
  std::uint64_t step = 0;
  for (auto _ : state) {
    state.PauseTiming();
    home.advanceCounters(++step);
    state.ResumeTiming();
    screen.renderView();
  }
}
BENCHMARK(BM_RenderView)->Unit(benchmark::kMicrosecond);

// The accounting service's answer with `count` applications on the Wi-Fi link, each a little
// further on at every `step`.
class ScriptedApplications final : public PlatformWrapper {
 public:
  ScriptedApplications(Platform& target, int count) : PlatformWrapper(target), count_(count) {}
  ApplicationCounters readApplicationCounters() override {
    if (count_ == 0) return {ApplicationCounters::State::ServiceMissing, "no socket", {}};
    ApplicationCounters reading{ApplicationCounters::State::Read, "", {}};
    for (int i = 0; i < count_; ++i) {
      reading.counters.push_back(
          {"/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-org.example.App" +
               std::to_string(i) + "-" + std::to_string(1000 + i) + ".scope",
           "wlan7", step * 40, step});
    }
    return reading;
  }
  std::uint64_t step = 0;

 private:
  int count_;
};

// A refresh of both records (the window's and the daemon's pass) on real files: without the
// accounting service (0) and with 200 applications counting (200), each with no earlier day of
// the period or with 30 (the second argument), as at the end of a month. The difference is what
// counting per application adds to a pass.
void BM_RefreshWithApplications(benchmark::State& state) {
  ScriptedHome home;
  ScriptedApplications platform(*home.platform, static_cast<int>(state.range(0)));
  if (state.range(1) > 0) {
    ApplicationUsageStore store(platform);
    ApplicationUsageMap applications;
    const double today = platform.calendar().startOfDay(platform.now()).secondsSince1970;
    for (int i = 0; i < state.range(0); ++i) {
      ApplicationUsage& usage = applications["org.example.App" + std::to_string(i)];
      usage.name = "App " + std::to_string(i);
      for (int day = 1; day <= state.range(1); ++day) {
        usage.days[static_cast<std::int64_t>(today) - day * 86400] = 1e6 + day;
      }
    }
    store.setApplications(2, std::move(applications));
    if (!store.save().ok()) std::abort();
  }
  NotificationCenter center;
  AppSettings settings(platform);
  AppData cellular(platform);
  AppData wifi(platform);
  std::uint64_t step = 0;
  for (auto _ : state) {
    state.PauseTiming();
    home.advanceCounters(++step);
    platform.step = step;
    state.ResumeTiming();
    if (!RefreshPass(platform, center, settings, cellular, wifi).run({}).stored.ok()) {
      state.SkipWithError("the refresh was not stored");
      break;
    }
  }
}
BENCHMARK(BM_RefreshWithApplications)
    ->Args({0, 0})
    ->Args({200, 0})
    ->Args({200, 30})
    ->Unit(benchmark::kMicrosecond);

// A kestrio command as a whole process: `update` (one background refresh) and `status` (the
// full refresh and everything the screens show).
void BM_Process(benchmark::State& state, const char* command) {
  testing::TemporaryDirectory dir;
  const std::string counters = dir.path() + "/net_dev";
  testing::replaceFile(counters, countersText(0));
  const std::map<std::string, std::string> env{{"KESTRIO_HOME", dir.path() + "/home"},
                                               {"KESTRIO_COUNTERS", counters},
                                               {"TZ", "UTC"},
                                               {"LANG", "C"}};
  for (auto _ : state) {
    if (testing::runProcess({KESTRIO_BINARY, command}, env).exitCode != 0) {
      state.SkipWithError("the kestrio command failed");
      break;
    }
  }
}
BENCHMARK_CAPTURE(BM_Process, update, "update")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Process, status, "status")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrio

BENCHMARK_MAIN();

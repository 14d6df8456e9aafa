// The history store at ten and twenty years of use (two day records a day, plus the billing
// periods): one append (read, decode, add, encode, atomic write) and one month's day records, on
// real files. For comparison, libplist's own binary writer on the same archive.
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdlib>

#include "engine/History.h"
#include "platform/KeyedArchive.h"
#include "platform/LinuxPlatform.h"
#include "platform/PropertyList.h"
#include "support/Process.h"

namespace kestrio {
namespace {

constexpr double kDay = 86400;
const Date kFirstDay = Date::fromSecondsSince1970(1262304000);  // 2010-01-01 00:00 UTC

History dayRecord(Platform& platform, int day, int dataType) {
  Date start = kFirstDay.addingSeconds(day * kDay);
  return History(platform, start, start.addingSeconds(kDay), 1e6 * day, 3e6 * day, 4e6 * day,
                 dataType, 2);
}

std::vector<History> records(Platform& platform, int count) {
  std::vector<History> out;
  for (int day = 0; static_cast<int>(out.size()) < count; ++day) {
    out.push_back(dayRecord(platform, day, 1));
    out.push_back(dayRecord(platform, day, 2));
    if (day % 30 == 29) {
      History period = dayRecord(platform, day - 29, 1);
      period.setEndDate(kFirstDay.addingSeconds((day + 1) * kDay));
      period.setHistoryType(1);
      out.push_back(period);
    }
  }
  out.resize(count);
  return out;
}

struct Store {
  testing::TemporaryDirectory dir;
  std::unique_ptr<LinuxPlatform> platform;
  std::string path;
  std::string bytes;  // the archive of `count` records

  explicit Store(int count) {
    LinuxEnvironment env;
    env.documentsDirectory = dir.path() + "/home";
    env.zoneId = "UTC";
    env.localeId = "en_US";
    std::string error;
    platform = LinuxPlatform::create(env, &error);
    if (!platform) std::abort();
    if (!History::saveHistoryLogs(*platform, records(*platform, count)).ok()) std::abort();
    path = platform->documentPath(History::kFileName);
    bytes = testing::readWholeFile(path);
  }
};

void BM_AppendRecord(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)));
  History record = dayRecord(*store.platform, 100000, 1);
  for (auto _ : state) {
    state.PauseTiming();
    testing::replaceFile(store.path, store.bytes);
    state.ResumeTiming();
    if (!History::addNewHistoryItemLog(*store.platform, record).ok()) std::abort();
  }
  state.counters["file_bytes"] = static_cast<double>(store.bytes.size());
}
BENCHMARK(BM_AppendRecord)->Arg(7300)->Arg(14600)->Unit(benchmark::kMillisecond);

void BM_DailyLogsOfAMonth(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)));
  const Date from = kFirstDay.addingSeconds(1000 * kDay);
  const Date to = from.addingSeconds(30 * kDay);
  for (auto _ : state) {
    auto days = History::getDailyHistoryLogsFrom(*store.platform, from, to, 2);
    if (days.size() != 32) state.SkipWithError("unexpected number of day records");
    benchmark::DoNotOptimize(days);
  }
}
BENCHMARK(BM_DailyLogsOfAMonth)->Arg(7300)->Arg(14600)->Unit(benchmark::kMillisecond);

// The encoding alone: the archive tree and our binary writer.
void BM_EncodeArchive(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)));
  auto objects = keyed::decodeList(store.bytes, History::kTopKey);
  for (auto _ : state) {
    benchmark::DoNotOptimize(keyed::encodeList(History::kTopKey, History::kClassName, *objects));
  }
}
BENCHMARK(BM_EncodeArchive)->Arg(7300)->Arg(14600)->Unit(benchmark::kMillisecond);

// The decoding alone: the whole archive read as one value for comparison, then the archive's own
// decoder.
void BM_ParseArchive(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(plist::parse(store.bytes));
}
BENCHMARK(BM_ParseArchive)->Arg(7300)->Arg(14600)->Unit(benchmark::kMillisecond);

void BM_DecodeArchive(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(keyed::decodeList(store.bytes, History::kTopKey));
}
BENCHMARK(BM_DecodeArchive)->Arg(7300)->Arg(14600)->Unit(benchmark::kMillisecond);

// libplist 2.2's binary writer on the same archive tree, as read from the file.
void BM_LibplistBinaryWriter(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)));
  plist_t tree = nullptr;
  plist_from_bin(store.bytes.data(), static_cast<uint32_t>(store.bytes.size()), &tree);
  if (!tree) std::abort();
  for (auto _ : state) {
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(tree, &out, &length);
    benchmark::DoNotOptimize(out);
    plist_to_bin_free(out);
  }
  plist_free(tree);
}
BENCHMARK(BM_LibplistBinaryWriter)->Arg(7300)->Arg(14600)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrio

BENCHMARK_MAIN();

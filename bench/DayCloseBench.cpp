// `kestrio update` as a whole process on the day after the previous update, with twenty years of
// history (a day record per network and day, and the billing periods): the update closes a day on
// both networks, so the archive is read and rewritten twice. Reports the time per process and the
// largest peak resident memory of the processes (`peak_rss_MB`), and the processor time (user and
// system) each took (`cpu_ms`): on a busy machine the wall time is mostly waiting.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "ScriptedHome.h"
#include "engine/AppData.h"
#include "engine/History.h"
#include "platform/PropertyList.h"
#include "support/Process.h"

namespace kestrio {
namespace {

constexpr double kDay = 86400;
constexpr int kYears = 20;

// A day record per network and day, and a billing period per network and month, for `years`
// years ending yesterday.
std::vector<History> yearsOfHistory(Platform& platform, Date yesterday, int years = kYears) {
  std::vector<History> out;
  const int days = years * 365 + years / 4;
  const Date first = yesterday.addingSeconds(-days * kDay);
  for (int day = 0; day < days; ++day) {
    const Date start = first.addingSeconds(day * kDay);
    for (int type : {1, 2}) {
      out.emplace_back(platform, start, start.addingSeconds(kDay - 1), 1.5e6 * type + day,
                       2.5e7 * type + day, 2.65e7 * type + 2 * day, type, 2);
      if (day % 30 == 29) {
        out.emplace_back(platform, start.addingSeconds(-29 * kDay), start, 4.5e7 * type,
                         7.5e8 * type, 7.95e8 * type, type, 1);
      }
    }
  }
  return out;
}

struct Measured {
  int exitCode = -1;  // -1 when it did not exit normally
  long peakKb = -1;
  double cpuMs = 0;
};

// Runs a program to its end with its output discarded; answers its exit status, its peak resident
// memory and its processor time. The peak is the process's own, read from
// /proc just before it ends: a spawned process's rusage would count this large process too, whose
// memory the child shares until it executes the program.
Measured runMeasured(const std::vector<std::string>& argv,
                     const std::map<std::string, std::string>& env) {
  std::vector<std::string> strings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (!env.contains(entry.substr(0, entry.find('=')))) strings.push_back(entry);
  }
  for (const auto& [key, value] : env) strings.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : strings) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (auto& arg : args) argp.push_back(arg.data());
  argp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 1);
    dup2(null, 2);
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execve(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  long peak = -1;
  int status = 0;
  waitpid(pid, &status, 0);  // stopped at the start of the program
  ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT);
  ptrace(PTRACE_CONT, pid, nullptr, nullptr);
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) == pid && WIFSTOPPED(status)) {
    int deliver = 0;
    if ((status >> 8) == (SIGTRAP | (PTRACE_EVENT_EXIT << 8))) {
      std::ifstream proc("/proc/" + std::to_string(pid) + "/status");
      for (std::string line; std::getline(proc, line);) {
        if (line.starts_with("VmHWM:")) peak = std::stol(line.substr(6));
      }
    } else if (WSTOPSIG(status) != SIGTRAP) {
      deliver = WSTOPSIG(status);
    }
    ptrace(PTRACE_CONT, pid, nullptr, deliver);
  }
  auto ms = [](timeval t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, peak,
          ms(usage.ru_utime) + ms(usage.ru_stime)};
}

// Moves the previous update of a usage record back by a day, so the next update closes a day.
bool moveLastUpdateBack(const std::string& path) {
  const std::string bytes = testing::readWholeFile(path);
  auto record = plist::parse(bytes);
  auto* keys = record ? record->get<PlistValue::Dictionary>() : nullptr;
  auto last = keys ? keys->find("lastUpdate") : PlistValue::Dictionary::iterator{};
  if (!keys || last == keys->end() || !last->second.get<Date>()) return false;
  last->second = PlistValue(last->second.get<Date>()->addingSeconds(-kDay));
  testing::replaceFile(path, plist::toXml(*record));
  return true;
}

// A scripted home with `years` of history after a first update, whose files can be put back
// as they were before each timed run.
struct HistoryHome {
  bench::ScriptedHome home;
  std::map<std::string, std::string> env{{"KESTRIO_HOME", home.env.documentsDirectory},
                                         {"KESTRIO_COUNTERS", home.env.paths.procNetDev},
                                         {"TZ", "UTC"},
                                         {"LANG", "C"}};
  std::vector<History> history;
  std::map<std::string, std::string> snapshot;

  // Answers why the home could not be made, empty when it was.
  std::string make(int years) {
    // The first update makes the records and the settings; then the history.
    if (testing::runProcess({KESTRIO_BINARY, "update"}, env).exitCode != 0) {
      return "the first update failed";
    }
    const Date yesterday = home.platform->now().addingSeconds(-kDay);
    history = yearsOfHistory(*home.platform, yesterday, years);
    if (!History::saveHistoryLogs(*home.platform, history).ok()) {
      return "the history could not be stored";
    }
    return {};
  }
  void keep() {
    for (const auto& entry : std::filesystem::directory_iterator(home.env.documentsDirectory)) {
      if (entry.is_regular_file() && entry.path().extension() != ".lock") {
        snapshot[entry.path().string()] = testing::readWholeFile(entry.path().string());
      }
    }
  }
  void putBack() {
    for (const auto& [path, content] : snapshot) testing::replaceFile(path, content);
  }
};

// Argument 1: the update closes a day; 0: the same update on the same day, for comparison.
void BM_DayClosingUpdate(benchmark::State& state) {
  const bool dayChange = state.range(0) != 0;
  HistoryHome made;
  if (const std::string why = made.make(kYears); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  bench::ScriptedHome& home = made.home;
  const std::map<std::string, std::string>& env = made.env;
  const std::vector<History>& history = made.history;
  for (const char* name : {AppData::kCellularFileName, AppData::kWifiFileName}) {
    if (dayChange && !moveLastUpdateBack(home.platform->documentPath(name))) {
      state.SkipWithError("a usage record has no last update");
      return;
    }
  }
  made.keep();
  std::map<std::string, std::string>& snapshot = made.snapshot;
  const std::string archive = home.platform->documentPath(History::kFileName);

  std::uint64_t step = 0;
  long peak = 0;
  double cpuMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    made.putBack();
    home.advanceCounters(++step);
    state.ResumeTiming();
    const Measured run = runMeasured({KESTRIO_BINARY, "update"}, env);
    if (run.exitCode != 0 || run.peakKb < 0) {
      state.SkipWithError("the day-closing update failed");
      return;
    }
    peak = std::max(peak, run.peakKb);
    cpuMs += run.cpuMs;
  }
  // The days closed (or none), and nothing else of the archive lost.
  if (History::getAllHistoryLogs(*home.platform).size() != history.size() + (dayChange ? 2 : 0)) {
    state.SkipWithError("the update did not close one day per network");
  }
  state.counters["records"] = static_cast<double>(history.size());
  state.counters["archive_MB"] = static_cast<double>(snapshot[archive].size()) / 1e6;
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024;
  state.counters["cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_DayClosingUpdate)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The commands that read the whole history, as whole processes, on 1, 5, 10 and 20 years of it:
// each doubling of the history should at most double their time. Arguments: the years, then the
// command (0: history --json, 1: history export --csv, 2: status, which also stores an update;
// the data directory is put back before each run).
void BM_HistoryCommand(benchmark::State& state) {
  const int years = static_cast<int>(state.range(0));
  const std::vector<std::vector<std::string>> commands{
      {KESTRIO_BINARY, "history", "--json"},
      {KESTRIO_BINARY, "history", "export", "--csv"},
      {KESTRIO_BINARY, "status"}};
  const std::vector<std::string>& command = commands.at(static_cast<std::size_t>(state.range(1)));
  HistoryHome made;
  if (const std::string why = made.make(years); !why.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  made.keep();
  long peak = 0;
  double cpuMs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    made.putBack();
    state.ResumeTiming();
    const Measured run = runMeasured(command, made.env);
    if (run.exitCode != 0) {
      state.SkipWithError("the command failed");
      return;
    }
    peak = std::max(peak, run.peakKb);
    cpuMs += run.cpuMs;
  }
  state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024;
  state.counters["cpu_ms"] = cpuMs / static_cast<double>(state.iterations());
}
BENCHMARK(BM_HistoryCommand)
    ->ArgsProduct({{1, 5, 10, 20}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kestrio

BENCHMARK_MAIN();

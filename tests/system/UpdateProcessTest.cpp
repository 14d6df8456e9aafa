// The kestrio command as a whole process, on a scripted counters file and a temporary home.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "platform/PropertyList.h"
#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using testing::ProcessResult;
using testing::replaceFile;
using testing::runProcess;
using testing::TemporaryDirectory;

struct Counters {
  std::uint64_t cellularReceived = 0, cellularSent = 0, wifiReceived = 0, wifiSent = 0;
};

std::string procNetDev(const Counters& c) {
  return testing::procNetDevText({{"lo", 999, 999},
                                  {"wwan7", c.cellularReceived, c.cellularSent},
                                  {"wlan7", c.wifiReceived, c.wifiSent},
                                  {"docker7", 5555, 5555}});
}

class UpdateProcessTest : public ::testing::Test {
 protected:
  UpdateProcessTest()
      : home(dir.path() + "/home"),
        counters(dir.path() + "/net_dev"),
        env{{"KESTRIO_HOME", home}, {"KESTRIO_COUNTERS", counters}, {"TZ", "UTC"}, {"LANG", "C"}} {}

  ProcessResult kestrio(std::vector<std::string> args) {
    args.insert(args.begin(), KESTRIO_BINARY);
    return runProcess(args, env);
  }

  PlistValue::Dictionary record(const char* file) {
    auto parsed = plist::parse(testing::readWholeFile(home + "/" + file));
    if (!parsed || !parsed->is<PlistValue::Dictionary>()) return {};
    return *parsed->get<PlistValue::Dictionary>();
  }
  double number(const char* file, const char* key) {
    auto r = record(file);
    auto it = r.find(key);
    return it == r.end() ? -1 : it->second.number().value_or(-1);
  }

  TemporaryDirectory dir;
  std::string home;
  std::string counters;
  std::map<std::string, std::string> env;
};

TEST_F(UpdateProcessTest, TwoPassesCountExactlyTheScriptedIncrements) {
  Counters c{1000, 100, 50000, 5000};
  replaceFile(counters, procNetDev(c));
  ASSERT_EQ(kestrio({"update"}).exitCode, 0);
  c.cellularReceived += 4096;
  c.cellularSent += 1024;
  c.wifiReceived += 3000000000ULL;
  c.wifiSent += 7;
  replaceFile(counters, procNetDev(c));
  const ProcessResult second = kestrio({"update"});
  ASSERT_EQ(second.exitCode, 0) << second.err;

  EXPECT_EQ(number("app_data_cellular.plist", "dataSinceLastRun"), 5120);
  EXPECT_EQ(number("app_data_cellular.plist", "dataAllTime"), 1100 + 5120);
  EXPECT_EQ(number("app_data_wifi.plist", "dataSinceLastRunRecd"), 3000000000.0);
  EXPECT_EQ(number("app_data_wifi.plist", "dataSinceLastRunSent"), 7);
  EXPECT_EQ(number("app_data_wifi.plist", "dataAllTime"), 55000 + 3000000007.0);
}

TEST_F(UpdateProcessTest, ConcurrentProcessesCountEveryByteExactlyOnce) {
  Counters c{1000, 100, 50000, 5000};
  replaceFile(counters, procNetDev(c));
  ASSERT_EQ(kestrio({"update"}).exitCode, 0);

  std::atomic<bool> done{false};
  std::thread grower([&] {
    Counters g = c;
    while (!done) {
      g.cellularReceived += 1500;
      g.cellularSent += 40;
      g.wifiReceived += 9000;
      g.wifiSent += 300;
      replaceFile(counters, procNetDev(g));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    c = g;
  });
  std::atomic<int> failures{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < 50; ++i) {
        if (kestrio({"update"}).exitCode != 0) ++failures;
      }
    });
  }
  for (auto& t : workers) t.join();
  done = true;
  grower.join();
  ASSERT_EQ(failures, 0);

  ASSERT_EQ(kestrio({"update"}).exitCode, 0);  // counts what grew after the last worker
  EXPECT_EQ(number("app_data_cellular.plist", "dataAllTimeRecd"), c.cellularReceived);
  EXPECT_EQ(number("app_data_cellular.plist", "dataAllTimeSent"), c.cellularSent);
  EXPECT_EQ(number("app_data_cellular.plist", "dataAllTime"), c.cellularReceived + c.cellularSent);
  EXPECT_EQ(number("app_data_wifi.plist", "dataAllTime"), c.wifiReceived + c.wifiSent);
}

TEST_F(UpdateProcessTest, StatusShowsBothRecordsAsTextAndAsJson) {
  replaceFile(counters, procNetDev(Counters{1048576, 1048576, 0, 0}));
  const ProcessResult text = kestrio({"status", "--detail"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_NE(text.out.find("Interfaces:  wwan7"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Interfaces:  wlan7"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("2.00"), std::string::npos) << text.out;  // all time, in MB
  EXPECT_NE(text.out.find(home), std::string::npos);

  const ProcessResult json = kestrio({"status", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_NE(json.out.find("\"dataAllTime\": 2097152"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"wifi\": {"), std::string::npos);
}

TEST_F(UpdateProcessTest, BadArgumentsAndAnUnusableHomeGiveOneLineAndFailure) {
  const ProcessResult bad = kestrio({"status", "--nonsense"});
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;

  replaceFile(dir.path() + "/plain-file", "x");
  env["KESTRIO_HOME"] = dir.path() + "/plain-file/home";
  const ProcessResult unusable = kestrio({"update"});
  EXPECT_NE(unusable.exitCode, 0);
  EXPECT_EQ(std::count(unusable.err.begin(), unusable.err.end(), '\n'), 1) << unusable.err;
}

TEST_F(UpdateProcessTest, AnUnreadableRecordIsKeptAsideAndReported) {
  replaceFile(counters, procNetDev(Counters{10, 10, 10, 10}));
  ASSERT_EQ(kestrio({"update"}).exitCode, 0);
  replaceFile(home + "/app_data_wifi.plist", "garbage");
  const ProcessResult status = kestrio({"status"});
  ASSERT_EQ(status.exitCode, 0);
  EXPECT_NE(status.out.find("app_data_wifi.plist.unreadable-"), std::string::npos) << status.out;
}

// A zone the C library reads from its file but ICU's data does not hold would run the calendar
// on UTC: nine hours off for Tokyo, with days closed at the wrong midnight. Both programs stop,
// saying why, before the data directory is even made; a zone both know runs as usual.
TEST_F(UpdateProcessTest, AZoneUnknownToIcuStopsEveryProgramBeforeAnyFileIsTouched) {
  const std::string zoneDirectory = dir.path() + "/zoneinfo/Kestrio";
  ASSERT_EQ(std::system(("mkdir -p '" + zoneDirectory + "' && cp /usr/share/zoneinfo/Asia/Tokyo '" +
                         zoneDirectory + "/Elsewhere'")
                            .c_str()),
            0);
  replaceFile(counters, procNetDev({1000, 100, 50000, 5000}));
  env["QT_QPA_PLATFORM"] = "offscreen";
  env["TZ"] = ":" + zoneDirectory + "/Elsewhere";
  for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
           {KESTRIO_BINARY, "update"}, {KESTRIO_BINARY, "status"}, {KESTRIO_GUI_BINARY}}) {
    SCOPED_TRACE(command.front());
    const ProcessResult result = runProcess(command, env);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("dates would be wrong"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("UTC+09:00"), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(home));
  }
  env["TZ"] = "Asia/Tokyo";
  const ProcessResult known = kestrio({"update"});
  EXPECT_EQ(known.exitCode, 0) << known.err;
  EXPECT_TRUE(std::filesystem::exists(home + "/app_data_cellular.plist"));
}

// What a status bar runs every few seconds: the traffic since the last update is counted in
// memory and shown as the next stored update will show it, and no file of the data directory
// changes. Without stored data it says so and makes nothing.
TEST_F(UpdateProcessTest, ACachedStatusShowsTheNextUpdateWithoutChangingAFile) {
  const auto snapshot = [&] {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(home)) {
      files[entry.path().filename()] = testing::readWholeFile(entry.path());
    }
    return files;
  };
  const ProcessResult missing = kestrio({"status", "--cached", "--oneline"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("nothing is stored"), std::string::npos) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(home));

  Counters c{1000, 100, 50000, 5000};
  replaceFile(counters, procNetDev(c));
  ASSERT_EQ(kestrio({"plan", "quota", "1", "GB"}).exitCode, 0);
  ASSERT_EQ(kestrio({"update"}).exitCode, 0);
  c.cellularReceived += 300'000'000;
  c.wifiSent += 7'000'000;
  replaceFile(counters, procNetDev(c));
  const auto before = snapshot();
  const ProcessResult cached = kestrio({"status", "--cached", "--oneline"});
  ASSERT_EQ(cached.exitCode, 0) << cached.err;
  EXPECT_EQ(snapshot(), before);
  const ProcessResult stored = kestrio({"status", "--oneline"});
  ASSERT_EQ(stored.exitCode, 0) << stored.err;
  EXPECT_EQ(cached.out, stored.out);
  EXPECT_NE(snapshot(), before);
}

}  // namespace
}  // namespace kestrio

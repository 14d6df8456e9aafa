// kestrio daemon as a real process: alerts across its refreshes, and the last update when it is
// asked to stop.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>
#include <vector>

#include "platform/PropertyList.h"
#include "support/AbstractSquatter.h"
#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using testing::BackgroundProcess;

constexpr double kMB = 1048576;

class DaemonProcessTest : public ::testing::Test {
 protected:
  DaemonProcessTest()
      : home(dir.path() + "/home"),
        counters(dir.path() + "/net_dev"),
        runtime(dir.path() + "/run"),
        env{{"KESTRIO_HOME", home},
            {"KESTRIO_COUNTERS", counters},
            // The user's private runtime directory, where the daemon's socket lives.
            {"XDG_RUNTIME_DIR", runtime},
            {"TZ", "UTC"},
            {"LANG", "C"},
            // No desktop: every notification waits in the schedule, and each attempt to show it
            // is a log line.
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}} {
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  }

  void setCellular(double received) {
    testing::replaceFile(
        counters, testing::procNetDevText(
                      {{"wwan7", static_cast<std::uint64_t>(received), 0}, {"wlan7", 1000, 1000}}));
  }
  int kestrio(std::vector<std::string> args) {
    args.insert(args.begin(), KESTRIO_BINARY);
    return testing::runProcess(args, env).exitCode;
  }
  double allTime() {
    auto parsed = plist::parse(testing::readWholeFile(home + "/app_data_cellular.plist"));
    if (!parsed || !parsed->is<PlistValue::Dictionary>()) return -1;
    const auto& d = *parsed->get<PlistValue::Dictionary>();
    auto it = d.find("dataAllTime");
    return it == d.end() ? -1 : it->second.number().value_or(-1);
  }

  testing::TemporaryDirectory dir;
  std::string home;
  std::string counters;
  std::string runtime;
  std::map<std::string, std::string> env;
};

TEST_F(DaemonProcessTest, CrossingHalfAndThenNinetyFivePercentRaisesTwoAlerts) {
  setCellular(0);
  ASSERT_EQ(kestrio({"settings", "set", "cellularDataLimit", "1000"}), 0);
  ASSERT_EQ(kestrio({"update"}), 0);

  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "0.05"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();
  setCellular(550 * kMB);
  ASSERT_TRUE(daemon.waitForErr("usage exceeded", 1, 20)) << daemon.err();
  setCellular(960 * kMB);
  ASSERT_TRUE(daemon.waitForErr("usage exceeded", 2, 20)) << daemon.err();
  // Further refreshes at the same usage raise nothing more.
  const int refreshes = static_cast<int>(daemon.err().size());
  ASSERT_TRUE(daemon.waitForErr("updated:", 4, 20)) << daemon.err();
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0);

  const std::string log = daemon.err();
  EXPECT_GT(static_cast<int>(log.size()), refreshes);
  // Each alert was raised once and, with no desktop to show it, waits for one; the refreshes
  // tried again to show both and raised nothing new.
  std::set<std::string> raised;
  for (size_t at = log.find("usage exceeded"); at != std::string::npos;
       at = log.find("usage exceeded", at + 1)) {
    raised.insert(log.substr(at, log.find('\n', at) - at));
  }
  EXPECT_EQ(raised, (std::set<std::string>{"usage exceeded 55.0\xE2\x84\x80",
                                           "usage exceeded 96.0\xE2\x84\x80"}))
      << log;
  auto schedule = plist::parse(testing::readWholeFile(home + "/notifications.plist"));
  ASSERT_TRUE(schedule && schedule->is<PlistValue::Array>());
  std::vector<std::string> waiting;
  for (const PlistValue& entry : *schedule->get<PlistValue::Array>()) {
    const auto* fields = entry.get<PlistValue::Dictionary>();
    ASSERT_TRUE(fields);
    const std::string body = *fields->at("alertBody").get<std::string>();
    if (body.find("usage exceeded") != std::string::npos) waiting.push_back(body);
  }
  EXPECT_EQ(waiting, (std::vector<std::string>{"Cellular usage exceeded 55.0\xE2\x84\x80",
                                               "Cellular usage exceeded 96.0\xE2\x84\x80"}));
}

TEST_F(DaemonProcessTest, StoppingCountsOnceMoreAndASecondDaemonRefuses) {
  setCellular(1000);
  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "60"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();

  const testing::ProcessResult second =
      testing::runProcess({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "60"}, env);
  EXPECT_EQ(second.exitCode, 3);  // the user unit's RestartPreventExitStatus
  EXPECT_NE(second.err.find("already running"), std::string::npos) << second.err;

  setCellular(1000 + 12345);
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  EXPECT_EQ(allTime(), 1000 + 12345) << daemon.err();
}

// Whether the process blocks SIGTERM, from its /proc status.
bool blocksStopSignals(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) == 0) {
      const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
      return (mask & (1ull << (SIGTERM - 1))) != 0;
    }
  }
  return false;
}

// A stop request in the daemon's first moments, before its first pass is done, still gets the
// last pass; SIGHUP (the terminal closing) stops it the same way.
TEST_F(DaemonProcessTest, AStopRightAfterTheStartOrAHangUpStillCountsOnceMore) {
  setCellular(1000);
  {
    // Holding the documents lock keeps the daemon in its first pass, so the stop request
    // surely comes before it.
    std::filesystem::create_directories(home);
    const int lock = ::open((home + "/kestrio.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon"}, env);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!blocksStopSignals(daemon.pid()) && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(blocksStopSignals(daemon.pid())) << "stop signals not blocked at the start";
    daemon.signal(SIGTERM);
    ::close(lock);
    EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
    EXPECT_NE(daemon.err().find("daemon stopped after a last update"), std::string::npos)
        << daemon.err();
  }
  EXPECT_EQ(allTime(), 1000);

  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();
  setCellular(1000 + 777);
  daemon.signal(SIGHUP);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  EXPECT_EQ(allTime(), 1000 + 777) << daemon.err();
}

// `rm -rf` of the data directory under a running daemon: the next one must still see it.
TEST_F(DaemonProcessTest, ASecondDaemonRefusesAfterTheDirectoryWasMadeAgain) {
  setCellular(1000);
  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "60"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();
  std::filesystem::remove_all(home);

  const testing::ProcessResult second =
      testing::runProcess({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "60"}, env);
  EXPECT_EQ(second.exitCode, 3) << second.err;
  EXPECT_NE(second.err.find("already running"), std::string::npos) << second.err;

  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  // With the first one gone, a daemon starts again.
  BackgroundProcess third({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "60"}, env);
  EXPECT_TRUE(third.waitForErr("updated:", 1, 20)) << third.err();
}

// Any local user can bind a name in the abstract socket namespace, where the daemon's name once
// was: holding it first must not keep the user's daemon from starting.
TEST_F(DaemonProcessTest, ASquatterOnTheAbstractNameDoesNotKeepTheDaemonFromStarting) {
  setCellular(1000);
  std::filesystem::create_directories(home);
  const int squatter = testing::squatAbstractName(testing::abstractDaemonName(home));
  ASSERT_GE(squatter, 0) << std::strerror(errno);

  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "60"}, env);
  EXPECT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();
  // The daemon is recognised all the same.
  const testing::ProcessResult second =
      testing::runProcess({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "60"}, env);
  EXPECT_EQ(second.exitCode, 3) << second.err;
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  ::close(squatter);
}

TEST_F(DaemonProcessTest, IntervalsThatAreNotMinutesAreRefused) {
  for (const char* interval : {"0", "0.001", "nan", "inf", "1441", "1e300", "-1", "x"}) {
    const auto result =
        testing::runProcess({KESTRIO_BINARY, "--verbose", "daemon", "--interval", interval}, env);
    EXPECT_EQ(result.exitCode, 2) << interval;
    EXPECT_NE(result.err.find("--interval takes a number of minutes from 0.05 to 1440"),
              std::string::npos)
        << result.err;
  }
}

// Another process holds the documents lock and does not let go: a command says so after a
// second, and gives up when its patience runs out.
TEST_F(DaemonProcessTest, ACommandWaitingForTheLockSaysSoAndGivesUp) {
  setCellular(1000);
  ASSERT_EQ(kestrio({"update"}), 0);
  const int fd = ::open((home + "/kestrio.lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  auto waiting = env;
  waiting["KESTRIO_LOCK_TIMEOUT"] = "1.5";
  const auto result = testing::runProcess({KESTRIO_BINARY, "update"}, waiting);
  // A daemon never counts without the lock: it skips the pass, and stops without one.
  waiting["KESTRIO_LOCK_TIMEOUT"] = "0.2";
  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon"}, waiting);
  EXPECT_TRUE(daemon.waitForErr("update skipped", 1, 20)) << daemon.err();
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 1) << daemon.err();
  EXPECT_NE(daemon.err().find("daemon stopped without a last update"), std::string::npos)
      << daemon.err();
  ::close(fd);
  EXPECT_NE(result.err.find("kestrio: waiting for another Kestrio process to finish (data "
                            "directory " +
                            home + ")\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("gave up waiting for another Kestrio process after 1.5 seconds"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.exitCode, 0) << result.err;
}

}  // namespace
}  // namespace kestrio

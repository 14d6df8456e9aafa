// kestrio counters as real processes while a daemon counts: a counter added on the command line
// takes exactly the traffic of the passes that follow, and pausing, renaming, resetting and
// deleting it never cost the daemon a byte.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>

#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using testing::BackgroundProcess;

constexpr std::uint64_t kMB = 1048576;

class CountersProcessTest : public ::testing::Test {
 protected:
  CountersProcessTest()
      : home(dir.path() + "/home"),
        counters(dir.path() + "/net_dev"),
        env{{"KESTRIO_HOME", home},
            {"KESTRIO_COUNTERS", counters},
            {"TZ", "UTC"},
            {"LANG", "C"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}} {}

  void setTraffic(std::uint64_t cellReceived, std::uint64_t wifiReceived, std::uint64_t wifiSent) {
    testing::replaceFile(counters, testing::procNetDevText({{"wwan7", cellReceived, 0},
                                                            {"wlan7", wifiReceived, wifiSent}}));
  }
  testing::ProcessResult kestrio(std::vector<std::string> args) {
    args.insert(args.begin(), KESTRIO_BINARY);
    return testing::runProcess(args, env);
  }
  // A figure of the counter with this name, as `kestrio counters --json` shows it; -1 if absent.
  double figure(const std::string& name, const std::string& key) {
    const std::string json = kestrio({"counters", "--json"}).out;
    std::smatch object;
    const std::regex objectPattern("\\{[^}]*\"name\": \"" + name + "\"[^}]*\\}");
    if (!std::regex_search(json, object, objectPattern)) return -1;
    std::smatch value;
    const std::string text = object.str();
    if (!std::regex_search(text, value, std::regex("\"" + key + "\": ([-0-9.e+]+|true|false)"))) {
      return -1;
    }
    if (value[1] == "true") return 1;
    if (value[1] == "false") return 0;
    return std::stod(value[1]);
  }
  // Lets the daemon run `passes` more updates after this moment.
  void waitForPasses(BackgroundProcess& daemon, int passes) {
    const std::string log = daemon.err();
    int seen = 0;
    for (size_t at = log.find("updated:"); at != std::string::npos;
         at = log.find("updated:", at + 1)) {
      ++seen;
    }
    ASSERT_TRUE(daemon.waitForErr("updated:", seen + passes, 20)) << daemon.err();
  }

  // One update of our own: the daemon's next pass may be seconds away.
  void countNow() { ASSERT_EQ(kestrio({"update"}).exitCode, 0); }

  testing::TemporaryDirectory dir;
  std::string home;
  std::string counters;
  std::map<std::string, std::string> env;
};

TEST_F(CountersProcessTest, CounterAddedWhileTheDaemonRunsTakesExactlyTheFollowingTraffic) {
  setTraffic(0, 1000, 1000);
  ASSERT_EQ(kestrio({"update"}).exitCode, 0);
  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "0.05"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();

  auto added = kestrio({"counters", "add", "Trip", "--network", "wifi", "--direction", "received",
                        "--ends", "2099-01-02 18:00", "--alert"});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  EXPECT_NE(added.out.find("Added counter 2 \"Trip\""), std::string::npos) << added.out;

  // Traffic that comes after the add, over two steps counted separately while the daemon runs
  // its own passes.
  setTraffic(7 * kMB, 1000 + 5 * kMB, 1000 + kMB);
  waitForPasses(daemon, 2);
  setTraffic(7 * kMB, 1000 + 8 * kMB, 1000 + kMB);
  countNow();
  EXPECT_EQ(figure("Trip", "wifiDataReceived"), 8.0 * kMB);
  EXPECT_EQ(figure("Trip", "wifiDataSent"), 1.0 * kMB);
  EXPECT_EQ(figure("Trip", "cellularDataTotal"), 0.0);  // not tracked

  // Paused: the traffic while it is off is not counted, and the change did not cost a byte.
  ASSERT_EQ(kestrio({"counters", "pause", "2"}).exitCode, 0);
  setTraffic(7 * kMB, 1000 + 10 * kMB, 1000 + kMB);
  countNow();
  EXPECT_EQ(figure("Trip", "wifiDataReceived"), 8.0 * kMB);
  EXPECT_EQ(figure("Trip", "isPaused"), 1);
  ASSERT_EQ(kestrio({"counters", "resume", "Trip"}).exitCode, 2);  // a name is not an ID
  ASSERT_EQ(kestrio({"counters", "resume", "2"}).exitCode, 0);
  ASSERT_EQ(kestrio({"counters", "edit", "2", "--name", "Holiday"}).exitCode, 0);
  setTraffic(7 * kMB, 1000 + 11 * kMB, 1000 + kMB);
  countNow();
  EXPECT_EQ(figure("Holiday", "wifiDataReceived"), 9.0 * kMB);

  ASSERT_EQ(kestrio({"counters", "reset", "2", "--yes"}).exitCode, 0);
  EXPECT_EQ(figure("Holiday", "wifiDataTotal"), 0.0);
  auto notifications = kestrio({"notifications"});
  EXPECT_NE(notifications.out.find("Custom counter Holiday ended!"), std::string::npos)
      << notifications.out;
  ASSERT_EQ(kestrio({"counters", "remove", "2", "--yes"}).exitCode, 0);
  EXPECT_EQ(figure("Holiday", "wifiDataTotal"), -1);
  notifications = kestrio({"notifications"});
  EXPECT_EQ(notifications.out.find("Holiday"), std::string::npos) << notifications.out;

  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  // The sample the first update made saw every byte since then, whatever the commands did.
  EXPECT_EQ(figure("Sample Counter", "wifiDataReceived"), 11.0 * kMB);
  EXPECT_EQ(figure("Sample Counter", "cellularDataTotal"), 7.0 * kMB);
}

}  // namespace
}  // namespace kestrio

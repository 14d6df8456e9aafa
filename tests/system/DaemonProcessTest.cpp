// kestrio daemon as a real process: alerts across its refreshes, and the last update when it is
// asked to stop.
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/PropertyList.h"
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
        env{{"KESTRIO_HOME", home},
            {"KESTRIO_COUNTERS", counters},
            {"TZ", "UTC"},
            {"LANG", "C"},
            // No desktop: every notification becomes a log line the test can count.
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}} {}

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
  std::map<std::string, std::string> env;
};

TEST_F(DaemonProcessTest, CrossingHalfAndThenNinetyFivePercentRaisesTwoAlerts) {
  setCellular(0);
  ASSERT_EQ(kestrio({"settings", "set", "cellularDataLimit", "1000"}), 0);
  ASSERT_EQ(kestrio({"update"}), 0);

  BackgroundProcess daemon({KESTRIO_BINARY, "daemon", "--interval", "0.01"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();
  setCellular(550 * kMB);
  ASSERT_TRUE(daemon.waitForErr("usage exceeded", 1, 20)) << daemon.err();
  setCellular(960 * kMB);
  ASSERT_TRUE(daemon.waitForErr("usage exceeded", 2, 20)) << daemon.err();
  // Further refreshes at the same usage raise nothing more.
  const int refreshes = static_cast<int>(daemon.err().size());
  ASSERT_TRUE(daemon.waitForErr("updated:", 6, 20)) << daemon.err();
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0);

  const std::string log = daemon.err();
  EXPECT_GT(static_cast<int>(log.size()), refreshes);
  EXPECT_NE(log.find("Cellular usage exceeded 55.0\xE2\x84\x80"), std::string::npos) << log;
  EXPECT_NE(log.find("Cellular usage exceeded 96.0\xE2\x84\x80"), std::string::npos) << log;
  size_t alerts = 0;
  for (size_t at = log.find("usage exceeded"); at != std::string::npos;
       at = log.find("usage exceeded", at + 1)) {
    ++alerts;
  }
  EXPECT_EQ(alerts, 2u) << log;
}

TEST_F(DaemonProcessTest, StoppingCountsOnceMoreAndASecondDaemonRefuses) {
  setCellular(1000);
  BackgroundProcess daemon({KESTRIO_BINARY, "daemon", "--interval", "60"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 1, 20)) << daemon.err();

  const testing::ProcessResult second =
      testing::runProcess({KESTRIO_BINARY, "daemon", "--interval", "60"}, env);
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.err.find("already running"), std::string::npos) << second.err;

  setCellular(1000 + 12345);
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  EXPECT_EQ(allTime(), 1000 + 12345) << daemon.err();
}

}  // namespace
}  // namespace kestrio

#include <gtest/gtest.h>

#include <sstream>

#include "cli/Daemon.h"
#include "engine/AppData.h"
#include "services/Communications.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

class DaemonTest : public ::testing::Test {
 protected:
  DaemonTest() { platform.setCounters("wwan0", 1000, 100, InterfaceKind::Cellular); }

  int count(const std::string& prefix) const {
    int n = 0;
    for (const auto& line : platform.logLines) n += line.rfind(prefix, 0) == 0;
    return n;
  }

  FakePlatform platform;
  std::ostringstream err;
};

TEST_F(DaemonTest, RefreshesEveryIntervalAndCountsOnceMoreWhenStopped) {
  platform.waitsBeforeTermination = 2;  // two intervals pass, then the stop request comes
  const Date start = platform.now();
  ASSERT_EQ(runDaemon(platform, 15, err), 0) << err.str();
  EXPECT_EQ(count("updated:"), 3);  // at the start and after each interval
  EXPECT_EQ(count("daemon stopped after a last update"), 1);
  EXPECT_DOUBLE_EQ(platform.now().secondsSince1970 - start.secondsSince1970, 2 * 15 * 60.0);
}

TEST_F(DaemonTest, WakesForANotificationBetweenRefreshes) {
  Communications::sendLocalNotificationOnDate(platform, platform.now().addingSeconds(5 * 60),
                                              "Custom Counter Trip Ended!", "View", "TRIP");
  platform.waitsBeforeTermination = 2;
  ASSERT_EQ(runDaemon(platform, 15, err), 0);
  // The first wait ends when the notice falls due (5 minutes), the second at the refresh (15).
  ASSERT_EQ(platform.delivered.size(), 1u);
  EXPECT_EQ(platform.delivered[0].alertBody, "Custom Counter Trip Ended!");
  EXPECT_EQ(count("updated:"), 2);
}

TEST_F(DaemonTest, ANotificationNoDesktopCanShowWaitsForTheNextRefresh) {
  // Started before the user's session: what it cannot show stays due without waking it every
  // second, and is shown by the first refresh after the desktop is there.
  platform.desktopShowsNotifications = false;
  Communications::sendLocalNotificationNowWithAlertBody(platform, "Cellular usage exceeded 60.7",
                                                        "View");
  platform.waitsBeforeTermination = 2;
  ASSERT_EQ(runDaemon(platform, 15, err), 0);
  EXPECT_EQ(platform.waits, 3);  // each wait lasted until the next refresh
  EXPECT_EQ(count("updated:"), 3);
  EXPECT_TRUE(platform.delivered.empty());

  platform.desktopShowsNotifications = true;
  platform.waits = 0;
  platform.waitsBeforeTermination = 0;
  ASSERT_EQ(runDaemon(platform, 15, err), 0);
  ASSERT_EQ(platform.delivered.size(), 1u);
  EXPECT_EQ(platform.delivered[0].alertBody, "Cellular usage exceeded 60.7");
}

TEST_F(DaemonTest, AClockSteppedBackDoesNotPostponeTheNextRefresh) {
  platform.clockStepOnWait = -365 * 86400.0;  // a time sync corrects the clock by a year
  platform.waitsBeforeTermination = 4;
  ASSERT_EQ(runDaemon(platform, 15, err), 0);
  // The wait the clock jumped in starts a fresh interval; each later wait ends in a refresh.
  EXPECT_EQ(count("updated:"), 4);
}

TEST_F(DaemonTest, ASecondDaemonRefusesToStart) {
  platform.fakeFiles().heldElsewhere.insert(platform.documentPath("daemon.lock"));
  EXPECT_EQ(runDaemon(platform, 15, err), kDaemonAlreadyRunningStatus);
  EXPECT_NE(err.str().find("already running"), std::string::npos);
  EXPECT_EQ(count("updated:"), 0);
}

// NetworkManager turns the Wi-Fi connection metered a minute into an interval: the daemon counts
// at once, so the traffic before the change stays Wi-Fi's and what follows is cellular's. A
// signal that changes nothing the daemon uses wakes no pass.
TEST_F(DaemonTest, CountsAtOnceWhenAConnectionChanges) {
  const auto usage = [this](const char* type) {
    AppData record(platform);
    record.getAppData(type);
    return record.dataThisMonth().value_or(0);
  };
  platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
  platform.connections = {true, {{"wlan0", false, "u-1", "Pixel hotspot"}}, {}};
  ConnectionSnapshot metered = platform.connections;
  metered.connections[0].metered = true;
  platform.duringNextWait = FakePlatform::WaitEvent{
      60, [&] {
        platform.setCounters("wlan0", 5000, 0, InterfaceKind::Wifi);
        platform.changeConnections(platform.connections);  // the same: no pass
        platform.changeConnections(metered);
        platform.duringNextWait = FakePlatform::WaitEvent{
            120, [&] { platform.setCounters("wlan0", 12000, 0, InterfaceKind::Wifi); }};
      }};
  platform.waitsBeforeTermination = 2;
  const Date start = platform.now();
  ASSERT_EQ(runDaemon(platform, 15, err), 0) << err.str();
  EXPECT_EQ(count("updated:"), 3);  // at the start, at the change, after the interval
  EXPECT_DOUBLE_EQ(platform.now().secondsSince1970 - start.secondsSince1970, 60 + 15 * 60.0);
  EXPECT_EQ(usage("wifi"), 5000);
  EXPECT_EQ(usage("cellular"), 7000);
}

struct Interval {
  const char* name;
  const char* text;
  std::optional<double> minutes;
};

void PrintTo(const Interval& c, std::ostream* os) {
  *os << c.name;
}

class IntervalTest : public ::testing::TestWithParam<Interval> {};

TEST_P(IntervalTest, IsAFiniteNumberOfMinutesFromThreeSecondsToADay) {
  EXPECT_EQ(parseInterval(GetParam().text), GetParam().minutes) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, IntervalTest,
    ::testing::Values(
        Interval{"Whole", "15", 15.0}, Interval{"Shortest", "0.05", 0.05},
        Interval{"Longest", "1440", 1440.0}, Interval{"Fraction", "2.5", 2.5},
        Interval{"BelowTheShortest", "0.049", std::nullopt},
        Interval{"AboveTheLongest", "1440.01", std::nullopt}, Interval{"Zero", "0", std::nullopt},
        Interval{"Negative", "-5", std::nullopt}, Interval{"NotANumber", "nan", std::nullopt},
        Interval{"Infinite", "inf", std::nullopt}, Interval{"Huge", "1e300", std::nullopt},
        Interval{"Empty", "", std::nullopt}, Interval{"TrailingBlank", "15 ", std::nullopt},
        Interval{"DecimalComma", "2,5", std::nullopt}, Interval{"Word", "ten", std::nullopt}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kestrio::cli

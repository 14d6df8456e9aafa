#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/History.h"
#include "engine/RefreshPass.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

// One connection's figures in one network's record after a sequence of refreshes.
struct Expected {
  const char* type;
  const char* uuid;
  const char* name;
  bool metered;
  double thisPeriod;
  double allTime;
};

// Refreshes as the daemon runs them, a minute apart: one NetworkManager answer per refresh,
// shared by both networks.
class Refreshes {
 public:
  explicit Refreshes(FakePlatform& platform) : platform_(platform) {
    platform.userDefaults().setInteger(AppSettings::kFirstDayOfCycle, 1);
    platform.userDefaults().setInteger(AppSettings::kFirstDayOfCycleWifi, 1);
  }
  void operator()() {
    platform_.advance(60);
    AppSettings settings(platform_);
    AppData cellular(platform_);
    AppData wifi(platform_);
    ASSERT_TRUE(RefreshPass(platform_, center_, settings, cellular, wifi).run({}).stored.ok());
  }

 private:
  FakePlatform& platform_;
  NotificationCenter center_;
};

ActiveConnection home(bool metered = false) {
  return {"wlan0", metered, "u-home", "Home"};
}

struct Case {
  const char* name;
  std::function<void(FakePlatform&, Refreshes&)> run;
  std::vector<Expected> expected;
};

// The traffic between two refreshes belongs to the connection (and the network) in force at the
// first of them; a refresh runs at every change NetworkManager announces. The first refresh only
// takes the counters as they stand: what came before it crossed no connection Kestrio knew.
TEST(ConnectionUsageTest, EachConnectionCountsTheTrafficCarriedOnIt) {
  const Case cases[] = {
      {"a new connection takes the traffic from the refresh that finds it",
       [](FakePlatform& p, Refreshes& refresh) {
         p.connections = {true, {home()}};
         p.setCounters("wlan0", 1000, 100, InterfaceKind::Wifi);
         refresh();
         p.setCounters("wlan0", 1500, 200);
         refresh();
         p.setCounters("wlan0", 1800, 200);  // still on Home until the refresh that sees Cafe
         p.connections = {true, {{"wlan0", false, "u-cafe", "Cafe"}}};
         refresh();
         p.setCounters("wlan0", 2000, 250);
         refresh();
       },
       {{"wifi", "u-home", "Home", false, 900, 900}, {"wifi", "u-cafe", "Cafe", false, 250, 250}}},
      {"a connection made metered and back counts in each network for its time there",
       [](FakePlatform& p, Refreshes& refresh) {
         p.connections = {true, {home()}};
         p.setCounters("wlan0", 1000, 0, InterfaceKind::Wifi);
         refresh();
         p.setCounters("wlan0", 1500, 0);
         refresh();
         p.connections = {true, {home(true)}};
         p.setCounters("wlan0", 1800, 0);
         refresh();  // the 300 before it were Wi-Fi's
         p.setCounters("wlan0", 2500, 0);
         p.connections = {true, {home(false)}};
         refresh();  // the 700 were cellular's
         p.setCounters("wlan0", 2550, 0);
         refresh();
       },
       // Each shows the connection as NetworkManager has it now.
       {{"wifi", "u-home", "Home", false, 850, 850},
        {"cellular", "u-home", "Home", false, 700, 700}}},
      {"two interfaces credit their own connections",
       [](FakePlatform& p, Refreshes& refresh) {
         p.connections = {true, {home(), {"wwan0", true, "u-op", "Operator"}}};
         p.setCounters("wlan0", 1000, 0, InterfaceKind::Wifi);
         p.setCounters("wwan0", 50, 50, InterfaceKind::Cellular);
         refresh();
         p.setCounters("wlan0", 1400, 0);
         p.setCounters("wwan0", 80, 60);
         refresh();
         p.setCounters("wlan0", 1500, 0);
         refresh();
       },
       {{"wifi", "u-home", "Home", false, 500, 500},
        {"cellular", "u-op", "Operator", true, 40, 40}}},
      // What crossed the link while NetworkManager gave no answer at either end goes to no
      // connection; a restarted NetworkManager loses nothing that one end of it saw.
      {"without NetworkManager the traffic stays with the network alone",
       [](FakePlatform& p, Refreshes& refresh) {
         p.connections = {true, {home()}};
         p.setCounters("wlan0", 1000, 0, InterfaceKind::Wifi);
         refresh();
         p.connections = {};
         p.setCounters("wlan0", 1400, 0);
         refresh();
         p.setCounters("wlan0", 1700, 0);
         refresh();
         p.connections = {true, {home()}};
         p.setCounters("wlan0", 1900, 0);
         refresh();
         p.connections = {true, {}};  // NetworkManager runs, the link has no connection
         p.setCounters("wlan0", 1950, 0);
         refresh();
         p.setCounters("wlan0", 2000, 0);
         refresh();
       },
       {{"wifi", "u-home", "Home", false, 650, 650}}},
      {"a billing period's close starts each connection's period again",
       [](FakePlatform& p, Refreshes& refresh) {
         p.setNow(2026, 1, 31, 23, 50);
         p.connections = {true, {home()}};
         p.setCounters("wlan0", 1000, 0, InterfaceKind::Wifi);
         refresh();
         p.setCounters("wlan0", 1500, 0);
         refresh();
         p.setNow(2026, 2, 1, 0, 10);
         p.setCounters("wlan0", 1800, 0);
         refresh();  // the period's close: its 500 go into the history
         p.setCounters("wlan0", 1900, 0);
         refresh();
       },
       {{"wifi", "u-home", "Home", false, 100, 900}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    Refreshes refresh(platform);
    c.run(platform, refresh);
    AppData cellular(platform);
    AppData wifi(platform);
    cellular.getAppData("cellular");
    wifi.getAppData("wifi");
    std::size_t listed = 0;
    for (const Expected& e : c.expected) {
      SCOPED_TRACE(std::string(e.type) + " " + e.uuid);
      const ConnectionUsageMap& usage =
          std::string(e.type) == "wifi" ? wifi.connectionUsage() : cellular.connectionUsage();
      const auto it = usage.find(e.uuid);
      ASSERT_NE(it, usage.end());
      EXPECT_EQ(it->second.name, e.name);
      EXPECT_EQ(it->second.metered, e.metered);
      EXPECT_EQ(it->second.dataThisMonth, e.thisPeriod);
      EXPECT_EQ(it->second.dataAllTime, e.allTime);
      EXPECT_EQ(it->second.dataAllTimeSent + it->second.dataAllTimeRecd, e.allTime);
      EXPECT_EQ(it->second.dataThisMonthSent + it->second.dataThisMonthRecd, e.thisPeriod);
    }
    listed = cellular.connectionUsage().size() + wifi.connectionUsage().size();
    EXPECT_EQ(listed, c.expected.size());
  }
}

// The closed period's history entry keeps each connection's figures; the day entries do not.
TEST(ConnectionUsageTest, AClosedPeriodKeepsItsConnectionsInTheHistory) {
  FakePlatform platform;
  Refreshes refresh(platform);
  platform.setNow(2026, 1, 31, 23, 0);
  platform.connections = {true, {home(), {"wwan0", true, "u-op", "Operator"}}};
  platform.setCounters("wlan0", 1000, 100, InterfaceKind::Wifi);
  platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
  refresh();
  platform.setCounters("wlan0", 1600, 300);
  refresh();
  platform.connections = {true, {{"wlan0", true, "u-phone", "Pixel hotspot"}}};
  platform.setCounters("wlan0", 2000, 400);
  refresh();  // Home until here
  platform.setCounters("wlan0", 2070, 430);
  refresh();  // the hotspot: cellular
  platform.setNow(2026, 2, 1, 0, 5);
  refresh();

  std::vector<History> periods;
  for (History& h : History::getAllBillingCycleLogs(platform)) periods.push_back(h);
  ASSERT_EQ(periods.size(), 2u);
  for (const History& period : periods) {
    if (period.dataType() == 2) {
      EXPECT_EQ(period.connections(),
                (std::vector<ClosedConnection>{{"u-home", "Home", false, 300, 1000, 1300}}));
      EXPECT_EQ(period.dataTotal(), 1300.0);
    } else {
      EXPECT_EQ(period.connections(),
                (std::vector<ClosedConnection>{{"u-phone", "Pixel hotspot", true, 30, 70, 100}}));
    }
  }
  for (const History& entry : History::getAllHistoryLogs(platform)) {
    if (entry.historyType() == 2) {
      EXPECT_TRUE(entry.connections().empty());
    }
  }
}

}  // namespace
}  // namespace kestrio

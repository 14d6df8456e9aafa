#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/ApplicationHistory.h"
#include "engine/ApplicationUsage.h"
#include "engine/History.h"
#include "engine/RefreshPass.h"
#include "platform/MoveAside.h"
#include "services/NotificationCenter.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

constexpr const char* kFirefox =
    "/user.slice/user-1000.slice/user@1000.service/app.slice/"
    "app-gnome-org.mozilla.firefox-77.scope";
constexpr const char* kSshd = "/system.slice/sshd.service";
constexpr const char* kKernel = "/";

// Refreshes as the daemon runs them, a minute apart, with both billing cycles monthly.
class Refreshes {
 public:
  explicit Refreshes(FakePlatform& platform) : platform_(platform) {
    platform.userDefaults().setInteger(AppSettings::kFirstDayOfCycle, 1);
    platform.userDefaults().setInteger(AppSettings::kFirstDayOfCycleWifi, 1);
    platform.dataDirs = {"/usr/share"};
    platform.fakeFiles().put("/usr/share/applications/org.mozilla.firefox.desktop",
                             "[Desktop Entry]\nName=Firefox\nIcon=firefox\n");
    platform.applicationCounters.state = ApplicationCounters::State::Read;
  }
  // The service's counters from now on: (cgroup, interface, received, sent).
  void apps(std::vector<ApplicationCounter> counters) {
    platform_.applicationCounters.counters = std::move(counters);
  }
  bool operator()() {
    platform_.advance(60);
    AppSettings settings(platform_);
    AppData cellular(platform_);
    AppData wifi(platform_);
    return RefreshPass(platform_, center_, settings, cellular, wifi).run({}).stored.ok();
  }

 private:
  FakePlatform& platform_;
  NotificationCenter center_;
};

struct Expected {
  int dataType;
  const char* key;
  const char* name;
  double thisPeriod;
  double allTime;
};

struct Case {
  const char* name;
  std::function<void(FakePlatform&, Refreshes&)> run;
  std::vector<Expected> expected;
  // Whether each network's applications add up to its own period figure.
  bool addsUp = true;
};

ApplicationUsageStore stored(FakePlatform& platform) {
  ApplicationUsageStore store(platform);
  store.load();
  return store;
}

// The first reading only marks where counting starts, as the first pass of a record does; from
// then on each pass adds each (cgroup, interface)'s increment to the application of the network
// that counted the interface, and System takes the rest of the network's traffic.
TEST(ApplicationUsageTest, EachApplicationCountsItsTrafficOnEachNetwork) {
  const Case cases[] = {
      {"increments across passes",
       [](FakePlatform& p, Refreshes& refresh) {
         p.setCounters("wlan0", 1000, 100, InterfaceKind::Wifi);
         refresh.apps({{kFirefox, "wlan0", 500, 50}});
         refresh();
         p.setCounters("wlan0", 1600, 200);
         refresh.apps({{kFirefox, "wlan0", 900, 100}});
         refresh();
         p.setCounters("wlan0", 2000, 250);
         refresh.apps({{kFirefox, "wlan0", 1000, 120}});
         refresh();
       },
       {{2, "org.mozilla.firefox", "Firefox", 570, 570}, {2, "System", "System", 580, 580}}},
      {"a counter that fell counts again from zero",
       [](FakePlatform& p, Refreshes& refresh) {
         p.setCounters("wlan0", 1000, 100, InterfaceKind::Wifi);
         refresh.apps({{kFirefox, "wlan0", 500, 50}});
         refresh();
         p.setCounters("wlan0", 1600, 200);
         refresh.apps({{kFirefox, "wlan0", 900, 100}});
         refresh();
         p.setCounters("wlan0", 1850, 250);
         refresh.apps({{kFirefox, "wlan0", 200, 0}});  // the service started anew
         refresh();
       },
       {{2, "org.mozilla.firefox", "Firefox", 650, 650}, {2, "System", "System", 350, 350}}},
      {"two interfaces in two networks",
       [](FakePlatform& p, Refreshes& refresh) {
         p.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
         p.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
         refresh.apps({{kFirefox, "wlan0", 0, 0}, {kFirefox, "wwan0", 0, 0}});
         refresh();
         p.setCounters("wlan0", 1000, 100);
         p.setCounters("wwan0", 300, 30);
         // The loopback's traffic counts for neither network.
         refresh.apps({{kFirefox, "wlan0", 800, 80},
                       {kFirefox, "wwan0", 300, 30},
                       {kFirefox, "lo", 5000, 5000},
                       {kSshd, "wlan0", 100, 10}});
         refresh();
       },
       {{1, "org.mozilla.firefox", "Firefox", 330, 330},
        {2, "org.mozilla.firefox", "Firefox", 880, 880},
        {2, "sshd.service", "sshd.service", 110, 110},
        {2, "System", "System", 110, 110}}},
      {"the kernel's sockets and the remainder are System",
       [](FakePlatform& p, Refreshes& refresh) {
         p.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
         refresh.apps({});
         refresh();
         p.setCounters("wlan0", 1000, 100);
         refresh.apps({{kKernel, "wlan0", 200, 20}, {kSshd, "wlan0", 300, 30}});
         refresh();
       },
       {{2, "sshd.service", "sshd.service", 330, 330}, {2, "System", "System", 770, 770}}},
      {"a cgroup that is gone is forgotten and counts afresh when made again",
       [](FakePlatform& p, Refreshes& refresh) {
         p.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
         refresh.apps({{kSshd, "wlan0", 100, 0}});
         refresh();
         p.setCounters("wlan0", 500, 0);
         refresh.apps({});
         refresh();
         p.setCounters("wlan0", 900, 0);
         refresh.apps({{kSshd, "wlan0", 150, 0}});
         refresh();
       },
       {{2, "sshd.service", "sshd.service", 150, 150}, {2, "System", "System", 750, 750}}},
      // Packets counted to a socket and then dropped before the link: the interface counted less.
      {"System never goes below zero",
       [](FakePlatform& p, Refreshes& refresh) {
         p.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
         refresh.apps({{kSshd, "wlan0", 0, 0}});
         refresh();
         p.setCounters("wlan0", 1000, 100);
         refresh.apps({{kSshd, "wlan0", 900, 150}});
         refresh();
       },
       {{2, "sshd.service", "sshd.service", 1050, 1050}, {2, "System", "System", 100, 100}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    Refreshes refresh(platform);
    c.run(platform, refresh);
    const ApplicationUsageStore store = stored(platform);
    for (const Expected& e : c.expected) {
      SCOPED_TRACE(e.key);
      const ApplicationUsageMap& apps = store.applications(e.dataType);
      const auto it = apps.find(e.key);
      ASSERT_NE(it, apps.end());
      EXPECT_EQ(it->second.name, e.name);
      EXPECT_EQ(it->second.dataThisMonth, e.thisPeriod);
      EXPECT_EQ(it->second.dataAllTime, e.allTime);
      EXPECT_EQ(it->second.dataAllTimeSent + it->second.dataAllTimeRecd, e.allTime);
    }
    EXPECT_EQ(store.applications(1).size() + store.applications(2).size(), c.expected.size());
    if (!c.addsUp) continue;
    for (const int dataType : {1, 2}) {
      AppData record(platform);
      record.getAppData(dataType == 1 ? "cellular" : "wifi");
      double sum = 0;
      for (const auto& [key, usage] : store.applications(dataType)) sum += usage.dataThisMonth;
      EXPECT_EQ(sum, record.dataThisMonth().value_or(0)) << dataType;
    }
  }
}

// The period's figures start again with the network's, and the closed period's applications are
// kept with the history entry that closed it.
TEST(ApplicationUsageTest, APeriodCloseKeepsItsApplicationsWithItsHistoryEntry) {
  FakePlatform platform;
  Refreshes refresh(platform);
  platform.setNow(2026, 1, 31, 23, 50);
  platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
  refresh.apps({{kFirefox, "wlan0", 0, 0}});
  refresh();
  platform.setCounters("wlan0", 1000, 0);
  refresh.apps({{kFirefox, "wlan0", 600, 0}});
  refresh();
  ASSERT_EQ(stored(platform).applications(2).at("org.mozilla.firefox").days,
            (std::map<std::int64_t, double>{
                {static_cast<std::int64_t>(platform.at(2026, 1, 31).secondsSince1970), 600}}));
  platform.setNow(2026, 2, 1, 0, 10);
  platform.setCounters("wlan0", 1300, 0);
  refresh.apps({{kFirefox, "wlan0", 800, 0}});
  refresh();  // closes January: this pass's traffic stays out of both periods, as the network's
  platform.setCounters("wlan0", 1400, 0);
  refresh.apps({{kFirefox, "wlan0", 850, 0}});
  refresh();

  const ApplicationUsageStore store = stored(platform);
  const ApplicationUsage& firefox = store.applications(2).at("org.mozilla.firefox");
  EXPECT_EQ(firefox.dataThisMonth, 50);
  EXPECT_EQ(firefox.dataAllTime, 850);
  // The period's days: February has had one.
  const auto february = static_cast<std::int64_t>(platform.at(2026, 2, 1).secondsSince1970);
  EXPECT_EQ(firefox.days, (std::map<std::int64_t, double>{{february, 50}}));
  EXPECT_EQ(store.applications(2).at("System").dataThisMonth, 50);

  std::vector<History> periods = History::getAllBillingCycleLogs(platform);
  std::erase_if(periods, [](const History& h) { return h.dataType() != 2; });
  ASSERT_EQ(periods.size(), 1u);
  const std::vector<ApplicationPeriod> closed = ApplicationHistory::all(platform);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].historyId, periods[0].uniqueId().value_or(""));
  EXPECT_EQ(closed[0].dataType, 2);
  EXPECT_EQ(closed[0].applications, (std::vector<ClosedApplication>{
                                        {"org.mozilla.firefox", "Firefox", "firefox", 0, 600, 600},
                                        {"System", "System", "", 0, 400, 400}}));
  EXPECT_EQ(ApplicationHistory::forHistory(platform, *periods[0].uniqueId()), closed[0]);
}

// A period that closes while the service is away still closes the applications' period: the
// figures of the ended period must not run on into the new one.
TEST(ApplicationUsageTest, APeriodClosesWithoutTheServiceToo) {
  FakePlatform platform;
  Refreshes refresh(platform);
  platform.setNow(2026, 1, 31, 23, 50);
  platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
  refresh.apps({{kSshd, "wlan0", 0, 0}});
  refresh();
  platform.setCounters("wlan0", 1000, 0);
  refresh.apps({{kSshd, "wlan0", 600, 0}});
  refresh();
  platform.applicationCounters = {ApplicationCounters::State::ServiceMissing, "gone", {}};
  platform.setNow(2026, 2, 1, 0, 10);
  refresh();
  EXPECT_EQ(stored(platform).applications(2).at("sshd.service").dataThisMonth, 0);
  EXPECT_EQ(stored(platform).applications(2).at("sshd.service").dataAllTime, 600);
  ASSERT_EQ(ApplicationHistory::all(platform).size(), 1u);
  EXPECT_EQ(ApplicationHistory::all(platform)[0].applications.size(), 2u);  // sshd and System
}

// A store that cannot be read is kept aside and logged; counting starts again from the next
// reading. Without the service a pass neither writes nor logs anything of applications; a
// reading that failed is logged; a store that cannot be written fails the whole refresh.
TEST(ApplicationUsageTest, DamageAbsenceAndFailure) {
  FakePlatform platform;
  Refreshes refresh(platform);
  const std::string path = platform.documentPath(ApplicationUsageStore::kFileName);
  auto logged = [&](const std::string& text) {
    for (const std::string& line : platform.logLines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  };

  platform.applicationCounters = {ApplicationCounters::State::ServiceMissing, "no socket", {}};
  platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
  ASSERT_TRUE(refresh());
  platform.setCounters("wlan0", 100, 0);
  ASSERT_TRUE(refresh());
  EXPECT_FALSE(platform.fakeFiles().exists(path));
  EXPECT_FALSE(logged("pplication"));

  platform.applicationCounters = {ApplicationCounters::State::Failed, "refused", {}};
  ASSERT_TRUE(refresh());
  EXPECT_TRUE(logged("the accounting service's reading failed: refused"));
  EXPECT_FALSE(platform.fakeFiles().exists(path));

  platform.fakeFiles().put(path, "<plist><dict><key>wifi</key><string>x</string></dict></plist>");
  platform.applicationCounters = {ApplicationCounters::State::Read, "", {{kSshd, "wlan0", 50, 0}}};
  ASSERT_TRUE(refresh());
  EXPECT_TRUE(logged(path + " cannot be read"));
  EXPECT_EQ(filesMovedAside(platform.fakeFiles(), platform.documentsDirectory()).size(), 1u);
  ASSERT_TRUE(stored(platform).hasReading());
  EXPECT_TRUE(stored(platform).applications(2).empty());  // the reading only marks the start

  platform.setCounters("wlan0", 300, 0);
  platform.applicationCounters.counters = {{kSshd, "wlan0", 150, 0}};
  platform.fakeFiles().failWrites(testing::FakeFileSystem::Failure::DiskFull, 1, path);
  EXPECT_FALSE(refresh());
  EXPECT_TRUE(stored(platform).applications(2).empty());
  ASSERT_TRUE(refresh());  // the failed refresh stored nothing: its traffic counts now
  EXPECT_EQ(stored(platform).applications(2).at("sshd.service").dataAllTime, 100);
  EXPECT_EQ(stored(platform).applications(2).at("System").dataAllTime, 100);
}

}  // namespace
}  // namespace kestrio

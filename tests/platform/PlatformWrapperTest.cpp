#include <gtest/gtest.h>

#include "platform/PlatformWrapper.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

// The fake, with the calls it leaves to Platform's defaults made visible.
class Probe final : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  void releaseIdleMemory() override { ++idleReleases; }
  std::unique_ptr<FileLock> claimDaemonInstance() override {
    ++claims;
    return PlatformWrapper::claimDaemonInstance();
  }
  int eventDescriptor() override { return 42; }
  void dispatchEvents() override { ++dispatches; }
  int idleReleases = 0;
  int claims = 0;
  int dispatches = 0;
};

class NoLocation final : public LocationManagerDelegate {
 public:
  void didUpdateToLocation(LocationManager&, const std::optional<Location>&) override {}
  void didFailWithError(LocationManager&, const std::string&) override {}
};

// Each case changes the inner platform or calls the wrapper, then checks the other side. Every
// value differs from Platform's defaults, so a call the wrapper kept for itself shows.
struct ForwardCase {
  const char* name;
  void (*check)(FakePlatform& fake, Probe& probe, Platform& wrapper);
};

void PrintTo(const ForwardCase& c, std::ostream* os) {
  *os << c.name;
}

class PlatformWrapperTest : public ::testing::TestWithParam<ForwardCase> {
 protected:
  FakePlatform fake;
  Probe probe{fake};
  PlatformWrapper wrapper{probe};
};

TEST_P(PlatformWrapperTest, AWrapperThatOverridesNothingForwards) {
  GetParam().check(fake, probe, wrapper);
}

const ForwardCase kCases[] = {
    {"Clock",
     [](FakePlatform& f, Probe&, Platform& w) {
       f.setNow(2031, 5, 17, 8, 30);
       EXPECT_EQ(w.now(), f.at(2031, 5, 17, 8, 30));
       EXPECT_EQ(&w.calendar(), &f.calendar());
     }},
    {"Counters",
     [](FakePlatform& f, Probe&, Platform& w) {
       f.setCounters("wwan0", 10, 20, InterfaceKind::Cellular);
       const auto counters = w.readInterfaceCounters();
       ASSERT_TRUE(counters);
       EXPECT_EQ(counters->size(), 2u);  // the loopback and wwan0
       EXPECT_EQ(f.counterReads(), 1);
       EXPECT_EQ(w.interfaceKind("wwan0"), InterfaceKind::Cellular);
     }},
    {"NetworkManager",
     [](FakePlatform& f, Probe&, Platform& w) {
       f.connections = {true, {{"wlan0", true, "u-1", "Pixel hotspot"}}, {}};
       EXPECT_EQ(w.activeConnections().connections.size(), 1u);
       f.storedMetered["u-1"] = ConnectionMetered::Unknown;
       EXPECT_TRUE(w.setConnectionMetered("u-1", ConnectionMetered::No).accepted);
       EXPECT_EQ(f.storedMetered["u-1"], ConnectionMetered::No);
     }},
    {"Boot",
     [](FakePlatform& f, Probe&, Platform& w) {
       f.setBoot(1900000000, "boot-7");
       EXPECT_EQ(w.bootInstant(), 1900000000);
       EXPECT_EQ(w.bootId(), "boot-7");
       EXPECT_EQ(w.machineName(), "fake-machine");
     }},
    {"Files",
     [](FakePlatform& f, Probe&, Platform& w) {
       EXPECT_EQ(w.documentsDirectory(), FakePlatform::kDocuments);
       EXPECT_EQ(&w.files(), &f.files());
       EXPECT_EQ(&w.userDefaults(), &f.userDefaults());
       EXPECT_EQ(w.documentPath("a.plist"), std::string(FakePlatform::kDocuments) + "/a.plist");
     }},
    {"Log",
     [](FakePlatform& f, Probe&, Platform& w) {
       w.log("line");
       EXPECT_EQ(f.logLines, std::vector<std::string>{"line"});
     }},
    {"Notifications",
     [](FakePlatform& f, Probe&, Platform& w) {
       LocalNotification n;
       n.alertBody = "Usage Alert";
       EXPECT_TRUE(w.deliverNotification(n));
       EXPECT_EQ(f.delivered, std::vector<LocalNotification>{n});
       w.setApplicationIconBadgeNumber(7);
       EXPECT_EQ(f.applicationIconBadgeNumber(), 7);
       f.setApplicationIconBadgeNumber(3);
       EXPECT_EQ(w.applicationIconBadgeNumber(), 3);
     }},
    {"Mail",
     [](FakePlatform& f, Probe&, Platform& w) {
       f.mailAvailable = false;
       f.mailSucceeds = false;
       EXPECT_FALSE(w.canSendMail());
       MailMessage m;
       m.subject = "History";
       EXPECT_FALSE(w.sendMail(m));
       ASSERT_EQ(f.sentMail.size(), 1u);
       EXPECT_EQ(f.sentMail[0].subject, "History");
     }},
    {"Desktop",
     [](FakePlatform& f, Probe&, Platform& w) {
       f.version = "9.0.1";
       f.idiom = UserInterfaceIdiom::Phone;
       f.resources = "/shipped";
       EXPECT_EQ(w.platformVersion(), "9.0.1");
       EXPECT_EQ(w.userInterfaceIdiom(), UserInterfaceIdiom::Phone);
       EXPECT_EQ(w.resourceDirectory(), "/shipped");
       EXPECT_EQ(w.autostart(), &f.fakeAutostart);
       const auto watch = w.watchDocumentsDirectory();
       EXPECT_TRUE(watch);
       EXPECT_EQ(f.openWatches(), 1);
     }},
    {"Process",
     [](FakePlatform& f, Probe& p, Platform& w) {
       f.waitsBeforeTermination = 0;
       EXPECT_TRUE(w.waitForTermination(5));
       EXPECT_EQ(f.waits, 1);
       w.releaseIdleMemory();
       EXPECT_EQ(p.idleReleases, 1);
       EXPECT_TRUE(w.claimDaemonInstance());
       EXPECT_EQ(p.claims, 1);
       f.daemonElsewhere = true;
       EXPECT_TRUE(w.daemonRunningElsewhere());
       EXPECT_EQ(w.eventDescriptor(), 42);
       w.dispatchEvents();
       EXPECT_EQ(p.dispatches, 1);
     }},
    {"Location",
     [](FakePlatform& f, Probe&, Platform& w) {
       EXPECT_TRUE(w.significantLocationChangeMonitoringAvailable());
       EXPECT_TRUE(w.locationServicesEnabled());
       NoLocation delegate;
       EXPECT_TRUE(w.makeLocationManager(delegate));
       EXPECT_EQ(f.locationManagersMade, 1);
       f.places.push_back({48.1, 11.5, {"Munich", "Bavaria"}});
       const auto place = w.reverseGeocode(48.1, 11.5);
       ASSERT_TRUE(place);
       EXPECT_EQ(place->locality, "Munich");
     }},
};

INSTANTIATE_TEST_SUITE_P(EveryOperation, PlatformWrapperTest, ::testing::ValuesIn(kCases),
                         [](const auto& c) { return std::string(c.param.name); });

}  // namespace
}  // namespace kestrio

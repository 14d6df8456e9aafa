#include <gtest/gtest.h>

#include <string>

#include "app/KestrioAppDelegate.h"
#include "app/MainViewController.h"
#include "engine/AppSettings.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::RecordingUi;

constexpr double kMunichLat = 48.137;
constexpr double kMunichLon = 11.575;
constexpr double kBerlinLat = 52.52;
constexpr double kBerlinLon = 13.405;

// A controller that records places, with Munich and Berlin known to the place database.
class LocationTest : public ::testing::Test {
 protected:
  LocationTest() {
    platform.setNow(2026, 3, 10, 12, 0, 0);
    AppSettings(platform).getSettings();
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    platform.places = {{kMunichLat, kMunichLon, {"Munich", "Bavaria"}},
                       {kBerlinLat, kBerlinLon, {"Berlin", "Berlin"}}};
    setRecording(true);
    controller.backgroundUpdate("", false);
  }

  void setRecording(bool on) {
    platform.userDefaults().setBool(MainViewController::kRecordLocationKey, on);
  }
  Location at(double lat, double lon, double ageSeconds = 0) {
    return Location{lat, lon, platform.now().addingSeconds(-ageSeconds)};
  }
  std::string lastLocation() { return controller.appDataCellular().lastLocation().value_or(""); }
  std::string lastUsed() {
    return controller.appDataCellular().lastLocationDataUsed().value_or("");
  }

  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  MainViewController controller{platform, ui, center};
};

struct FreshnessCase {
  const char* name;
  double ageSeconds;  // positive: taken in the past
  bool accepted;
};

void PrintTo(const FreshnessCase& c, std::ostream* os) {
  *os << c.name;
}

class LocationFreshnessTest : public LocationTest,
                              public ::testing::WithParamInterface<FreshnessCase> {};

TEST_P(LocationFreshnessTest, OnlyAFixOfTheLastFourteenSecondsRunsAPass) {
  controller.startSignificantChangesUpdate();
  ASSERT_NE(platform.locationManager, nullptr);
  platform.locationManager->deliver(at(kMunichLat, kMunichLon, GetParam().ageSeconds));
  EXPECT_EQ(lastLocation(), GetParam().accepted ? "Munich, Bavaria" : "");
  EXPECT_EQ(platform.geocoded.size(), GetParam().accepted ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Ages, LocationFreshnessTest,
                         ::testing::Values(FreshnessCase{"TwentySecondsOld", 20, false},
                                           FreshnessCase{"FifteenSecondsOld", 15, false},
                                           FreshnessCase{"UnderFifteenSecondsOld", 14.9, true},
                                           FreshnessCase{"JustTaken", 0, true},
                                           FreshnessCase{"ClockSlightlyBehind", -14.9, true},
                                           FreshnessCase{"TwentySecondsAhead", -20, false}),
                         [](const ::testing::TestParamInfo<FreshnessCase>& c) {
                           return c.param.name;
                         });

struct RefusalCase {
  const char* name;
  bool recording;
  bool available;
  bool enabled;
  bool daemonElsewhere;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class LocationRefusalTest : public LocationTest,
                            public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(LocationRefusalTest, NothingIsRequestedWhenRecordingCannotOrMayNotHappen) {
  const RefusalCase& c = GetParam();
  setRecording(c.recording);
  platform.locationAvailable = c.available;
  platform.locationEnabled = c.enabled;
  platform.daemonElsewhere = c.daemonElsewhere;
  controller.startSignificantChangesUpdate();
  controller.stopSignificantChangesUpdate();
  EXPECT_EQ(platform.locationManagersMade, 0);
  EXPECT_EQ(controller.locManager, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, LocationRefusalTest,
                         ::testing::Values(RefusalCase{"SettingOff", false, true, true, false},
                                           RefusalCase{"NoService", true, false, true, false},
                                           RefusalCase{"ServicesOff", true, true, false, false},
                                           RefusalCase{"DaemonWatches", true, true, true, true}),
                         [](const ::testing::TestParamInfo<RefusalCase>& c) {
                           return c.param.name;
                         });

TEST_F(LocationTest, StartsOnceWhateverThePlatformVersionAndStopsWhatItStarted) {
  platform.version = "7.0";
  controller.startSignificantChangesUpdate();
  controller.startSignificantChangesUpdate();
  ASSERT_NE(platform.locationManager, nullptr);
  EXPECT_EQ(platform.locationManagersMade, 1);
  EXPECT_EQ(platform.locationManager->starts, 1);
  controller.stopSignificantChangesUpdate();
  EXPECT_FALSE(platform.locationManager->monitoring());
}

TEST_F(LocationTest, AGeocodingFailureRecordsUnknownWhichNeverBecomesTheLastPlaceUsed) {
  controller.startSignificantChangesUpdate();
  platform.locationManager->deliver(at(kMunichLat, kMunichLon));
  platform.locationManager->deliver(at(10.0, 10.0));  // no place known there
  EXPECT_EQ(lastLocation(), "Unknown");
  EXPECT_EQ(lastUsed(), "Munich, Bavaria");
  controller.backgroundUpdate("", false);
  EXPECT_EQ(lastUsed(), "Munich, Bavaria");
  EXPECT_EQ(lastLocation(), "");
}

TEST_F(LocationTest, EveryEventIsLookedUpWhereItWasTaken) {
  controller.startSignificantChangesUpdate();
  platform.locationManager->deliver(at(kMunichLat, kMunichLon));
  EXPECT_EQ(lastLocation(), "Munich, Bavaria");
  platform.advance(3600);
  platform.locationManager->deliver(at(kBerlinLat, kBerlinLon));
  EXPECT_EQ(lastLocation(), "Berlin, Berlin");
  EXPECT_EQ(lastUsed(), "Munich, Bavaria");
  ASSERT_EQ(platform.geocoded.size(), 2u);
  EXPECT_EQ(platform.geocoded[1], std::make_pair(kBerlinLat, kBerlinLon));
  // The pass after the last event shows where data was last used, on both records.
  controller.backgroundUpdate("", false);
  EXPECT_EQ(lastUsed(), "Berlin, Berlin");
  EXPECT_EQ(controller.appDataWifi().lastLocationDataUsed().value_or(""), "Berlin, Berlin");
}

TEST_F(LocationTest, AFreshEventRefreshesTheBadgeBeforeItsPass) {
  controller.appBadgeNumber = 42.7f;
  controller.startSignificantChangesUpdate();
  platform.locationManager->deliver(at(kMunichLat, kMunichLon, 30));  // stale: no refresh
  EXPECT_EQ(platform.applicationIconBadgeNumber(), 0);
  platform.locationManager->deliver(at(kMunichLat, kMunichLon));
  EXPECT_EQ(platform.applicationIconBadgeNumber(), 42);
}

TEST_F(LocationTest, AnEventWithoutPositionIsLookedUpAtZeroZero) {
  controller.startSignificantChangesUpdate();
  platform.locationManager->deliver(std::nullopt);
  ASSERT_EQ(platform.geocoded.size(), 1u);
  EXPECT_EQ(platform.geocoded[0], std::make_pair(0.0, 0.0));
  EXPECT_EQ(lastLocation(), "Unknown");
}

TEST_F(LocationTest, ALocationFailureRunsNoPass) {
  controller.startSignificantChangesUpdate();
  const auto before = controller.appDataCellular().lastUpdate();
  platform.advance(60);
  platform.locationManager->fail("no fix");
  controller.appDataCellular();
  EXPECT_EQ(controller.appDataCellular().lastUpdate(), before);
  EXPECT_TRUE(platform.geocoded.empty());
}

TEST_F(LocationTest, RecordingTurnedOffOrADaemonStartingStopsAtTheNextEvent) {
  for (bool daemon : {false, true}) {
    SCOPED_TRACE(daemon ? "daemon started" : "recording off");
    setRecording(true);
    platform.daemonElsewhere = false;
    controller.startSignificantChangesUpdate();
    ASSERT_TRUE(platform.locationManager->monitoring());
    if (daemon) {
      platform.daemonElsewhere = true;
    } else {
      setRecording(false);
    }
    // The fake drops events once stopped, so deliver straight to the delegate.
    controller.didUpdateToLocation(*platform.locationManager, at(kMunichLat, kMunichLon));
    EXPECT_FALSE(platform.locationManager->monitoring());
    EXPECT_TRUE(platform.geocoded.empty());
  }
}

TEST(PlaceTextTest, AbsentPartsAreLeftOut) {
  EXPECT_EQ(MainViewController::placeText({"Munich", "Bavaria"}), "Munich, Bavaria");
  EXPECT_EQ(MainViewController::placeText({"Tokyo", ""}), "Tokyo");
  EXPECT_EQ(MainViewController::placeText({"", "Bavaria"}), "Bavaria");
  EXPECT_EQ(MainViewController::placeText({"", ""}), "Unknown");
}

// The lifecycle's start and stop points.
class DelegateLocationTest : public LocationTest {
 protected:
  KestrioAppDelegate delegate{platform, ui, center, "1.0"};
};

TEST_F(DelegateLocationTest, OnlyAProcessThatLivesOnWatches) {
  delegate.didFinishLaunchingWithOptions(false);
  delegate.performFetchWithCompletionHandler(nullptr);
  EXPECT_EQ(platform.locationManagersMade, 0);

  delegate.monitorsLocation = true;
  delegate.performFetchWithCompletionHandler(nullptr);
  ASSERT_NE(platform.locationManager, nullptr);
  EXPECT_TRUE(platform.locationManager->monitoring());

  platform.userDefaults().setBool(AppSettings::kEnableBackgrounding, false);
  delegate.applicationDidEnterBackground();
  EXPECT_FALSE(platform.locationManager->monitoring());
}

TEST_F(DelegateLocationTest, TurningRecordingOnExplainsOnceAndStarts) {
  delegate.monitorsLocation = true;
  setRecording(false);
  delegate.didFinishLaunchingWithOptions(false);
  ui.shown.clear();  // the welcome
  EXPECT_EQ(platform.locationManagersMade, 0);

  for (int i = 0; i < 2; ++i) {
    setRecording(true);
    center.post("kAppSettingChanged", PlistValue(MainViewController::kRecordLocationKey), {});
    ASSERT_NE(platform.locationManager, nullptr);
    EXPECT_TRUE(platform.locationManager->monitoring());
    setRecording(false);
    center.post("kAppSettingChanged", PlistValue(MainViewController::kRecordLocationKey), {});
    EXPECT_FALSE(platform.locationManager->monitoring());
  }
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].alert.title, "Last Place Data Used");
}

}  // namespace
}  // namespace kestrio

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/MainView.h"
#include "app/MainViewController.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "services/StringFormatter.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::RecordingUi;

constexpr double kMB = 1048576.0;
const std::string kSign = "\xE2\x84\x80";
const std::string kCellularNotice =
    "Cellular plan data usage was reset automatically due to start of new billing cycle.";

class FakeView final : public MainView {
 public:
  std::string layoutName() const override { return layout; }
  bool isTablet() const override { return tablet; }
  void setNeedsDisplay() override { ++redraws; }
  void selectTab(int index) override { tabs.push_back(index); }
  void setContentSize(int width, int height) override {
    contentWidth = width;
    contentHeight = height;
  }

  std::string layout = "CellularUsageView";
  bool tablet = false;
  int redraws = 0;
  std::vector<int> tabs;
  int contentWidth = 0;
  int contentHeight = 0;
};

// Passes over scripted cellular counters against a quota of 1000 MB (cycle on the 1st).
class MainViewControllerPassTest : public ::testing::Test {
 protected:
  MainViewControllerPassTest() {
    platform.setNow(2026, 3, 10, 12, 0, 0);
    AppSettings(platform).getSettings();
    setQuota(1000, "MB");
    // The first pass only learns the counters; usage counts from here.
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    controller.backgroundUpdate("", false);
  }

  void setQuota(int limit, const std::string& unit) {
    platform.userDefaults().setInteger(AppSettings::kCellularDataLimit, limit);
    platform.userDefaults().setString(AppSettings::kCellularDataLimitUnit, unit);
  }
  void setDefault(const std::string& key, const std::string& value) {
    platform.userDefaults().setString(key, value);
  }

  // Runs a pass with the period's usage at this share of the 1000 MB quota.
  void passAtPercentUsed(double percent) {
    received = static_cast<std::uint64_t>(percent * 10.0 * kMB);
    platform.setCounters("wwan0", received, 0, InterfaceKind::Cellular);
    controller.backgroundUpdate("", false);
  }

  // Runs the first pass of April: the March period closes, the new one starts empty.
  void passIntoNewPeriod() {
    platform.setNow(2026, 4, 1, 9, 0, 0);
    controller.backgroundUpdate("", false);
  }

  std::vector<std::string> bodies() const {
    std::vector<std::string> result;
    for (const auto& n : platform.delivered) result.push_back(n.alertBody);
    return result;
  }
  std::optional<bool> marker(const std::string& key) {
    auto stored = platform.userDefaults().objectForKey(key);
    if (!stored) return std::nullopt;
    return platform.userDefaults().boolForKey(key);
  }
  void switchAll(bool on) {
    for (const auto& level : MainViewController::levels()) {
      platform.userDefaults().setBool(level.key, on);
    }
  }

  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  MainViewController controller{platform, ui, center};
  std::uint64_t received = 0;
};

TEST_F(MainViewControllerPassTest, HalfTheQuotaUsedFiresTheFirstLevelJustBelowItNothing) {
  passAtPercentUsed(49.99);
  EXPECT_TRUE(platform.delivered.empty());
  EXPECT_FALSE(marker("Cellularfirst_notification"));

  passAtPercentUsed(50);
  ASSERT_EQ(bodies(), std::vector<std::string>{"Cellular usage exceeded 50.0" + kSign});
  EXPECT_EQ(platform.delivered[0].alertAction, "View");
  EXPECT_EQ(marker("Cellularfirst_notification"), true);

  // Once per cycle: a later pass at a higher share below the next level raises nothing.
  passAtPercentUsed(60);
  EXPECT_EQ(platform.delivered.size(), 1u);
}

// Each alert of a network replaces the one before it on the desktop, offers to open the window on
// that network, and is urgent once the quota is used up.
TEST_F(MainViewControllerPassTest, AnAlertReplacesItsNetworksLastAndTurnsUrgentAtTheQuota) {
  passAtPercentUsed(50);
  passAtPercentUsed(96);
  passAtPercentUsed(100);
  ASSERT_EQ(platform.delivered.size(), 3u);
  for (const LocalNotification& alert : platform.delivered) {
    EXPECT_EQ(alert.replacesTag, "usage-cellular") << alert.alertBody;
    EXPECT_EQ(alert.viewTarget, "cellular") << alert.alertBody;
  }
  EXPECT_FALSE(platform.delivered[0].critical);
  EXPECT_FALSE(platform.delivered[1].critical);
  EXPECT_TRUE(platform.delivered[2].critical);
}

TEST_F(MainViewControllerPassTest, AJumpPastSeveralLevelsAnnouncesOnlyTheMostSevere) {
  passAtPercentUsed(40);
  EXPECT_TRUE(platform.delivered.empty());

  passAtPercentUsed(96);
  ASSERT_EQ(bodies(), std::vector<std::string>{"Cellular usage exceeded 96.0" + kSign});
  EXPECT_EQ(marker("Cellularfifth_notification"), true);
  for (const char* lesser : {"Cellularfourth_notification", "Cellularthird_notification",
                             "Cellularsecond_notification", "Cellularfirst_notification"}) {
    EXPECT_FALSE(marker(lesser)) << lesser;
  }

  // The lesser levels stay unannounced for the rest of the cycle.
  passAtPercentUsed(97);
  EXPECT_EQ(platform.delivered.size(), 1u);
  EXPECT_FALSE(marker("Cellularfirst_notification"));
}

TEST_F(MainViewControllerPassTest, ASwitchedOffLevelIsSkippedAndTheWalkGoesOn) {
  platform.userDefaults().setBool("over_notification", false);
  passAtPercentUsed(120);
  ASSERT_EQ(bodies(), std::vector<std::string>{"Cellular usage exceeded 120.0" + kSign});
  EXPECT_EQ(marker("Cellularfifth_notification"), true);
  EXPECT_FALSE(marker("Cellularover_notification"));

  passAtPercentUsed(130);
  EXPECT_EQ(platform.delivered.size(), 1u);
}

TEST_F(MainViewControllerPassTest, OverTheQuotaWithEverySwitchOnFiresOver) {
  passAtPercentUsed(100);
  ASSERT_EQ(bodies(), std::vector<std::string>{"Cellular usage exceeded 100.0" + kSign});
  EXPECT_EQ(marker("Cellularover_notification"), true);
}

TEST_F(MainViewControllerPassTest, AllSwitchesOffStillAnnounceTheNewCycle) {
  switchAll(false);
  passAtPercentUsed(120);
  EXPECT_TRUE(platform.delivered.empty());

  passIntoNewPeriod();
  EXPECT_EQ(bodies(), std::vector<std::string>{kCellularNotice});
  EXPECT_EQ(platform.delivered[0].alertAction, "View");
}

TEST_F(MainViewControllerPassTest, ANewCycleClearsTheMarkersSoLevelsFireAgain) {
  passAtPercentUsed(60);
  ASSERT_EQ(marker("Cellularfirst_notification"), true);
  platform.delivered.clear();

  passIntoNewPeriod();
  EXPECT_EQ(bodies(), std::vector<std::string>{kCellularNotice});
  EXPECT_EQ(marker("Cellularfirst_notification"), false);
  // Levels never reached keep no marker.
  EXPECT_FALSE(marker("Cellularsecond_notification"));

  passAtPercentUsed(120);  // 60 % of the quota again, now in April
  EXPECT_EQ(bodies(),
            (std::vector<std::string>{kCellularNotice, "Cellular usage exceeded 60.0" + kSign}));
}

TEST_F(MainViewControllerPassTest, InTheNewCyclesPassAMarkerSetEarlierDoesNotSilenceALevel) {
  platform.userDefaults().setBool("Cellularfirst_notification", true);
  passIntoNewPeriod();
  ASSERT_TRUE(controller.appDataCellular().monthlyResetOccured());
  platform.delivered.clear();
  // A marker that another instance set again before this pass's walk is overridden.
  platform.userDefaults().setBool("Cellularfirst_notification", true);

  EXPECT_TRUE(controller.sendLocalNotificationForNotificationKey("first_notification", 50, 40,
                                                                 "Cellular", 600));
  EXPECT_EQ(bodies(), std::vector<std::string>{"Cellular usage exceeded 60.0" + kSign});
  EXPECT_EQ(marker("Cellularfirst_notification"), true);
}

TEST_F(MainViewControllerPassTest, LessThanOneDisplayUnitOfQuotaIsNoQuota) {
  setQuota(500, "MB");
  setDefault(AppSettings::kDisplayUnit, "GB");
  passAtPercentUsed(200);  // 2000 MB used against 0.49 GB
  EXPECT_TRUE(platform.delivered.empty());
  passIntoNewPeriod();
  EXPECT_TRUE(platform.delivered.empty());
  EXPECT_FALSE(marker("Cellularover_notification"));
}

TEST_F(MainViewControllerPassTest, ALevelAnswersWhetherItIsReachedAndFiresOnce) {
  EXPECT_FALSE(controller.sendLocalNotificationForNotificationKey("fifth_notification", 5, 5.01f,
                                                                  "Cellular", 0));
  EXPECT_FALSE(marker("Cellularfifth_notification"));

  EXPECT_TRUE(controller.sendLocalNotificationForNotificationKey("fifth_notification", 5, 4.96f,
                                                                 "Cellular", 0));
  EXPECT_EQ(bodies(), std::vector<std::string>{"Cellular usage exceeded 95.0" + kSign});

  EXPECT_TRUE(controller.sendLocalNotificationForNotificationKey("fifth_notification", 5, 3,
                                                                 "Cellular", 0));
  EXPECT_EQ(platform.delivered.size(), 1u);

  // The markers are per network.
  EXPECT_TRUE(
      controller.sendLocalNotificationForNotificationKey("fifth_notification", 5, 3, "WiFi", 0));
  EXPECT_EQ(bodies().back(), "WiFi usage exceeded 97.0" + kSign);
  EXPECT_EQ(marker("WiFififth_notification"), true);
}

TEST_F(MainViewControllerPassTest, ClearingMarkersTouchesOnlyExistingKeysOfThatNetwork) {
  platform.userDefaults().setBool("Cellularover_notification", true);
  platform.userDefaults().setBool("Cellularfirst_notification", true);
  platform.userDefaults().setBool("WiFifirst_notification", true);

  controller.resetCellularNotificationKeys();
  EXPECT_EQ(marker("Cellularover_notification"), false);
  EXPECT_EQ(marker("Cellularfirst_notification"), false);
  EXPECT_FALSE(marker("Cellularfifth_notification"));
  EXPECT_EQ(marker("WiFifirst_notification"), true);

  controller.resetWifiNotificationKeys();
  EXPECT_EQ(marker("WiFifirst_notification"), false);
  EXPECT_FALSE(marker("WiFiover_notification"));
}

TEST_F(MainViewControllerPassTest, TheWifiNetworkHasItsOwnQuotaAndWord) {
  platform.userDefaults().setInteger(AppSettings::kWifiDataLimit, 2);
  platform.userDefaults().setString(AppSettings::kWifiDataLimitUnit, "GB");
  platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
  controller.backgroundUpdate("", false);
  platform.setCounters("wlan0", static_cast<std::uint64_t>(1900 * kMB), 0, InterfaceKind::Wifi);
  controller.backgroundUpdate("", false);
  // 1900 MB of 2048 MB: 7.2 % remaining.
  EXPECT_EQ(bodies(), std::vector<std::string>{"WiFi usage exceeded 92.8" + kSign});
  EXPECT_EQ(marker("WiFifourth_notification"), true);
  EXPECT_FALSE(marker("Cellularfourth_notification"));
}

// --- The badge number ---

TEST_F(MainViewControllerPassTest, TheBadgeShowsTheChosenShareOfTheQuota) {
  setDefault(AppSettings::kAppBadgeSetting, "CELLPERCENT");
  passAtPercentUsed(30);
  EXPECT_FLOAT_EQ(controller.appBadgeNumber.value_or(-1), 30);

  setDefault(AppSettings::kAppBadgeSetting, "CELL_REM_PERCENT");
  controller.backgroundUpdate("", false);
  EXPECT_FLOAT_EQ(controller.appBadgeNumber.value_or(-1), 70);

  // Over the quota the remaining share goes negative.
  passAtPercentUsed(120);
  EXPECT_FLOAT_EQ(controller.appBadgeNumber.value_or(0), -20);
}

TEST_F(MainViewControllerPassTest, TheBadgeIsLeftAloneByOtherSettings) {
  controller.appBadgeNumber = 7;
  for (const char* setting : {"BILLINGRESET", "CELLQUOTA", "WIFIQUOTA"}) {
    setDefault(AppSettings::kAppBadgeSetting, setting);
    passAtPercentUsed(30);
    EXPECT_EQ(controller.appBadgeNumber, 7.0f) << setting;
  }
  // A Wi-Fi share without a Wi-Fi quota clears it, whatever cellular shows.
  setDefault(AppSettings::kAppBadgeSetting, "WIFIPERCENT");
  controller.backgroundUpdate("", false);
  EXPECT_FALSE(controller.appBadgeNumber.has_value());
}

TEST_F(MainViewControllerPassTest, WithoutAQuotaTheBadgeOfThatNetworkShowsNothing) {
  setQuota(0, "MB");
  controller.appBadgeNumber = 42;
  setDefault(AppSettings::kAppBadgeSetting, "CELL_REM_PERCENT");
  passAtPercentUsed(30);
  EXPECT_FALSE(controller.appBadgeNumber.has_value());
}

TEST_F(MainViewControllerPassTest, TheProjectionCountsTheTimeOfDay) {
  setDefault(AppSettings::kAppBadgeSetting, "CELL_PROJ_PERCENT");
  // March 11, 00:00: ten whole days of a 31-day period; 10 % used projects to 31 %.
  platform.setNow(2026, 3, 11, 0, 0, 0);
  passAtPercentUsed(10);
  EXPECT_NEAR(controller.appBadgeNumber.value_or(-1), 31, 1e-4);

  // At 12:00 the same usage spread over 10.5 days.
  platform.setNow(2026, 3, 11, 12, 0, 0);
  controller.backgroundUpdate("", false);
  EXPECT_NEAR(controller.appBadgeNumber.value_or(-1), 10.0 / 10.5 * 31, 1e-4);
}

class ProjectionAtPeriodStartTest : public MainViewControllerPassTest {
 protected:
  ProjectionAtPeriodStartTest() {
    // Start afresh on the first day of a period, before any time of it has passed.
    platform.setNow(2026, 4, 1, 0, 0, 0);
    controller.backgroundUpdate("", false);
    setDefault(AppSettings::kAppBadgeSetting, "CELL_PROJ_PERCENT");
  }
};

TEST_F(ProjectionAtPeriodStartTest, NoElapsedTimeProjectsNothing) {
  passAtPercentUsed(5);
  ASSERT_EQ(controller.appDataCellular().billingDaysElapsed(), 0);
  EXPECT_EQ(controller.appBadgeNumber, 0.0f);

  // Six hours in, 5 % spent means four times that per day over 30 days.
  platform.setNow(2026, 4, 1, 6, 0, 0);
  controller.backgroundUpdate("", false);
  EXPECT_NEAR(controller.appBadgeNumber.value_or(-1), 5.0 * 4 * 30, 1e-3);
}

// --- Conversions ---

// A Wi-Fi link whose connection becomes metered counts for cellular from the pass that sees it:
// the traffic before that pass stays Wi-Fi's, where it was earned, and each pass asks
// NetworkManager once and decides both networks by that one answer, so nothing is counted twice
// or lost.
TEST_F(MainViewControllerPassTest, AConnectionTurnedMeteredCountsForCellularFromThatPass) {
  const auto usage = [this](const char* type) {
    AppData record(platform);
    record.getAppData(type);
    return record.dataThisMonth().value_or(0);
  };
  platform.connections = {true, {{"wlan0", false, "u-1", "Home"}}, {}};
  platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
  controller.backgroundUpdate("", false);
  const double cellularBefore = usage("cellular");
  platform.setCounters("wlan0", static_cast<std::uint64_t>(kMB), 0, InterfaceKind::Wifi);
  controller.backgroundUpdate("", false);
  EXPECT_EQ(usage("wifi"), kMB);

  platform.connections.connections[0].metered = true;
  platform.connectionQueries = 0;
  platform.setCounters("wlan0", static_cast<std::uint64_t>(3 * kMB), 0, InterfaceKind::Wifi);
  controller.backgroundUpdate("", false);
  EXPECT_EQ(platform.connectionQueries, 1);
  EXPECT_EQ(usage("cellular"), cellularBefore);
  EXPECT_EQ(usage("wifi"), 3 * kMB);
  platform.setCounters("wlan0", static_cast<std::uint64_t>(7 * kMB), 0, InterfaceKind::Wifi);
  controller.backgroundUpdate("", false);
  EXPECT_EQ(usage("cellular") - cellularBefore, 4 * kMB);
  EXPECT_EQ(usage("wifi"), 3 * kMB);
}

// Each stay abroad is told once, naming the operator. A roaming-only counter takes the cellular
// traffic since a pass that found the modem roaming, and none of the traffic at home; ModemManager
// going away in the middle of a stay neither ends it nor starts a new one.
TEST_F(MainViewControllerPassTest, RoamingIsToldOncePerStayAndFillsRoamingOnlyCounters) {
  CustomCounter abroad(platform, "Abroad", true, false);
  abroad.setRoamingOnly(true);
  ASSERT_TRUE(CustomCounter::addCustomCounter(platform, abroad).ok());
  struct Step {
    std::uint64_t bytes;  // traffic since the pass before
    ModemState modem;     // as this pass finds it
  };
  const Step steps[] = {
      {1000, {true, "Home", "LTE", false}},     {2000, {true, "Abroad A", "LTE", true}},
      {3000, {true, "Abroad B", "UMTS", true}}, {4000, {}},
      {5000, {true, "Abroad B", "UMTS", true}}, {6000, {true, "Home", "LTE", false}},
      {7000, {true, "Abroad C", "5G", true}},
  };
  for (const Step& step : steps) {
    platform.advance(60);
    received += step.bytes;
    platform.setCounters("wwan0", received, 0, InterfaceKind::Cellular);
    platform.connections.modem = step.modem;
    controller.backgroundUpdate("", false);
  }
  EXPECT_EQ(bodies(),
            (std::vector<std::string>{"Roaming on Abroad A: data counts toward your plan",
                                      "Roaming on Abroad C: data counts toward your plan"}));
  for (const CustomCounter& c : CustomCounter::getAllCustomCounters(platform)) {
    const double expected = c.name() == "Abroad" ? 3000 + 4000 + 5000 + 6000 : 28000;
    EXPECT_EQ(c.cellularDataTotal(), expected) << c.name();
  }
}

TEST_F(MainViewControllerPassTest, ConversionsFollowTheDisplayUnit) {
  setDefault(AppSettings::kDisplayUnit, "GB");
  controller.appSettings().getSettings();
  EXPECT_FLOAT_EQ(controller.getPlanLimitInDisplayUnitFrom(500, "MB").value_or(-1), 500.0f / 1024);
  EXPECT_FLOAT_EQ(controller.getPlanLimitInDisplayUnitFrom(1048576, "KB").value_or(-1), 1);
  EXPECT_EQ(controller.getPlanLimitInDisplayUnitFrom(std::nullopt, "GB"), 0.0f);
  EXPECT_FLOAT_EQ(controller.converToDataUnitFromBytes(2 * 1073741824.0), 2);

  setDefault(AppSettings::kDisplayUnit, "KB");
  controller.appSettings().getSettings();
  EXPECT_FLOAT_EQ(controller.getPlanLimitInDisplayUnitFrom(2, "GB").value_or(-1), 2097152);
  // The today marker converts to a small negative figure rather than to nothing.
  EXPECT_FLOAT_EQ(controller.converToDataUnitFromBytes(-1024), -1);
  EXPECT_FLOAT_EQ(controller.convertToBytesFromDataUnit(3), 3072);
  EXPECT_EQ(controller.convertToBytesFromDataUnit(std::nullopt), 0.0f);

  setDefault(AppSettings::kDisplayUnit, "TB");  // read as MB
  controller.appSettings().getSettings();
  EXPECT_FLOAT_EQ(controller.getPlanLimitInDisplayUnitFrom(2, "GB").value_or(-1), 2048);
}

// --- The full refresh ---

class RenderViewTest : public MainViewControllerPassTest {
 protected:
  std::vector<Alert> alertsTitled(const std::string& title) const {
    std::vector<Alert> result;
    for (const auto& shown : ui.shown) {
      if (shown.alert.title == title) result.push_back(shown.alert);
    }
    return result;
  }

  FakeView view;
  MainViewController screen{platform, ui, center, &view};
};

TEST_F(RenderViewTest, ACellularScreenShowsItsNetworkAndHidesTheOther) {
  screen.wifi.lblMonthlyUsage.hidden = false;
  screen.cellular.lblMonthlyUsage.hidden = true;
  screen.renderView();

  EXPECT_TRUE(screen.isCellularMode);
  EXPECT_EQ(screen.titleLabel.text, "CELLULAR");
  EXPECT_EQ(view.contentWidth, 320);
  EXPECT_EQ(view.contentHeight, 420);
  EXPECT_EQ(view.tabs, std::vector<int>{0});
  EXPECT_GE(view.redraws, 1);
  EXPECT_TRUE(screen.wifi.lblMonthlyUsage.hidden);
  EXPECT_TRUE(screen.wifi.visualView.hidden);
  EXPECT_TRUE(screen.wifi.lblNextBillingDate.hidden);
  EXPECT_FALSE(screen.cellular.lblMonthlyUsage.hidden);
  EXPECT_FALSE(screen.cellular.visualView.hidden);
  EXPECT_EQ(screen.detailValues.size(), 5u);
  EXPECT_EQ(screen.cellular.detailValues.size(), 9u);
  EXPECT_EQ(screen.wifi.detailValues.size(), 9u);
}

TEST_F(RenderViewTest, AWifiScreenOnATabletStartingOnWifi) {
  view.layout = "WifiUsageView";
  view.tablet = true;
  setDefault(AppSettings::kStartupScreen, "WIFI");
  screen.renderView();

  EXPECT_FALSE(screen.isCellularMode);
  EXPECT_EQ(screen.titleLabel.text, "Wi-Fi");
  EXPECT_EQ(view.contentHeight, 500);
  EXPECT_EQ(view.tabs, std::vector<int>{1});
  EXPECT_TRUE(screen.cellular.lblMonthlyUsage.hidden);
  EXPECT_TRUE(screen.cellular.lblDays.hidden);
  EXPECT_FALSE(screen.wifi.lblMonthlyUsage.hidden);
}

TEST_F(RenderViewTest, WithoutABillingPeriodTheDateLabelsStayHidden) {
  platform.userDefaults().removeObjectForKey(AppSettings::kFirstDayOfCycle);
  screen.cellular.lblNextBillingDate = Label{"stale", false};
  screen.renderView();
  ASSERT_FALSE(screen.appDataCellular().nextBillingDate().has_value());
  EXPECT_TRUE(screen.cellular.lblNextBillingDate.hidden);
  EXPECT_TRUE(screen.cellular.lblCurrentPeriod.hidden);
  EXPECT_TRUE(screen.cellular.lblDays.hidden);
  EXPECT_FALSE(screen.cellular.lblMonthlyUsage.hidden);
}

TEST_F(RenderViewTest, PlaceAndLastUpdateComeFromTheRecord) {
  screen.renderView();
  EXPECT_EQ(screen.placeLabel.text, "--");
  EXPECT_EQ(screen.cellular.detailValues[6], "");
  // The locale's short date and short time, as every date with a time on the screens.
  EXPECT_EQ(screen.updatedLabel.text, "Updated: 3/10/26, 12:00\u202FPM");

  // The place of one pass becomes the last place of use at the next.
  screen.backgroundUpdate("Berlin, BE", false);
  platform.advance(60);
  screen.renderView();
  EXPECT_EQ(screen.placeLabel.text, "Berlin, BE");
  EXPECT_EQ(screen.cellular.detailValues[6], "Berlin, BE");
  EXPECT_EQ(screen.updatedLabel.text, "Updated: 3/10/26, 12:01\u202FPM");
}

TEST_F(RenderViewTest, ARestartLongAfterTheLastUpdateAsksForAnAdjustment) {
  screen.renderView();
  EXPECT_TRUE(alertsTitled("Run Before Reboot").empty());

  // The device was off from 12:00 until 20:00.
  platform.setBoot(static_cast<std::int64_t>(platform.at(2026, 3, 10, 20, 0, 0).secondsSince1970),
                   "boot-2");
  platform.setNow(2026, 3, 10, 20, 5, 0);
  screen.renderView();

  const auto warnings = alertsTitled("Run Before Reboot");
  ASSERT_EQ(warnings.size(), 1u);
  const Alert& alert = warnings[0];
  EXPECT_EQ(alert.cancelButton, "Later");
  EXPECT_EQ(alert.otherButtons, std::vector<std::string>{"Adjust Usage"});
  EXPECT_EQ(alert.message,
            "Please remember to run Kestrio just before and after reboot/power off. If you don't "
            "run this app before reboot, data usage between last update and reboot is not "
            "tracked.\n\n Kestrio " +
                screen.appDataCellular().bootMsg() +
                " couldn't be monitored. Tap Adjust Usage button to adjust data usage now to do "
                "it later, tap Later.");
  EXPECT_NE(screen.appDataCellular().bootMsg().find("between "), std::string::npos);
}

TEST_F(RenderViewTest, AControllerWithoutAViewKeepsItsNetwork) {
  controller.isCellularMode = false;
  controller.renderView();
  EXPECT_FALSE(controller.isCellularMode);
  EXPECT_EQ(controller.titleLabel.text, "Wi-Fi");
  EXPECT_TRUE(controller.cellular.lblAvailable.hidden);
}

}  // namespace
}  // namespace kestrio

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <memory>
#include <vector>

#include "app/KestrioAppDelegate.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/UsageVisualView.h"
#include "platform/MoveAside.h"
#include "services/Communications.h"
#include "support/FakePlatform.h"
#include "support/RecordingUi.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::RecordingUi;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr const char* kBundleVersion = "2.5.0";

LocalNotification withText(const std::string& body) {
  LocalNotification notification;
  notification.alertBody = body;
  return notification;
}

class KestrioAppDelegateTest : public ::testing::Test {
 protected:
  KestrioAppDelegateTest() {
    platform.setBoot(1000, "boot-1");
    platform.setNow(2026, 1, 15, 12, 0, 0);
    AppSettings(platform).getSettings();
    UserDefaults& store = platform.userDefaults();
    store.setInteger(AppSettings::kCellularDataLimit, 1000);
    store.setString(AppSettings::kCellularDataLimitUnit, "MB");
    store.setString(AppSettings::kDisplayUnit, "MB");
    store.setString(AppSettings::kAppBadgeSetting, "CELLPERCENT");
    store.synchronize();
    center.addObserver(kProgressBarMileStoneNotification,
                       [this](const NotificationCenter::UserInfo& info) { posts.push_back(info); });
  }

  std::unique_ptr<KestrioAppDelegate> makeDelegate(bool withScreens = false) {
    if (withScreens) {
      cellularScreen = std::make_unique<MainViewController>(platform, ui, center);
      wifiScreen = std::make_unique<MainViewController>(platform, ui, center);
    }
    return std::make_unique<KestrioAppDelegate>(platform, ui, center, kBundleVersion,
                                                cellularScreen.get(), wifiScreen.get());
  }

  // A refresh that measures from the counters as they stand, then one that counts `usedMiB`.
  void refreshWithUsage(KestrioAppDelegate& delegate, std::uint64_t usedMiB) {
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    fetch(delegate);
    platform.advance(600);
    platform.setCounters("wwan0", usedMiB * kMiB, 0);
    fetch(delegate);
  }

  void fetch(KestrioAppDelegate& delegate) {
    delegate.performFetchWithCompletionHandler([this](int result) { results.push_back(result); });
  }

  std::vector<std::string> alertTitles() const {
    std::vector<std::string> titles;
    for (const auto& shown : ui.shown) titles.push_back(shown.alert.title);
    return titles;
  }

  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  std::vector<NotificationCenter::UserInfo> posts;
  std::vector<int> results;
  std::unique_ptr<MainViewController> cellularScreen;
  std::unique_ptr<MainViewController> wifiScreen;
};

// --- Background refresh and the badge ---

TEST_F(KestrioAppDelegateTest, RefreshWithoutAWindowBadgesTheUsedShare) {
  auto delegate = makeDelegate();
  refreshWithUsage(*delegate, 427);
  EXPECT_EQ(platform.applicationIconBadgeNumber(), 42);
  EXPECT_EQ(results, (std::vector<int>{0, 0}));
}

TEST_F(KestrioAppDelegateTest, RefreshWithScreensBadgesFromTheCellularScreen) {
  auto delegate = makeDelegate(true);
  refreshWithUsage(*delegate, 427);
  EXPECT_EQ(platform.applicationIconBadgeNumber(), 42);
  EXPECT_TRUE(cellularScreen->isCellularMode);
  EXPECT_FALSE(wifiScreen->isCellularMode);
  EXPECT_EQ(results.size(), 2u);
}

TEST_F(KestrioAppDelegateTest, BillingResetSettingAlwaysClearsTheBadge) {
  auto delegate = makeDelegate();
  refreshWithUsage(*delegate, 427);
  ASSERT_EQ(platform.applicationIconBadgeNumber(), 42);
  // The controller keeps its last badge number; the setting alone clears the icon.
  platform.userDefaults().setString(AppSettings::kAppBadgeSetting, "BILLINGRESET");
  platform.setCounters("wwan0", 500 * kMiB, 0);
  fetch(*delegate);
  EXPECT_EQ(platform.applicationIconBadgeNumber(), 0);
  // No empty desktop notification is shown for the badge.
  EXPECT_TRUE(std::none_of(platform.delivered.begin(), platform.delivered.end(),
                           [](const LocalNotification& n) { return n.alertBody.empty(); }));
}

// Truncation toward zero; a value no integer holds must not make the conversion undefined.
TEST_F(KestrioAppDelegateTest, BadgeNumbersAreCutToWholeNumbersSafely) {
  // With this setting a pass leaves the controller's badge number as it is.
  platform.userDefaults().setString(AppSettings::kAppBadgeSetting, "CELLQUOTA");
  auto delegate = makeDelegate();
  auto badgeFor = [&](std::optional<float> number) {
    delegate->mainViewController.appBadgeNumber = number;
    delegate->applicationDidEnterBackground();
    return platform.applicationIconBadgeNumber();
  };
  EXPECT_EQ(badgeFor(-20.7f), -20);
  EXPECT_EQ(badgeFor(99.99f), 99);
  EXPECT_EQ(badgeFor(1e12f), INT_MAX);
  EXPECT_EQ(badgeFor(-1e12f), INT_MIN);
  EXPECT_EQ(badgeFor(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(badgeFor(std::nullopt), 0);
}

TEST_F(KestrioAppDelegateTest, RefreshDeliversNotificationsThatFellDue) {
  LocalNotification due;
  due.fireDate = platform.now().addingSeconds(-60);
  due.alertBody = "open app to reset cellular billing cycle";
  Communications::scheduleLocalNotification(platform, due);
  auto delegate = makeDelegate();
  fetch(*delegate);
  ASSERT_EQ(platform.delivered.size(), 1u);
  EXPECT_EQ(platform.delivered[0].alertBody, due.alertBody);
  EXPECT_TRUE(Communications::scheduledLocalNotifications(platform).empty());
}

TEST_F(KestrioAppDelegateTest, LeavingAndTerminatingStartTheSinceRunSpanAgain) {
  auto delegate = makeDelegate();
  refreshWithUsage(*delegate, 5);
  auto sinceRun = [this] {
    return AppData::getNumberForKey("dataSinceAppLastRun",
                                    testing::storedRecord(platform, AppData::kCellularFileName));
  };
  ASSERT_EQ(sinceRun(), 5.0 * kMiB);

  platform.advance(600);
  platform.setCounters("wwan0", 9 * kMiB, 0);
  delegate->applicationDidEnterBackground();
  EXPECT_EQ(sinceRun(), 0.0);
  EXPECT_EQ(platform.applicationIconBadgeNumber(), 0);  // 9 of 1000 MB

  platform.advance(600);
  platform.setCounters("wwan0", 20 * kMiB, 0);
  fetch(*delegate);
  EXPECT_EQ(sinceRun(), 11.0 * kMiB);
  delegate->applicationWillTerminate();
  EXPECT_EQ(sinceRun(), 0.0);
}

// A refresh without a window (kestrio update, the daemon) badges what the window's refresh
// badges, for every badge setting: 427 of 1000 MB cellular, 900 of 2000 MB Wi-Fi used.
class WindowlessBadgeTest : public ::testing::TestWithParam<const char*> {
 protected:
  static int badgeAfterRefresh(const char* setting, bool window) {
    FakePlatform platform;
    RecordingUi ui;
    NotificationCenter center;
    platform.setBoot(1000, "boot-1");
    platform.setNow(2026, 1, 15, 12, 0, 0);
    AppSettings(platform).getSettings();
    UserDefaults& store = platform.userDefaults();
    store.setInteger(AppSettings::kCellularDataLimit, 1000);
    store.setString(AppSettings::kCellularDataLimitUnit, "MB");
    store.setInteger(AppSettings::kWifiDataLimit, 2000);
    store.setString(AppSettings::kWifiDataLimitUnit, "MB");
    store.setString(AppSettings::kDisplayUnit, "MB");
    store.setString(AppSettings::kAppBadgeSetting, setting);
    store.synchronize();
    MainViewController cellular(platform, ui, center);
    MainViewController wifi(platform, ui, center);
    KestrioAppDelegate delegate(platform, ui, center, kBundleVersion, window ? &cellular : nullptr,
                                window ? &wifi : nullptr);
    platform.setCounters("wwan0", 0, 0, InterfaceKind::Cellular);
    platform.setCounters("wlan0", 0, 0, InterfaceKind::Wifi);
    delegate.performFetchWithCompletionHandler(nullptr);
    platform.advance(600);
    platform.setCounters("wwan0", 427 * kMiB, 0);
    platform.setCounters("wlan0", 900 * kMiB, 0);
    delegate.performFetchWithCompletionHandler(nullptr);
    return platform.applicationIconBadgeNumber();
  }
};

TEST_P(WindowlessBadgeTest, MatchesTheWindowsBadge) {
  const int withWindow = badgeAfterRefresh(GetParam(), true);
  EXPECT_EQ(badgeAfterRefresh(GetParam(), false), withWindow);
  // A setting that names a figure badges it.
  if (std::string(GetParam()) != "BILLINGRESET") {
    EXPECT_NE(withWindow, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryBadgeSetting, WindowlessBadgeTest,
                         ::testing::Values("CELLPERCENT", "CELL_REM_PERCENT", "CELL_PROJ_PERCENT",
                                           "CELLQUOTA", "WIFIPERCENT", "WIFI_REM_PERCENT",
                                           "WIFI_PROJ_PERCENT", "WIFIQUOTA", "BILLINGRESET"),
                         [](const ::testing::TestParamInfo<const char*>& setting) {
                           return std::string(setting.param);
                         });

// --- Launch: welcome and "What's New" ---

TEST_F(KestrioAppDelegateTest, FirstLaunchWelcomesAndLaterLaunchesShowWhatsNewOnce) {
  EXPECT_TRUE(makeDelegate(true)->didFinishLaunchingWithOptions(false));
  EXPECT_EQ(alertTitles(), (std::vector<std::string>{"Initial Setup"}));
  EXPECT_EQ(platform.userDefaults().dateForKey(KestrioAppDelegate::kFirstRunKey), platform.now());

  makeDelegate(true)->didFinishLaunchingWithOptions(false);
  ASSERT_EQ(ui.shown.size(), 2u);
  EXPECT_EQ(ui.latest().title, "What's New in 2.5.0");
  EXPECT_EQ(ui.latest().message, "New Features:\n-Improved readability, better stats and new icon");
  EXPECT_EQ(ui.latest().cancelButton, "OK");

  makeDelegate(true)->didFinishLaunchingWithOptions(false);
  EXPECT_EQ(ui.shown.size(), 2u);

  platform.userDefaults().setString(KestrioAppDelegate::kVersionKey, "Undefined");
  makeDelegate(true)->didFinishLaunchingWithOptions(false);
  EXPECT_EQ(ui.shown.size(), 3u);
  EXPECT_EQ(platform.userDefaults().stringForKey(KestrioAppDelegate::kVersionKey), "2.5.0");
}

TEST_F(KestrioAppDelegateTest, AnOlderInstallationIsNotWelcomedAgain) {
  platform.fakeFiles().put(platform.documentPath(AppSettings::kLegacyFileName), "");
  makeDelegate(true)->didFinishLaunchingWithOptions(false);
  EXPECT_EQ(alertTitles(), (std::vector<std::string>{"What's New in 2.5.0"}));
  EXPECT_FALSE(platform.userDefaults().objectForKey(KestrioAppDelegate::kFirstRunKey));
}

TEST_F(KestrioAppDelegateTest, ClosingTheWelcomeOpensTheSettingsTab) {
  auto delegate = makeDelegate(true);
  std::vector<int> selected;
  delegate->onSelectTab = [&](int index) { selected.push_back(index); };
  delegate->didFinishLaunchingWithOptions(false);
  EXPECT_EQ(delegate->selectedTab, 1);
  ui.tap(0);
  EXPECT_EQ(delegate->selectedTab, KestrioAppDelegate::kSettingsTab);
  EXPECT_EQ(delegate->tabSelectedIndex, KestrioAppDelegate::kSettingsTab);
  EXPECT_EQ(selected, (std::vector<int>{1, 4}));

  // Other alerts of the delegate do not move the tab.
  delegate->didReceiveLocalNotification(withText("Cellular usage"));
  delegate->didSelectViewController(0);
  ui.tap(0);
  EXPECT_EQ(delegate->selectedTab, 0);
}

// The greetings and the rating prompt are the window's: the daemon's launch, its refreshes and
// the command line's screens leave every marker as it was, and the first window greets.
TEST_F(KestrioAppDelegateTest, WindowlessProcessesLeaveTheOneTimeMessagesToTheWindow) {
  // Old enough for the rating prompt, had the first launch been recorded.
  auto daemon = makeDelegate();
  EXPECT_TRUE(daemon->didFinishLaunchingWithOptions(false));
  refreshWithUsage(*daemon, 5);
  platform.advance(30 * 86400);
  fetch(*daemon);
  MainViewController statusScreen(platform, ui, center);
  statusScreen.renderView();
  EXPECT_TRUE(ui.shown.empty());
  for (const char* key : {KestrioAppDelegate::kFirstRunKey, KestrioAppDelegate::kVersionKey,
                          "askedForRating", KestrioAppDelegate::kAskedForLocationKey}) {
    EXPECT_FALSE(platform.userDefaults().objectForKey(key)) << key;
  }

  makeDelegate(true)->didFinishLaunchingWithOptions(false);
  EXPECT_EQ(alertTitles(), (std::vector<std::string>{"Initial Setup"}));

  // Even once the rating is due, a screen without a window neither asks nor marks it.
  platform.advance(30 * 86400);
  statusScreen.renderView();
  EXPECT_EQ(ui.shown.size(), 1u);
  EXPECT_FALSE(platform.userDefaults().objectForKey("askedForRating"));
}

// A settings store that cannot be read was set aside, so the window greets as on a first run (the
// plan is gone): it also says which file was kept and where, once for that file.
TEST(KestrioAppDelegateFilesAsideTest, TheWindowNamesTheFileSetAsideAndWhereOnce) {
  FakePlatform platform;
  RecordingUi ui;
  NotificationCenter center;
  platform.fakeFiles().put(platform.documentPath(Platform::kDefaultsFileName),
                           "<?xml version=\"1.0\"?><plist><dict><key>firstDayOf");
  MainViewController cellular(platform, ui, center);
  MainViewController wifi(platform, ui, center);
  const auto launch = [&] {
    KestrioAppDelegate(platform, ui, center, "2.5.0", &cellular, &wifi)
        .didFinishLaunchingWithOptions(false);
  };
  const auto told = [&] {
    return std::count_if(ui.shown.begin(), ui.shown.end(), [](const auto& shown) {
      return shown.alert.title == KestrioAppDelegate::kUnreadableFilesTitle;
    });
  };
  launch();
  ASSERT_EQ(told(), 1);
  const auto aside = filesMovedAside(platform.files(), platform.documentsDirectory());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ui.latest().message, "Unreadable files moved aside (your data is kept there):\n" +
                                     platform.documentsDirectory() + "/" + aside[0]);
  launch();
  EXPECT_EQ(told(), 1);
}

// --- Tabs ---

TEST_F(KestrioAppDelegateTest, TappingTheSelectedTabDoesNothing) {
  auto delegate = makeDelegate();
  delegate->didFinishLaunchingWithOptions(false);
  EXPECT_FALSE(delegate->shouldSelectViewController(1));
  EXPECT_TRUE(delegate->shouldSelectViewController(0));
  delegate->didSelectViewController(3);
  EXPECT_FALSE(delegate->shouldSelectViewController(3));
  EXPECT_TRUE(delegate->shouldSelectViewController(1));
}

TEST_F(KestrioAppDelegateTest, EachSelectionAnnouncesItsDataType) {
  auto delegate = makeDelegate();
  delegate->didSelectViewController(0);
  delegate->didSelectViewController(1);
  delegate->didSelectViewController(3);
  ASSERT_EQ(posts.size(), 3u);
  EXPECT_EQ(posts[0].at("dataType"), 1);
  EXPECT_EQ(posts[1].at("dataType"), 2);
  EXPECT_EQ(posts[2].at("dataType"), 3);
  // Moving between other tabs applies nothing: no billing reminders appear.
  EXPECT_TRUE(Communications::scheduledLocalNotifications(platform).empty());
}

TEST_F(KestrioAppDelegateTest, LeavingTheSettingsAppliesThemAndRepaintsBothScreens) {
  auto delegate = makeDelegate(true);
  delegate->didSelectViewController(KestrioAppDelegate::kSettingsTab);
  ASSERT_TRUE(Communications::scheduledLocalNotifications(platform).empty());
  posts.clear();

  delegate->didSelectViewController(2);
  // Reminders are scheduled by applying the settings (push notifications are on by default).
  EXPECT_FALSE(Communications::scheduledLocalNotifications(platform).empty());
  EXPECT_FALSE(cellularScreen->cellular.lblMonthlyUsage.text.empty());
  EXPECT_FALSE(wifiScreen->wifi.lblMonthlyUsage.text.empty());
  ASSERT_FALSE(posts.empty());
  EXPECT_EQ(posts.back().at("dataType"), 3);
  EXPECT_EQ(delegate->tabSelectedIndex, 2);
  EXPECT_TRUE(ui.shown.empty());  // no location explanation
}

// --- Messages, buttons, headers ---

TEST_F(KestrioAppDelegateTest, NotificationsInFrontShowOnlyWhenTheyHaveText) {
  auto delegate = makeDelegate();
  delegate->didReceiveLocalNotification(LocalNotification{});
  EXPECT_TRUE(ui.shown.empty());
  delegate->didReceiveLocalNotification(withText("Cellular usage exceeded 50.0\xE2\x84\x80"));
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.latest().title, "Usage Alert");
  EXPECT_EQ(ui.latest().message, "Cellular usage exceeded 50.0\xE2\x84\x80");
  EXPECT_EQ(ui.latest().cancelButton, "Dismiss");
  EXPECT_TRUE(ui.latest().otherButtons.empty());
}

TEST_F(KestrioAppDelegateTest, SettingsButtonsReachTheirActions) {
  auto delegate = makeDelegate();
  delegate->buttonTappedForKey("RateKestrio");
  EXPECT_EQ(ui.openedUrls, (std::vector<std::string>{MainViewController::kProductPageUrl}));
  delegate->buttonTappedForKey("SomethingElse");
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(ui.openedUrls.size(), 1u);
  delegate->buttonTappedForKey("AdjustWifiUsage");
  ASSERT_FALSE(platform.logLines.empty());
  EXPECT_NE(std::find(platform.logLines.begin(), platform.logLines.end(),
                      "Called adjust wifi usage from delegate"),
            platform.logLines.end());
  EXPECT_FALSE(ui.shown.empty());
}

TEST_F(KestrioAppDelegateTest, SectionHeadersTakeTheSchemaTitle) {
  auto delegate = makeDelegate();
  EXPECT_EQ(delegate->viewForHeaderForKey("CellularCycle").title, "CellularCycle");
  delegate->setTitleLookup([](const std::string& key) { return "Title of " + key; });
  const SettingsSectionHeader header = delegate->viewForHeaderForKey("CellularCycle");
  EXPECT_EQ(header.title, "Title of CellularCycle");
  EXPECT_EQ(header.textColor, KestrioColors::appSubheaderColor());
  EXPECT_EQ(header.backgroundColor, KestrioColors::appBackgroundColor());
}

TEST_F(KestrioAppDelegateTest, TheLocationExplanationIsShownOnce) {
  auto delegate = makeDelegate();
  delegate->askForLocation();
  delegate->askForLocation();
  EXPECT_EQ(alertTitles(), (std::vector<std::string>{"Last Place Data Used"}));
  EXPECT_TRUE(platform.userDefaults().boolForKey(KestrioAppDelegate::kAskedForLocationKey));
}

// --- Window tint ---

TEST_F(KestrioAppDelegateTest, TheWindowTintFollowsTheLatestMilestone) {
  platform.userDefaults().setString(UsageVisualView::kCellularColorKey, "Y");
  platform.userDefaults().setString(UsageVisualView::kWifiColorKey, "R");
  auto delegate = makeDelegate();
  delegate->didFinishLaunchingWithOptions(false);
  EXPECT_EQ(delegate->windowTintColor, KestrioColors::progressColor2());
  EXPECT_EQ(delegate->windowBackgroundColor, KestrioColors::appBackgroundColor());

  center.post(kProgressBarMileStoneNotification, {{"dataType", 2}});
  EXPECT_EQ(delegate->windowTintColor, KestrioColors::progressColor3());
  center.post(kProgressBarMileStoneNotification, {{"dataType", 3}});
  EXPECT_EQ(delegate->windowTintColor, KestrioColors::appTintColor());
  center.post(kProgressBarMileStoneNotification, {{"dataType", 0}});
  EXPECT_EQ(delegate->windowTintColor, KestrioColors::progressColor2());

  // A delegate that is gone no longer observes.
  delegate.reset();
  center.post(kProgressBarMileStoneNotification, {{"dataType", 2}});
}

}  // namespace
}  // namespace kestrio

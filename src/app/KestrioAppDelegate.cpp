#include "app/KestrioAppDelegate.h"

#include <algorithm>

#include "engine/AppSettings.h"
#include "platform/MoveAside.h"
#include "platform/Transaction.h"
#include "services/Communications.h"

namespace kestrio {

namespace {

constexpr const char* kInitialSetupTitle = "Initial Setup";
// The settings screens announce every stored change under this name, with the key as object.
constexpr const char* kAppSettingChanged = "kAppSettingChanged";

}  // namespace

KestrioAppDelegate::KestrioAppDelegate(Platform& platform, Ui& ui, NotificationCenter& center,
                                       std::string bundleVersion, MainViewController* cellular,
                                       MainViewController* wifi)
    : mainViewController(platform, ui, center),
      cellularScreen(cellular),
      wifiScreen(wifi),
      platform_(platform),
      ui_(ui),
      center_(center),
      bundleVersion_(std::move(bundleVersion)) {}

KestrioAppDelegate::~KestrioAppDelegate() {
  if (themeObserver_) center_.removeObserver(*themeObserver_);
  if (settingObserver_) center_.removeObserver(*settingObserver_);
}

bool KestrioAppDelegate::didFinishLaunchingWithOptions(bool launchedByLocation) {
  platform_.setApplicationIconBadgeNumber(0);

  if (launchedByLocation) {
    mainViewController.backgroundUpdate("", false);
    platform_.setApplicationIconBadgeNumber(iconBadgeNumber(mainViewController.appBadgeNumber));
  }
  // Nothing relaunches Kestrio for a new position here, so a process that lives on watches from
  // its start.
  if (monitorsLocation) mainViewController.startSignificantChangesUpdate();

  tabSelectedIndex = 1;
  selectedTab = 1;
  if (onSelectTab) onSelectTab(selectedTab);

  if (!themeObserver_) {
    themeObserver_ = center_.addObserver(
        kProgressBarMileStoneNotification, [this](const NotificationCenter::UserInfo& info) {
          applyTheme(NotificationCenter::integer(info, "dataType"));
        });
  }
  applyTheme(std::nullopt);
  if (!settingObserver_) {
    settingObserver_ = center_.addObserver(
        kAppSettingChanged, [this](const NotificationCenter::Notification& notification) {
          if (!notification.object) return;
          if (const auto* key = notification.object->get<std::string>()) settingDidChange(*key);
        });
  }

  // The greetings belong to the window: a launch without one (the daemon) neither shows them nor
  // marks them as shown, so the first window the user opens still greets them.
  if (!hasWindow()) return true;
  // A first run is known by neither the older version's settings file nor a first-run date;
  // an installation that kept the older file is greeted with "What's New" instead.
  UserDefaults& store = platform_.userDefaults();
  if (!AppSettings(platform_).settingsExist() && !store.objectForKey(kFirstRunKey)) {
    store.setObject(kFirstRunKey, PlistValue(platform_.now()));
    store.synchronize();
    performSetup();
  } else {
    showVersionUpdateInfo();
  }
  showFilesMovedAside();
  // Background refresh needs no request here: the daemon or the user's timer runs it.
  return true;
}

void KestrioAppDelegate::presentScreens(const RefreshResult& result) {
  if (cellularScreen) {
    cellularScreen->isCellularMode = true;
    cellularScreen->presentRefresh(result);
  }
  if (wifiScreen) {
    wifiScreen->isCellularMode = false;
    wifiScreen->presentRefresh(result);
  }
}

void KestrioAppDelegate::performFetchWithCompletionHandler(
    const std::function<void(int result)>& handler) {
  // The whole refresh is one change: the engine's pass and whatever the screens store while
  // they are formatted are installed together.
  Transaction transaction(platform_);
  platform_.setApplicationIconBadgeNumber(0);
  RefreshRequest request;
  request.publishesBadge = true;
  request.deliversDueNotifications = true;
  presentScreens(mainViewController.refresh(std::move(request)));
  followBackgrounding(mainViewController.appSettings());
  const Stored stored = transaction.commit();
  if (handler) handler(stored.ok() ? kFetchResultNewData : kFetchResultFailed);
}

void KestrioAppDelegate::applicationDidEnterBackground() {
  // Watching goes on in the background whatever the platform version: positions only name the
  // place here.
  Transaction transaction(platform_);
  RefreshRequest request;
  request.shouldResetSinceLastAppRun = true;
  request.withPeriodStatus = false;
  request.publishesBadge = true;
  mainViewController.refresh(std::move(request));
  followBackgrounding(mainViewController.appSettings());
  // Nobody waits for this change: a failure is in the log, and the next pass counts again.
  (void)transaction.commit();
}

void KestrioAppDelegate::applicationWillEnterForeground() {
  Transaction transaction(platform_);
  platform_.setApplicationIconBadgeNumber(0);
  presentScreens(mainViewController.refresh({}));
  (void)transaction.commit();  // as above
}

void KestrioAppDelegate::applicationWillTerminate() {
  mainViewController.backgroundUpdate("", true);
}

void KestrioAppDelegate::didReceiveLocalNotification(const LocalNotification& notification) {
  if (notification.alertBody.empty()) return;
  ui_.showAlert(Alert{"Usage Alert", notification.alertBody, "Dismiss", {}, std::nullopt}, this);
}

void KestrioAppDelegate::followBackgrounding(const AppSettings& settings) {
  if (!monitorsLocation) return;
  if (settings.enableBackgrounding().value_or(true)) {
    mainViewController.startSignificantChangesUpdate();
  } else {
    mainViewController.stopSignificantChangesUpdate();
  }
}

void KestrioAppDelegate::settingDidChange(const std::string& key) {
  if (key != MainViewController::kRecordLocationKey || !monitorsLocation) return;
  if (MainViewController::recordsLocation(platform_)) {
    askForLocation();
    mainViewController.startSignificantChangesUpdate();
  } else {
    mainViewController.stopSignificantChangesUpdate();
  }
}

bool KestrioAppDelegate::shouldSelectViewController(int index) const {
  return index != selectedTab;
}

void KestrioAppDelegate::didSelectViewController(int index) {
  if (tabSelectedIndex == kSettingsTab) {
    AppSettings(platform_).applySettings();
    if (cellularScreen) cellularScreen->repaintView(true);
    if (wifiScreen) wifiScreen->repaintView(false);
    // The location explanation comes when the user turns recording on, not on every leaving of
    // the settings.
  }
  tabSelectedIndex = index;
  selectedTab = index;
  const int dataType = index == kCellularTab ? 1 : index == kWifiTab ? 2 : 3;
  center_.post(kProgressBarMileStoneNotification, {{"dataType", dataType}});
}

void KestrioAppDelegate::buttonTappedForKey(const std::string& key) {
  if (key == "ResetWifiUsage") {
    mainViewController.askResetWifiUsage();
  } else if (key == "ResetCellularUsage") {
    mainViewController.askResetCellularUsage();
  } else if (key == "AdjustWifiUsage") {
    platform_.log("Called adjust wifi usage from delegate");
    mainViewController.adjustWifiUsage();
  } else if (key == "AdjustCellularUsage") {
    mainViewController.adjustCellularUsage();
  } else if (key == "RateKestrio") {
    ui_.openURL(MainViewController::kProductPageUrl);
  }
}

SettingsSectionHeader KestrioAppDelegate::viewForHeaderForKey(const std::string& key) const {
  SettingsSectionHeader header;
  header.title = titleLookup_ ? titleLookup_(key) : key;
  header.textColor = KestrioColors::appSubheaderColor();
  header.backgroundColor = KestrioColors::appBackgroundColor();
  return header;
}

void KestrioAppDelegate::performSetup() {
  ui_.showAlert(
      Alert{kInitialSetupTitle,
            "Thanks for purchasing Kestrio! \n\n- Please take a few minutes to go through initial "
            "setup. \n\n- Please remember to run Kestrio before device reboot/restart. \n\n- For "
            "current billing period data will be tracked from this point onwards. After you are "
            "done with initial setup you may want to find out current usage stats from your "
            "provider and enter that value by going to Settings tab > Adjust/Reset under "
            "Cellular or WiFi billing cycle settings.",
            "OK",
            {},
            std::nullopt},
      this);
}

void KestrioAppDelegate::showVersionUpdateInfo() {
  UserDefaults& store = platform_.userDefaults();
  const auto stored = store.stringForKey(kVersionKey);
  if (stored && *stored != "Undefined" && *stored == bundleVersion_) return;
  store.setString(kVersionKey, bundleVersion_);
  store.synchronize();
  ui_.showAlert(Alert{"What's New in " + bundleVersion_,
                      "New Features:\n-Improved readability, better stats and new icon",
                      "OK",
                      {},
                      std::nullopt},
                this);
}

void KestrioAppDelegate::showFilesMovedAside() {
  const std::string& directory = platform_.documentsDirectory();
  const std::vector<std::string> aside = filesMovedAside(platform_.files(), directory);
  UserDefaults& store = platform_.userDefaults();
  const std::vector<std::string> shown =
      store.stringArrayForKey(kUnreadableFilesShownKey).value_or(std::vector<std::string>{});
  std::string message;
  for (const std::string& name : aside) {
    if (std::find(shown.begin(), shown.end(), name) == shown.end()) {
      message += "\n" + directory + "/" + name;
    }
  }
  if (aside != shown) {
    // Only the files still there: a name that comes back later is news again.
    PlistValue::Array names;
    for (const std::string& name : aside) names.emplace_back(name);
    store.setObject(kUnreadableFilesShownKey, PlistValue(std::move(names)));
    store.synchronize();
  }
  if (message.empty()) return;
  ui_.showAlert(Alert{kUnreadableFilesTitle,
                      "Unreadable files moved aside (your data is kept there):" + message,
                      "OK",
                      {},
                      std::nullopt},
                this);
}

void KestrioAppDelegate::askForLocation() {
  UserDefaults& store = platform_.userDefaults();
  if (!store.objectForKey(kAskedForLocationKey)) store.setBool(kAskedForLocationKey, false);
  if (!store.boolForKey(kAskedForLocationKey)) {
    ui_.showAlert(
        Alert{"Last Place Data Used",
              "If you would like to enable background updates, receive alerts and know last "
              "place data used, on NEXT PROMPT about using current location, tap on OK. \nIt "
              "will use low power consuming GPS option to update location.",
              "OK",
              {},
              std::nullopt},
        this);
    store.setBool(kAskedForLocationKey, true);
  }
  store.synchronize();
}

void KestrioAppDelegate::clickedButtonAtIndex(const Alert& alert, int /*buttonIndex*/) {
  if (alert.title != kInitialSetupTitle) return;
  selectedTab = kSettingsTab;
  tabSelectedIndex = kSettingsTab;
  if (onSelectTab) onSelectTab(selectedTab);
}

void KestrioAppDelegate::applyTheme(std::optional<int> dataType) {
  if (!dataType || *dataType == 0 || *dataType == 1) {
    windowTintColor = KestrioColors::cellularProgressColor(platform_);
  } else if (*dataType == 2) {
    windowTintColor = KestrioColors::wifiProgressColor(platform_);
  } else {
    windowTintColor = KestrioColors::appTintColor();
  }
  windowBackgroundColor = KestrioColors::appBackgroundColor();
}

}  // namespace kestrio

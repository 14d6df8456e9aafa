#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/MainViewController.h"
#include "app/Theme.h"
#include "platform/Notifications.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/NotificationCenter.h"
#include "settings/SettingsDelegate.h"

namespace kestrio {

// The header of a keyed section of the settings screens: one label on a plain background.
using SettingsSectionHeader = settings::HeaderView;

// The application's lifecycle, without any toolkit: starts the system, keeps the usage records
// current whenever the application gets time (background refresh, leaving and returning to the
// foreground, termination), publishes the icon badge, answers the settings screens' buttons and
// headers, follows the tab selection and keeps the window's tint. The desktop binds it to its
// window and tab bar; the command line runs it without either.
class KestrioAppDelegate : public AlertDelegate {
 public:
  // The settings title of a key, as the settings schema gives it.
  using TitleLookup = std::function<std::string(const std::string& key)>;

  static constexpr int kCellularTab = 0;
  static constexpr int kWifiTab = 1;
  static constexpr int kSettingsTab = 4;
  static constexpr int kFetchResultNewData = 0;
  static constexpr int kFetchResultFailed = 2;  // nothing of the refresh could be stored

  static constexpr const char* kFirstRunKey = "firstRun";
  static constexpr const char* kVersionKey = "version";
  static constexpr const char* kAskedForLocationKey = "askedForLocation";
  // The names of the files moved aside that the window has told the user about.
  static constexpr const char* kUnreadableFilesShownKey = "unreadableFilesShown";
  static constexpr const char* kUnreadableFilesTitle = "Unreadable Files Moved Aside";

  // `bundleVersion` is the application's version, shown in "What's New". The usage screens of
  // tabs 0 and 1 may be absent (the command line has no window).
  KestrioAppDelegate(Platform& platform, Ui& ui, NotificationCenter& center,
                     std::string bundleVersion, MainViewController* cellular = nullptr,
                     MainViewController* wifi = nullptr);
  ~KestrioAppDelegate() override;
  KestrioAppDelegate(const KestrioAppDelegate&) = delete;
  KestrioAppDelegate& operator=(const KestrioAppDelegate&) = delete;

  // --- Lifecycle ---
  // Answers true. `launchedByLocation`: the system started the application for a location event.
  bool didFinishLaunchingWithOptions(bool launchedByLocation);
  // One background refresh; the handler receives kFetchResultNewData, or kFetchResultFailed
  // when nothing of it could be stored.
  void performFetchWithCompletionHandler(const std::function<void(int result)>& handler);
  void applicationDidEnterBackground();
  void applicationWillEnterForeground();
  void applicationWillTerminate();
  // A notification that arrived while the application is in front.
  void didReceiveLocalNotification(const LocalNotification& notification);

  // --- Tabs ---
  bool shouldSelectViewController(int index) const;
  void didSelectViewController(int index);
  // The tab shown now. The delegate changes it itself when the welcome closes (the settings
  // tab); `onSelectTab` then tells the window.
  int selectedTab = 1;
  // The tab that was selected before the current selection event.
  int tabSelectedIndex = 1;
  std::function<void(int index)> onSelectTab;

  // --- Settings screens ---
  void buttonTappedForKey(const std::string& key);
  SettingsSectionHeader viewForHeaderForKey(const std::string& key) const;
  // Until a lookup is set, a header shows its key.
  void setTitleLookup(TitleLookup lookup) { titleLookup_ = std::move(lookup); }

  // --- Messages ---
  void performSetup();
  void showVersionUpdateInfo();
  // Names each file that could not be read and was kept under a dated name beside it, with its
  // place, once per file: the settings or records then started from nothing, and the user's
  // data is in that file.
  void showFilesMovedAside();
  void askForLocation();
  void clickedButtonAtIndex(const Alert& alert, int buttonIndex) override;

  // --- Theme ---
  // With the data type of a milestone notification, or none.
  void applyTheme(std::optional<int> dataType);
  Rgba windowTintColor;
  Rgba windowBackgroundColor;

  // --- Last place of use ---
  // Only a process that lives on (the daemon, the window) watches the position: a one-off
  // command would ask the location service for nothing.
  bool monitorsLocation = false;
  // A stored setting changed (the settings screens announce it): turning on "Record where data
  // is used" explains what it does and starts watching; turning it off stops.
  void settingDidChange(const std::string& key);

  // The delegate's own controller, for passes and actions that belong to no visible screen.
  MainViewController mainViewController;
  MainViewController* cellularScreen;
  MainViewController* wifiScreen;
  // The desktop window holds the usage screens; the command line and the daemon have none.
  bool hasWindow() const { return cellularScreen || wifiScreen; }

 private:
  // The cellular screen of tab 0 and the Wi-Fi screen of tab 1, when present, formatted from
  // the records a refresh left.
  void presentScreens(const RefreshResult& result);
  // Starts location monitoring on the own controller when backgrounding is enabled (it is
  // unless turned off), stops it otherwise.
  void followBackgrounding(const AppSettings& settings);

  Platform& platform_;
  Ui& ui_;
  NotificationCenter& center_;
  std::string bundleVersion_;
  TitleLookup titleLookup_;
  std::optional<int> themeObserver_;
  std::optional<int> settingObserver_;
};

}  // namespace kestrio

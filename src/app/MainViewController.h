#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "engine/RefreshPass.h"
#include "engine/UsageAlerts.h"
#include "engine/UsageVisualView.h"
#include "platform/Location.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/NotificationCenter.h"

namespace kestrio {

class Transaction;

class MainView;

// A text field of the screen and whether it is hidden.
struct Label {
  std::string text;
  bool hidden = false;
  friend bool operator==(const Label&, const Label&) = default;
};

// The status area of one network. The screen keeps one for cellular and one for Wi-Fi; the
// Wi-Fi fields are those the screen layout names with the suffix "Wifi" (`lblMonthlyUsageWifi`
// is `wifi.lblMonthlyUsage`).
struct NetworkStatus {
  Label lblMonthlyUsage;
  Label lblMonthlyUsageSent;
  Label lblMonthlyUsageRecd;
  Label lblCurrentPeriod;
  Label lblDays;
  Label lblNextBillingDate;
  Label lblAvailable;
  Label lblRemainingUsage;
  Label lblIdealUsage;
  Label lblIdealActualDiff;
  Label statusImage;  // the status icon's image name: "ok.png", "caution.png", "danger.png"
  Label lblDailySuggested;
  Label lblQuotaOverDate;
  Label lblProjected;
  // How to set a quota, while the network has none; empty otherwise.
  Label lblPlanHint;
  // The modem's operator, technology and roaming, on the cellular screen where ModemManager
  // tells them; empty otherwise.
  Label lblModem;
  UsageGauge visualView;
  // The network's detail values: 0 ideal usage, 1 usage status, 2 current period, 3 next
  // billing date, 4 overage likely, 5 projected use, 6 last place, 7 received, 8 sent.
  std::vector<std::string> detailValues = std::vector<std::string>(9);

  // The twelve views a screen of the other network hides.
  void setStatusViewsHidden(bool hidden);
};

// One row of the screen's "Networks this period": a connection its network counted on in the
// billing period, with its share of what the listed connections counted, for the bar.
struct ConnectionRow {
  std::string uuid;
  std::string name;
  std::string amountText;  // the period's usage in the display unit ("150.00 MB")
  float share = 0;         // 0 to 1
  bool metered = false;
  std::string meteredText;  // "Metered" or "Not metered"
  friend bool operator==(const ConnectionRow&, const ConnectionRow&) = default;
};

// The controller of a usage screen: has the engine refresh both networks (RefreshPass), then
// computes every text, flag and value the screen shows, as plain state that a view (the desktop
// window, the terminal) draws. The application delegate keeps one without a view.
class MainViewController : public AlertDelegate, public LocationManagerDelegate {
 public:
  // Threshold levels, most severe first, with the remaining share (percent) at which each fires.
  using Level = UsageAlerts::Level;
  static const std::vector<Level>& levels() { return UsageAlerts::levels(); }

  MainViewController(Platform& platform, Ui& ui, NotificationCenter& center,
                     MainView* view = nullptr);
  ~MainViewController() override;
  MainViewController(const MainViewController&) = delete;
  MainViewController& operator=(const MainViewController&) = delete;

  // --- The update pass and the full refresh (MainViewControllerPass.cpp) ---
  // One refresh of the engine on this controller's records, keeping its badge number.
  RefreshResult refresh(RefreshRequest request);
  void backgroundUpdate(const std::string& location, bool shouldResetSinceLastAppRun);
  // A refresh, then the screen formatted from its records.
  void renderView();
  // The screen formatted from the records another controller's refresh just left (they are
  // read again: inside that refresh's change they come from memory).
  void presentRefresh(const RefreshResult& result);
  bool sendLocalNotificationForNotificationKey(const std::string& key, float defaultValue,
                                               float percentRemain, const std::string& type,
                                               float dataUsed);
  void resetCellularNotificationKeys();
  void resetWifiNotificationKeys();
  void processBootNotification();
  // Conversions in the display unit of the settings record.
  std::optional<float> getPlanLimitInDisplayUnitFrom(std::optional<double> value,
                                                     const std::string& unit);
  float converToDataUnitFromBytes(std::optional<double> bytes);
  float convertToBytesFromDataUnit(std::optional<double> value);

  // --- Billing-period status and the rating prompt (MainViewControllerStatus.cpp) ---
  void renderMonthlyData(AppData& data, std::optional<float> dataLimit, UsageGauge& visualView);
  void repaintView(bool isCellular);
  void solicitRating();
  void showRatingChoice();

  // --- The detail list (MainViewControllerDetail.cpp) ---
  void renderStandardCountersForType(AppData& data, std::optional<float> dataLimit,
                                     std::optional<float> dailyDataLimit);
  static constexpr int kDetailRows = 14;
  static const char* detailTitle(int row);
  // The value of a row of the list, from the screen's network.
  std::string detailValue(int row) const;

  // --- Usage per connection (MainViewControllerConnections.cpp) ---
  // The rows of the screen's network, most used first; none without connection data.
  void renderConnections(const AppData& data);
  // Changes NetworkManager's own setting of the connection (the user may be asked for the
  // authorisation, which the screen does not wait for: the row says so meanwhile) and shows the
  // row as NetworkManager then stores it. A refusal, or another value stored, is told in an
  // alert ("Metered Not Changed") with NetworkManager's words.
  void setConnectionMetered(const std::string& uuid, ConnectionMetered value);
  static constexpr const char* kNetworksTitle = "Networks this period";
  static constexpr const char* kAskingText = "Asking NetworkManager…";

  // --- Adjust and reset (MainViewControllerAdjust.cpp) ---
  void adjustCellularUsage();
  void adjustWifiUsage();
  void askResetCellularUsage();
  void askResetWifiUsage();
  // Close the period so far into the history and start its usage again from zero. A change that
  // cannot be stored is told to the user ("Usage Not Changed" with the reason) and answered;
  // nothing of it is stored then.
  Stored resetCellularUsage();
  Stored resetWifiUsage();
  // The question that asks before a reset of a network's usage; its button 1 resets.
  static Alert resetQuestion(bool cellular);
  // Applies an amount typed in the display unit as the period usage of a network. Nothing, with
  // nothing changed, when the text is not a number of the user's locale or is negative;
  // otherwise whether the new usage was stored (a failure is told to the user as a reset's is).
  std::optional<Stored> applyAdjustedUsage(bool cellular, const std::string& typed);
  // The period usage in the display unit as the prompt shows it (the locale's decimal format).
  std::string adjustmentPromptText(bool cellular);
  // Tells the user when a user action's change was not stored; answers `stored`.
  Stored reportUnstored(Stored stored);
  void clickedButtonAtIndex(const Alert& alert, int buttonIndex) override;

  // --- Last place of use (MainViewControllerLocation.cpp) ---
  // Watching the position is the user's choice: off until "Record where data is used" is on.
  static constexpr const char* kRecordLocationKey = "recordLocation";
  static bool recordsLocation(Platform& platform);
  // Starts watching for significant changes of position when the user records places, the
  // service is there, and no daemon of the data directory already watches (the daemon, when it
  // runs, is the one process that records places). Otherwise stops watching.
  void startSignificantChangesUpdate();
  void stopSignificantChangesUpdate();
  // A fresh position refreshes the badge and runs a pass carrying its place text.
  void didUpdateToLocation(LocationManager& manager,
                           const std::optional<Location>& location) override;
  void didFailWithError(LocationManager& manager, const std::string& error) override;
  void didFindPlacemark(const Placemark& placemark);
  void reverseGeocoderDidFail();
  // "Town, Region"; "Unknown" when neither is known.
  static std::string placeText(const Placemark& placemark);
  std::unique_ptr<LocationManager> locManager;

  // --- State ---
  AppData& appDataCellular();
  AppData& appDataWifi();
  AppSettings& appSettings();
  Platform& platform() { return platform_; }
  Ui& ui() { return ui_; }
  NotificationCenter& notificationCenter() { return center_; }
  MainView* view() { return view_; }

  std::optional<float> appBadgeNumber;
  // The modem as this controller's latest pass found it.
  ModemState modem;
  bool isCellularMode = true;
  bool isLSViewUpdated = false;
  NetworkStatus cellular;
  NetworkStatus wifi;
  Label titleLabel;
  Label placeLabel;
  Label updatedLabel;
  Label lblUsedToday;
  Label lblSinceLastRun;
  Label lblToday;
  Label lblAllTime;
  Label lblSinceLastBoot;
  // "Networks this period": its title is hidden, with the list, while there are no rows.
  Label lblNetworks;
  std::vector<ConnectionRow> connectionRows;
  // General detail values: 0 used today, 1 since last run, 2 today's date, 3 since install,
  // 4 since last boot.
  std::vector<std::string> detailValues = std::vector<std::string>(5);

  // The product's page, opened by the rating prompt and the settings' rate button.
  static constexpr const char* kProductPageUrl = "https://kestrio.app/rate";

 private:
  // Every text of the screen from the records as they stand.
  void present();
  // `date` in the short date form (with the medium time form when `withTime`); empty without
  // a date.
  std::string dateText(const std::optional<Date>& date, bool withTime = false);

  Platform& platform_;
  Ui& ui_;
  NotificationCenter& center_;
  MainView* view_;
  std::unique_ptr<AppData> appDataCellular_;
  std::unique_ptr<AppData> appDataWifi_;
  std::unique_ptr<AppSettings> appSettings_;
  // NetworkManager's answers come later; they find the controller gone once it is.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  void meteredChangeAnswered(const std::string& uuid, const std::string& name,
                             ConnectionMetered value, const MeteredChange& change);
};

}  // namespace kestrio

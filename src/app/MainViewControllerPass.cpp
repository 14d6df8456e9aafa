#include <fmt/format.h>

#include <cmath>
#include <string>

#include "app/MainView.h"
#include "app/MainViewController.h"
#include "engine/AppSettingsReader.h"
#include "engine/Communications.h"
#include "engine/DataFormatter.h"
#include "platform/Transaction.h"

namespace kestrio {
namespace {

constexpr const char* kNetworkCellular = "Cellular";
constexpr const char* kNetworkWifi = "WiFi";
constexpr const char* kViewAction = "View";
// The character that closes a usage alert ("account of"), not a percent sign.
constexpr const char* kUsageSign = "\xE2\x84\x80";

// What differs between the two networks in the alert step of a pass.
struct AlertPlan {
  AppData& record;
  std::optional<int> limit;
  std::optional<std::string> limitUnit;
  const char* word;
  const char* badgeUsed;
  const char* badgeRemaining;
  const char* badgeProjected;
  const char* notice;
  bool cellular;
};

bool isCellularLayout(const std::string& name) {
  return name == "CellularUsageView" || name == "CellularUsageView5" ||
         name == "CellularUsageView-iPad" || name == "CellularUsageViewLS" ||
         name == "CellularUsageViewLS-iPad";
}

std::optional<double> asNumber(std::optional<int> value) {
  if (!value) return std::nullopt;
  return static_cast<double>(*value);
}

// Used share, remaining share and projection of one network, with the cycle notice, the badge
// and at most one threshold alert.
void checkNetwork(MainViewController& controller, const AlertPlan& plan) {
  Platform& platform = controller.platform();
  const std::string badge = controller.appSettings().appBadgeSetting().value_or("");
  const bool badgeIsThisNetwork =
      badge == plan.badgeUsed || badge == plan.badgeRemaining || badge == plan.badgeProjected;

  const float limit =
      controller.getPlanLimitInDisplayUnitFrom(asNumber(plan.limit), plan.limitUnit.value_or(""))
          .value_or(0.0f);
  // Less than one whole display unit is no usable limit: no notice, no alerts.
  if (!(std::trunc(limit) >= 1.0f)) {
    if (badgeIsThisNetwork) controller.appBadgeNumber.reset();
    return;
  }

  if (plan.record.monthlyResetOccured()) {
    if (plan.cellular) {
      controller.resetCellularNotificationKeys();
    } else {
      controller.resetWifiNotificationKeys();
    }
    Communications::sendLocalNotificationNowWithAlertBody(platform, plan.notice, kViewAction);
  }

  const float used = controller.converToDataUnitFromBytes(plan.record.dataThisMonth());
  const float remaining = (limit - used) / limit * 100.0f;

  const DateComponents time = platform.calendar().components(platform.now());
  const float days = static_cast<float>(plan.record.billingDaysElapsed().value_or(0)) +
                     static_cast<float>(time.hour * 60 + time.minute) / 1440.0f;
  float projected = 0;
  if (days > 0 && used / days > 0) {
    projected = used / days * static_cast<float>(plan.record.billingDaysTotal().value_or(0));
  }

  if (badge == plan.badgeUsed) {
    controller.appBadgeNumber = 100.0f - remaining;
  } else if (badge == plan.badgeRemaining) {
    controller.appBadgeNumber = remaining;
  } else if (badge == plan.badgeProjected) {
    controller.appBadgeNumber = projected / limit * 100.0f;
  }

  for (const auto& level : MainViewController::levels()) {
    if (!AppSettingsReader::getSettingsBoolValueForKey(platform, level.key)) continue;
    if (controller.sendLocalNotificationForNotificationKey(level.key, level.threshold, remaining,
                                                           plan.word, used)) {
      break;
    }
  }
}

void resetNotificationKeys(Platform& platform, const char* word) {
  UserDefaults& defaults = platform.userDefaults();
  for (const auto& level : MainViewController::levels()) {
    const std::string key = std::string(word) + level.key;
    if (defaults.objectForKey(key)) defaults.setBool(key, false);
  }
  defaults.synchronize();
}

// The display unit's size in bytes.
float displayUnitBytes(MainViewController& controller) {
  return DataFormatter::convertToBytesFromDataUnit(
      1.0, controller.appSettings().displayUnit().value_or(""));
}

}  // namespace

void MainViewController::backgroundUpdate(const std::string& location,
                                          bool shouldResetSinceLastAppRun) {
  // Both records, the alerts' markers and the notifications they schedule are one change.
  Transaction transaction(platform_);
  AppData& cellularRecord = appDataCellular();
  AppData& wifiRecord = appDataWifi();
  AppSettings& settings = appSettings();
  settings.getSettings();

  cellularRecord.performBackgroundUpdateForType("cellular", location, shouldResetSinceLastAppRun);
  wifiRecord.performBackgroundUpdateForType("wifi", location, shouldResetSinceLastAppRun);

  checkNetwork(
      *this,
      AlertPlan{cellularRecord, settings.cellularDataLimit(), settings.cellularDataLimitUnit(),
                kNetworkCellular, "CELLPERCENT", "CELL_REM_PERCENT", "CELL_PROJ_PERCENT",
                "Cellular plan data usage was reset automatically due to start of new "
                "billing cycle.",
                true});
  checkNetwork(*this,
               AlertPlan{wifiRecord, settings.wifiDataLimit(), settings.wifiDataLimitUnit(),
                         kNetworkWifi, "WIFIPERCENT", "WIFI_REM_PERCENT", "WIFI_PROJ_PERCENT",
                         "WiFi plan data usage was reset automatically due to start of "
                         "new billing cycle.",
                         false});
  transaction.commit();
}

void MainViewController::renderView() {
  detailValues = std::vector<std::string>(5);
  cellular.detailValues = std::vector<std::string>(9);
  wifi.detailValues = std::vector<std::string>(9);

  if (view_) view_->setContentSize(320, view_->isTablet() ? 500 : 420);

  // One refresh, one change: the pass and whatever the redraw stores (the gauge's band, a
  // custom cycle's start) are installed together when the refresh ends.
  Transaction transaction(platform_);
  appSettings_ = std::make_unique<AppSettings>(platform_);
  appSettings_->getSettings();

  backgroundUpdate("", false);

  AppSettings& settings = appSettings();
  const auto limitOf = [this](std::optional<int> limit,
                              const std::optional<std::string>& unit) -> std::optional<float> {
    if (!limit) return std::nullopt;
    return getPlanLimitInDisplayUnitFrom(asNumber(limit), unit.value_or(""));
  };
  const std::optional<float> cellularLimit =
      limitOf(settings.cellularDataLimit(), settings.cellularDataLimitUnit());
  const std::optional<float> wifiLimit =
      limitOf(settings.wifiDataLimit(), settings.wifiDataLimitUnit());

  renderMonthlyData(appDataCellular(), cellularLimit, cellular.visualView);
  renderMonthlyData(appDataWifi(), wifiLimit, wifi.visualView);

  if (view_) {
    view_->selectTab(settings.startupScreen().value_or("") == "WIFI" ? 1 : 0);
    isCellularMode = isCellularLayout(view_->layoutName());
  }

  AppData& record = isCellularMode ? appDataCellular() : appDataWifi();
  NetworkStatus& shown = isCellularMode ? cellular : wifi;
  NetworkStatus& other = isCellularMode ? wifi : cellular;
  titleLabel.text = isCellularMode ? "CELLULAR" : "Wi-Fi";
  const std::optional<float> dailyCap =
      isCellularMode
          ? getPlanLimitInDisplayUnitFrom(settings.dailyCap(), settings.dailyCapUnit().value_or(""))
          : getPlanLimitInDisplayUnitFrom(settings.dailyCapWifi(),
                                          settings.dailyCapWifiUnit().value_or(""));
  renderStandardCountersForType(record, isCellularMode ? cellularLimit : wifiLimit, dailyCap);
  other.setStatusViewsHidden(true);
  shown.setStatusViewsHidden(false);
  // A record without a billing period has no dates to show: the status rendering hid these, and
  // showing them again would reveal the texts of an earlier period.
  if (!record.nextBillingDate()) {
    shown.lblNextBillingDate.hidden = true;
    shown.lblCurrentPeriod.hidden = true;
    shown.lblDays.hidden = true;
  }

  const std::string place = record.lastLocationDataUsed().value_or("");
  placeLabel.text = place.empty() ? "--" : place;
  shown.detailValues[6] = place;

  const std::optional<Date> lastUpdate = appDataCellular().lastUpdate();
  updatedLabel.text = "Updated: " + dateText(lastUpdate, true);

  // The theme and both gauges are drawn by the view from the state above.
  if (view_) view_->setNeedsDisplay();

  if (appDataCellular().detectedBootEvent()) processBootNotification();

  // The rating prompt is the window's: a screen without a view (the command line, the daemon)
  // neither asks nor marks it as asked.
  if (view_) solicitRating();
  transaction.commit();
}

bool MainViewController::sendLocalNotificationForNotificationKey(const std::string& key,
                                                                 float defaultValue,
                                                                 float percentRemain,
                                                                 const std::string& type,
                                                                 float /*dataUsed*/) {
  bool newPeriod = false;
  if (type == kNetworkWifi) {
    newPeriod = appDataWifi().monthlyResetOccured();
  } else if (type == kNetworkCellular) {
    newPeriod = appDataCellular().monthlyResetOccured();
  }

  if (percentRemain > defaultValue) return false;

  UserDefaults& defaults = platform_.userDefaults();
  const std::string marker = type + key;
  if (!defaults.objectForKey(marker) || newPeriod) defaults.setBool(marker, false);
  if (!defaults.boolForKey(marker)) {
    const std::string body =
        type + " usage exceeded " + fmt::format("{:.1f}", 100.0f - percentRemain) + kUsageSign;
    Communications::sendLocalNotificationNowWithAlertBody(platform_, body, kViewAction);
    defaults.setBool(marker, true);
  }
  defaults.synchronize();
  return true;
}

void MainViewController::resetCellularNotificationKeys() {
  resetNotificationKeys(platform_, kNetworkCellular);
}

void MainViewController::resetWifiNotificationKeys() {
  resetNotificationKeys(platform_, kNetworkWifi);
}

void MainViewController::processBootNotification() {
  Alert alert;
  alert.title = "Run Before Reboot";
  alert.message =
      "Please remember to run Kestrio just before and after reboot/power off. If you don't run "
      "this app before reboot, data usage between last update and reboot is not tracked.\n\n "
      "Kestrio " +
      appDataCellular().bootMsg() +
      " couldn't be monitored. Tap Adjust Usage button to adjust data usage now to do it later, "
      "tap Later.";
  alert.cancelButton = "Later";
  alert.otherButtons = {"Adjust Usage"};
  ui_.showAlert(alert, this);
}

std::optional<float> MainViewController::getPlanLimitInDisplayUnitFrom(std::optional<double> value,
                                                                       const std::string& unit) {
  if (!value) return 0.0f;
  // The factors are powers of two, so going through bytes is exact.
  return DataFormatter::convertToBytesFromDataUnit(value, unit) / displayUnitBytes(*this);
}

float MainViewController::converToDataUnitFromBytes(std::optional<double> bytes) {
  if (!bytes) return 0.0f;
  // Unlike the unit conversion of the formatter, negative figures (the today marker) convert.
  return static_cast<float>(*bytes) / displayUnitBytes(*this);
}

float MainViewController::convertToBytesFromDataUnit(std::optional<double> value) {
  return DataFormatter::convertToBytesFromDataUnit(value, appSettings().displayUnit().value_or(""));
}

}  // namespace kestrio

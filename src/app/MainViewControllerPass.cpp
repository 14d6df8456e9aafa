// The refresh of a usage screen: the engine's pass, then the screen's texts from its records.
#include <string>

#include "app/MainView.h"
#include "app/MainViewController.h"
#include "engine/PeriodUsage.h"
#include "platform/Transaction.h"
#include "services/DataFormatter.h"

namespace kestrio {
namespace {

bool isCellularLayout(const std::string& name) {
  return name == "CellularUsageView" || name == "CellularUsageView5" ||
         name == "CellularUsageView-iPad" || name == "CellularUsageViewLS" ||
         name == "CellularUsageViewLS-iPad";
}

}  // namespace

RefreshResult MainViewController::refresh(RefreshRequest request) {
  request.badgeBefore = appBadgeNumber;
  RefreshResult result =
      RefreshPass(platform_, center_, appSettings(), appDataCellular(), appDataWifi()).run(request);
  appBadgeNumber = result.appBadgeNumber;
  modem = result.modem;
  return result;
}

void MainViewController::backgroundUpdate(const std::string& location,
                                          bool shouldResetSinceLastAppRun) {
  RefreshRequest request;
  request.location = location;
  request.shouldResetSinceLastAppRun = shouldResetSinceLastAppRun;
  request.withPeriodStatus = false;
  refresh(std::move(request));
}

void MainViewController::renderView() {
  // One refresh, one change: the pass and whatever the screen stores while it is formatted (the
  // rating prompt's marker) are installed together.
  Transaction transaction(platform_);
  refresh({});
  present();
  // A refresh that could not be stored is logged; the screen shows the records as stored.
  (void)transaction.commit();
}

void MainViewController::presentRefresh(const RefreshResult& result) {
  Transaction transaction(platform_);
  appSettings().getSettings();
  appDataCellular().getAppData("cellular");
  appDataWifi().getAppData("wifi");
  appBadgeNumber = result.appBadgeNumber;
  present();
  (void)transaction.commit();
}

void MainViewController::present() {
  detailValues = std::vector<std::string>(5);
  cellular.detailValues = std::vector<std::string>(9);
  wifi.detailValues = std::vector<std::string>(9);
  if (view_) view_->setContentSize(320, view_->isTablet() ? 500 : 420);

  AppSettings& settings = appSettings();
  const std::optional<float> cellularLimit = quotaInDisplayUnit(settings, true);
  const std::optional<float> wifiLimit = quotaInDisplayUnit(settings, false);
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
  renderConnections(record);
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
}

bool MainViewController::sendLocalNotificationForNotificationKey(const std::string& key,
                                                                 float defaultValue,
                                                                 float percentRemain,
                                                                 const std::string& type,
                                                                 float /*dataUsed*/) {
  bool newPeriod = false;
  if (type == UsageAlerts::kWifi) {
    newPeriod = appDataWifi().monthlyResetOccured();
  } else if (type == UsageAlerts::kCellular) {
    newPeriod = appDataCellular().monthlyResetOccured();
  }
  return UsageAlerts(platform_, appSettings())
      .sendLocalNotificationForNotificationKey(key, defaultValue, percentRemain, type, newPeriod);
}

void MainViewController::resetCellularNotificationKeys() {
  UsageAlerts::resetNotificationKeys(platform_, UsageAlerts::kCellular);
}

void MainViewController::resetWifiNotificationKeys() {
  UsageAlerts::resetNotificationKeys(platform_, UsageAlerts::kWifi);
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
  return planLimitInDisplayUnit(appSettings(), value, unit);
}

float MainViewController::converToDataUnitFromBytes(std::optional<double> bytes) {
  return bytesInDisplayUnit(appSettings(), bytes);
}

float MainViewController::convertToBytesFromDataUnit(std::optional<double> value) {
  return DataFormatter::convertToBytesFromDataUnit(value, appSettings().displayUnit().value_or(""));
}

}  // namespace kestrio

#include "app/MainViewController.h"

namespace kestrio {

void NetworkStatus::setStatusViewsHidden(bool hidden) {
  visualView.hidden = hidden;
  for (Label* label : {&lblAvailable, &lblRemainingUsage, &lblMonthlyUsage, &lblDailySuggested,
                       &lblQuotaOverDate, &lblIdealUsage, &lblIdealActualDiff, &lblProjected,
                       &lblCurrentPeriod, &lblDays, &lblNextBillingDate, &lblPlanHint, &lblModem}) {
    label->hidden = hidden;
  }
}

MainViewController::MainViewController(Platform& platform, Ui& ui, NotificationCenter& center,
                                       MainView* view)
    : platform_(platform), ui_(ui), center_(center), view_(view) {
  cellular.visualView.dataType = 1;
  wifi.visualView.dataType = 2;
}

MainViewController::~MainViewController() = default;

AppData& MainViewController::appDataCellular() {
  if (!appDataCellular_) appDataCellular_ = std::make_unique<AppData>(platform_);
  return *appDataCellular_;
}

AppData& MainViewController::appDataWifi() {
  if (!appDataWifi_) appDataWifi_ = std::make_unique<AppData>(platform_);
  return *appDataWifi_;
}

AppSettings& MainViewController::appSettings() {
  if (!appSettings_) appSettings_ = std::make_unique<AppSettings>(platform_);
  return *appSettings_;
}

}  // namespace kestrio

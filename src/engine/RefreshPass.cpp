#include "engine/RefreshPass.h"

#include <array>
#include <climits>
#include <cmath>

#include "engine/ApplicationUsage.h"
#include "engine/PeriodUsage.h"
#include "engine/RoamingNotice.h"
#include "engine/UsageAlerts.h"
#include "engine/UsageVisualView.h"
#include "platform/Transaction.h"
#include "services/Communications.h"

namespace kestrio {

namespace {

// The integer part of a badge number (toward zero). A value no integer can hold is brought to
// the nearest one, and one that is not a number shows no badge, rather than leaving the
// conversion undefined.
int integerPart(float value) {
  if (std::isnan(value)) return 0;
  const double whole = std::trunc(static_cast<double>(value));
  if (whole >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (whole <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(whole);
}

}  // namespace

int iconBadgeNumber(std::optional<float> number) {
  return number ? integerPart(*number) : 0;
}

std::array<PeriodUsage, 2> periodUsages(Platform& platform, const AppSettings& settings,
                                        const AppData& cellular, const AppData& wifi) {
  return {PeriodUsage::of(platform, cellular, settings, quotaInDisplayUnit(settings, true)),
          PeriodUsage::of(platform, wifi, settings, quotaInDisplayUnit(settings, false))};
}

void settleUsageBands(Platform& platform, NotificationCenter& center, const AppSettings& settings,
                      const std::array<PeriodUsage, 2>& usages) {
  UsageVisualView::settleBand(platform, center, settings, usages[0].gauge(1, settings));
  UsageVisualView::settleBand(platform, center, settings, usages[1].gauge(2, settings));
}

RefreshPass::RefreshPass(Platform& platform, NotificationCenter& center, AppSettings& settings,
                         AppData& cellular, AppData& wifi)
    : platform_(platform), center_(center), settings_(settings), cellular_(cellular), wifi_(wifi) {}

RefreshResult RefreshPass::run(const RefreshRequest& request) {
  RefreshResult result;
  result.appBadgeNumber = request.badgeBefore;
  Transaction transaction(platform_);

  settings_.getSettings();
  cellular_.shareSettings(settings_);
  wifi_.shareSettings(settings_);
  // Asked even when metered connections do not count as cellular: the traffic per connection is
  // kept either way.
  const ConnectionSnapshot connections = platform_.activeConnections();
  cellular_.shareConnections(connections);
  wifi_.shareConnections(connections);
  // Read before the interfaces, so the applications never count traffic the interfaces had not.
  const ApplicationCounters applications = platform_.readApplicationCounters();
  // A network whose pass failed ends the refresh without storing anything; the other network's
  // pass, the alerts and the badge still run, so the screens show what was counted.
  const Stored cellularPass = cellular_.performBackgroundUpdateForType(
      "cellular", request.location, request.shouldResetSinceLastAppRun);
  const Stored wifiPass = wifi_.performBackgroundUpdateForType("wifi", request.location,
                                                               request.shouldResetSinceLastAppRun);

  if (cellularPass.ok() && wifiPass.ok()) {
    ApplicationUsageStore::settlePass(platform_, applications, cellular_, wifi_);
  }

  // After both passes, which counted the traffic since the previous pass as roaming or not by
  // what that pass found.
  RoamingNotice::settle(platform_, connections.modem);
  result.modem = connections.modem;

  UsageAlerts alerts(platform_, settings_);
  alerts.checkNetwork(cellular_, true, result.appBadgeNumber);
  alerts.checkNetwork(wifi_, false, result.appBadgeNumber);

  // The badge the setting names after each period's status, and the gauges' bands, which the
  // window's tint and every later process read from the store.
  const std::string badgeSetting = settings_.appBadgeSetting().value_or("");
  const std::array<PeriodUsage, 2> usages = periodUsages(platform_, settings_, cellular_, wifi_);
  if (request.withPeriodStatus) {
    result.appBadgeNumber = statusBadge(badgeSetting, true, usages[0], result.appBadgeNumber);
    result.appBadgeNumber = statusBadge(badgeSetting, false, usages[1], result.appBadgeNumber);
  }
  settleUsageBands(platform_, center_, settings_, usages);

  if (request.publishesBadge) {
    const bool billingReset = badgeSetting == "BILLINGRESET";
    platform_.setApplicationIconBadgeNumber(billingReset ? 0
                                                         : iconBadgeNumber(result.appBadgeNumber));
  }
  if (request.deliversDueNotifications) Communications::deliverDueNotifications(platform_);

  if (!cellularPass.ok()) {
    result.stored = transaction.abandon(cellularPass);
  } else if (!wifiPass.ok()) {
    result.stored = transaction.abandon(wifiPass);
  } else {
    result.stored = transaction.commit();
  }
  return result;
}

}  // namespace kestrio

// The billing-period status of a network, the repaint without a pass, and the rating prompt.

#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <string>

#include "app/MainView.h"
#include "app/MainViewController.h"
#include "engine/StringFormatter.h"

namespace kestrio {

namespace {

constexpr const char* kFirstRunKey = "firstRun";
constexpr const char* kAskedForRatingKey = "askedForRating";
constexpr double kSecondsPerDay = 86400.0;
// The prompt is offered from this many whole days after the first launch.
constexpr long long kRatingDueAfterDays = 11;

// The unit the amounts are expressed in: the conversions count any text other than "KB" and
// "GB" as "MB", so the label says so too.
std::string displayUnitText(AppSettings& settings) {
  const std::string unit = settings.displayUnit().value_or("MB");
  return unit == "KB" || unit == "GB" ? unit : "MB";
}

// Amounts are single-precision; widening to double before formatting keeps the digits a C
// formatter would print for the same value, with a decimal point in every locale.
std::string fixed(float value, int decimals) {
  return fmt::format("{:.{}f}", static_cast<double>(value), decimals);
}

// A date moved by whole calendar days; the calendar rolls an out-of-range day into the next
// month (or back into the previous one for day 0).
Date addingDays(const Calendar& calendar, Date date, int days) {
  DateComponents parts = calendar.components(date);
  parts.day += days;
  return calendar.date(parts);
}

// The whole days of a day count. A quotient that is a whole number in exact arithmetic (a quota
// of 2 used at 0.08 a day lasts 25 days) comes out of float division a few units of the last
// place below it; that slack is not a day less.
int wholeDays(float days) {
  constexpr float kRoundingSlack = 1e-5f;
  return static_cast<int>(std::floor(days + days * kRoundingSlack));
}

}  // namespace

std::string MainViewController::dateText(const std::optional<Date>& date, bool withTime) {
  if (!date || !showsDates) return "";
  return withTime ? StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(platform_, *date)
                  : StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform_, *date);
}

void MainViewController::renderMonthlyData(AppData& data, std::optional<float> dataLimit,
                                           UsageGauge& visualView) {
  const bool isCellular = data.appDataType() == "cellular";
  NetworkStatus& status = isCellular ? cellular : wifi;
  if (status.detailValues.size() < 9) status.detailValues.resize(9);
  std::vector<std::string>& values = status.detailValues;

  if (!data.nextBillingDate()) {
    status.lblNextBillingDate.hidden = true;
    status.lblCurrentPeriod.hidden = true;
    status.lblDays.hidden = true;
    return;
  }
  // A period is known again: the labels a record without one hid come back.
  status.lblNextBillingDate.hidden = false;
  status.lblCurrentPeriod.hidden = false;
  status.lblDays.hidden = false;

  Platform& platform = platform_;
  const Calendar& calendar = platform.calendar();
  AppSettings& settings = appSettings();
  const std::string unit = displayUnitText(settings);
  const std::string badge = settings.appBadgeSetting().value_or("");

  const int totalDays = data.billingDaysTotal().value_or(0);
  const int elapsedDays = data.billingDaysElapsed().value_or(0);
  const std::string daysText = fmt::format("{}", totalDays - elapsedDays);

  // The period ends the day before the next one starts (day 0 is the previous month's last day).
  const Date periodEnd = addingDays(calendar, *data.nextBillingDate(), -1);
  const std::string periodText = dateText(data.lastBillingDate()) + " - " + dateText(periodEnd);

  const float used = converToDataUnitFromBytes(data.dataThisMonth());
  status.lblMonthlyUsage.text = fixed(used, 2);
  status.lblCurrentPeriod.text = periodText;
  values[2] = periodText;
  status.lblDays.text = daysText;
  status.lblNextBillingDate.text = dateText(data.nextBillingDate());
  values[3] = status.lblNextBillingDate.text;

  if ((isCellular && badge == "CELLQUOTA") || (!isCellular && badge == "WIFIQUOTA")) {
    appBadgeNumber = used;
  }

  const std::string sentText =
      fixed(converToDataUnitFromBytes(data.dataThisMonthSent()), 2) + " " + unit;
  const std::string receivedText =
      fixed(converToDataUnitFromBytes(data.dataThisMonthRecd()), 2) + " " + unit;
  status.lblMonthlyUsageSent.text = sentText;
  values[8] = sentText;
  status.lblMonthlyUsageRecd.text = receivedText;
  values[7] = receivedText;

  const int dataType = isCellular ? 1 : 2;
  // NaN compares false too, so it also counts as no limit.
  if (!dataLimit || !(*dataLimit > 0.0f)) {
    status.lblAvailable.text = "OF UNLIMITED";
    status.lblRemainingUsage.text = "NO LIMIT";
    status.lblDailySuggested.text = "NO LIMIT";
    status.lblQuotaOverDate.text = "--";
    values[4] = "--";
    status.lblIdealUsage.text = "--";
    values[0] = "--";
    status.lblIdealActualDiff.text = "SAFE";
    values[1] = "SAFE";
    status.lblProjected.text = "--";
    values[5] = "--";
    const bool percentBadge = isCellular ? (badge == "CELLPERCENT" || badge == "CELL_REM_PERCENT" ||
                                            badge == "CELL_PROJ_PERCENT")
                                         : (badge == "WIFIPERCENT" || badge == "WIFI_REM_PERCENT" ||
                                            badge == "WIFI_PROJ_PERCENT");
    if (percentBadge) appBadgeNumber.reset();
    visualView.currentUsagePercent = 0;
    visualView.idealUsagePercent = 0;
    visualView.usageText = "0%";
    visualView.diffText = "";
    visualView.dataType = dataType;
    return;
  }

  const float limit = *dataLimit;
  const DateComponents clock = calendar.components(platform.now());
  const float periodDays = static_cast<float>(totalDays);
  const float elapsed = static_cast<float>(elapsedDays) +
                        static_cast<float>(clock.hour * 60 + clock.minute) / 1440.0f;

  const float remaining = limit - used;
  const float usedShare = used / limit * 100.0f;
  const float remainingShare = remaining / limit * 100.0f;
  // A record whose period has no length (never written by the billing cycle) would divide by
  // zero: its whole quota counts as the ideal usage, as at the end of a period.
  const float ideal = periodDays > 0.0f ? limit * elapsed / periodDays : limit;
  const float idealShare = ideal / limit * 100.0f;

  std::string statusWord;
  std::string statusImage;
  std::string diffText;
  if (ideal - used > 0.0f) {
    statusWord = "SAFE";
    statusImage = "ok.png";
    diffText = fixed(ideal - used, 1) + " " + unit + " less";
  } else {
    if (usedShare > 100.0f) {
      statusWord = "OVERAGE";
      statusImage = "danger.png";
    } else {
      statusWord = "CAUTION";
      statusImage = "caution.png";
    }
    diffText = fixed(std::fabs(ideal - used), 1) + " " + unit + " more";
  }

  const std::string usageText = fixed(usedShare, 1) + "%";
  status.lblAvailable.text = "OF " + fixed(limit, 1) + " " + unit + " USED";
  status.lblIdealUsage.text = fixed(ideal, 1) + " " + unit + " (" + fixed(idealShare, 1) + "%)";
  values[0] = status.lblIdealUsage.text;
  status.lblIdealActualDiff.text = statusWord;
  status.statusImage.text = statusImage;
  values[1] = diffText;

  if ((isCellular && badge == "CELLPERCENT") || (!isCellular && badge == "WIFIPERCENT")) {
    appBadgeNumber = usedShare;
  } else if ((isCellular && badge == "CELL_REM_PERCENT") ||
             (!isCellular && badge == "WIFI_REM_PERCENT")) {
    appBadgeNumber = remainingShare;
  }

  const float daysLeft = periodDays - elapsed;
  if (daysLeft > 0.0f) {
    // On the last day the whole remainder may be used today.
    float suggested = daysLeft > 1.0f ? remaining / daysLeft : remaining;
    if (suggested < 0.0f) suggested = 0.0f;
    status.lblDailySuggested.text = fixed(suggested, 1);
  } else {
    status.lblDailySuggested.text = "";
  }

  float projected = 0.0f;
  float lastingDays = 0.0f;
  if (elapsed > 0.0f) {
    const float dailyAverage = used / elapsed;
    if (dailyAverage > 0.0f) {
      projected = dailyAverage * periodDays;
      lastingDays = limit / dailyAverage;
    }
  }

  std::string overageText;
  if (usedShare <= idealShare) {
    overageText = "NO";
  } else if (lastingDays - elapsed < 0.0f) {
    overageText = "QUOTA OVER";
  } else if (data.lastBillingDate()) {
    // Here usage runs ahead of the ideal line, so the quota lasts less than the period and the
    // whole days fit an int.
    const Date runsOut = addingDays(calendar, *data.lastBillingDate(), wholeDays(lastingDays));
    overageText = "YES ON " + dateText(runsOut);
  } else {
    overageText = "YES ON ";
  }
  status.lblQuotaOverDate.text = overageText;
  values[4] = overageText;

  status.lblProjected.text = fixed(projected, 0) + " " + unit;
  values[5] = status.lblProjected.text;
  const float projectedShare = projected / limit * 100.0f;

  if (remaining < 0.0f) {
    status.lblRemainingUsage.text = isCellular ? "0" : "NONE";
  } else {
    status.lblRemainingUsage.text = fixed(remaining, 0);
  }

  if ((isCellular && badge == "CELL_PROJ_PERCENT") ||
      (!isCellular && badge == "WIFI_PROJ_PERCENT")) {
    appBadgeNumber = projectedShare;
  }

  visualView.currentUsagePercent = usedShare;
  visualView.idealUsagePercent = idealShare;
  visualView.usageText = usageText;
  visualView.diffText = diffText;
  visualView.dataType = dataType;
}

void MainViewController::repaintView(bool isCellular) {
  AppSettings& settings = appSettings();
  settings.getSettings();
  AppData& cellularData = appDataCellular();
  cellularData.getAppData("cellular");
  cellularData.udpateBillingCounter(false);
  AppData& wifiData = appDataWifi();
  wifiData.getAppData("wifi");
  wifiData.udpateBillingCounter(false);
  // The records may hold another process's newer pass: the time shown is the one they carry.
  if (const std::optional<Date> lastUpdate = cellularData.lastUpdate()) {
    updatedLabel.text = "Updated: " + dateText(*lastUpdate, true);
  }

  if (isCellular) {
    titleLabel.text = "CELLULAR";
    const std::optional<float> limit = getPlanLimitInDisplayUnitFrom(
        settings.cellularDataLimit(), settings.cellularDataLimitUnit().value_or(""));
    const std::optional<float> dailyCap =
        getPlanLimitInDisplayUnitFrom(settings.dailyCap(), settings.dailyCapUnit().value_or(""));
    renderStandardCountersForType(cellularData, limit, dailyCap);
    renderMonthlyData(cellularData, limit, cellular.visualView);
    cellular.setStatusViewsHidden(false);
    wifi.setStatusViewsHidden(true);
  } else {
    titleLabel.text = "Wi-Fi";
    const std::optional<float> limit = getPlanLimitInDisplayUnitFrom(
        settings.wifiDataLimit(), settings.wifiDataLimitUnit().value_or(""));
    const std::optional<float> dailyCap = getPlanLimitInDisplayUnitFrom(
        settings.dailyCapWifi(), settings.dailyCapWifiUnit().value_or(""));
    renderStandardCountersForType(wifiData, limit, dailyCap);
    renderMonthlyData(wifiData, limit, wifi.visualView);
    wifi.setStatusViewsHidden(false);
    cellular.setStatusViewsHidden(true);
  }

  // A record without a billing period has no dates to show (the status rendering hid them).
  AppData& shown = isCellular ? cellularData : wifiData;
  if (!shown.nextBillingDate()) {
    NetworkStatus& status = isCellular ? cellular : wifi;
    status.lblNextBillingDate.hidden = true;
    status.lblCurrentPeriod.hidden = true;
    status.lblDays.hidden = true;
  }
  // The place comes with the record, as after a pass: another process may have stored a new one.
  const std::string place = shown.lastLocationDataUsed().value_or("");
  placeLabel.text = place.empty() ? "--" : place;
  (isCellular ? cellular : wifi).detailValues[6] = place;

  MainView* screen = view();
  if (!screen) return;
  // The gauges are fields of the screen: one redraw of the view draws them too.
  screen->setNeedsDisplay();

  // A landscape screen stacked on this one is repainted once per appearance.
  MainViewController* stacked = screen->stackedLandscapeScreen();
  if (stacked && stacked != this && !isLSViewUpdated) {
    isLSViewUpdated = true;
    stacked->repaintView(isCellularMode);
  }
}

void MainViewController::solicitRating() {
  UserDefaults& defaults = platform_.userDefaults();
  // An installation that kept the older settings file never records its first launch; its age
  // is unknown, so the prompt is not offered rather than offered at once.
  if (const std::optional<Date> firstRun = defaults.dateForKey(kFirstRunKey)) {
    const double seconds = platform_.now().secondsSince1970 - firstRun->secondsSince1970;
    const long long days = static_cast<long long>(std::trunc(seconds / kSecondsPerDay));
    if (days >= kRatingDueAfterDays && !defaults.boolForKey(kAskedForRatingKey)) {
      showRatingChoice();
      defaults.setBool(kAskedForRatingKey, true);
    }
  }
  defaults.synchronize();
}

void MainViewController::showRatingChoice() {
  Alert alert;
  alert.title = "Rate Kestrio";
  alert.message =
      "If you enjoy using Kestrio, would you mind taking a moment to rate it with five stars? "
      "It won't take more than a minute. \n Thanks for your support!!";
  alert.cancelButton = "No, Thanks";
  alert.otherButtons = {"Rate It!"};
  ui().showAlert(alert, this);
}

}  // namespace kestrio

// The billing-period status of a network, the repaint without a pass, and the rating prompt.

#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <string>

#include "app/MainView.h"
#include "app/MainViewController.h"
#include "engine/PeriodUsage.h"
#include "services/DataFormatter.h"
#include "services/ModemText.h"
#include "services/StringFormatter.h"

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

// Two forms of a date on the screens, from the locale: the short date, and the short date with
// the short time (seconds are noise on a screen that is refreshed every few minutes).
std::string MainViewController::dateText(const std::optional<Date>& date, bool withTime) {
  if (!date) return "";
  return withTime ? StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform_, *date)
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

  const Calendar& calendar = platform_.calendar();
  AppSettings& settings = appSettings();
  const std::string unit = displayUnitText(settings);
  const PeriodUsage usage = PeriodUsage::of(platform_, data, settings, dataLimit);
  appBadgeNumber =
      statusBadge(settings.appBadgeSetting().value_or(""), isCellular, usage, appBadgeNumber);

  const int totalDays = data.billingDaysTotal().value_or(0);
  const int elapsedDays = data.billingDaysElapsed().value_or(0);
  const std::string daysText = fmt::format("{}", totalDays - elapsedDays);

  // The period ends the day before the next one starts (day 0 is the previous month's last day).
  const Date periodEnd = addingDays(calendar, *data.nextBillingDate(), -1);
  const std::string periodText = dateText(data.lastBillingDate()) + " - " + dateText(periodEnd);

  status.lblMonthlyUsage.text = fixed(usage.used, 2);
  status.lblCurrentPeriod.text = periodText;
  values[2] = periodText;
  status.lblDays.text = daysText;
  status.lblNextBillingDate.text = dateText(data.nextBillingDate());
  values[3] = status.lblNextBillingDate.text;

  const std::string sentText =
      fixed(converToDataUnitFromBytes(data.dataThisMonthSent()), 2) + " " + unit;
  const std::string receivedText =
      fixed(converToDataUnitFromBytes(data.dataThisMonthRecd()), 2) + " " + unit;
  status.lblMonthlyUsageSent.text = sentText;
  values[8] = sentText;
  status.lblMonthlyUsageRecd.text = receivedText;
  values[7] = receivedText;

  const int dataType = isCellular ? 1 : 2;
  const UsageGauge shares = usage.gauge(dataType, settings);
  visualView.currentUsagePercent = shares.currentUsagePercent;
  visualView.idealUsagePercent = shares.idealUsagePercent;
  visualView.colourLetter = shares.colourLetter;
  visualView.dataType = dataType;
  status.lblPlanHint.text.clear();
  status.lblModem.text =
      isCellular && modem.known ? "Modem: " + modemDescription(modem) : std::string();
  if (!usage.limit) {
    status.lblPlanHint.text = isCellular
                                  ? "No quota set: Settings › Cellular Plan › Quota sets one."
                                  : "No quota set: Settings › Wi-Fi Plan › Quota sets one.";
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
    visualView.usageText = "0%";
    visualView.diffText = "";
    return;
  }

  const float limit = *usage.limit;
  const float used = usage.used;
  const float ideal = usage.ideal;
  std::string statusWord;
  std::string statusImage;
  std::string diffText;
  if (ideal - used > 0.0f) {
    statusWord = "SAFE";
    statusImage = "ok.png";
    diffText = fixed(ideal - used, 1) + " " + unit + " less";
  } else {
    if (usage.usedShare > 100.0f) {
      statusWord = "OVERAGE";
      statusImage = "danger.png";
    } else {
      statusWord = "CAUTION";
      statusImage = "caution.png";
    }
    diffText = fixed(std::fabs(ideal - used), 1) + " " + unit + " more";
  }

  status.lblAvailable.text = "OF " + fixed(limit, 1) + " " + unit + " USED";
  status.lblIdealUsage.text =
      fixed(ideal, 1) + " " + unit + " (" + fixed(usage.idealShare, 1) + "%)";
  values[0] = status.lblIdealUsage.text;
  status.lblIdealActualDiff.text = statusWord;
  status.statusImage.text = statusImage;
  values[1] = diffText;

  const float daysLeft = usage.periodDays - usage.elapsed;
  if (daysLeft > 0.0f) {
    // On the last day the whole remainder may be used today.
    float suggested = daysLeft > 1.0f ? usage.remaining / daysLeft : usage.remaining;
    if (suggested < 0.0f) suggested = 0.0f;
    status.lblDailySuggested.text = DataFormatter::leftText(suggested, unit);
  } else {
    status.lblDailySuggested.text = "";
  }

  std::string overageText;
  if (usage.usedShare <= usage.idealShare) {
    overageText = "NO";
  } else if (usage.lastingDays - usage.elapsed < 0.0f) {
    overageText = "QUOTA OVER";
  } else if (data.lastBillingDate()) {
    // Here usage runs ahead of the ideal line, so the quota lasts less than the period and the
    // whole days fit an int.
    const Date runsOut =
        addingDays(calendar, *data.lastBillingDate(), wholeDays(usage.lastingDays));
    overageText = "YES ON " + dateText(runsOut);
  } else {
    overageText = "YES ON ";
  }
  status.lblQuotaOverDate.text = overageText;
  values[4] = overageText;

  status.lblProjected.text = fixed(usage.projected, 0) + " " + unit;
  values[5] = status.lblProjected.text;

  if (usage.remaining < 0.0f) {
    status.lblRemainingUsage.text = isCellular ? DataFormatter::leftText(0, unit) : "NONE";
  } else {
    status.lblRemainingUsage.text = DataFormatter::leftText(usage.remaining, unit);
  }

  visualView.usageText = fixed(usage.usedShare, 1) + "%";
  visualView.diffText = diffText;
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
  // A change of the usage (adjusted, reset) or of the thresholds moves the band without a pass.
  settleUsageBands(platform_, center_, settings,
                   periodUsages(platform_, settings, cellularData, wifiData));
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

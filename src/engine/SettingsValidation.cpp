#include "engine/SettingsValidation.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <string_view>

#include "engine/AppSettings.h"
#include "engine/BillingCycle.h"

namespace kestrio {
namespace {

bool isOneOf(const std::string& key, std::initializer_list<std::string_view> keys) {
  for (std::string_view k : keys) {
    if (key == k) return true;
  }
  return false;
}

// A number as the user wrote it back (12, -3, 2.5), with a point in every locale.
std::string shown(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

double secondsAt(int year, unsigned month, unsigned day) {
  using namespace std::chrono;
  const sys_days date = std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day};
  return static_cast<double>(duration_cast<seconds>(date.time_since_epoch()).count());
}

// Dates are stored as 32-bit seconds from 2001-01-01 (1932-12-13 to 2069-01-19). Every day from
// 1933-01-01 to 2068-12-31 fits in every time zone (UTC-12 to UTC+14), with room for the
// periods around it.
bool storable(const Date& date) {
  static const double earliest = secondsAt(1933, 1, 1) - 14 * 3600;
  static const double latest = secondsAt(2069, 1, 1) + 12 * 3600;
  const double s = date.secondsSince1970;
  return std::isfinite(s) && s >= earliest && s < latest;
}

bool isCycleCode(double code) {
  if (code != std::floor(code)) return false;
  return (code >= 1 && code <= 31) || (code >= 101 && code <= 107) || code == 1001 || code == 9999;
}

}  // namespace

std::optional<std::string> refuseSetting(const std::string& key, const PlistValue& value) {
  if (auto* date = value.get<Date>()) {
    if (isOneOf(key, {BillingCycle::kCustomStartDate, BillingCycle::kCustomStartDateWiFi}) &&
        !storable(*date)) {
      return key + " takes a date from 1933-01-01 to 2068-12-31";
    }
    return std::nullopt;
  }
  const std::optional<double> number = value.number();
  if (!number) return std::nullopt;
  const double n = *number;
  if (isOneOf(key, {AppSettings::kFirstDayOfCycle, AppSettings::kFirstDayOfCycleWifi}) &&
      !isCycleCode(n)) {
    return key +
           " takes 1 to 31 (monthly on that day), 101 to 107 (weekly, 101 = Sunday), 1001 "
           "(daily) or 9999 (every ResetDays days), not " +
           shown(n);
  }
  if (isOneOf(key, {BillingCycle::kResetDays, BillingCycle::kResetDaysWiFi}) &&
      !(n >= 1 && n <= kMaxResetDays && n == std::floor(n))) {
    return key + " takes a whole number of days from 1 to " + std::to_string(kMaxResetDays) +
           ", not " + shown(n);
  }
  if (isOneOf(key, {AppSettings::kCellularDataLimit, AppSettings::kWifiDataLimit}) && !(n >= 0)) {
    return key + " takes a quota of 0 (none) or more, not " + shown(n);
  }
  if (isOneOf(key, {AppSettings::kDailyCap, AppSettings::kDailyCapWifi}) && !(n >= 0)) {
    return key + " takes a daily cap of 0 (none) or more, not " + shown(n);
  }
  return std::nullopt;
}

}  // namespace kestrio

#include "plan/StartDateViewController.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "engine/BillingCycle.h"
#include "plan/CustomDatePickerController.h"

namespace kestrio {

StartDateViewController::StartDateViewController(Platform& platform) : platform_(platform) {
  UserDefaults& store = platform_.userDefaults();
  const Date now = platform_.now();
  minimumDate =
      earliestCustomStart(platform_.calendar(), now, BillingCycle::customLength(store, "cellular"));
  maximumDate = now;
  platform_.log("Min Date is: " + describe(minimumDate));
  date = store.dateForKey(BillingCycle::kCustomStartDate).value_or(now);
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(date));
  store.synchronize();
}

bool StartDateViewController::dateChanged(Date picked) {
  date = Date{std::clamp(picked.secondsSince1970, minimumDate.secondsSince1970,
                         maximumDate.secondsSince1970)};
  UserDefaults& store = platform_.userDefaults();
  store.setObject(BillingCycle::kCustomStartDate, PlistValue(date));
  const bool stored = store.synchronize();
  selectedDate = "Starting " + describe(date);
  return stored;
}

std::string StartDateViewController::describe(Date date) {
  // Days and seconds since 1970 in UTC, without the calendar: this text never follows the
  // user's zone.
  const auto total = static_cast<std::int64_t>(std::floor(date.secondsSince1970));
  std::int64_t days = total / 86400;
  std::int64_t rest = total % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil date from days (Howard Hinnant's algorithm).
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02} +0000", year, month, day, rest / 3600,
                     rest / 60 % 60, rest % 60);
}

}  // namespace kestrio

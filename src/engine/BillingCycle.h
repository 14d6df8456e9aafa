#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrio {

struct BillingPeriod {
  Date lastBillingDate;  // the start of the current period
  Date nextBillingDate;  // the start of the next one
};

// The date rules of the billing cycles: monthly on a day (codes up to 100), weekly on a weekday
// (101 to 107; other codes above 100 start on Sunday), daily (1001), and every N days from a
// start date kept in the user-defaults store (9999).
class BillingCycle {
 public:
  // The period containing now for a network's cycle code ("wifi", or cellular for any other
  // type). For every-N-days cycles this reads, and with `store` may move forward, that network's
  // custom start date and last-seen length; without it nothing is written (a screen that only
  // redraws, a reminder), so the stored start never runs ahead of the record's period.
  static BillingPeriod billingDatesForCode(Platform& platform, int code, const std::string& type,
                                           bool store = true);
  // Midnight of today moved back by n - 1 days: the earliest start of an n-day period that
  // contains today.
  static Date getMinDate(Platform& platform, int n);
  // The length in days of a network's every-N-days cycle: the stored one, or
  // kDefaultCustomLength when none is stored. Never below 1.
  static int customLength(UserDefaults& defaults, const std::string& type);

  // The starts of the periods to come, the next one first: at most `count`, and none more than
  // `spanDays` days after the next. Reads the plan as a redraw does, writing nothing.
  static std::vector<Date> comingStarts(Platform& platform, int code, const std::string& type,
                                        int count, int spanDays);

  // The length of a custom cycle whose length was never chosen, as the settings screens show it.
  static constexpr int kDefaultCustomLength = 30;

  // User-defaults keys of the every-N-days cycles.
  static constexpr const char* kCustomStartDate = "CustomStartDate";
  static constexpr const char* kResetDays = "ResetDays";
  static constexpr const char* kLastResetDays = "LastResetDays";
  static constexpr const char* kCustomStartDateWiFi = "CustomStartDateWiFi";
  static constexpr const char* kResetDaysWiFi = "ResetDaysWiFi";
  static constexpr const char* kLastResetDaysWiFi = "LastResetDaysWiFi";
};

}  // namespace kestrio

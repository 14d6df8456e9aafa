// The date rules of the billing cycles. Every date is put together by the user's calendar, whose
// components roll over (day 31 of a 30-day month is the 1st of the next, month 13 is January).
#include "engine/BillingCycle.h"

#include <algorithm>
#include <cstdint>

namespace kestrio {

namespace {

constexpr int kDaily = 1001;
constexpr int kEveryNDays = 9999;
// A period longer than a century is no plan; the bound keeps the calendar's fields in range for
// whatever the store holds.
constexpr std::int64_t kLongestPeriodDays = 36525;
// Days to look back for the period before one that has not begun yet (see monthlyPeriod).
constexpr int kLongestMonthlyGap = 31;

Date midnight(const Calendar& calendar, int year, int month, int day) {
  return calendar.date(DateComponents{year, month, day, 0, 0, 0, 0});
}

// The midnight `days` days after (or before) the day of `date`.
Date midnightAfterDays(const Calendar& calendar, Date date, int days) {
  const DateComponents c = calendar.components(date);
  return midnight(calendar, c.year, c.month, c.day + days);
}

bool isGregorianLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// The monthly rule for the day `today` (its year, month and day of month) and the cycle day.
// `logFebruary` is false for the look-back below, which is no computation of its own.
BillingPeriod monthlyRule(Platform& platform, const DateComponents& today, int cycleDay,
                          bool logFebruary) {
  const Calendar& calendar = platform.calendar();
  int year = today.year;
  int month = today.month;
  if (today.day >= cycleDay) {
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  // A period that would begin in a February lacking the cycle day begins on 1 March instead.
  // (The full Gregorian rule: it agrees with "every fourth year" for every date a record holds.)
  if (month == 2 &&
      (cycleDay == 30 || cycleDay == 31 || (cycleDay == 29 && !isGregorianLeapYear(year)))) {
    if (logFebruary) platform.log("handling feb..");
    return BillingPeriod{midnight(calendar, year, 1, cycleDay), midnight(calendar, year, 3, 1)};
  }
  const Date next = midnight(calendar, year, month, cycleDay);
  const DateComponents n = calendar.components(next);
  return BillingPeriod{midnight(calendar, n.year, n.month - 1, n.day), next};
}

// Monthly on `cycleDay`. The start of a period is derived from the start of the next one, so when
// that one rolled over a short month (31 June is 1 July) the period found for the cycle day itself
// (31 May) has not begun yet. Those days must not fall between two periods, where no traffic
// would be counted and the next period's dates would be given to the previous one's history entry:
// they belong to the period before, which then ends where the found one begins (1 May to 1 June).
BillingPeriod monthlyPeriod(Platform& platform, int cycleDay) {
  const Calendar& calendar = platform.calendar();
  const Date now = platform.now();
  BillingPeriod period = monthlyRule(platform, calendar.components(now), cycleDay, true);
  if (period.lastBillingDate <= now) return period;
  for (int back = 1; back <= kLongestMonthlyGap; ++back) {
    const Date earlier = midnightAfterDays(calendar, now, -back);
    const BillingPeriod before =
        monthlyRule(platform, calendar.components(earlier), cycleDay, false);
    if (before.lastBillingDate <= now) {
      return BillingPeriod{before.lastBillingDate, period.lastBillingDate};
    }
  }
  return period;
}

BillingPeriod weeklyPeriod(Platform& platform, int code) {
  const Calendar& calendar = platform.calendar();
  const int startWeekday = code <= 107 ? code - 100 : 1;  // 1 = Sunday
  const DateComponents today = calendar.components(platform.now());
  // Today's own weekday counts as passed: the period that began today runs for a full week.
  const int daysToNext = today.weekday < startWeekday ? startWeekday - today.weekday
                                                      : startWeekday + 7 - today.weekday;
  const Date next = midnight(calendar, today.year, today.month, today.day + daysToNext);
  return BillingPeriod{midnightAfterDays(calendar, next, -7), next};
}

BillingPeriod dailyPeriod(Platform& platform) {
  const Calendar& calendar = platform.calendar();
  const DateComponents today = calendar.components(platform.now());
  return BillingPeriod{midnight(calendar, today.year, today.month, today.day),
                       midnight(calendar, today.year, today.month, today.day + 1)};
}

struct CustomKeys {
  const char* startDate;
  const char* resetDays;
  const char* lastResetDays;
};

CustomKeys customKeysFor(const std::string& type) {
  if (type == "wifi") {
    return {BillingCycle::kCustomStartDateWiFi, BillingCycle::kResetDaysWiFi,
            BillingCycle::kLastResetDaysWiFi};
  }
  return {BillingCycle::kCustomStartDate, BillingCycle::kResetDays, BillingCycle::kLastResetDays};
}

// Every N days from the stored start date. The start date moves forward one period each time a
// computation finds the current period ended; a call after a long absence catches up one period
// at a time, so no call ever loops.
BillingPeriod everyNDaysPeriod(Platform& platform, const std::string& type) {
  const Calendar& calendar = platform.calendar();
  UserDefaults& store = platform.userDefaults();
  const CustomKeys keys = customKeysFor(type);
  const Date now = platform.now();

  // A length below 1 (none stored, or a bad value) has no period of its own: it is taken as one
  // day, which the daily rule serves, so the dates neither stand still nor run backwards.
  const int length = static_cast<int>(
      std::clamp<std::int64_t>(store.integerForKey(keys.resetDays), 1, kLongestPeriodDays));

  Date start = now;
  if (auto stored = store.dateForKey(keys.startDate)) {
    start = *stored;
  } else {
    // Without a start date the period would begin anew every day and never run its length:
    // anchor the cycle at the first computation.
    store.setObject(keys.startDate, PlistValue(start));
    store.synchronize();
  }
  if (!store.objectForKey(keys.lastResetDays)) {
    store.setInteger(keys.lastResetDays, length);
    store.synchronize();
  }
  if (store.integerForKey(keys.lastResetDays) != length) {
    // The user changed the length: keep a start from which a period of the new length still
    // contains today, and never one in the future.
    const Date earliest = BillingCycle::getMinDate(platform, length);
    if (start <= earliest) {
      start = earliest;
      store.setObject(keys.startDate, PlistValue(start));
      store.synchronize();
    } else if (start >= now) {
      start = now;
      store.setObject(keys.startDate, PlistValue(start));
      store.synchronize();
    }
    store.setInteger(keys.lastResetDays, length);
    store.synchronize();
  }

  if (length == 1) return dailyPeriod(platform);

  BillingPeriod period;
  period.lastBillingDate = calendar.startOfDay(start);
  period.nextBillingDate = midnightAfterDays(calendar, period.lastBillingDate, length);
  if (now > period.nextBillingDate) {
    period.lastBillingDate = period.nextBillingDate;
    store.setObject(keys.startDate, PlistValue(period.lastBillingDate));
    store.synchronize();
    period.nextBillingDate = midnightAfterDays(calendar, period.lastBillingDate, length);
  }
  return period;
}

}  // namespace

BillingPeriod BillingCycle::billingDatesForCode(Platform& platform, int code,
                                                const std::string& type) {
  if (code <= 100) return monthlyPeriod(platform, code);
  if (code == kDaily) return dailyPeriod(platform);
  if (code == kEveryNDays) return everyNDaysPeriod(platform, type);
  return weeklyPeriod(platform, code);
}

Date BillingCycle::getMinDate(Platform& platform, int n) {
  return midnightAfterDays(platform.calendar(), platform.now(), 1 - n);
}

}  // namespace kestrio

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
// The calendar's day field is an int: a start centuries back is stepped no further than this.
constexpr std::int64_t kLongestSpanDays = 100 * kLongestPeriodDays;

Date midnight(const Calendar& calendar, int year, int month, int day) {
  return calendar.date(DateComponents{year, month, day, 0, 0, 0, 0});
}

// The midnight `days` days after (or before) the day of `date`.
Date midnightAfterDays(const Calendar& calendar, Date date, int days) {
  const DateComponents c = calendar.components(date);
  return midnight(calendar, c.year, c.month, c.day + days);
}

// The start of the period that belongs to a month: midnight of the cycle day, or of the 1st of the
// following month when the month lacks that day (31 April, 30 February). The months' starts
// therefore always follow one another, and no day falls between two periods.
Date monthStart(const Calendar& calendar, int year, int month, int cycleDay) {
  const Date first = midnight(calendar, year, month, 1);
  const DateComponents normal = calendar.components(first);  // month 0 or 13 rolled over
  const Date onCycleDay = midnight(calendar, normal.year, normal.month, cycleDay);
  if (calendar.components(onCycleDay).month == normal.month) return onCycleDay;
  return midnight(calendar, normal.year, normal.month + 1, 1);
}

// Monthly on `cycleDay`: the period that began in the month before `month` (of `year`) and ends
// where the one of `month` begins. Before the cycle day the current period is the one that ends
// this month; from it on, the one that ends next month.
BillingPeriod monthlyPeriod(Platform& platform, int cycleDay) {
  const Calendar& calendar = platform.calendar();
  const DateComponents today = calendar.components(platform.now());
  int year = today.year;
  int month = today.month;
  if (today.day >= cycleDay) {
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  const Date next = monthStart(calendar, year, month, cycleDay);
  if (month == 2 && calendar.components(next).month != 2) platform.log("handling feb..");
  return BillingPeriod{monthStart(calendar, year, month - 1, cycleDay), next};
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

// Every N days from the stored start date. When the period has ended, the start moves forward
// to the period that holds now in one step, however long the absence was: a period that ended
// weeks ago is no current period. Without `store` the same period is computed and nothing is
// written: the plan only moves with the record whose period it is.
BillingPeriod everyNDaysPeriod(Platform& platform, const std::string& type, bool store) {
  const Calendar& calendar = platform.calendar();
  UserDefaults& defaults = platform.userDefaults();
  const CustomKeys keys = customKeysFor(type);
  const Date now = platform.now();
  auto put = [&](const char* key, const PlistValue& value) {
    if (!store) return;
    defaults.setObject(key, value);
    defaults.synchronize();
  };

  const int length = BillingCycle::customLength(defaults, type);

  Date start = now;
  if (auto stored = defaults.dateForKey(keys.startDate)) {
    start = *stored;
  } else {
    // Without a start date the period would begin anew every day and never run its length:
    // anchor the cycle at the first computation.
    put(keys.startDate, PlistValue(start));
  }
  const bool lengthSeen = defaults.objectForKey(keys.lastResetDays).has_value();
  if (!lengthSeen) put(keys.lastResetDays, PlistValue(length));
  if (lengthSeen && defaults.integerForKey(keys.lastResetDays) != length) {
    // The user changed the length: keep a start from which a period of the new length still
    // contains today, and never one in the future.
    const Date earliest = BillingCycle::getMinDate(platform, length);
    if (start <= earliest) {
      start = earliest;
      put(keys.startDate, PlistValue(start));
    } else if (start >= now) {
      start = now;
      put(keys.startDate, PlistValue(start));
    }
    put(keys.lastResetDays, PlistValue(length));
  }

  if (length == 1) return dailyPeriod(platform);

  BillingPeriod period;
  period.lastBillingDate = calendar.startOfDay(start);
  period.nextBillingDate = midnightAfterDays(calendar, period.lastBillingDate, length);
  if (now > period.nextBillingDate) {
    // Whole periods between the start and today; a period ends at the midnight that begins the
    // next one, so a moment exactly on that midnight still belongs to the one before.
    const std::int64_t days = calendar.daysBetween(period.lastBillingDate, now);
    std::int64_t periods = days / length;
    const auto startAfter = [&](std::int64_t count) {
      return midnightAfterDays(calendar, period.lastBillingDate,
                               static_cast<int>(std::min(count * length, kLongestSpanDays)));
    };
    Date current = startAfter(periods);
    if (current == now) current = startAfter(--periods);
    period.lastBillingDate = current;
    put(keys.startDate, PlistValue(period.lastBillingDate));
    period.nextBillingDate = midnightAfterDays(calendar, period.lastBillingDate, length);
  }
  return period;
}

}  // namespace

BillingPeriod BillingCycle::billingDatesForCode(Platform& platform, int code,
                                                const std::string& type, bool store) {
  if (code <= 100) return monthlyPeriod(platform, code);
  if (code == kDaily) return dailyPeriod(platform);
  if (code == kEveryNDays) return everyNDaysPeriod(platform, type, store);
  return weeklyPeriod(platform, code);
}

int BillingCycle::customLength(UserDefaults& defaults, const std::string& type) {
  const CustomKeys keys = customKeysFor(type);
  // No length stored: the cycle runs the length the settings screens show for it.
  if (!defaults.objectForKey(keys.resetDays)) return kDefaultCustomLength;
  // A length below 1 (a bad value) has no period of its own: it is taken as one day, which the
  // daily rule serves, so the dates neither stand still nor run backwards.
  return static_cast<int>(
      std::clamp<std::int64_t>(defaults.integerForKey(keys.resetDays), 1, kLongestPeriodDays));
}

std::vector<Date> BillingCycle::comingStarts(Platform& platform, int code, const std::string& type,
                                             int count, int spanDays) {
  const Calendar& calendar = platform.calendar();
  const Date next = billingDatesForCode(platform, code, type, false).nextBillingDate;
  const Date last = midnightAfterDays(calendar, next, spanDays);
  std::vector<Date> starts;
  if (code <= 100) {
    // Month by month, each on its cycle day or on the 1st after a month that lacks it.
    const DateComponents today = calendar.components(platform.now());
    for (int month = today.month; static_cast<int>(starts.size()) < count; ++month) {
      const Date start = monthStart(calendar, today.year, month, code);
      if (start > last) break;
      if (start >= next) starts.push_back(start);
    }
    return starts;
  }
  const int step = code == kDaily        ? 1
                   : code == kEveryNDays ? customLength(platform.userDefaults(), type)
                                         : 7;
  for (int k = 0; k < count; ++k) {
    const Date start = midnightAfterDays(calendar, next, k * step);
    if (start > last) break;
    starts.push_back(start);
  }
  return starts;
}

Date BillingCycle::getMinDate(Platform& platform, int n) {
  return midnightAfterDays(platform.calendar(), platform.now(), 1 - n);
}

}  // namespace kestrio

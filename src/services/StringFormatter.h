#pragma once

#include <optional>
#include <string>

#include "platform/Platform.h"

namespace kestrio {

// Dates as texts of the user's locale, calendar and time zone.
class StringFormatter {
 public:
  // Short date and medium time (with seconds): "1/5/26, 10:30:45 AM" in en_US.
  static std::string getLocalizedShortDateMediumTimeStringFromDate(Platform& platform, Date date);
  static std::string getLocalizedShortDateShortTimeStringFromDate(Platform& platform, Date date);
  static std::string getLocalizedShortDateNoTimeStringFromDate(Platform& platform, Date date);
  static std::string getLocalizedMediumDateNoTimeStringFromDate(Platform& platform, Date date);
  // The pattern of getLocalizedShortDateShortTimeStringFromDate in ICU's letters ("M/d/yy, h:mm
  // a"): a date entry shows its moment in the same form as every other date with a time.
  static std::string getLocalizedShortDateShortTimePattern(Platform& platform);
  // Reads a text in the short date and short time styles; nothing when it does not read.
  static std::optional<Date> getLocalizedDateFromShortDateShortTimeString(Platform& platform,
                                                                          const std::string& text);
  // Day and two-digit month in the locale's order ("5/03", "05.03.").
  static std::string getLocalizedShortDateMonthFromDate(Platform& platform, Date date);
  // Weekday, day with its English ordinal and abbreviated month ("Tue, Mar 2nd").
  static std::string getLocalizedDayShortDateFromDate(Platform& platform, Date date);

  // "st", "nd", "rd" or "th" for a day of the month.
  static const char* ordinalSuffix(int day);
  // Whether the platform is older than version 4.0, whose locales lack date templates.
  static bool lacksDateTemplates(const std::string& platformVersion);
};

}  // namespace kestrio

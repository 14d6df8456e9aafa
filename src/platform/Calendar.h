#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Date.h"

namespace kestrio {

// Calendar fields of an instant in one time zone. Months count from 1, weekdays from 1 = Sunday.
struct DateComponents {
  int year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int weekday = 0;  // filled in by Calendar::components; ignored by Calendar::date
};

enum class DateStyle { None, Short, Medium, Long };

// The Gregorian calendar of one time zone and locale (ICU). Assembling a date is lenient:
// out-of-range components roll over into the next field (day 0 is the last day of the previous
// month, month 13 is January of the next year), as the billing rules rely on.
class Calendar {
 public:
  // zoneId is an Olson name ("Europe/Berlin"); localeId an ICU locale ("en_US", "de_DE").
  Calendar(const std::string& zoneId, const std::string& localeId);
  ~Calendar();
  Calendar(const Calendar&) = delete;
  Calendar& operator=(const Calendar&) = delete;

  const std::string& zoneId() const { return zoneId_; }
  const std::string& localeId() const { return localeId_; }

  DateComponents components(Date date) const;
  Date date(const DateComponents& components) const;  // weekday ignored; fields roll over
  Date startOfDay(Date date) const;
  // Whole calendar days from one instant to another, counted as the calendar counts them
  // (negative when `to` is earlier); a day boundary crossed by less than a full day is not a day.
  int daysBetween(Date from, Date to) const;
  bool isSameDay(Date a, Date b) const;

  // The instant formatted with the locale's date and time styles (None leaves that half out).
  std::string format(Date date, DateStyle dateStyle, DateStyle timeStyle) const;
  // The instant formatted with the locale's best pattern for a skeleton ("d/MM", "EdMMM").
  std::string formatTemplate(Date date, const std::string& skeleton) const;
  // The locale's pattern for those styles, in ICU's letters ("M/d/yy, h:mm a"), for a date
  // entry that shows what `format` writes; empty when the locale has none.
  std::string pattern(DateStyle dateStyle, DateStyle timeStyle) const;
  // The reverse of format: nothing unless the whole text reads as those styles.
  std::optional<Date> parse(const std::string& text, DateStyle dateStyle,
                            DateStyle timeStyle) const;

 private:
  struct Impl;
  std::string zoneId_;
  std::string localeId_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kestrio

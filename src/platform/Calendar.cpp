#include "platform/Calendar.h"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <array>
#include <cmath>
#include <map>

// An unknown zone id gives ICU's "Etc/Unknown", which behaves as GMT: the calendar still works and
// every date falls on the UTC day. Should ICU fail to build the calendar at all, the methods answer
// as a UTC calendar at the epoch would (components of 1970-01-01, the epoch, empty text) rather
// than fail.

namespace kestrio {
namespace {

constexpr double kMillisPerSecond = 1000.0;

UDate toUDate(Date date) {
  return date.secondsSince1970 * kMillisPerSecond;
}
Date fromUDate(UDate millis) {
  return Date::fromSecondsSince1970(millis / kMillisPerSecond);
}

icu::DateFormat::EStyle icuStyle(DateStyle style) {
  switch (style) {
    case DateStyle::None:
      return icu::DateFormat::kNone;
    case DateStyle::Short:
      return icu::DateFormat::kShort;
    case DateStyle::Medium:
      return icu::DateFormat::kMedium;
    case DateStyle::Long:
      return icu::DateFormat::kLong;
  }
  return icu::DateFormat::kNone;
}

}  // namespace

struct Calendar::Impl {
  icu::Locale locale;
  // ICU calendars carry the instant they were last set to, so every query sets it first. The
  // class is used from one thread.
  std::unique_ptr<icu::Calendar> calendar;
  // Date formats are costly to build; one per style pair, built on first use.
  std::array<std::array<std::unique_ptr<icu::DateFormat>, 4>, 4> formats;
  // Template formats cost a pattern generator each (about a millisecond): one per skeleton.
  std::map<std::string, std::unique_ptr<icu::SimpleDateFormat>> templates;

  // Sets the calendar to an instant; false when ICU refuses it (e.g. a NaN or far-out instant).
  bool setTime(Date date) {
    if (!calendar || !std::isfinite(date.secondsSince1970)) return false;
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(toUDate(date), status);
    return U_SUCCESS(status);
  }

  icu::DateFormat* dateFormat(DateStyle dateStyle, DateStyle timeStyle) {
    if (!calendar || (dateStyle == DateStyle::None && timeStyle == DateStyle::None)) {
      return nullptr;
    }
    auto& format = formats[static_cast<size_t>(dateStyle)][static_cast<size_t>(timeStyle)];
    if (!format) {
      format.reset(icu::DateFormat::createDateTimeInstance(icuStyle(dateStyle), icuStyle(timeStyle),
                                                           locale));
      if (!format) return nullptr;
      format->setCalendar(*calendar);  // copies zone and leniency
    }
    return format.get();
  }

  int get(UCalendarDateFields field, int fallback) {
    UErrorCode status = U_ZERO_ERROR;
    int value = calendar->get(field, status);
    return U_SUCCESS(status) ? value : fallback;
  }
};

Calendar::Calendar(const std::string& zoneId, const std::string& localeId)
    : zoneId_(zoneId), localeId_(localeId), impl_(std::make_unique<Impl>()) {
  impl_->locale = icu::Locale(localeId.c_str());
  UErrorCode status = U_ZERO_ERROR;
  auto calendar = std::make_unique<icu::GregorianCalendar>(
      icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneId)), impl_->locale, status);
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    calendar = std::make_unique<icu::GregorianCalendar>(icu::TimeZone::getGMT()->clone(),
                                                        icu::Locale::getRoot(), status);
    if (U_FAILURE(status)) return;
  }
  calendar->setLenient(true);
  impl_->calendar = std::move(calendar);
}

Calendar::~Calendar() = default;

DateComponents Calendar::components(Date date) const {
  DateComponents c;
  c.weekday = 5;  // 1970-01-01 was a Thursday
  if (!impl_->setTime(date)) return c;
  c.year = impl_->get(UCAL_EXTENDED_YEAR, c.year);
  c.month = impl_->get(UCAL_MONTH, c.month - 1) + 1;
  c.day = impl_->get(UCAL_DATE, c.day);
  c.hour = impl_->get(UCAL_HOUR_OF_DAY, c.hour);
  c.minute = impl_->get(UCAL_MINUTE, c.minute);
  c.second = impl_->get(UCAL_SECOND, c.second);
  c.weekday = impl_->get(UCAL_DAY_OF_WEEK, c.weekday);
  return c;
}

Date Calendar::date(const DateComponents& c) const {
  icu::Calendar* calendar = impl_->calendar.get();
  if (!calendar) return Date{};
  calendar->clear();
  calendar->set(UCAL_EXTENDED_YEAR, c.year);
  calendar->set(UCAL_MONTH, c.month - 1);
  calendar->set(UCAL_DATE, c.day);
  calendar->set(UCAL_HOUR_OF_DAY, c.hour);
  calendar->set(UCAL_MINUTE, c.minute);
  calendar->set(UCAL_SECOND, c.second);
  calendar->set(UCAL_MILLISECOND, 0);
  UErrorCode status = U_ZERO_ERROR;
  UDate millis = calendar->getTime(status);
  return U_SUCCESS(status) ? fromUDate(millis) : Date{};
}

Date Calendar::startOfDay(Date date) const {
  // Midnight may not exist on the day a zone springs forward at 00:00; ICU then answers the first
  // instant of the day (01:00 of the new offset).
  DateComponents c = components(date);
  c.hour = c.minute = c.second = 0;
  return this->date(c);
}

int Calendar::daysBetween(Date from, Date to) const {
  if (!impl_->setTime(from) || !std::isfinite(to.secondsSince1970)) return 0;
  UErrorCode status = U_ZERO_ERROR;
  // fieldDifference moves the calendar towards `to` and counts the whole days it stepped.
  int days = impl_->calendar->fieldDifference(toUDate(to), UCAL_DATE, status);
  return U_SUCCESS(status) ? days : 0;
}

bool Calendar::isSameDay(Date a, Date b) const {
  DateComponents x = components(a);
  DateComponents y = components(b);
  return x.year == y.year && x.month == y.month && x.day == y.day;
}

std::string Calendar::format(Date date, DateStyle dateStyle, DateStyle timeStyle) const {
  icu::DateFormat* format = impl_->dateFormat(dateStyle, timeStyle);
  if (!format || !std::isfinite(date.secondsSince1970)) return {};
  icu::UnicodeString text;
  format->format(toUDate(date), text);
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

std::string Calendar::pattern(DateStyle dateStyle, DateStyle timeStyle) const {
  const auto* format =
      dynamic_cast<icu::SimpleDateFormat*>(impl_->dateFormat(dateStyle, timeStyle));
  if (!format) return {};
  icu::UnicodeString text;
  format->toPattern(text);
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

std::string Calendar::formatTemplate(Date date, const std::string& skeleton) const {
  if (!impl_->calendar || !std::isfinite(date.secondsSince1970)) return {};
  auto& format = impl_->templates[skeleton];
  if (!format) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(impl_->locale, status));
    if (U_FAILURE(status)) return {};
    const icu::UnicodeString pattern =
        generator->getBestPattern(icu::UnicodeString::fromUTF8(skeleton), status);
    if (U_FAILURE(status)) return {};
    auto made = std::make_unique<icu::SimpleDateFormat>(pattern, impl_->locale, status);
    if (U_FAILURE(status)) return {};
    made->setCalendar(*impl_->calendar);
    format = std::move(made);
  }
  icu::UnicodeString text;
  format->format(toUDate(date), text);
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

std::optional<Date> Calendar::parse(const std::string& text, DateStyle dateStyle,
                                    DateStyle timeStyle) const {
  icu::DateFormat* format = impl_->dateFormat(dateStyle, timeStyle);
  if (!format) return std::nullopt;
  const icu::UnicodeString input = icu::UnicodeString::fromUTF8(text);
  icu::ParsePosition position(0);
  const UDate millis = format->parse(input, position);
  if (position.getErrorIndex() >= 0 || position.getIndex() != input.length()) {
    return std::nullopt;
  }
  return fromUDate(millis);
}

}  // namespace kestrio

#include "services/StringFormatter.h"

#include <algorithm>
#include <cctype>

namespace kestrio {

std::string StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(Platform& platform,
                                                                           Date date) {
  return platform.calendar().format(date, DateStyle::Short, DateStyle::Medium);
}

std::string StringFormatter::getLocalizedShortDateShortTimeStringFromDate(Platform& platform,
                                                                          Date date) {
  return platform.calendar().format(date, DateStyle::Short, DateStyle::Short);
}

std::string StringFormatter::getLocalizedShortDateShortTimePattern(Platform& platform) {
  return platform.calendar().pattern(DateStyle::Short, DateStyle::Short);
}

std::string StringFormatter::getLocalizedShortDateNoTimeStringFromDate(Platform& platform,
                                                                       Date date) {
  return platform.calendar().format(date, DateStyle::Short, DateStyle::None);
}

std::string StringFormatter::getLocalizedMediumDateNoTimeStringFromDate(Platform& platform,
                                                                        Date date) {
  return platform.calendar().format(date, DateStyle::Medium, DateStyle::None);
}

}  // namespace kestrio

namespace kestrio {

std::optional<Date> StringFormatter::getLocalizedDateFromShortDateShortTimeString(
    Platform& platform, const std::string& text) {
  return platform.calendar().parse(text, DateStyle::Short, DateStyle::Short);
}

const char* StringFormatter::ordinalSuffix(int day) {
  switch (day) {
    case 1:
    case 21:
    case 31:
      return "st";
    case 2:
    case 22:
      return "nd";
    case 3:
    case 23:
      return "rd";
    default:
      return "th";
  }
}

bool StringFormatter::lacksDateTemplates(const std::string& platformVersion) {
  // Versions compare as numbers ("3.1.3" is older than 4.0, "10.0" is not); with 4.0 as the
  // boundary only the leading number decides.
  int major = 0;
  for (size_t i = 0;
       i < platformVersion.size() && std::isdigit(static_cast<unsigned char>(platformVersion[i]));
       ++i) {
    major = std::min(major * 10 + (platformVersion[i] - '0'), 100000);
  }
  return major < 4;
}

std::string StringFormatter::getLocalizedShortDateMonthFromDate(Platform& platform, Date date) {
  if (lacksDateTemplates(platform.platformVersion())) {
    return getLocalizedShortDateNoTimeStringFromDate(platform, date);
  }
  return platform.calendar().formatTemplate(date, "d/MM");
}

std::string StringFormatter::getLocalizedDayShortDateFromDate(Platform& platform, Date date) {
  if (lacksDateTemplates(platform.platformVersion())) {
    return getLocalizedShortDateNoTimeStringFromDate(platform, date);
  }
  std::string text = platform.calendar().formatTemplate(date, "EdMMM");
  const int day = platform.calendar().components(date).day;
  const std::string plain = std::to_string(day);
  const std::string suffixed = plain + ordinalSuffix(day);
  for (size_t at = text.find(plain); at != std::string::npos;
       at = text.find(plain, at + suffixed.size())) {
    text.replace(at, plain.size(), suffixed);
  }
  return text;
}

}  // namespace kestrio

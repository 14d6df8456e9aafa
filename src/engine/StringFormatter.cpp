#include "engine/StringFormatter.h"

namespace kestrio {

std::string StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(Platform& platform,
                                                                           Date date) {
  return platform.calendar().format(date, DateStyle::Short, DateStyle::Medium);
}

std::string StringFormatter::getLocalizedShortDateShortTimeStringFromDate(Platform& platform,
                                                                          Date date) {
  return platform.calendar().format(date, DateStyle::Short, DateStyle::Short);
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

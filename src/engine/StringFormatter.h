#pragma once

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
};

}  // namespace kestrio

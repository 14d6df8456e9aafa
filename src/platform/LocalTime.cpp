#include "platform/LocalTime.h"

#include <unicode/timezone.h>
#include <unicode/uclean.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kestrio {

namespace {

// "+09:00", "-03:30", "+00:00".
std::string utcOffset(long seconds) {
  const char sign = seconds < 0 ? '-' : '+';
  const long minutes = std::labs(seconds) / 60;
  // Room for any long, though offsets stay within a day.
  char text[64];
  std::snprintf(text, sizeof text, "UTC%c%02ld:%02ld", sign, minutes / 60, minutes % 60);
  return text;
}

}  // namespace

std::string localTimeProblem(const std::string& zoneId, std::time_t at) {
  UErrorCode status = U_ZERO_ERROR;
  u_init(&status);
  if (U_FAILURE(status)) {
    return std::string("ICU's locale and time-zone data cannot be loaded (") + u_errorName(status) +
           "): dates would be wrong, so nothing was done";
  }
  std::unique_ptr<icu::TimeZone> zone(
      icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneId)));
  std::int32_t raw = 0;
  std::int32_t daylight = 0;
  zone->getOffset(static_cast<UDate>(at) * 1000.0, false, raw, daylight, status);
  if (U_FAILURE(status)) {
    return "ICU cannot compute the time in zone " + zoneId + " (" + u_errorName(status) +
           "): dates would be wrong, so nothing was done";
  }
  const long icuOffset = (static_cast<long>(raw) + daylight) / 1000;

  ::tzset();
  std::tm local{};
  if (::localtime_r(&at, &local) == nullptr) return {};  // nothing to compare with
  const long systemOffset = local.tm_gmtoff;
  if (icuOffset == systemOffset) return {};
  return "the local time is " + utcOffset(systemOffset) + ", but ICU's time-zone data puts " +
         zoneId + " at " + utcOffset(icuOffset) +
         " (a zone ICU does not know, or ICU's data is missing): dates would be wrong, so "
         "nothing was done; set TZ to a zone name such as Europe/Berlin";
}

}  // namespace kestrio

#include "cli/IsoDate.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace kestrio::cli {

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (Howard Hinnant's
// days_from_civil), so the local wall time can be compared with the instant.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

std::string isoDate(const Calendar& calendar, Date date) {
  const double whole = std::floor(date.secondsSince1970);
  const DateComponents c = calendar.components(Date::fromSecondsSince1970(whole));
  const std::int64_t wall =
      daysFromCivil(c.year, static_cast<unsigned>(c.month), static_cast<unsigned>(c.day)) * 86400 +
      c.hour * 3600 + c.minute * 60 + c.second;
  // Zones have offsets in whole minutes since 1972; older local mean times are rounded.
  const auto offsetMinutes = static_cast<int>(
      std::lround(static_cast<double>(wall - static_cast<std::int64_t>(whole)) / 60.0));
  const int magnitude = std::abs(offsetMinutes);
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}{}{:02}:{:02}", c.year, c.month, c.day,
                     c.hour, c.minute, c.second, offsetMinutes < 0 ? '-' : '+', magnitude / 60,
                     magnitude % 60);
}

}  // namespace kestrio::cli

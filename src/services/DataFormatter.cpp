#include "services/DataFormatter.h"

#include <fmt/format.h>

#include <cmath>

namespace kestrio {

namespace {

// Bytes in one of the unit; "MB" for any unit text other than "KB" and "GB".
float unitFactor(std::string_view unit) {
  if (unit == "KB") return 1024.0f;
  if (unit == "GB") return 1073741824.0f;
  return 1048576.0f;
}

}  // namespace

float DataFormatter::converToDataUnitFromBytes(std::optional<double> bytes, std::string_view unit) {
  if (!bytes) return 0;
  const float value = static_cast<float>(*bytes);
  if (value <= 0) return 0;
  return value / unitFactor(unit);
}

float DataFormatter::convertToBytesFromDataUnit(std::optional<double> value,
                                                std::string_view unit) {
  if (!value) return 0;
  return static_cast<float>(*value) * unitFactor(unit);
}

std::string DataFormatter::leftText(float value, std::string_view unit) {
  const std::string_view shown = unit == "KB" || unit == "GB" ? unit : "MB";
  if (!(value > 0)) return fmt::format("0 {}", shown);
  const double amount = value;
  const int decimals = amount < 10 ? 2 : amount < 100 ? 1 : 0;
  const double scale = std::pow(10.0, decimals);
  // A hair above the exact value keeps a float's 3.4999998 at 3.50 and never lifts a figure by a
  // whole step of its last digit.
  const double down = std::floor(amount * scale + 1e-3) / scale;
  return fmt::format("{:.{}f} {}", down, decimals, shown);
}

}  // namespace kestrio

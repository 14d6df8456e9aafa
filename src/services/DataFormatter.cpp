#include "services/DataFormatter.h"

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

}  // namespace kestrio

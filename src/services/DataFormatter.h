#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrio {

// Conversions between bytes and the data units "KB", "MB" and "GB" (binary factors; any other
// unit text counts as "MB"). Inputs are read as single-precision floats and results are floats,
// so large figures carry a float's precision, as the screens show them.
class DataFormatter {
 public:
  // Bytes in the unit; 0 when nothing is given or the bytes are 0 or below.
  static float converToDataUnitFromBytes(std::optional<double> bytes, std::string_view unit);
  // A figure in the unit as bytes; 0 when nothing is given; negative figures are converted.
  static float convertToBytesFromDataUnit(std::optional<double> value, std::string_view unit);
  // An amount that is left (of a quota, of a day's allowance) with its unit, never rounded up:
  // showing more than is left would lead the user past the quota. Two decimals below 10, one
  // below 100, none from 100 on ("3.50 GB", "23.8 MB", "512 MB"); nothing left is "0 MB".
  static std::string leftText(float value, std::string_view unit);
};

}  // namespace kestrio

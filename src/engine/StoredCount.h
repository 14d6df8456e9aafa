#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "platform/PlistValue.h"

namespace kestrio {

// A stored figure that can be a count of bytes: finite and not negative, never a truth value or
// a text.
inline std::optional<double> storedCount(const PlistValue& value) {
  std::optional<double> number;
  if (auto* whole = value.get<std::int64_t>()) number = static_cast<double>(*whole);
  if (auto* real = value.get<double>()) number = *real;
  if (!number || !std::isfinite(*number) || *number < 0) return std::nullopt;
  return number;
}

}  // namespace kestrio

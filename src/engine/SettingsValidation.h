#pragma once

#include <optional>
#include <string>

#include "platform/PlistValue.h"

namespace kestrio {

// Settings that cannot describe a plan: a billing cycle code no cycle has, a custom cycle
// shorter than a day, a negative quota or cap, a date the files cannot hold. Such a value is
// refused when it is set, rather than clamped or misread when the plan is used.

// The one-line reason `value` cannot be stored under `key`, naming what is accepted (such as
// "ResetDays takes a whole number of days from 1 to 3650, not 0"); nothing when the value is
// acceptable or the key has no such rule. The value already has the key's kind.
std::optional<std::string> refuseSetting(const std::string& key, const PlistValue& value);

// The longest custom cycle, in days: ten years.
constexpr int kMaxResetDays = 3650;

}  // namespace kestrio

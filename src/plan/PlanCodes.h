#pragma once

namespace kestrio {

// The cycle code of a custom cycle: every "ResetDays" days from "CustomStartDate".
inline constexpr int kCustomCycleCode = 9999;

}  // namespace kestrio

#pragma once

#include <string>

#include "plan/PlanCodes.h"
#include "platform/Platform.h"

namespace kestrio::cli {

// The user-defaults keys of a network's daily cap and its unit.
const char* dailyCapKey(PlanNetwork network);
const char* dailyCapUnitKey(PlanNetwork network);

// What `kestrio plan` shows of one network's plan: its cycle (and a custom cycle's length and
// start), its quota and its daily cap, each with its unit; "none" for a quota or cap of 0.
// Reads the store only.
std::string planSummary(Platform& platform, PlanNetwork network);

}  // namespace kestrio::cli

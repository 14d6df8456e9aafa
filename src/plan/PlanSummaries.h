#pragma once

#include <string>

#include "plan/PlanCodes.h"
#include "platform/Platform.h"

namespace kestrio {

// What the settings rows that open the plan editors show: the value in force, read as a redraw
// reads it (an absent length is the one the cycle runs, an absent start date is "Not set").

// The network whose plan a row's key belongs to: Wi-Fi for any of the Wi-Fi plan's keys.
PlanNetwork planNetworkOfKey(const std::string& key);

// "Every 30 days" for a custom cycle in force, "Off" otherwise.
std::string customCycleSummary(Platform& platform, PlanNetwork network);
// "30 days": the length a custom cycle runs.
std::string cycleLengthSummary(Platform& platform, PlanNetwork network);
// The custom cycle's first day in the short date form, or "Not set".
std::string customStartSummary(Platform& platform, PlanNetwork network);
// "5 GB", or "None" for no quota.
std::string quotaSummary(Platform& platform, PlanNetwork network);
// The cellular period's usage so far in whole megabytes, rounded down as the editor shows it.
std::string currentUsageSummary(Platform& platform);

}  // namespace kestrio

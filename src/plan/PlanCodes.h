#pragma once

namespace kestrio {

// The cycle code of a custom cycle: every "ResetDays" days from "CustomStartDate".
inline constexpr int kCustomCycleCode = 9999;
// The first codes of the two kinds of plan: monthly from day 1, weekly from Sunday.
inline constexpr int kFirstMonthlyCode = 1;
inline constexpr int kFirstWeeklyCode = 101;

// The network whose plan a pane edits.
enum class PlanNetwork { Cellular, WiFi };

// The user-defaults keys one network's plan is kept under.
struct PlanKeys {
  const char* recordType;  // "cellular" or "wifi", as the usage records name them
  const char* planType;
  const char* cycleCode;
  const char* length;
  const char* startDate;
  const char* limit;
  const char* limitUnit;
};

const PlanKeys& planKeys(PlanNetwork network);

}  // namespace kestrio

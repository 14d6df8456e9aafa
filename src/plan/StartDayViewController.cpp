#include "plan/StartDayViewController.h"

namespace kestrio {

StartDayViewController::StartDayViewController(Platform& platform, PlanNetwork network)
    : platform_(platform), keys_(planKeys(network)) {
  viewWillAppear();
}

void StartDayViewController::viewWillAppear() {
  planType = static_cast<int>(platform_.userDefaults().integerForKey(keys_.planType));
}

std::optional<int> StartDayViewController::storedRow() const {
  UserDefaults& store = platform_.userDefaults();
  if (!store.objectForKey(keys_.cycleCode)) return std::nullopt;
  const std::int64_t code = store.integerForKey(keys_.cycleCode);
  if (planType == 0 && code >= 1 && code <= 31) return static_cast<int>(code - 1);
  if (planType != 0 && code >= 101 && code <= 107) return static_cast<int>(code - 101);
  return std::nullopt;
}

std::vector<std::string> StartDayViewController::rowTitles() const {
  if (planType != 0) return daysOfWeek;
  std::vector<std::string> titles;
  for (int day = 1; day <= 31; ++day) {
    titles.push_back(std::to_string(day));
    platform_.log("day " + titles.back());
  }
  return titles;
}

std::string StartDayViewController::ordinalSuffix(int day) {
  if (day == 1) return "st";
  if (day == 2) return "nd";
  return "th";
}

bool StartDayViewController::didSelectRow(int row) {
  UserDefaults& store = platform_.userDefaults();
  if (planType == 0) {
    if (row < 0 || row >= 31) return false;
    const int day = row + 1;
    store.setInteger(keys_.cycleCode, day);
    selectedDate = std::to_string(day) + ordinalSuffix(day) + " of the month";
  } else {
    if (row < 0 || row >= 7) return false;
    store.setInteger(keys_.cycleCode, kFirstWeeklyCode + row);
    selectedDate = "Every " + daysOfWeek[static_cast<std::size_t>(row)];
  }
  return store.synchronize();
}

}  // namespace kestrio

#include "plan/StartDayViewController.h"

#include "engine/AppSettings.h"
#include "plan/PlanTypeViewController.h"

namespace kestrio {

StartDayViewController::StartDayViewController(Platform& platform) : platform_(platform) {
  viewWillAppear();
}

void StartDayViewController::viewWillAppear() {
  planType = static_cast<int>(
      platform_.userDefaults().integerForKey(PlanTypeViewController::kCellularPlanType));
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
    store.setInteger(AppSettings::kFirstDayOfCycle, day);
    selectedDate = std::to_string(day) + ordinalSuffix(day) + " of the month";
  } else {
    if (row < 0 || row >= 7) return false;
    store.setInteger(AppSettings::kFirstDayOfCycle, 101 + row);
    selectedDate = "Every " + daysOfWeek[static_cast<std::size_t>(row)];
  }
  return store.synchronize();
}

}  // namespace kestrio

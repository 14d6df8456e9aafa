#include "plan/DaysViewController.h"

#include <algorithm>

#include "engine/BillingCycle.h"
#include "plan/PlanCodes.h"

namespace kestrio {

int DaysViewController::selectedRow() const {
  const int days = BillingCycle::customLength(platform_.userDefaults(), keys_.recordType);
  return std::clamp(days, kFewestDays, kMostDays) - kFewestDays;
}

bool DaysViewController::didSelectRow(int row) {
  if (row < 0 || row >= numberOfRows()) return false;
  const int days = row + kFewestDays;
  UserDefaults& store = platform_.userDefaults();
  store.setInteger(keys_.length, days);
  store.setInteger(keys_.cycleCode, kCustomCycleCode);
  selectedDate = std::to_string(days) + " Days";
  return store.synchronize();
}

}  // namespace kestrio

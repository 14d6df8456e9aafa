#include "plan/DaysViewController.h"

#include "plan/PlanCodes.h"

namespace kestrio {

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

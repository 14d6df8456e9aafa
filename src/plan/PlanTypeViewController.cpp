#include "plan/PlanTypeViewController.h"

namespace kestrio {

const std::vector<std::string>& PlanTypeViewController::rows() {
  static const std::vector<std::string> captions = {"Monthly", "Weekly"};
  return captions;
}

PlanTypeViewController::PlanTypeViewController(Platform& platform, PlanNetwork network)
    : platform_(platform), keys_(planKeys(network)) {
  const std::int64_t stored = platform_.userDefaults().integerForKey(keys_.planType);
  planType = stored == 1 ? 1 : 0;
}

void PlanTypeViewController::didSelectRowAtIndexPath(int row) {
  if (row < 0 || row >= static_cast<int>(rows().size())) return;
  planType = row;
  UserDefaults& store = platform_.userDefaults();
  store.setInteger(keys_.planType, row);
  const std::optional<std::int64_t> code = store.objectForKey(keys_.cycleCode)
                                               ? std::optional(store.integerForKey(keys_.cycleCode))
                                               : std::nullopt;
  const bool monthly = code && *code >= 1 && *code <= 31;
  const bool weekly = code && *code >= 101 && *code <= 107;
  if (row == 0 && !monthly) store.setInteger(keys_.cycleCode, kFirstMonthlyCode);
  if (row != 0 && !weekly) store.setInteger(keys_.cycleCode, kFirstWeeklyCode);
  if (reloadData) reloadData();
}

}  // namespace kestrio

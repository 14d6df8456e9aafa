#include "plan/PlanTypeViewController.h"

namespace kestrio {

const std::vector<std::string>& PlanTypeViewController::rows() {
  static const std::vector<std::string> captions = {"Monthly", "Weekly"};
  return captions;
}

void PlanTypeViewController::didSelectRowAtIndexPath(int row) {
  if (row < 0 || row >= static_cast<int>(rows().size())) return;
  planType = row;
  platform_.userDefaults().setInteger(kCellularPlanType, row);
  if (reloadData) reloadData();
}

}  // namespace kestrio

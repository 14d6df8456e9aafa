#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plan/PlanCodes.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

// The kind of plan: one row per kind, monthly first; the chosen row carries the checkmark and
// its index is stored under the network's plan-type key ("CellularPlanType"; the store is
// synchronised when the settings screen goes to the background or ends). A cycle of another kind
// becomes the chosen kind's first (the 1st of the month, Sunday), so the start the settings show
// is always one of the plan's own.
class PlanTypeViewController : public ViewController {
 public:
  static constexpr const char* kCellularPlanType = "CellularPlanType";

  explicit PlanTypeViewController(Platform& platform, PlanNetwork network = PlanNetwork::Cellular);
  std::string title() const override { return "Plan Type"; }

  // The rows' captions.
  static const std::vector<std::string>& rows();
  bool accessoryCheckmark(int row) const { return row == planType; }
  void didSelectRowAtIndexPath(int row);

  int planType = 0;  // the stored kind when the pane opens
  std::function<void()> reloadData;

 private:
  Platform& platform_;
  const PlanKeys& keys_;
};

}  // namespace kestrio

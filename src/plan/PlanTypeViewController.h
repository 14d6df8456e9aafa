#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

// The kind of plan: one row per kind, monthly first; the chosen row carries the checkmark and
// its index is stored under "CellularPlanType" (the store is synchronised when the settings
// screen goes to the background or ends).
class PlanTypeViewController : public ViewController {
 public:
  static constexpr const char* kCellularPlanType = "CellularPlanType";

  explicit PlanTypeViewController(Platform& platform) : platform_(platform) {}
  std::string title() const override { return "Plan Type"; }

  // The rows' captions.
  static const std::vector<std::string>& rows();
  bool accessoryCheckmark(int row) const { return row == planType; }
  void didSelectRowAtIndexPath(int row);

  int planType = 0;
  std::function<void()> reloadData;

 private:
  Platform& platform_;
};

}  // namespace kestrio

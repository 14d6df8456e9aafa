#pragma once

#include <string>

#include "plan/PlanCodes.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

// The length of a custom cycle, 2 to 1000 days: choosing one also makes the network's cycle the
// custom one.
class DaysViewController : public ViewController {
 public:
  static constexpr int kFewestDays = 2;
  static constexpr int kMostDays = 1000;

  explicit DaysViewController(Platform& platform, PlanNetwork network = PlanNetwork::Cellular)
      : platform_(platform), keys_(planKeys(network)) {}
  std::string title() const override { return "Cycle Length"; }

  static int numberOfRows() { return kMostDays - kFewestDays + 1; }
  static std::string rowTitle(int row) { return std::to_string(row + kFewestDays); }
  // Stores the row's number of days and the custom cycle, then synchronises; false when the
  // store could not be written.
  bool didSelectRow(int row);
  // The row of the length in force (the stored one, or the one a cycle without a chosen length
  // runs), so the pane opens on it and choosing any other row is a change.
  int selectedRow() const;

  std::string selectedDate = "Pick the length of your billing cycle.";

 private:
  Platform& platform_;
  const PlanKeys& keys_;
};

}  // namespace kestrio

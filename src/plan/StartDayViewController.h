#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plan/PlanCodes.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

// The day a billing cycle starts: a day of the month (1 to 31) for a monthly plan, a weekday for
// a weekly one, stored as the network's cycle code at once.
class StartDayViewController : public ViewController {
 public:
  explicit StartDayViewController(Platform& platform, PlanNetwork network = PlanNetwork::Cellular);
  std::string title() const override { return "Billing Cycle Starts"; }
  void viewWillAppear() override;

  // The picker's rows: "1" to "31", or the weekdays.
  std::vector<std::string> rowTitles() const;
  // Stores the row's day and synchronises; false when the store could not be written.
  bool didSelectRow(int row);
  // The row of the stored start when it is one of this kind of plan's, so the list opens on it.
  std::optional<int> storedRow() const;

  // "st" for 1, "nd" for 2, "th" for every later day.
  static std::string ordinalSuffix(int day);

  int planType = 0;
  const std::vector<std::string> daysOfWeek = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                               "Thursday", "Friday", "Saturday"};
  std::string selectedDate = "Pick the day your plan starts again.";

 private:
  Platform& platform_;
  const PlanKeys& keys_;
};

}  // namespace kestrio

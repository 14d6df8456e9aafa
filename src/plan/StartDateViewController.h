#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

// The start of the cellular custom cycle, without changing the cycle code: the picker starts at
// the stored start (now when none), which is stored at once; every change is stored too.
class StartDateViewController : public ViewController {
 public:
  explicit StartDateViewController(Platform& platform);
  std::string title() const override { return "Cycle Start Date"; }

  // Stores the picked moment (kept within the limits) and synchronises; false when the store
  // could not be written.
  bool dateChanged(Date picked);
  // The platform's plain description of a moment: "2026-01-15 11:00:00 +0000".
  static std::string describe(Date date);

  Date minimumDate;
  Date maximumDate;
  Date date;
  std::string selectedDate = "Pick the first day of your billing cycle.";

 private:
  Platform& platform_;
};

}  // namespace kestrio

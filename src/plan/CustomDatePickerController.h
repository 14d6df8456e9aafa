#pragma once

#include <optional>
#include <string>

#include "plan/PlanCodes.h"
#include "platform/Platform.h"
#include "platform/Ui.h"

namespace kestrio {

// The first moment of the cellular custom cycle. The picker offers the moments from midnight
// (length − 1) days ago up to now, so the current cycle always contains today; every change is
// stored at once and makes the cellular cycle the custom one.
class CustomDatePickerController : public ViewController {
 public:
  explicit CustomDatePickerController(Platform& platform)
      : CustomDatePickerController(platform, PlanNetwork::Cellular) {}
  std::string title() const override { return "Custom Cycle Start"; }

  // Reads the limits and the starting value (storing a corrected start date when the stored one
  // lies outside them).
  void viewWillAppear() override;
  // Stores the picked moment (kept within the limits) and synchronises; false when the store
  // could not be written.
  bool dateChanged(Date picked);
  // A start typed into the pane, when it reads as a date (the locale's short form or ISO)
  // within the limits; else nothing, and `why` holds the line to show. Stores nothing.
  std::optional<Date> typedDate(const std::string& text, std::string& why);

  Date minimumDate;
  Date maximumDate;
  Date date;  // what the picker shows

 protected:
  CustomDatePickerController(Platform& platform, PlanNetwork network);

 private:
  Platform& platform_;
  const PlanKeys& keys_;
};

// The same for the Wi-Fi custom cycle: its length and start date, and the Wi-Fi cycle code.
class CustomWiFiDatePickerController : public CustomDatePickerController {
 public:
  explicit CustomWiFiDatePickerController(Platform& platform)
      : CustomDatePickerController(platform, PlanNetwork::WiFi) {}
  std::string title() const override { return "Wi-Fi Cycle Start"; }
};

// The earliest moment a custom-start picker offers for a cycle of `lengthDays` days: midnight
// (length − 1) days before today. A length below 1 offers only today.
Date earliestCustomStart(const Calendar& calendar, Date now, std::int64_t lengthDays);

}  // namespace kestrio

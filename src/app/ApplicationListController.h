#pragma once

#include <string>
#include <vector>

#include "app/MainViewController.h"
#include "platform/Platform.h"

namespace kestrio {

// One day of an application's billing period.
struct ApplicationDay {
  std::string dateText;
  std::string amountText;
  friend bool operator==(const ApplicationDay&, const ApplicationDay&) = default;
};

// One row of a usage screen's "Apps": an application its network counted in the billing period,
// with its share of the network's applications for the bar, and its days, newest first.
struct ApplicationRow {
  std::string key;
  std::string name;
  std::string icon;  // the desktop entry's icon name; empty for none (the screen's generic one)
  std::string amountText;
  float share = 0;  // 0 to 1
  std::vector<ApplicationDay> days;
  friend bool operator==(const ApplicationRow&, const ApplicationRow&) = default;
};

// "Apps" on the usage screen of one network: the traffic per application in the billing period,
// the most used first, from the store the refresh keeps. Without the accounting service the
// section shows one line that tells how to enable it, in the first window that finds it missing
// and never again (the marker kApplicationsHintShownKey in the settings store).
class ApplicationListController {
 public:
  // The settings store's marker: the hint was shown once.
  static constexpr const char* kApplicationsHintShownKey = "applicationsServiceHintShown";
  static constexpr const char* kTitle = "Apps";
  static constexpr const char* kHint =
      "To count per application: sudo systemctl enable --now kestrio-accountd";
  // Rows beyond the most used ones are summed into one.
  static constexpr std::size_t kMaxRows = 10;

  ApplicationListController(Platform& platform, bool cellular);

  // Reads the stored applications after a refresh; `unit` is the display unit.
  void reload(const std::string& unit);

  std::vector<ApplicationRow> rows;
  Label title;  // hidden when the section is
  Label hint;

 private:
  Platform& platform_;
  bool cellular_;
  // Whether this window may still show the hint: it had not been shown when the window opened.
  bool hintAllowed_;
};

}  // namespace kestrio

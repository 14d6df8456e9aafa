#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/MainViewController.h"

namespace kestrio::cli {

// What one usage screen shows, copied from its controller after a refresh: the status area of
// its network, the fourteen rows of its detail list, and the figures scripts read.
struct ScreenSummary {
  std::string network;  // "cellular" or "wifi"
  std::string title;    // the screen's title
  std::string unit;     // the display unit
  // The status area's texts; empty when the screen hides the label.
  std::string usage, available, remaining, days, dailySuggested, status, statusImage, idealUsage,
      projected, overage, nextBillingDate, period;
  UsageGauge gauge;
  // The plan limit in the display unit; nothing when the network has no quota.
  std::optional<float> quota;
  std::optional<int> daysElapsed, daysTotal;
  // The rows of the detail list: stable key, title on the screen, value.
  struct Row {
    const char* key;
    std::string title;
    std::string value;
  };
  std::vector<Row> rows;

  // The controller must show this network's screen (`isCellularMode`) and have been refreshed.
  static ScreenSummary of(MainViewController& controller, bool cellularScreen);

  // The share of the quota used this period; nothing without a quota.
  std::optional<double> usedPercent() const;
};

// The status area in a few lines that fit an 80-column terminal, the status word in its colour
// when `colour`.
void writeStatusArea(std::ostream& out, const ScreenSummary& screen, bool colour);
// The fourteen rows of the detail list.
void writeDetailRows(std::ostream& out, const ScreenSummary& screen);
// The fields of `kestrio status --oneline` for one network (without the leading separator).
std::string onelineFields(const ScreenSummary& screen);
// The screen as a JSON object, indented for its place under "screens".
std::string screenJson(const ScreenSummary& screen);

}  // namespace kestrio::cli

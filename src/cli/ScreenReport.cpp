#include "cli/ScreenReport.h"

#include <fmt/format.h>

#include "cli/Json.h"

namespace kestrio::cli {

namespace {

// The status area in the order the screen shows it: label, field, and whether the figure is in
// the display unit.
struct StatusLine {
  const char* title;
  const char* key;
  Label NetworkStatus::*field;
};

const StatusLine kStatusLines[] = {
    {"Usage this period", "lblMonthlyUsage", &NetworkStatus::lblMonthlyUsage},
    {"Limit", "lblAvailable", &NetworkStatus::lblAvailable},
    {"Remaining", "lblRemainingUsage", &NetworkStatus::lblRemainingUsage},
    {"Days left", "lblDays", &NetworkStatus::lblDays},
    {"Suggested per day", "lblDailySuggested", &NetworkStatus::lblDailySuggested},
    {"Status", "lblIdealActualDiff", &NetworkStatus::lblIdealActualDiff},
    {"Ideal usage", "lblIdealUsage", &NetworkStatus::lblIdealUsage},
    {"Projected use", "lblProjected", &NetworkStatus::lblProjected},
    {"Overage likely", "lblQuotaOverDate", &NetworkStatus::lblQuotaOverDate},
    {"Next billing date", "lblNextBillingDate", &NetworkStatus::lblNextBillingDate},
    {"Period", "lblCurrentPeriod", &NetworkStatus::lblCurrentPeriod},
};

const NetworkStatus& statusOf(const MainViewController& c, bool cellularScreen) {
  return cellularScreen ? c.cellular : c.wifi;
}

}  // namespace

std::string screenText(const MainViewController& controller, bool cellularScreen,
                       const std::string& displayUnit) {
  const NetworkStatus& status = statusOf(controller, cellularScreen);
  std::string out = fmt::format("{}\n", controller.titleLabel.text);
  for (const auto& line : kStatusLines) {
    const Label& label = status.*line.field;
    if (label.hidden || label.text.empty()) continue;
    const bool inUnit = line.field == &NetworkStatus::lblMonthlyUsage ||
                        line.field == &NetworkStatus::lblRemainingUsage ||
                        line.field == &NetworkStatus::lblDailySuggested;
    const bool isNumber =
        !label.text.empty() &&
        (std::isdigit(static_cast<unsigned char>(label.text.front())) || label.text.front() == '-');
    out += fmt::format("  {:<20}{}{}\n", line.title, label.text,
                       inUnit && isNumber ? " " + displayUnit : "");
  }
  if (!status.visualView.hidden && !status.visualView.usageText.empty()) {
    out += fmt::format("  {:<20}{}\n", "Gauge", status.visualView.usageText);
  }
  out += "\n";
  for (int row = 0; row < MainViewController::kDetailRows; ++row) {
    out += fmt::format("  {:<20}{}\n", MainViewController::detailTitle(row),
                       controller.detailValue(row));
  }
  return out;
}

std::string screenJson(const MainViewController& controller, bool cellularScreen) {
  const NetworkStatus& status = statusOf(controller, cellularScreen);
  std::string out = fmt::format("{{\n      \"title\": {}", json::quote(controller.titleLabel.text));
  for (const auto& line : kStatusLines) {
    const Label& label = status.*line.field;
    out += fmt::format(",\n      {}: {}", json::quote(line.key),
                       label.hidden ? "null" : json::quote(label.text));
  }
  out += fmt::format(",\n      \"statusImage\": {}", json::quote(status.statusImage.text));
  out += fmt::format(
      ",\n      \"gauge\": {{\"currentUsagePercent\": {}, \"idealUsagePercent\": {}, "
      "\"usageText\": {}, \"diffText\": {}}}",
      json::number(status.visualView.currentUsagePercent),
      json::number(status.visualView.idealUsagePercent), json::quote(status.visualView.usageText),
      json::quote(status.visualView.diffText));
  out += ",\n      \"rows\": [";
  for (int row = 0; row < MainViewController::kDetailRows; ++row) {
    out += fmt::format("{}\n        {{\"title\": {}, \"value\": {}}}", row ? "," : "",
                       json::quote(MainViewController::detailTitle(row)),
                       json::quote(controller.detailValue(row)));
  }
  out += "\n      ]\n    }";
  return out;
}

}  // namespace kestrio::cli

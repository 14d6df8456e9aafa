#include "cli/ScreenReport.h"

#include <fmt/format.h>

#include <cctype>
#include <ostream>

#include "cli/Json.h"
#include "cli/TerminalColour.h"

namespace kestrio::cli {

namespace {

// Scripts read the rows under these names, whatever the screen's titles become.
const char* const kRowKeys[MainViewController::kDetailRows] = {
    "idealUsage",   "usageStatus", "usedToday",       "sinceLastRun",  "currentBillPeriod",
    "nextBillDate", "todaysDate",  "overageLikely",   "projectedUse",  "lastPlace",
    "received",     "sent",        "sinceAppInstall", "sinceLastBoot",
};

std::string shown(const Label& label) {
  return label.hidden ? std::string() : label.text;
}

bool isNumber(const std::string& text) {
  return !text.empty() &&
         (std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '-');
}

// A figure of the status area that the screen shows without its unit ("1.20", "NO LIMIT").
std::string withUnit(const std::string& text, const std::string& unit) {
  return isNumber(text) ? text + " " + unit : text;
}

void line(std::ostream& out, const char* title, const std::string& value) {
  out << (value.empty() ? fmt::format("  {}\n", title) : fmt::format("  {:<19}{}\n", title, value));
}

}  // namespace

ScreenSummary ScreenSummary::of(MainViewController& controller, bool cellularScreen) {
  const NetworkStatus& s = cellularScreen ? controller.cellular : controller.wifi;
  ScreenSummary r;
  r.network = cellularScreen ? "cellular" : "wifi";
  r.title = controller.titleLabel.text;
  AppSettings& settings = controller.appSettings();
  r.unit = settings.displayUnit().value_or("MB");
  r.usage = shown(s.lblMonthlyUsage);
  r.available = shown(s.lblAvailable);
  r.remaining = shown(s.lblRemainingUsage);
  r.days = shown(s.lblDays);
  r.dailySuggested = shown(s.lblDailySuggested);
  r.status = shown(s.lblIdealActualDiff);
  r.statusImage = s.statusImage.text;
  r.idealUsage = shown(s.lblIdealUsage);
  r.projected = shown(s.lblProjected);
  r.overage = shown(s.lblQuotaOverDate);
  r.nextBillingDate = shown(s.lblNextBillingDate);
  r.period = shown(s.lblCurrentPeriod);
  r.gauge = s.visualView;
  // The limit as the screen's refresh reads it: a quota of 0 or less is no quota.
  const auto limit = cellularScreen ? settings.cellularDataLimit() : settings.wifiDataLimit();
  const auto limitUnit =
      cellularScreen ? settings.cellularDataLimitUnit() : settings.wifiDataLimitUnit();
  if (limit) {
    const auto inUnit = controller.getPlanLimitInDisplayUnitFrom(*limit, limitUnit.value_or(""));
    if (inUnit && *inUnit > 0) r.quota = inUnit;
  }
  AppData& record = cellularScreen ? controller.appDataCellular() : controller.appDataWifi();
  if (record.nextBillingDate()) {
    r.daysElapsed = static_cast<int>(record.billingDaysElapsed().value_or(0));
    r.daysTotal = static_cast<int>(record.billingDaysTotal().value_or(0));
  }
  for (int row = 0; row < MainViewController::kDetailRows; ++row) {
    r.rows.push_back(
        {kRowKeys[row], MainViewController::detailTitle(row), controller.detailValue(row)});
  }
  return r;
}

std::optional<double> ScreenSummary::usedPercent() const {
  if (!quota) return std::nullopt;
  return gauge.currentUsagePercent;
}

void writeStatusArea(std::ostream& out, const ScreenSummary& screen, bool colour) {
  out << screen.title << "\n";
  if (!screen.status.empty()) {
    out << fmt::format("  {:<19}", "Status");
    writeStatusWord(out, screen.status, colour);
    // The ideal amount itself is a row of the detail: the short form stays within 80 columns
    // whatever the figures.
    if (!screen.gauge.diffText.empty()) out << ", " << screen.gauge.diffText << " than ideal";
    out << "\n";
  }
  std::string used = withUnit(screen.usage, screen.unit);
  if (screen.quota) {
    used += fmt::format(" of {:.1f} {} ({})", *screen.quota, screen.unit, screen.gauge.usageText);
  } else if (!used.empty()) {
    used += ", no quota";
  }
  if (!used.empty()) line(out, "Used this period", used);
  if (!screen.remaining.empty()) {
    std::string remaining = withUnit(screen.remaining, screen.unit);
    if (isNumber(screen.dailySuggested)) {
      remaining += ", " + withUnit(screen.dailySuggested, screen.unit) + " a day";
    }
    line(out, "Remaining", remaining);
  }
  if (!screen.period.empty()) {
    std::string period = screen.period;
    if (screen.daysElapsed && screen.daysTotal) {
      period += fmt::format(", {} of {} days elapsed", *screen.daysElapsed, *screen.daysTotal);
    }
    line(out, "Period", period);
  }
  if (!screen.nextBillingDate.empty()) line(out, "Next billing date", screen.nextBillingDate);
  if (screen.quota && !screen.projected.empty()) {
    line(out, "Projected use", screen.projected + ", overage likely: " + screen.overage);
  }
  for (const ScreenSummary::Row& row : screen.rows) {
    if (std::string_view(row.key) == "lastPlace" && !row.value.empty()) {
      line(out, "Last place", row.value);
    }
  }
}

void writeDetailRows(std::ostream& out, const ScreenSummary& screen) {
  for (const auto& row : screen.rows) line(out, row.title.c_str(), row.value);
}

std::string onelineFields(const ScreenSummary& screen) {
  const auto optional = [](const auto& value, const char* format) {
    return value ? fmt::format(fmt::runtime(format), *value) : std::string();
  };
  return fmt::format("{};{};{};{};{};{};{};{}", screen.network, screen.status, screen.usage,
                     optional(screen.quota, "{:.1f}"), screen.unit,
                     optional(screen.usedPercent(), "{:.1f}"), optional(screen.daysElapsed, "{}"),
                     optional(screen.daysTotal, "{}"));
}

std::string screenJson(const ScreenSummary& screen) {
  const auto text = [](const std::string& value) {
    return value.empty() ? std::string("null") : json::quote(value);
  };
  const auto number = [](const auto& value) {
    return value ? json::number(static_cast<double>(*value)) : std::string("null");
  };
  std::string out = fmt::format("{{\n      \"title\": {}", json::quote(screen.title));
  const std::pair<const char*, const std::string*> labels[] = {
      {"lblMonthlyUsage", &screen.usage},
      {"lblAvailable", &screen.available},
      {"lblRemainingUsage", &screen.remaining},
      {"lblDays", &screen.days},
      {"lblDailySuggested", &screen.dailySuggested},
      {"lblIdealActualDiff", &screen.status},
      {"lblIdealUsage", &screen.idealUsage},
      {"lblProjected", &screen.projected},
      {"lblQuotaOverDate", &screen.overage},
      {"lblNextBillingDate", &screen.nextBillingDate},
      {"lblCurrentPeriod", &screen.period},
      {"statusImage", &screen.statusImage},
  };
  for (const auto& [key, value] : labels) {
    out += fmt::format(",\n      {}: {}", json::quote(key), text(*value));
  }
  out += fmt::format(
      ",\n      \"dataunit_settings\": {},\n      \"quota\": {},\n      \"usedPercent\": {},\n"
      "      \"daysElapsed\": {},\n      \"daysTotal\": {}",
      json::quote(screen.unit), number(screen.quota), number(screen.usedPercent()),
      number(screen.daysElapsed), number(screen.daysTotal));
  out += fmt::format(
      ",\n      \"gauge\": {{\"currentUsagePercent\": {}, \"idealUsagePercent\": {}, "
      "\"usageText\": {}, \"diffText\": {}}}",
      json::number(screen.gauge.currentUsagePercent), json::number(screen.gauge.idealUsagePercent),
      json::quote(screen.gauge.usageText), json::quote(screen.gauge.diffText));
  out += ",\n      \"rows\": {";
  for (std::size_t i = 0; i < screen.rows.size(); ++i) {
    out += fmt::format("{}\n        {}: {}", i ? "," : "", json::quote(screen.rows[i].key),
                       json::quote(screen.rows[i].value));
  }
  out += "\n      }\n    }";
  return out;
}

}  // namespace kestrio::cli

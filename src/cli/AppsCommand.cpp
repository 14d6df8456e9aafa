#include "cli/AppsCommand.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>
#include <utility>
#include <vector>

#include "cli/Columns.h"
#include "cli/Json.h"
#include "cli/StatusReport.h"
#include "cli/Suggestion.h"
#include "engine/AppSettings.h"
#include "engine/ApplicationUsage.h"
#include "services/DataFormatter.h"

namespace kestrio::cli {

namespace {

constexpr const char* kEnableHint =
    "To count per application: sudo systemctl enable --now kestrio-accountd\n";

struct Row {
  const char* network;  // "cellular" or "wifi"
  std::string key;
  ApplicationUsage usage;
  double sent = 0;  // in the period asked for
  double received = 0;
  double total = 0;
};

std::vector<Row> rowsOf(Platform& platform, const AppsCommand& command) {
  ApplicationUsageStore store(platform);
  {
    // A pass of another process replaces the file whole; the lock waits for it to end.
    auto lock = platform.lockDocuments();
    store.load();
  }
  const bool current = command.period == "current";
  std::vector<Row> rows;
  for (const char* type : {"cellular", "wifi"}) {
    if (command.network && *command.network != type) continue;
    const int dataType = std::string_view(type) == "cellular" ? 1 : 2;
    std::vector<Row> network;
    for (auto& [key, usage] : ApplicationUsageStore::listed(store.applications(dataType))) {
      Row row{type, key, usage};
      row.sent = current ? usage.dataThisMonthSent : usage.dataAllTimeSent;
      row.received = current ? usage.dataThisMonthRecd : usage.dataAllTimeRecd;
      row.total = current ? usage.dataThisMonth : usage.dataAllTime;
      // An application that sent nothing in the period is not one of the period's.
      if (row.total > 0 || row.sent > 0 || row.received > 0) network.push_back(std::move(row));
    }
    std::stable_sort(network.begin(), network.end(),
                     [](const Row& a, const Row& b) { return a.total > b.total; });
    rows.insert(rows.end(), network.begin(), network.end());
  }
  return rows;
}

const char* serviceWord(ApplicationCounters::State state) {
  switch (state) {
    case ApplicationCounters::State::Read:
      return "running";
    case ApplicationCounters::State::ServiceMissing:
      return "missing";
    case ApplicationCounters::State::Failed:
      break;
  }
  return "failed";
}

std::string amount(double bytes, const std::string& unit) {
  return fmt::format("{:.2f}", DataFormatter::converToDataUnitFromBytes(bytes, unit));
}

}  // namespace

void addAppsOptions(CLI::App& apps, AppsCommand& command) {
  apps.add_option("--network", command.network, "Only cellular or wifi")
      ->check(oneOf({"cellular", "wifi"}));
  apps.add_option("--period", command.period,
                  "current (the billing period, the default) or all (all time)")
      ->check(oneOf({"current", "all"}));
  apps.add_flag("--json", command.asJson, "Print the applications as JSON");
}

int runAppsCommand(Platform& platform, const AppsCommand& command, std::ostream& out) {
  // Asked only whether the service answers: the figures are those the latest update stored.
  const ApplicationCounters service = platform.readApplicationCounters();
  const std::vector<Row> rows = rowsOf(platform, command);
  if (command.asJson) {
    out << "{\n  \"jsonversion\": " << StatusReport::kJsonVersion
        << ",\n  \"service\": " << json::quote(serviceWord(service.state))
        << ",\n  \"period\": " << json::quote(command.period) << ",\n  \"applications\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Row& r = rows[i];
      const ApplicationUsage& u = r.usage;
      out << (i ? ",\n    " : "\n    ")
          << fmt::format(
                 "{{\"network\": {}, \"key\": {}, \"name\": {}, \"icon\": {}, "
                 "\"dataThisMonth\": {}, \"dataThisMonthSent\": {}, \"dataThisMonthRecd\": {}, "
                 "\"dataAllTime\": {}, \"dataAllTimeSent\": {}, \"dataAllTimeRecd\": {}}}",
                 json::quote(r.network), json::quote(r.key), json::quote(u.name),
                 json::quote(u.icon), json::number(u.dataThisMonth),
                 json::number(u.dataThisMonthSent), json::number(u.dataThisMonthRecd),
                 json::number(u.dataAllTime), json::number(u.dataAllTimeSent),
                 json::number(u.dataAllTimeRecd));
    }
    out << (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
    return 0;
  }
  const bool missing = service.state == ApplicationCounters::State::ServiceMissing;
  if (rows.empty()) {
    out << (missing ? kEnableHint : "No traffic counted per application yet.\n");
    return 0;
  }
  AppSettings settings(platform);
  settings.getSettings();
  const std::string unit = settings.displayUnit().value_or("MB");
  // A long name is cut short with an ellipsis; the whole name and the key are in --json.
  out << fmt::format("{:<9}{:<30}{:>13}{:>13}{:>13}\n", "Network", "Application", "Sent " + unit,
                     "Received " + unit, "Total " + unit);
  for (const Row& r : rows) {
    out << fmt::format("{:<9}{}{:>13}{:>13}{:>13}\n",
                       std::string_view(r.network) == "wifi" ? "Wi-Fi" : "Cellular",
                       column(r.usage.name, 29) + " ", amount(r.sent, unit),
                       amount(r.received, unit), amount(r.total, unit));
  }
  if (missing) out << kEnableHint;
  if (service.state == ApplicationCounters::State::Failed) {
    out << "The accounting service did not answer (" << service.reason
        << "): these are the figures of the latest update.\n";
  }
  return 0;
}

}  // namespace kestrio::cli

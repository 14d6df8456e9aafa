#include "cli/ConnectionsCommand.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <ostream>
#include <set>
#include <vector>

#include "cli/Columns.h"
#include "cli/Json.h"
#include "cli/QuotedValue.h"
#include "cli/StatusReport.h"
#include "cli/Suggestion.h"
#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "services/DataFormatter.h"

namespace kestrio::cli {

namespace {

constexpr int kNotStored = 1;
constexpr int kBadInput = 2;

struct Row {
  const char* network;  // "cellular" or "wifi"
  std::string uuid;
  ConnectionUsage usage;
};

// Both records' connections, cellular first, each network's most used first.
std::vector<Row> rowsOf(Platform& platform, const std::optional<std::string>& network) {
  std::vector<Row> rows;
  for (const char* type : {"cellular", "wifi"}) {
    if (network && *network != type) continue;
    AppData record(platform);
    {
      // A pass of another process replaces the file whole; the lock waits for it to end.
      auto lock = platform.lockDocuments();
      record.getAppData(type);
    }
    for (auto& [uuid, usage] : connection_usage::listed(record.connectionUsage())) {
      rows.push_back({type, uuid, std::move(usage)});
    }
  }
  return rows;
}

const char* networkWord(const char* type) {
  return std::string_view(type) == "wifi" ? "Wi-Fi" : "Cellular";
}

std::string amount(double bytes, const std::string& unit) {
  return fmt::format("{:.2f}", DataFormatter::converToDataUnitFromBytes(bytes, unit));
}

int list(Platform& platform, const ConnectionsCommand& command, std::ostream& out) {
  const std::vector<Row> rows = rowsOf(platform, command.network);
  const ConnectionSnapshot now = platform.activeConnections();
  const auto active = [&now](const std::string& uuid) {
    return std::any_of(now.connections.begin(), now.connections.end(),
                       [&uuid](const ActiveConnection& c) { return c.uuid == uuid; });
  };
  if (command.asJson) {
    out << "{\n  \"jsonversion\": " << StatusReport::kJsonVersion << ",\n  \"connections\": [";
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const Row& r = rows[i];
      const ConnectionUsage& u = r.usage;
      out << (i ? ",\n    " : "\n    ")
          << fmt::format(
                 "{{\"network\": {}, \"uuid\": {}, \"name\": {}, \"metered\": {}, \"active\": {}, "
                 "\"dataThisMonth\": {}, \"dataThisMonthSent\": {}, \"dataThisMonthRecd\": {}, "
                 "\"dataAllTime\": {}, \"dataAllTimeSent\": {}, \"dataAllTimeRecd\": {}}}",
                 json::quote(r.network), json::quote(r.uuid), json::quote(u.name), u.metered,
                 now.known ? (active(r.uuid) ? "true" : "false") : "null",
                 json::number(u.dataThisMonth), json::number(u.dataThisMonthSent),
                 json::number(u.dataThisMonthRecd), json::number(u.dataAllTime),
                 json::number(u.dataAllTimeSent), json::number(u.dataAllTimeRecd));
    }
    out << (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
    return 0;
  }
  if (rows.empty()) {
    out << "No traffic counted per connection yet: Kestrio names connections as NetworkManager "
           "reports them.\n";
    return 0;
  }
  AppSettings settings(platform);
  settings.getSettings();
  const std::string unit = settings.displayUnit().value_or("MB");
  // A long name is cut short with an ellipsis; the whole name and the UUID are in --json.
  out << fmt::format("{:<9}{:<26}{:>11} {:>13}  {:<8}{}\n", "Network", "Name", "Period " + unit,
                     "All time " + unit, "Metered", "Active");
  for (const Row& r : rows) {
    out << fmt::format("{:<9}{} {:>11} {:>13}  {:<8}{}\n", networkWord(r.network),
                       column(r.usage.name, 25), amount(r.usage.dataThisMonth, unit),
                       amount(r.usage.dataAllTime, unit), r.usage.metered ? "yes" : "no",
                       now.known ? (active(r.uuid) ? "yes" : "no") : "?");
  }
  if (!now.known)
    out << "NetworkManager does not answer: which connections are active is unknown.\n";
  return 0;
}

// Whether the text is written as a UUID: 36 characters, hex digits and four dashes.
bool looksLikeUuid(const std::string& text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash != (text[i] == '-') ||
        (!dash && !std::isxdigit(static_cast<unsigned char>(text[i])))) {
      return false;
    }
  }
  return true;
}

const char* meteredWord(ConnectionMetered value) {
  switch (value) {
    case ConnectionMetered::Yes:
      return "yes";
    case ConnectionMetered::No:
      return "no";
    case ConnectionMetered::Unknown:
      break;
  }
  return "auto";
}

int markMetered(Platform& platform, const ConnectionsCommand& command, std::ostream& out,
                std::ostream& err) {
  // The connections Kestrio knows: those it counted and those in force now.
  std::vector<std::pair<std::string, std::string>> known;  // UUID, name
  for (const Row& r : rowsOf(platform, std::nullopt)) known.emplace_back(r.uuid, r.usage.name);
  for (const ActiveConnection& c : platform.activeConnections().connections) {
    if (!c.uuid.empty()) known.emplace_back(c.uuid, c.name);
  }
  std::string uuid;
  std::string name = command.connection;
  for (const auto& [id, named] : known) {
    if (id == command.connection) {
      uuid = id;
      name = named;
    }
  }
  if (uuid.empty()) {
    std::set<std::string> matches;
    for (const auto& [id, named] : known) {
      if (named == command.connection) matches.insert(id);
    }
    if (matches.size() > 1) {
      err << "kestrio: several connections are named " << quotedValue(command.connection)
          << ": give its UUID (kestrio connections --json lists them)\n";
      return kBadInput;
    }
    if (matches.size() == 1) uuid = *matches.begin();
  }
  // A connection Kestrio never counted on is still NetworkManager's to find by its UUID.
  if (uuid.empty() && looksLikeUuid(command.connection)) uuid = command.connection;
  if (uuid.empty()) {
    std::vector<std::string> names;
    for (const auto& entry : known) names.push_back(entry.second);
    const std::vector<std::string> near = nearestWords(command.connection, names);
    err << "kestrio: no connection is named " << quotedValue(command.connection)
        << (near.empty() ? " (kestrio connections lists them)"
                         : "; did you mean " + alternatives(near) + "?")
        << "\n";
    return kBadInput;
  }

  const ConnectionMetered wanted = command.value == "yes"  ? ConnectionMetered::Yes
                                   : command.value == "no" ? ConnectionMetered::No
                                                           : ConnectionMetered::Unknown;
  const MeteredChange change = platform.setConnectionMetered(uuid, wanted);
  if (!change.accepted) {
    err << "kestrio: NetworkManager did not change " << quotedValue(name) << ": " << change.error
        << "\n";
    return kNotStored;
  }
  // Only what NetworkManager stores now counts, read back after the change.
  if (!change.stored) {
    err << "kestrio: NetworkManager took the change of " << quotedValue(name)
        << " but its setting cannot be read back: " << change.error << "\n";
    return kNotStored;
  }
  if (*change.stored != wanted) {
    err << "kestrio: NetworkManager stores metered " << meteredWord(*change.stored) << " for "
        << quotedValue(name) << ", not " << meteredWord(wanted) << "\n";
    return kNotStored;
  }
  out << name << ": metered " << meteredWord(*change.stored)
      << (wanted == ConnectionMetered::Unknown ? " (NetworkManager decides)" : "")
      << ", as NetworkManager now stores it\n";
  return 0;
}

}  // namespace

void addConnectionsOptions(CLI::App& connections, ConnectionsCommand& command) {
  connections.add_option("--network", command.network, "Only cellular or wifi")
      ->check(oneOf({"cellular", "wifi"}));
  connections.add_flag("--json", command.asJson, "Print the connections as JSON");
  connections.require_subcommand(0, 1);
  CLI::App* metered = connections.add_subcommand(
      "metered",
      "Tell NetworkManager whether a connection is metered, for every program (it may ask for "
      "your password)");
  metered->add_option("CONNECTION", command.connection, "Its name or its UUID")->required();
  metered
      ->add_option("VALUE", command.value,
                   "yes, no, or auto to let NetworkManager decide (a phone's hotspot, a modem)")
      ->required()
      ->check(oneOf({"yes", "no", "auto"}));
  metered->callback([&command] { command.metered = true; });
}

int runConnectionsCommand(Platform& platform, const ConnectionsCommand& command, std::ostream& out,
                          std::ostream& err) {
  if (command.metered) return markMetered(platform, command, out, err);
  return list(platform, command, out);
}

}  // namespace kestrio::cli

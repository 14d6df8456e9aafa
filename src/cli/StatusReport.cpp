#include "cli/StatusReport.h"

#include <fmt/format.h>

#include <algorithm>
#include <ostream>

#include "cli/IsoDate.h"
#include "cli/Json.h"
#include "platform/MoveAside.h"
#include "services/DataFormatter.h"
#include "services/DeviceInfo.h"
#include "services/ModemText.h"
#include "services/StringFormatter.h"

namespace kestrio::cli {

namespace {

StatusReport::Record recordOf(Platform& platform, AppData& data, std::string title,
                              const std::vector<InterfaceCounters>& reading,
                              const ConnectionSnapshot& connections) {
  StatusReport::Record r;
  r.type = data.appDataType();
  r.title = std::move(title);
  r.file = data.dataFilePath();
  for (const auto& c : DeviceInfo::chooseInterfaces(platform, reading, r.type, &connections)) {
    r.interfaces.push_back(c.name);
  }
  r.numbers = {
      {"dataSinceLastBoot", data.dataSinceLastBoot()},
      {"dataSinceLastBootSent", data.dataSinceLastBootSent()},
      {"dataSinceLastBootRecd", data.dataSinceLastBootRecd()},
      {"dataSinceLastRun", data.dataSinceLastRun()},
      {"dataSinceLastRunSent", data.dataSinceLastRunSent()},
      {"dataSinceLastRunRecd", data.dataSinceLastRunRecd()},
      {"dataSinceAppLastRun", data.dataSinceAppLastRun()},
      {"dataSinceAppLastRunSent", data.dataSinceAppLastRunSent()},
      {"dataSinceAppLastRunRecd", data.dataSinceAppLastRunRecd()},
      {"dataToday", data.dataToday()},
      {"dataTodaySent", data.dataTodaySent()},
      {"dataTodayRecd", data.dataTodayRecd()},
      {"dataThisMonth", data.dataThisMonth()},
      {"dataThisMonthSent", data.dataThisMonthSent()},
      {"dataThisMonthRecd", data.dataThisMonthRecd()},
      {"dataAllTime", data.dataAllTime()},
      {"dataAllTimeSent", data.dataAllTimeSent()},
      {"dataAllTimeRecd", data.dataAllTimeRecd()},
      {"billingDaysElapsed", data.billingDaysElapsed()},
      {"billingDaysTotal", data.billingDaysTotal()},
  };
  const auto iso = [&](const std::optional<Date>& date) -> std::optional<std::string> {
    if (!date) return std::nullopt;
    return isoDate(platform.calendar(), *date);
  };
  r.dates = {{"lastUpdate", iso(data.lastUpdate())},
             {"lastBillingDate", iso(data.lastBillingDate())},
             {"nextBillingDate", iso(data.nextBillingDate())}};
  r.texts = {{"lastLocation", data.lastLocation()},
             {"lastLocationDataUsed", data.lastLocationDataUsed()}};
  if (data.lastUpdate()) {
    r.lastUpdateText = StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(
        platform, *data.lastUpdate());
  }
  if (data.lastBillingDate() && data.nextBillingDate()) {
    r.periodText =
        fmt::format("{} to {}, {} of {} days elapsed",
                    StringFormatter::getLocalizedShortDateNoTimeStringFromDate(
                        platform, *data.lastBillingDate()),
                    StringFormatter::getLocalizedShortDateNoTimeStringFromDate(
                        platform, *data.nextBillingDate()),
                    data.billingDaysElapsed().value_or(0), data.billingDaysTotal().value_or(0));
  }
  r.monthlyResetOccured = data.monthlyResetOccured();
  r.detectedBootEvent = data.detectedBootEvent();
  r.bootMsg = data.bootMsg();
  return r;
}

// Where data was last used, as the usage screens show it.
std::string lastPlace(const StatusReport::Record& record) {
  for (const auto& [key, text] : record.texts) {
    if (key == "lastLocationDataUsed" && text && !text->empty()) return *text;
  }
  return "--";
}

std::string joined(const std::vector<std::string>& names, const char* none) {
  if (names.empty()) return none;
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

}  // namespace

std::optional<double> StatusReport::Record::number(const std::string& key) const {
  for (const auto& [k, v] : numbers) {
    if (k == key) return v;
  }
  return std::nullopt;
}

StatusReport StatusReport::collect(Platform& platform, AppData& cellular, AppData& wifi) {
  StatusReport report;
  report.dataDirectory = platform.documentsDirectory();
  report.displayUnit = cellular.appSettings().displayUnit().value_or("MB");
  report.unreadableFiles = filesMovedAside(platform.files(), platform.documentsDirectory());
  // One reading and one answer from NetworkManager name both networks' interfaces alike.
  const std::vector<InterfaceCounters> reading =
      platform.readInterfaceCounters().value_or(std::vector<InterfaceCounters>{});
  const ConnectionSnapshot connections = DeviceInfo::connectionsInForce(platform);
  report.modem = connections.modem;
  report.records.push_back(recordOf(platform, cellular, "Cellular", reading, connections));
  report.records.push_back(recordOf(platform, wifi, "Wi-Fi", reading, connections));
  return report;
}

void StatusReport::writeText(std::ostream& out, bool detail, bool colour) const {
  for (std::size_t i = 0; i < screens.size(); ++i) {
    if (i) out << "\n";
    writeStatusArea(out, screens[i], colour);
    if (detail) {
      out << "\n";
      writeDetailRows(out, screens[i]);
    }
  }
  const bool showsCellular =
      std::any_of(screens.begin(), screens.end(),
                  [](const ScreenSummary& s) { return s.network == "cellular"; });
  if (modem.known && (showsCellular || detail)) {
    out << "\nModem: " << modemDescription(modem) << "\n";
  }
  // Without any quota the screens have little to measure against: say how to set one.
  const bool planned =
      std::any_of(screens.begin(), screens.end(), [](const ScreenSummary& s) { return s.quota; });
  if (!screens.empty() && !planned) {
    // The Wi-Fi screen alone points to the Wi-Fi plan.
    const bool wifiOnly = screens.size() == 1 && screens[0].network == "wifi";
    out << "\nNo quota set: kestrio plan" << (wifiOnly ? " --wifi" : "")
        << " quota 5 GB sets one (see kestrio plan --help).\n";
  }
  if (detail && !screens.empty()) {
    out << (badge ? fmt::format("\nBadge: {}\n", *badge) : std::string("\nBadge: none\n"));
  }
  // A restart that went uncounted or a file set aside is news even in the short form.
  for (const auto& message : messages) out << "\n" << message << "\n";
  if (!unreadableFiles.empty()) {
    out << "\nUnreadable files moved aside (your data is kept there):\n";
    for (const auto& f : unreadableFiles) out << "  " << f << "\n";
  }
  if (!detail) return;
  out << fmt::format("\nData directory: {}\nDisplay unit:   {}\n", dataDirectory, displayUnit);
  const auto figure = [this](std::optional<double> bytes) {
    // Today holds -1 until the first traffic of a new day is counted.
    if (bytes && *bytes == -1) return std::string("--");
    return fmt::format("{:.2f}", DataFormatter::converToDataUnitFromBytes(bytes, displayUnit));
  };
  static const std::pair<const char*, const char*> kSpans[] = {
      {"Since boot", "dataSinceLastBoot"},
      {"Since last update", "dataSinceLastRun"},
      {"Since app last ran", "dataSinceAppLastRun"},
      {"Today", "dataToday"},
      {"This period", "dataThisMonth"},
      {"All time", "dataAllTime"},
  };
  for (const auto& r : records) {
    out << fmt::format("\n{}\n  Interfaces:  {}\n  Last update: {}\n  Period:      {}\n", r.title,
                       joined(r.interfaces, "none"), r.lastUpdateText.value_or("never"),
                       r.periodText.value_or("no billing cycle set"));
    out << fmt::format("  Last place:  {}\n", lastPlace(r));
    out << fmt::format("  {:<20}{:>14}{:>14}{:>14}\n", "", "Total", "Sent", "Received");
    for (const auto& [label, key] : kSpans) {
      const std::string k = key;
      out << fmt::format("  {:<20}{:>14}{:>14}{:>14}\n", label, figure(r.number(k)),
                         figure(r.number(k + "Sent")), figure(r.number(k + "Recd")));
    }
    if (r.monthlyResetOccured) out << "  A new billing period began with this update.\n";
    if (r.detectedBootEvent) out << "  Restarted: traffic not counted " << r.bootMsg << "\n";
  }
}

std::string StatusReport::oneline() const {
  std::string out = std::to_string(kOnelineVersion);
  for (const auto& screen : screens) out += ";" + onelineFields(screen);
  return out + "\n";
}

std::string StatusReport::json() const {
  std::string out = fmt::format("{{\n  \"jsonversion\": {},\n", kJsonVersion);
  // A figure that is a setting's value is named by the setting's key.
  out += fmt::format("  \"dataDirectory\": {},\n  \"dataunit_settings\": {},\n",
                     json::quote(dataDirectory), json::quote(displayUnit));
  out += "  \"unreadableFiles\": [";
  for (size_t i = 0; i < unreadableFiles.size(); ++i) {
    out += (i ? ", " : "") + json::quote(unreadableFiles[i]);
  }
  out += "]";
  if (modem.known) {
    out += fmt::format(
        ",\n  \"modem\": {{\"operatorName\": {}, \"accessTechnology\": {}, \"roaming\": {}}}",
        json::quote(modem.operatorName), json::quote(modem.accessTechnology),
        modem.roaming ? "true" : "false");
  } else {
    out += ",\n  \"modem\": null";
  }
  if (!screens.empty()) {
    out += fmt::format(",\n  \"badge\": {}", badge ? std::to_string(*badge) : "null");
    out += ",\n  \"messages\": [";
    for (size_t i = 0; i < messages.size(); ++i) {
      out += (i ? ", " : "") + json::quote(messages[i]);
    }
    out += "],\n  \"screens\": {";
    for (size_t i = 0; i < screens.size(); ++i) {
      out += fmt::format("{}\n    {}: {}", i ? "," : "", json::quote(screens[i].network),
                         screenJson(screens[i]));
    }
    out += "\n  }";
  }
  for (const auto& r : records) {
    out += fmt::format(",\n  {}: {{\n    \"appDataType\": {},\n    \"file\": {},\n",
                       json::quote(r.type), json::quote(r.type), json::quote(r.file));
    out += "    \"interfaces\": [";
    for (size_t i = 0; i < r.interfaces.size(); ++i) {
      out += (i ? ", " : "") + json::quote(r.interfaces[i]);
    }
    out += "]";
    for (const auto& [key, value] : r.numbers) {
      out += fmt::format(",\n    {}: {}", json::quote(key), value ? json::number(*value) : "null");
    }
    for (const auto& [key, value] : r.dates) {
      out += fmt::format(",\n    {}: {}", json::quote(key), value ? json::quote(*value) : "null");
    }
    for (const auto& [key, value] : r.texts) {
      out += fmt::format(",\n    {}: {}", json::quote(key), value ? json::quote(*value) : "null");
    }
    out += fmt::format(
        ",\n    \"monthlyResetOccured\": {},\n    \"detectedBootEvent\": {},\n    \"bootMsg\": "
        "{}\n  }}",
        r.monthlyResetOccured ? "true" : "false", r.detectedBootEvent ? "true" : "false",
        json::quote(r.bootMsg));
  }
  out += "\n}\n";
  return out;
}

}  // namespace kestrio::cli

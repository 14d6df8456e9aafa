#include "cli/ListCommands.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "cli/Columns.h"
#include "cli/IsoDate.h"
#include "cli/Json.h"
#include "cli/StatusReport.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "engine/History.h"
#include "services/Communications.h"
#include "services/DataFormatter.h"
#include "services/StringFormatter.h"

namespace kestrio::cli {

namespace {

std::string displayUnit(Platform& platform) {
  AppSettings settings(platform);
  settings.getSettings();
  return settings.displayUnit().value_or("MB");
}

std::string amount(std::optional<double> bytes, const std::string& unit) {
  return fmt::format("{:.2f}", DataFormatter::converToDataUnitFromBytes(bytes, unit));
}

// Dates take the window's two forms: a date with its time ("3/8/27, 7:30 AM"), at most 18
// characters in any locale, and a short date ("3/8/27").
constexpr std::size_t kDateTimeWidth = 18;

std::string dateWithTime(Platform& platform, const std::optional<Date>& date) {
  return date ? StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform, *date)
              : "-";
}

std::string shortDate(Platform& platform, const std::optional<Date>& date) {
  return date ? StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, *date) : "-";
}

std::string jsonDate(Platform& platform, const std::optional<Date>& date) {
  return date ? json::quote(isoDate(platform.calendar(), *date)) : "null";
}

// The JSON documents of the lists: the layout's version, then the list under its name.
void openJsonList(std::ostream& out, const char* name) {
  out << "{\n  \"jsonversion\": " << StatusReport::kJsonVersion << ",\n  \"" << name << "\": [";
}
void closeJsonList(std::ostream& out, bool empty) {
  out << (empty ? "]\n}\n" : "\n  ]\n}\n");
}

std::string jsonNumber(const std::optional<double>& value) {
  return value ? json::number(*value) : "null";
}

const char* networkName(int dataType) {
  return dataType == 2 ? "Wi-Fi" : "Cellular";
}

const char* repeatName(RepeatInterval interval) {
  switch (interval) {
    case RepeatInterval::None:
      return "";
    case RepeatInterval::Day:
      return "daily";
    case RepeatInterval::Week:
      return "weekly";
    case RepeatInterval::Month:
      return "monthly";
  }
  return "";
}

}  // namespace

std::optional<Date> parseDay(Platform& platform, const std::string& text) {
  int y = 0, m = 0, d = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &extra) != 3) return std::nullopt;
  const Date date = platform.calendar().date(DateComponents{y, m, d, 0, 0, 0, 0});
  const DateComponents back = platform.calendar().components(date);
  if (back.year != y || back.month != m || back.day != d) return std::nullopt;
  return date;
}

std::optional<std::vector<History>> selectHistory(Platform& platform, const HistoryQuery& query,
                                                  std::ostream& err) {
  if (!query.days) return History::getAllBillingCycleLogs(platform);
  const Calendar& calendar = platform.calendar();
  std::optional<Date> from = calendar.startOfDay(platform.now()).addingSeconds(-30 * 86400.0);
  std::optional<Date> to = platform.now();
  if (query.from) from = parseDay(platform, *query.from);
  if (query.to) {
    // The last day is included to its end: up to the next day's midnight.
    to = parseDay(platform, *query.to);
    if (to) {
      DateComponents next = calendar.components(*to);
      ++next.day;
      to = calendar.date(next).addingSeconds(-0.001);
    }
  }
  if (!from || !to) {
    err << "kestrio: dates are written YYYY-MM-DD, such as 2026-12-01\n";
    return std::nullopt;
  }
  std::vector<History> records;
  for (const int dataType : {1, 2}) {
    if (query.network && *query.network != (dataType == 2 ? "wifi" : "cellular")) continue;
    auto some = History::getDailyHistoryLogsFrom(platform, *from, *to, dataType);
    records.insert(records.end(), some.begin(), some.end());
  }
  // Newest first, as for one network; the cellular record before the Wi-Fi one of the same day.
  std::stable_sort(records.begin(), records.end(), [](const History& a, const History& b) {
    return a.startDate() > b.startDate();
  });
  return records;
}

int runHistory(Platform& platform, const HistoryQuery& query, bool asJson, std::ostream& out,
               std::ostream& err) {
  const auto selected = selectHistory(platform, query, err);
  if (!selected) return 2;
  const std::vector<History>& records = *selected;

  if (asJson) {
    openJsonList(out, "records");
    for (size_t i = 0; i < records.size(); ++i) {
      const History& h = records[i];
      out << (i ? ",\n    " : "\n    ")
          << fmt::format(
                 "{{\"uniqueId\": {}, \"startDate\": {}, \"endDate\": {}, \"dataSent\": {}, "
                 "\"dataReceived\": {}, \"dataTotal\": {}, \"dataType\": {}, \"historyType\": {}",
                 json::quote(h.uniqueId().value_or("")), jsonDate(platform, h.startDate()),
                 jsonDate(platform, h.endDate()), jsonNumber(h.dataSent()),
                 jsonNumber(h.dataReceived()), jsonNumber(h.dataTotal()), h.dataType(),
                 h.historyType());
      // A period closed while NetworkManager named its connections keeps their figures.
      if (!h.connections().empty()) {
        out << ", \"connections\": [";
        for (std::size_t c = 0; c < h.connections().size(); ++c) {
          const ClosedConnection& connection = h.connections()[c];
          out << (c ? ", " : "")
              << fmt::format(
                     "{{\"uuid\": {}, \"name\": {}, \"metered\": {}, \"dataSent\": {}, "
                     "\"dataReceived\": {}, \"dataTotal\": {}}}",
                     json::quote(connection.uuid), json::quote(connection.name),
                     connection.metered ? "true" : "false", jsonNumber(connection.dataSent),
                     jsonNumber(connection.dataReceived), jsonNumber(connection.dataTotal));
        }
        out << "]";
      }
      out << "}";
    }
    closeJsonList(out, records.empty());
    return 0;
  }
  const std::string unit = displayUnit(platform);
  if (records.empty()) {
    out << (query.days ? "No day records in that span.\n" : "No billing periods closed yet.\n");
    return 0;
  }
  // The position is what kestrio history delete takes.
  if (query.days) {
    // A day record runs from one midnight to the next: it is shown as that day.
    out << fmt::format("{:<4}{:<9}{:<16}{:>12}{:>12}{:>12}\n", "#", "Network", "Day",
                       "Sent " + unit, "Recd " + unit, "Total " + unit);
    for (std::size_t i = 0; i < records.size(); ++i) {
      const History& h = records[i];
      out << fmt::format("{:<4}{:<9}{}{:>12}{:>12}{:>12}\n", i + 1, networkName(h.dataType()),
                         column(shortDate(platform, h.startDate()), 16), amount(h.dataSent(), unit),
                         amount(h.dataReceived(), unit), amount(h.dataTotal(), unit));
    }
    return 0;
  }
  out << fmt::format("{:<4}{:<9}{:<17}{:<17}{:>10}{:>10}{:>10}\n", "#", "Network", "Start", "End",
                     "Sent " + unit, "Recd " + unit, "Total " + unit);
  for (std::size_t i = 0; i < records.size(); ++i) {
    const History& h = records[i];
    // Each figure keeps a space before it, however long.
    out << fmt::format("{:<4}{:<9}{} {} {:>9} {:>9} {:>9}\n", i + 1, networkName(h.dataType()),
                       column(shortDate(platform, h.startDate()), 16),
                       column(shortDate(platform, h.endDate()), 16), amount(h.dataSent(), unit),
                       amount(h.dataReceived(), unit), amount(h.dataTotal(), unit));
  }
  return 0;
}

int runCounters(Platform& platform, bool asJson, std::ostream& out) {
  const auto counters = CustomCounter::getAllCustomCounters(platform);
  if (asJson) {
    openJsonList(out, "counters");
    for (size_t i = 0; i < counters.size(); ++i) {
      const CustomCounter& c = counters[i];
      out << (i ? ",\n    " : "\n    ")
          << fmt::format(
                 "{{\"position\": {}, \"uniqueId\": {}, \"name\": {}, \"trackCellular\": {}, "
                 "\"trackWiFi\": {}, "
                 "\"startDate\": {}, \"endDate\": {}, \"direction\": {}, \"notifyOnEnd\": {}, "
                 "\"roamingOnly\": {}, \"isPaused\": {}, \"cellularDataSent\": {}, "
                 "\"cellularDataReceived\": {}, \"cellularDataTotal\": {}, \"wifiDataSent\": {}, "
                 "\"wifiDataReceived\": {}, \"wifiDataTotal\": {}}}",
                 i + 1, json::quote(c.uniqueId()), json::quote(c.name()), c.trackCellular(),
                 c.trackWiFi(), jsonDate(platform, c.startDate()), jsonDate(platform, c.endDate()),
                 c.direction(), c.notifyOnEnd(), c.roamingOnly(), c.isPaused(),
                 json::number(c.cellularDataSent()), json::number(c.cellularDataReceived()),
                 json::number(c.cellularDataTotal()), json::number(c.wifiDataSent()),
                 json::number(c.wifiDataReceived()), json::number(c.wifiDataTotal()));
    }
    closeJsonList(out, counters.empty());
    return 0;
  }
  if (counters.empty()) {
    out << "No custom counters yet.\n";
    return 0;
  }
  const std::string unit = displayUnit(platform);
  // A long name is cut short with an ellipsis; the whole name is in --json.
  out << fmt::format("{:<4}{:<22}{:<7}{:<19}{:>13}{:>13}\n", "#", "Name", "State", "Ends",
                     "Cellular " + unit, "Wi-Fi " + unit);
  for (size_t i = 0; i < counters.size(); ++i) {
    const CustomCounter& c = counters[i];
    out << fmt::format(
        "{:<4}{} {:<7}{} {:>13}{:>13}\n", i + 1, column(c.name(), 21),
        c.isPaused() ? "paused" : "on",
        column(c.endDate() ? dateWithTime(platform, c.endDate()) : "No End Date", kDateTimeWidth),
        c.trackCellular() ? amount(c.cellularDataTotal(), unit) : "-",
        c.trackWiFi() ? amount(c.wifiDataTotal(), unit) : "-");
  }
  return 0;
}

int runNotifications(Platform& platform, bool asJson, std::ostream& out) {
  const auto scheduled = Communications::scheduledLocalNotifications(platform);
  if (asJson) {
    openJsonList(out, "notifications");
    for (size_t i = 0; i < scheduled.size(); ++i) {
      const LocalNotification& n = scheduled[i];
      out << (i ? ",\n    " : "\n    ")
          << fmt::format(
                 "{{\"fireDate\": {}, \"alertBody\": {}, \"alertAction\": {}, \"soundName\": {}, "
                 "\"applicationIconBadgeNumber\": {}, \"repeatInterval\": {}, "
                 "\"repeatTimeZone\": {}, \"UniqueId\": {}}}",
                 jsonDate(platform, n.fireDate), json::quote(n.alertBody),
                 json::quote(n.alertAction), json::quote(n.soundName),
                 n.applicationIconBadgeNumber ? std::to_string(*n.applicationIconBadgeNumber)
                                              : "null",
                 json::quote(repeatName(n.repeatInterval)), json::quote(n.repeatTimeZone),
                 n.uniqueId ? json::quote(*n.uniqueId) : "null");
    }
    closeJsonList(out, scheduled.empty());
    return 0;
  }
  if (scheduled.empty()) {
    out << "No notifications scheduled.\n";
    return 0;
  }
  for (const LocalNotification& n : scheduled) {
    const std::string badge = n.applicationIconBadgeNumber
                                  ? fmt::format(" (badge {})", *n.applicationIconBadgeNumber)
                                  : "";
    // The date and the repeat take 27 columns; the text is cut to the rest, the badge kept.
    const std::size_t room = kListingWidth - kDateTimeWidth - 9 - badge.size();
    out << column(dateWithTime(platform, n.fireDate), kDateTimeWidth) << " "
        << column(repeatName(n.repeatInterval), 8) << fitted(n.alertBody, room) << badge << "\n";
  }
  return 0;
}

}  // namespace kestrio::cli

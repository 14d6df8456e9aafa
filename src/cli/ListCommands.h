#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "engine/History.h"
#include "platform/Platform.h"

namespace kestrio::cli {

struct HistoryQuery {
  bool days = false;                   // day records instead of billing periods
  std::optional<std::string> network;  // "cellular" or "wifi"; both networks when absent
  std::optional<std::string> from;     // YYYY-MM-DD, the first day included
  std::optional<std::string> to;       // YYYY-MM-DD, the last day included
};

// The records a history command works on, in the order `kestrio history` lists them: the
// billing periods, or with `days` the day records in the span (default: the last 30 days), of
// both networks day by day unless a network is given. Nothing, with one line on `err`, when a
// date cannot be read.
std::optional<std::vector<History>> selectHistory(Platform& platform, const HistoryQuery& query,
                                                  std::ostream& err);

// `kestrio history`: the billing periods, or with `days` the day records of a network.
int runHistory(Platform& platform, const HistoryQuery& query, bool asJson, std::ostream& out,
               std::ostream& err);
// `kestrio counters`: the custom counters with their figures.
int runCounters(Platform& platform, bool asJson, std::ostream& out);
// `kestrio notifications`: the scheduled notifications in the order they fall due.
int runNotifications(Platform& platform, bool asJson, std::ostream& out);

// A day typed as YYYY-MM-DD, as midnight at its start in the user's calendar; nothing when the
// text is not such a day.
std::optional<Date> parseDay(Platform& platform, const std::string& text);

}  // namespace kestrio::cli

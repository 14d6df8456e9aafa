#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/Transaction.h"

namespace kestrio::cli {

// `kestrio update`: one background refresh, as the system grants it to the application.
int runUpdate(Platform& platform, std::ostream& err);

struct StatusOptions {
  bool asJson = false;
  bool detail = false;                 // the fourteen rows, the badge and both records too
  bool oneline = false;                // one line for status bars and scripts
  std::optional<std::string> network;  // "cellular" or "wifi"; both when absent
  // --alert PERCENT: the exit status tells whether a network's period usage has reached that
  // share of its quota.
  std::optional<std::string> alert;
  bool colour = false;  // status words in colour
};
// `kestrio status`: the full refresh of the usage screens, then what they show. With an alert:
// 1 when it is reached, 0 when not, 2 on bad input or when the refresh could not be stored.
int runStatus(Platform& platform, const StatusOptions& options, std::ostream& out,
              std::ostream& err);
// The share of `kestrio status --alert`: a number above 0, with a point; nothing otherwise.
std::optional<double> parseAlertPercent(const std::string& text);

// `kestrio adjust NETWORK AMOUNT`: the amount typed in the display unit becomes the period's
// usage, as the adjustment prompt's "OK" does. Nothing changes when AMOUNT is not a number.
int runAdjust(Platform& platform, const std::string& network, const std::string& amount,
              std::ostream& out, std::ostream& err);
// `kestrio reset NETWORK`: asks on the terminal unless `yes`; refuses without a terminal.
int runReset(Platform& platform, const std::string& network, bool yes, bool interactive,
             std::istream& in, std::ostream& out, std::ostream& err);

// Tells that a command's change could not be stored (one line) and answers the exit status.
int reportUnstored(const Stored& failure, std::ostream& err);

// The version shown in "What's New".
const char* version();

}  // namespace kestrio::cli

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
  std::optional<std::string> network;  // "cellular" or "wifi"; both when absent
};
// `kestrio status`: the full refresh of the usage screens, then what they show.
int runStatus(Platform& platform, const StatusOptions& options, std::ostream& out,
              std::ostream& err);

// `kestrio adjust NETWORK AMOUNT`: the amount typed in the display unit becomes the period's
// usage, as the adjustment prompt's "OK" does. Nothing changes when AMOUNT is not a number.
int runAdjust(Platform& platform, const std::string& network, const std::string& amount,
              std::ostream& out, std::ostream& err);
// `kestrio reset NETWORK`: asks on the terminal unless `yes`; refuses without a terminal.
int runReset(Platform& platform, const std::string& network, bool yes, bool interactive,
             std::istream& in, std::ostream& out, std::ostream& err);

// Tells that a command's change could not be stored (one line) and answers the exit status.
int reportUnstored(const Transaction& transaction, std::ostream& err);

// The version shown in "What's New".
const char* version();

}  // namespace kestrio::cli

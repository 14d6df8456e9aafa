#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace CLI {
class App;
}

namespace kestrio::cli {

// What `kestrio apps` was asked to list.
struct AppsCommand {
  std::optional<std::string> network;  // cellular or wifi; both when absent
  std::string period = "current";      // current (the billing period) or all (all time)
  bool asJson = false;
};

void addAppsOptions(CLI::App& apps, AppsCommand& command);

// Each network's traffic per application, the most used first: sent, received and total in the
// billing period or in all time. Without the accounting service, one line tells how to enable
// it. Always 0: listing changes nothing.
int runAppsCommand(Platform& platform, const AppsCommand& command, std::ostream& out);

}  // namespace kestrio::cli

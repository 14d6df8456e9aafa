#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace CLI {
class App;
}

namespace kestrio::cli {

// What `kestrio connections [metered CONNECTION yes|no|auto]` was asked to do.
struct ConnectionsCommand {
  std::optional<std::string> network;  // cellular or wifi; both when absent
  bool asJson = false;
  bool metered = false;    // the metered subcommand was chosen
  std::string connection;  // its connection: a name or a UUID
  std::string value;       // yes, no or auto
};

// Declares the options and the subcommand of `kestrio connections` on `connections`.
void addConnectionsOptions(CLI::App& connections, ConnectionsCommand& command);

// The list: each network's traffic per NetworkManager connection in the period and all time,
// whether the connection is metered and whether it is active now. With `metered`, changes
// NetworkManager's own setting of the connection and tells what NetworkManager stores now: 0
// when that is what was asked, 1 when NetworkManager refused or stored something else, 2 for a
// connection that cannot be told apart or found.
int runConnectionsCommand(Platform& platform, const ConnectionsCommand& command, std::ostream& out,
                          std::ostream& err);

}  // namespace kestrio::cli

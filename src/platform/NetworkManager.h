#pragma once

#include <string>

#include "platform/NetworkInterfaces.h"

namespace kestrio {

// The connections NetworkManager has in force, read from the system bus: for each device with an
// active connection, the interface its traffic crosses (a modem's IP interface, not its control
// port), whether the device counts as metered, and the connection's identity and name. A snapshot
// that is not `known`, with `why` set, when NetworkManager does not answer. The modem's state
// from ModemManager comes with it, over the same connection.
ConnectionSnapshot readNetworkManagerConnections(std::string* why);

}  // namespace kestrio

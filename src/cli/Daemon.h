#pragma once

#include <iosfwd>

#include "platform/Platform.h"

namespace kestrio::cli {

// `kestrio daemon`: the application living in the background. It refreshes every `interval`
// minutes, delivers notifications as they fall due in between, and on a request to stop counts
// once more before it exits, so a logout or shutdown loses no traffic. One runs per data
// directory. Answers the process's exit status.
int runDaemon(Platform& platform, double intervalMinutes, std::ostream& err);

}  // namespace kestrio::cli

#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace kestrio::cli {

// `kestrio daemon`: the application living in the background. It refreshes every `interval`
// minutes, delivers notifications as they fall due in between, and on a request to stop counts
// once more before it exits, so a logout or shutdown loses no traffic. One runs per data
// directory. Answers the process's exit status.
int runDaemon(Platform& platform, double intervalMinutes, std::ostream& err);

// The minutes between two refreshes: from three seconds (tests, impatient users) to a day.
constexpr double kMinIntervalMinutes = 0.05;
constexpr double kMaxIntervalMinutes = 1440;
// The daemon's exit status when another daemon already counts for the same data directory: the
// user unit does not restart it for that (RestartPreventExitStatus=).
constexpr int kDaemonAlreadyRunningStatus = 3;
// `--interval`'s value: a finite number of minutes in that range, written with a point; nothing
// otherwise.
std::optional<double> parseInterval(const std::string& text);

}  // namespace kestrio::cli

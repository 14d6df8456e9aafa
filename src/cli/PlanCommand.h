#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrio::cli {

// `kestrio plan WHAT ARGS...`: the plan editors from the terminal. WHAT is "type", "start-day",
// "every", "custom-start", "quota", "daily-cap" or "usage"; each stores the change as its pane
// does, checks that it was stored, applies the settings and prints the pane's summary. Without
// WHAT, the plans as they stand (the Wi-Fi one alone with `wifi`).
int runPlan(Platform& platform, const std::string& what, const std::vector<std::string>& args,
            bool wifi, std::ostream& out, std::ostream& err);

}  // namespace kestrio::cli

#pragma once

#include <ctime>
#include <string>

namespace kestrio {

// Why the dates of this process cannot be trusted, empty when they can: ICU's data cannot be
// loaded, or ICU's zone `zoneId` puts the instant `at` at another offset from UTC than the C
// library's local time does (a zone ICU does not know ends up on UTC). A day closed or a period
// started on the wrong day is never mended afterwards, so every program stops before it touches
// a file when this says anything.
std::string localTimeProblem(const std::string& zoneId, std::time_t at);

}  // namespace kestrio

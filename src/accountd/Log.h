#pragma once

#include <string_view>

#include "platform/SystemLog.h"

namespace kestrio::accountd {

// One line on standard error with its priority in front ("<4>…"), as the journal reads a
// service's output: `journalctl -u kestrio-accountd -p warning` shows only what went wrong.
void log(LogPriority priority, std::string_view line);

}  // namespace kestrio::accountd

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/CustomCounter.h"
#include "platform/Platform.h"

namespace kestrio {

// Runs one change of the counter list (a screen's action or a command) as one transaction under
// the documents lock, so a pass of the daemon or another window never interleaves with it.
// Answers nothing when the change is stored, otherwise the one line that tells the user why it
// is not ("the counter is no longer stored", "… could not be written").
std::optional<std::string> storeCounterChange(
    Platform& platform, const std::function<CustomCounter::StoreResult()>& change);

}  // namespace kestrio

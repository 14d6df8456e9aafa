#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/CustomCounter.h"
#include "platform/Platform.h"

namespace kestrio {

// Runs one change of the counter list (a screen's action or a command) as one transaction under
// the documents lock, so a pass of the daemon or another window never interleaves with it.
// A change that fails installs nothing; the failure's reason is the one line that tells the user
// why ("the counter is no longer stored", "… could not be written").
Stored storeCounterChange(Platform& platform, const std::function<Stored()>& change);

}  // namespace kestrio

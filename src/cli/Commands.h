#pragma once

#include <iosfwd>

#include "engine/AppData.h"
#include "platform/Platform.h"

namespace kestrio::cli {

// One pass for the cellular and then the Wi-Fi record, both under one hold of the lock so no
// other process's pass falls between them. False when the lock cannot be taken.
bool updateBothRecords(Platform& platform, AppData& cellular, AppData& wifi);

// `kestrio update`: one pass over both records.
int runUpdate(Platform& platform, std::ostream& err);
// `kestrio status`: a pass, then both records as text or as JSON.
int runStatus(Platform& platform, bool asJson, std::ostream& out, std::ostream& err);

}  // namespace kestrio::cli

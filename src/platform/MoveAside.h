#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Date.h"
#include "platform/FileSystem.h"

namespace kestrio {

// The marker in the name of a file that was moved aside because it could not be read.
inline constexpr std::string_view kUnreadableMarker = ".unreadable-";

// Moves a file that exists but cannot be read out of the way under a dated name beside it
// ("app_data_wifi.plist.unreadable-20261207T081500Z"), so the user's data is never lost
// silently. Answers the new path, or nothing when the rename failed.
std::optional<std::string> moveAside(FileSystem& files, const std::string& path, Date now);

// Names of the files of a directory that were moved aside, sorted.
std::vector<std::string> filesMovedAside(FileSystem& files, const std::string& directory);

}  // namespace kestrio

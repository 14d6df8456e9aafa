#pragma once

#include <memory>
#include <string>

#include "platform/DirectoryWatch.h"

namespace kestrio {

// Watches one directory with inotify. The directory itself is watched, not its files, so a file
// replaced by a rename (every store replaces its files so) is seen without watching it again.
// Nothing when inotify cannot watch the directory.
std::unique_ptr<DirectoryWatch> watchDirectoryWithInotify(const std::string& directory);

}  // namespace kestrio

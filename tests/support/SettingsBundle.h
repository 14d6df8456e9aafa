#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/FakePlatform.h"

namespace kestrio::testing {

// Copies the shipped settings schema into the fake's resource directory, so tests read the very
// files the application ships.
inline void putSettingsBundle(FakePlatform& platform) {
  const std::filesystem::path source =
      std::filesystem::path(KESTRIO_RESOURCES_SOURCE) / "InAppSettings.bundle";
  for (const auto& entry : std::filesystem::directory_iterator(source)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    platform.fakeFiles().put(
        platform.resources + "/InAppSettings.bundle/" + entry.path().filename().string(),
        bytes.str());
  }
}

}  // namespace kestrio::testing

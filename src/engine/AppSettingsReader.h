#pragma once

#include <string>

#include "platform/Platform.h"

namespace kestrio {

// Single values of the user-defaults store, with the defaults the alert switches rely on.
class AppSettingsReader {
 public:
  // The stored boolean; true when the store holds nothing under the key (switches start on).
  static bool getSettingsBoolValueForKey(Platform& platform, const std::string& key);
  // The stored number as a float; 0 when absent.
  static float getSettingsFloatValueForKey(Platform& platform, const std::string& key);
};

}  // namespace kestrio

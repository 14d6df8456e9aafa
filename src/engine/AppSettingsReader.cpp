#include "engine/AppSettingsReader.h"

namespace kestrio {

bool AppSettingsReader::getSettingsBoolValueForKey(Platform& platform, const std::string& key) {
  UserDefaults& store = platform.userDefaults();
  if (!store.objectForKey(key)) return true;
  return store.boolForKey(key);
}

float AppSettingsReader::getSettingsFloatValueForKey(Platform& platform, const std::string& key) {
  return static_cast<float>(platform.userDefaults().doubleForKey(key));
}

}  // namespace kestrio

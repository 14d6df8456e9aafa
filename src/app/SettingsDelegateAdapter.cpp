// The settings tab's buttons and keyed headers, answered by the application delegate.
#include "app/SettingsDelegateAdapter.h"

#include "engine/SettingsValidation.h"

namespace kestrio {
bool SettingsDelegateAdapter::buttonTappedForKey(settings::AppSettingsViewController&,
                                                 const std::string& key) {
  app_.buttonTappedForKey(key);
  return true;
}

std::optional<settings::HeaderView> SettingsDelegateAdapter::viewForHeaderForKey(
    const std::string& key) {
  return app_.viewForHeaderForKey(key);
}

float SettingsDelegateAdapter::heightForHeaderForKey(const std::string& key) {
  return static_cast<float>(app_.viewForHeaderForKey(key).height) + 10;
}

std::optional<std::string> SettingsDelegateAdapter::refusalForValue(const std::string& key,
                                                                    const PlistValue& value) {
  return refuseSetting(key, value);
}

}  // namespace kestrio

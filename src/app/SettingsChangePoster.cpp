// Every change the settings tab stores, posted on the application's notification centre.
#include "app/SettingsChangePoster.h"

namespace kestrio {

void SettingsChangePoster::settingDidChange(const std::string& key, const PlistValue& value) {
  center_.post(kAppSettingChanged, PlistValue(key), {{key, value}});
}

}  // namespace kestrio

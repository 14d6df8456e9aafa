#include "settings/DesktopSettingsStore.h"

#include "platform/Autostart.h"

namespace kestrio::settings {

DesktopSettingsStore::DesktopSettingsStore(Platform& platform)
    : SettingsStoreUserDefaults(platform.userDefaults()), platform_(platform) {}

void DesktopSettingsStore::setObject(const std::string& key, const PlistValue& value) {
  if (key != kStartWithDesktop) {
    SettingsStoreUserDefaults::setObject(key, value);
    return;
  }
  error_.clear();
  Autostart* autostart = platform_.autostart();
  if (autostart == nullptr) {
    error_ = "This desktop offers no way to start Kestrio with it.";
    return;
  }
  autostart->setEnabled(truthOf(value), error_);
}

std::optional<PlistValue> DesktopSettingsStore::objectForKey(const std::string& key) {
  if (key != kStartWithDesktop) return SettingsStoreUserDefaults::objectForKey(key);
  Autostart* autostart = platform_.autostart();
  return PlistValue(autostart != nullptr && autostart->enabled());
}

void DesktopSettingsStore::removeObjectForKey(const std::string& key) {
  if (key == kStartWithDesktop) {
    setObject(key, PlistValue(false));
  } else {
    SettingsStoreUserDefaults::removeObjectForKey(key);
  }
}

}  // namespace kestrio::settings

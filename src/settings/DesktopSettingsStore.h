#pragma once

#include <string>

#include "platform/Platform.h"
#include "settings/SettingsStore.h"

namespace kestrio::settings {

// The store of the Settings tab and of `kestrio settings`: the user defaults, except what the
// desktop itself keeps. "Start with the desktop" is the autostart entry's presence, read from
// the entry every time and changed by adding or removing it.
class DesktopSettingsStore : public SettingsStoreUserDefaults {
 public:
  explicit DesktopSettingsStore(Platform& platform);

  void setObject(const std::string& key, const PlistValue& value) override;
  std::optional<PlistValue> objectForKey(const std::string& key) override;
  void removeObjectForKey(const std::string& key) override;
  std::string lastError() const override { return error_; }

  static constexpr const char* kStartWithDesktop = "startWithDesktop";

 private:
  Platform& platform_;
  std::string error_;
};

}  // namespace kestrio::settings

#pragma once

#include <string>

#include "services/NotificationCenter.h"
#include "settings/ChangeListener.h"

namespace kestrio {

// Every change the settings tab stores, posted on the application's notification centre as
// "kAppSettingChanged": the row's key as the object, {key: new value} as user information. The
// application delegate follows the location switch through it.
class SettingsChangePoster final : public settings::ChangeListener {
 public:
  static constexpr const char* kAppSettingChanged = "kAppSettingChanged";

  explicit SettingsChangePoster(NotificationCenter& center) : center_(center) {}
  void settingDidChange(const std::string& key, const PlistValue& value) override;

 private:
  NotificationCenter& center_;
};

}  // namespace kestrio

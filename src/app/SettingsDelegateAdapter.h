#pragma once

#include <optional>
#include <string>

#include "app/KestrioAppDelegate.h"
#include "settings/SettingsDelegate.h"

namespace kestrio {

// The settings tab's buttons and keyed headers, answered by the application delegate: a button
// row runs the delegate's action for its key, a keyed group gets the delegate's header, 10 points
// taller than its label.
class SettingsDelegateAdapter final : public settings::SettingsDelegate {
 public:
  explicit SettingsDelegateAdapter(KestrioAppDelegate& app) : app_(app) {}

  bool buttonTappedForKey(settings::AppSettingsViewController&, const std::string& key) override;
  std::optional<settings::HeaderView> viewForHeaderForKey(const std::string& key) override;
  float heightForHeaderForKey(const std::string& key) override;
  // The rules the command line's `settings set` also keeps: a plan the pass can follow.
  std::optional<std::string> refusalForValue(const std::string& key,
                                             const PlistValue& value) override;

 private:
  KestrioAppDelegate& app_;
};

}  // namespace kestrio

#pragma once

#include <optional>
#include <string>

#include "app/KestrioAppDelegate.h"

namespace kestrio::settings {

class AppSettingsViewController;

// What the settings tab asks of the application. Each operation answers "not offered"
// (false, nothing) unless the delegate implements it; the screens then fall back to their own
// behaviour.
class SettingsDelegate {
 public:
  virtual ~SettingsDelegate() = default;

  // A button row was chosen; false when the delegate does not handle buttons.
  virtual bool buttonTappedForKey(AppSettingsViewController&, const std::string&) { return false; }
  // The header of a section whose group has a key.
  virtual std::optional<SettingsSectionHeader> viewForHeaderForKey(const std::string&) {
    return std::nullopt;
  }
  virtual float heightForHeaderForKey(const std::string&) { return 0; }
  // The body of a mail row's message, instead of the row's own.
  virtual std::optional<std::string> mailComposeBody() { return std::nullopt; }
  // The settings screen was closed with Done.
  virtual void settingsViewControllerDidEnd(AppSettingsViewController&) {}
};

// The application delegate as the settings tab's delegate: its buttons and headers.
class KestrioSettingsDelegate : public SettingsDelegate {
 public:
  explicit KestrioSettingsDelegate(KestrioAppDelegate& app) : app_(app) {}
  bool buttonTappedForKey(AppSettingsViewController&, const std::string& key) override {
    app_.buttonTappedForKey(key);
    return true;
  }
  std::optional<SettingsSectionHeader> viewForHeaderForKey(const std::string& key) override {
    return app_.viewForHeaderForKey(key);
  }
  float heightForHeaderForKey(const std::string& key) override {
    return static_cast<float>(app_.viewForHeaderForKey(key).height) + 10;
  }

 private:
  KestrioAppDelegate& app_;
};

}  // namespace kestrio::settings

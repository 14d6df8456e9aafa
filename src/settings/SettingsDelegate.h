#pragma once

#include <optional>
#include <string>

#include "platform/PlistValue.h"
#include "services/Rgba.h"

namespace kestrio::settings {

// What the settings tab asks of the application that hosts it: the button rows, the headers of
// keyed groups, the body of a mail row, the end of the screen. The application answers through
// an adapter of its own; this engine knows nothing of it.

class AppSettingsViewController;

// The header drawn over a section whose group has a key: one label on a plain background.
struct HeaderView {
  std::string title;
  Rgba textColor;
  Rgba backgroundColor;
  float fontSize = 14;  // the system font
  int x = 15;
  int y = 5;
  int width = 320;
  int height = 20;
};

// Each operation answers "not offered" (false, nothing) unless the delegate implements it; the
// screens then fall back to their own behaviour.
class SettingsDelegate {
 public:
  virtual ~SettingsDelegate() = default;

  // A button row was chosen; false when the delegate does not handle buttons.
  virtual bool buttonTappedForKey(AppSettingsViewController&, const std::string&) { return false; }
  // The header of a section whose group has a key.
  virtual std::optional<HeaderView> viewForHeaderForKey(const std::string&) { return std::nullopt; }
  virtual float heightForHeaderForKey(const std::string&) { return 0; }
  // The body of a mail row's message, instead of the row's own.
  virtual std::optional<std::string> mailComposeBody() { return std::nullopt; }
  // The settings screen was closed with Done.
  virtual void settingsViewControllerDidEnd(AppSettingsViewController&) {}
  // Why the application cannot take `value` for `key` (one line naming what it accepts), so the
  // screen does not store it; nothing when it can.
  virtual std::optional<std::string> refusalForValue(const std::string&, const PlistValue&) {
    return std::nullopt;
  }
};

}  // namespace kestrio::settings

#pragma once

#include <string>

#include "platform/Platform.h"
#include "services/Rgba.h"

namespace kestrio {

// The named colours of the application. The progress colours follow the gauges' stored colour
// letters, so they read the user-defaults store on every call.
class KestrioColors {
 public:
  static Rgba progressColor1();  // green, "G"
  static Rgba progressColor2();  // yellow, "Y"
  static Rgba progressColor3();  // red, "R"
  static Rgba appTintColor();
  static Rgba appBlockBackgroundColor();
  static Rgba appBackgroundColor();
  static Rgba appSubheaderColor();
  static Rgba cellularProgressColor(Platform& platform);
  static Rgba wifiProgressColor(Platform& platform);
  static Rgba appNavBarColor();
  static Rgba appForegroundColor();
  static Rgba progressBarBackgroundColor();
  static Rgba tableSeperatorColor();
  static Rgba tableCellBackgroundColor();
  static Rgba settingsTableCellBackgroundColor();
  static Rgba tableCellForegroundColor();
  static Rgba tableCellDetailForegroundColor();
  // The colour of a letter: "Y" yellow, "R" red, anything else green.
  static Rgba progressColorForLetter(const std::string& letter);
};

// Fixed style values every screen uses.
struct KestrioTheme {
  static constexpr int appStatusBarStyle = 2;  // opaque black
  static constexpr bool appPrefersStatusBarHidden = true;
  static constexpr int appBarStyle = 1;  // black
  static constexpr float navBarTitleFontSize = 24;
  static Rgba navBarTitleColor() { return KestrioColors::appForegroundColor(); }
};

}  // namespace kestrio

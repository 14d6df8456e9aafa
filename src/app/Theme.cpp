#include "app/Theme.h"

namespace kestrio {

namespace {

// The colour of the letter a gauge stored under the key; green when none or an unknown one is
// stored, so a damaged store never leaves the application untinted.
Rgba colorForStoredLetter(Platform& platform, const char* key) {
  const auto letter = platform.userDefaults().stringForKey(key);
  return KestrioColors::progressColorForLetter(letter.value_or("G"));
}

}  // namespace

Rgba KestrioColors::progressColor1() {
  return {0.243137255f, 0.949019611f, 0.549019635f, 1};
}

Rgba KestrioColors::progressColor2() {
  return {1, 0.890196085f, 0.278431386f, 1};
}

Rgba KestrioColors::progressColor3() {
  return {0.905882359f, 0.243137255f, 0.243137255f, 1};
}

// Light enough to read as text on the lighter (block) background, 4.7:1.
Rgba KestrioColors::appTintColor() {
  return {0.470588237f, 0.784313738f, 0.894117653f, 1};
}

Rgba KestrioColors::appBlockBackgroundColor() {
  return {0.266666681f, 0.294117659f, 0.321568638f, 1};
}

Rgba KestrioColors::appBackgroundColor() {
  return {0.196078435f, 0.215686277f, 0.235294119f, 1};
}

// Secondary text: still 5:1 on the lighter (block) background.
Rgba KestrioColors::appSubheaderColor() {
  return {0.752941191f, 0.760784328f, 0.772549033f, 1};
}

Rgba KestrioColors::cellularProgressColor(Platform& platform) {
  return colorForStoredLetter(platform, "currentProgBarColor");
}

Rgba KestrioColors::wifiProgressColor(Platform& platform) {
  return colorForStoredLetter(platform, "currentProgBarColorWiFi");
}

// Dark enough for the bar's white title to read at 6:1.
Rgba KestrioColors::appNavBarColor() {
  return {0.125490203f, 0.415686280f, 0.533333361f, 1};
}

Rgba KestrioColors::appForegroundColor() {
  return {1, 1, 1, 1};
}

Rgba KestrioColors::progressBarBackgroundColor() {
  return {0.5f, 0.5f, 0.5f, 1};
}

Rgba KestrioColors::tableSeperatorColor() {
  return appBackgroundColor();
}

Rgba KestrioColors::tableCellBackgroundColor() {
  return appBlockBackgroundColor();
}

// Older platforms drew settings cells a shade darker; every platform we run on is current.
Rgba KestrioColors::settingsTableCellBackgroundColor() {
  return appBlockBackgroundColor();
}

Rgba KestrioColors::tableCellForegroundColor() {
  return appSubheaderColor();
}

Rgba KestrioColors::tableCellDetailForegroundColor() {
  return appSubheaderColor();
}

Rgba KestrioColors::progressColorForLetter(const std::string& letter) {
  if (letter == "Y") return progressColor2();
  if (letter == "R") return progressColor3();
  return progressColor1();
}

}  // namespace kestrio

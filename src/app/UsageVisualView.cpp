#include "app/UsageVisualView.h"

#include "engine/AppSettings.h"

namespace kestrio {

std::string UsageVisualView::colourLetter(float c, float i, const std::string& progressYellow,
                                          const std::string& progressRed) {
  bool yellow = false;
  if (progressYellow == "AVG") {
    yellow = c > i;
  } else if (progressYellow == "USE80") {
    yellow = c > 80;
  } else if (progressYellow == "USE90") {
    yellow = c > 90;
  }
  bool red = false;
  if (progressRed == "USE95") {
    red = c > 95;
  } else if (progressRed == "USE100") {
    red = c > 100;
  }
  if (red) return "R";
  return yellow ? "Y" : "G";
}

Rgba UsageVisualView::prepareDrawing(Platform& platform, NotificationCenter& center,
                                     const UsageGauge& gauge) {
  AppSettings settings(platform);
  settings.getSettings();

  UserDefaults& store = platform.userDefaults();
  const char* key = gauge.dataType == 2 ? kWifiColorKey : kCellularColorKey;
  const std::optional<std::string> previous = store.stringForKey(key);

  const std::string letter =
      colourLetter(gauge.currentUsagePercent, gauge.idealUsagePercent,
                   settings.progressYellow().value_or(""), settings.progressRed().value_or(""));

  if (!previous || *previous != letter) {
    // Written at once: the window's tint, and the next process, read the letter from the store.
    // A letter that stays is not written again: every paint would otherwise replace the store,
    // and a window following the store's changes would redraw for its own paints.
    store.setString(key, letter);
    store.synchronize();
    center.post(kProgressBarMileStoneNotification, {{"dataType", gauge.dataType}});
  }
  return KestrioColors::progressColorForLetter(letter);
}

}  // namespace kestrio

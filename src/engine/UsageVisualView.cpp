#include "engine/UsageVisualView.h"

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

std::string UsageVisualView::colourLetter(const UsageGauge& gauge, const AppSettings& settings) {
  return colourLetter(gauge.currentUsagePercent, gauge.idealUsagePercent,
                      settings.progressYellow().value_or(""), settings.progressRed().value_or(""));
}

std::string UsageVisualView::settleBand(Platform& platform, NotificationCenter& center,
                                        const AppSettings& settings, const UsageGauge& gauge) {
  UserDefaults& store = platform.userDefaults();
  const char* key = gauge.dataType == 2 ? kWifiColorKey : kCellularColorKey;
  const std::optional<std::string> previous = store.stringForKey(key);
  const std::string letter = colourLetter(gauge, settings);
  if (!previous || *previous != letter) {
    // A letter that stays is not written again: a window following the store's changes would
    // otherwise redraw for every refresh.
    store.setString(key, letter);
    store.synchronize();
    center.post(kProgressBarMileStoneNotification, {{"dataType", gauge.dataType}});
  }
  return letter;
}

}  // namespace kestrio

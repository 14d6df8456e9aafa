#pragma once

#include <string>

#include "engine/AppSettings.h"
#include "platform/Platform.h"
#include "services/NotificationCenter.h"

namespace kestrio {

// What the usage gauge of a network draws: the period's usage and the ideal usage by now, as
// percentages of the quota, the usage text, and the colour band's letter.
struct UsageGauge {
  float currentUsagePercent = 0;
  float idealUsagePercent = 0;
  std::string usageText;
  std::string diffText;
  int dataType = 1;  // 1 cellular, 2 Wi-Fi
  bool hidden = false;
  // "G", "Y" or "R": decided with the figures, so drawing the gauge needs nothing else.
  std::string colourLetter = "G";
};

// The colour rules of the usage gauge, apart from its drawing: the colour band chosen by the
// user's thresholds, the letter each gauge remembers ("currentProgBarColor",
// "currentProgBarColorWiFi"), and the milestone announced when the band changes.
class UsageVisualView {
 public:
  static constexpr const char* kCellularColorKey = "currentProgBarColor";
  static constexpr const char* kWifiColorKey = "currentProgBarColorWiFi";

  // "G", "Y" or "R" for usage c and ideal usage i (percent of the quota).
  static std::string colourLetter(float c, float i, const std::string& progressYellow,
                                  const std::string& progressRed);
  // The letter of a gauge under the thresholds of `settings`.
  static std::string colourLetter(const UsageGauge& gauge, const AppSettings& settings);
  // Keeps the gauge's band: stores its letter when it is new or differs from the stored one, and
  // then posts kProgressBarMileStoneNotification with the gauge's data type, so the window's
  // tint and the next process see it. A refresh or a user's change calls it inside its
  // transaction; drawing never does. Answers the letter.
  static std::string settleBand(Platform& platform, NotificationCenter& center,
                                const AppSettings& settings, const UsageGauge& gauge);
};

}  // namespace kestrio

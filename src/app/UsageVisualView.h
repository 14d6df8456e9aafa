#pragma once

#include <string>

#include "app/MainViewController.h"
#include "app/NotificationCenter.h"
#include "app/Theme.h"

namespace kestrio {

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
  // What a drawing of the gauge does before it paints: reloads the settings, chooses the
  // colour, stores the letter at once, and posts kProgressBarMileStoneNotification with the
  // gauge's data type when the letter is new or differs from the stored one. Answers the colour.
  static Rgba prepareDrawing(Platform& platform, NotificationCenter& center,
                             const UsageGauge& gauge);
};

}  // namespace kestrio

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/AppData.h"
#include "engine/AppSettings.h"
#include "platform/Platform.h"

namespace kestrio {

// The usage alerts of a pass: the notice that a network's billing period started again, and one
// alert per threshold the user switched on as the quota runs down, each given once per period
// (its marker in the settings store, "Cellular" or "WiFi" followed by the level's key, says it
// was). Less than one whole display unit of quota is no usable limit: no notice, no alerts.
class UsageAlerts {
 public:
  // Threshold levels, most severe first, with the remaining share (percent) at which each fires.
  struct Level {
    const char* key;
    float threshold;
  };
  static const std::vector<Level>& levels();

  static constexpr const char* kCellular = "Cellular";
  static constexpr const char* kWifi = "WiFi";

  UsageAlerts(Platform& platform, const AppSettings& settings);

  // Checks one network after its pass. `badge` takes the used, remaining or projected share
  // when the badge setting names one of this network's, and loses it without a usable limit.
  void checkNetwork(const AppData& record, bool cellular, std::optional<float>& badge);

  // Schedules the alert of one level when the remaining share has fallen to its threshold and
  // its marker says it was not given in this period (`newPeriod` clears the marker first).
  // Answers whether the level was reached, given now or before.
  bool sendLocalNotificationForNotificationKey(const std::string& key, float defaultValue,
                                               float percentRemain, const std::string& type,
                                               bool newPeriod);
  // Clears every level's marker of a network ("Cellular" or "WiFi"), so its alerts are given
  // again.
  static void resetNotificationKeys(Platform& platform, const std::string& type);
  // After the user set the period's usage by hand: gives again the alerts of the levels the
  // record's usage no longer reaches, and keeps the markers of those it still reaches, so a
  // correction announces nothing the user was already told. Without a usable limit every level
  // is given again.
  void rearmLevelsAboveUsage(const AppData& record, bool cellular);

 private:
  Platform& platform_;
  const AppSettings& settings_;
};

}  // namespace kestrio

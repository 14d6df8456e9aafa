#pragma once

#include <string>

#include "platform/Platform.h"

namespace kestrio {

// The modem's roaming, as the passes see it. A stay abroad is told once: the pass that first finds
// the modem roaming shows a notification naming the operator and marks the stay in the settings
// store ("roamingStay"); the pass that finds it at home again ends the stay, so the next one is
// told again. A modem ModemManager does not report (stopped, unplugged) changes nothing, as
// ModemManager restarting in the middle of a stay is not a new one.
class RoamingNotice {
 public:
  static constexpr const char* kStayKey = "roamingStay";

  // Whether the previous pass found the modem roaming: the traffic since then was roaming
  // traffic.
  static bool roamedSincePreviousPass(Platform& platform);
  // Settles the stay after a pass's look at the modem, telling the user when one begins.
  static void settle(Platform& platform, const ModemState& modem);
  // The notification's text for the operator.
  static std::string text(const std::string& operatorName);
};

}  // namespace kestrio

#include "engine/RoamingNotice.h"

#include "services/Communications.h"

namespace kestrio {

bool RoamingNotice::roamedSincePreviousPass(Platform& platform) {
  return platform.userDefaults().boolForKey(kStayKey);
}

void RoamingNotice::settle(Platform& platform, const ModemState& modem) {
  if (!modem.known) return;
  UserDefaults& defaults = platform.userDefaults();
  const bool inStay = defaults.boolForKey(kStayKey);
  if (modem.roaming == inStay) return;
  if (modem.roaming)
    Communications::sendLocalNotificationNowWithAlertBody(platform, text(modem.operatorName),
                                                          "View");
  defaults.setBool(kStayKey, modem.roaming);
  defaults.synchronize();
}

std::string RoamingNotice::text(const std::string& operatorName) {
  const std::string where = operatorName.empty() ? "another operator's network" : operatorName;
  return "Roaming on " + where + ": data counts toward your plan";
}

}  // namespace kestrio

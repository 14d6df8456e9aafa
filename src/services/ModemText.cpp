#include "services/ModemText.h"

namespace kestrio {

std::string modemDescription(const ModemState& modem) {
  if (!modem.known) return {};
  std::string text = modem.operatorName.empty() ? "no operator" : modem.operatorName;
  if (!modem.accessTechnology.empty()) text += ", " + modem.accessTechnology;
  if (modem.roaming) text += ", roaming";
  return text;
}

}  // namespace kestrio

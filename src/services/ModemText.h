#pragma once

#include <string>

#include "platform/ModemManager.h"

namespace kestrio {

// The modem as one line for the status and the cellular screen: "Vodafone DE, LTE, roaming".
// Parts ModemManager did not tell are left out; empty for a modem it does not report.
std::string modemDescription(const ModemState& modem);

}  // namespace kestrio

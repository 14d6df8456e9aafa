#pragma once

#include <cstdint>
#include <string>

struct sd_bus;

namespace kestrio {

namespace systemd {
struct Functions;
}

// What ModemManager tells of the mobile broadband modem: the operator it is registered with, the
// radio technology in use, and whether it is roaming. Not `known` where ModemManager does not run
// or no modem is there.
struct ModemState {
  bool known = false;
  std::string operatorName;
  std::string accessTechnology;  // "LTE", "5G", "HSPA+"…; empty when unknown
  bool roaming = false;

  bool operator==(const ModemState&) const = default;
};

// The name of the best technology in ModemManager's access-technology flags; empty for none.
std::string accessTechnologyName(std::uint32_t flags);
// Whether a 3GPP registration state of ModemManager's is a roaming one.
bool registrationIsRoaming(std::uint32_t state);

// Reads the first modem ModemManager manages over `bus`; not `known` when ModemManager does not
// run (it is never started for the question) or manages no modem.
ModemState readModemManager(const systemd::Functions& sd, sd_bus* bus);

}  // namespace kestrio

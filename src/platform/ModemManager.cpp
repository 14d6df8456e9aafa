#include "platform/ModemManager.h"

#include <string>
#include <vector>

#include "platform/Systemd.h"

namespace kestrio {

namespace {

constexpr const char* kService = "org.freedesktop.ModemManager1";
constexpr const char* kManagerPath = "/org/freedesktop/ModemManager1";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kModemInterface = "org.freedesktop.ModemManager1.Modem";
constexpr const char* k3gppInterface = "org.freedesktop.ModemManager1.Modem.Modem3gpp";
// A pass must not hang on a ModemManager that does not answer.
constexpr std::uint64_t kCallTimeoutMicroseconds = 2'000'000;

// ModemManager's MMModemAccessTechnology flags, best first, each with the name people know.
struct Technology {
  std::uint32_t flags;
  const char* name;
};
constexpr Technology kTechnologies[] = {
    {1u << 15, "5G"},                             // 5GNR
    {1u << 14, "LTE"},                            // LTE
    {1u << 16, "LTE-M"},                          // LTE_CAT_M
    {1u << 17, "NB-IoT"},                         // LTE_NB_IOT
    {1u << 9, "HSPA+"},                           // HSPA_PLUS
    {(1u << 6) | (1u << 7) | (1u << 8), "HSPA"},  // HSDPA, HSUPA, HSPA
    {1u << 5, "UMTS"},                            // UMTS
    {(1u << 11) | (1u << 12) | (1u << 13), "EV-DO"},
    {1u << 10, "CDMA"},              // 1XRTT
    {1u << 4, "EDGE"},               // EDGE
    {1u << 3, "GPRS"},               // GPRS
    {(1u << 1) | (1u << 2), "GSM"},  // GSM, GSM_COMPACT
};

// The object paths of the modems ModemManager manages.
bool modems(const systemd::Functions& sd, sd_bus* bus, std::vector<std::string>& out,
            sd_bus_error& error) {
  sd_bus_message* reply = nullptr;
  int r = sd.sd_bus_call_method(bus, kService, kManagerPath, kObjectManager, "GetManagedObjects",
                                &error, &reply, "");
  if (r >= 0) r = sd.sd_bus_message_enter_container(reply, 'a', "{oa{sa{sv}}}");
  while (r >= 0) {
    r = sd.sd_bus_message_enter_container(reply, 'e', "oa{sa{sv}}");
    if (r <= 0) break;
    const char* path = nullptr;
    r = sd.sd_bus_message_read(reply, "o", &path);
    if (r >= 0 && path != nullptr) out.emplace_back(path);
    if (r >= 0) r = sd.sd_bus_message_skip(reply, "a{sa{sv}}");
    if (r >= 0) r = sd.sd_bus_message_exit_container(reply);
  }
  if (r >= 0) r = sd.sd_bus_message_exit_container(reply);
  sd.sd_bus_message_unref(reply);
  return r >= 0;
}

}  // namespace

std::string accessTechnologyName(std::uint32_t flags) {
  for (const Technology& t : kTechnologies) {
    if ((flags & t.flags) != 0) return t.name;
  }
  return {};
}

bool registrationIsRoaming(std::uint32_t state) {
  // ROAMING, ROAMING_SMS_ONLY, ROAMING_CSFB_NOT_PREFERRED
  return state == 5 || state == 7 || state == 10;
}

ModemState readModemManager(const systemd::Functions& sd, sd_bus* bus) {
  ModemState state;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  // Asked of the bus first: a call to ModemManager itself would start it where it is installed
  // but not running.
  int running = 0;
  int r =
      sd.sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                            "org.freedesktop.DBus", "NameHasOwner", &error, &reply, "s", kService);
  if (r >= 0) r = sd.sd_bus_message_read(reply, "b", &running);
  sd.sd_bus_message_unref(reply);
  reply = nullptr;
  sd.sd_bus_error_free(&error);
  std::vector<std::string> paths;
  if (r < 0 || !running || !modems(sd, bus, paths, error) || paths.empty()) {
    sd.sd_bus_error_free(&error);
    return state;
  }
  const char* modem = paths.front().c_str();
  state.known = true;
  std::uint32_t technologies = 0;
  std::uint32_t registration = 0;
  sd.sd_bus_error_free(&error);
  if (sd.sd_bus_get_property_trivial(bus, kService, modem, kModemInterface, "AccessTechnologies",
                                     &error, 'u', &technologies) >= 0) {
    state.accessTechnology = accessTechnologyName(technologies);
  }
  sd.sd_bus_error_free(&error);
  if (sd.sd_bus_get_property_trivial(bus, kService, modem, k3gppInterface, "RegistrationState",
                                     &error, 'u', &registration) >= 0) {
    state.roaming = registrationIsRoaming(registration);
  }
  sd.sd_bus_error_free(&error);
  const char* name = nullptr;
  if (sd.sd_bus_get_property(bus, kService, modem, k3gppInterface, "OperatorName", &error, &reply,
                             "s") >= 0 &&
      sd.sd_bus_message_read(reply, "s", &name) >= 0 && name != nullptr) {
    state.operatorName = name;
  }
  sd.sd_bus_message_unref(reply);
  sd.sd_bus_error_free(&error);
  return state;
}

}  // namespace kestrio

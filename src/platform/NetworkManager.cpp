#include "platform/NetworkManager.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/ModemManager.h"
#include "platform/Systemd.h"

namespace kestrio {

namespace {

constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kManagerPath = "/org/freedesktop/NetworkManager";
constexpr const char* kManagerInterface = "org.freedesktop.NetworkManager";
constexpr const char* kDeviceInterface = "org.freedesktop.NetworkManager.Device";
constexpr const char* kActiveInterface = "org.freedesktop.NetworkManager.Connection.Active";
// A pass must not hang on a NetworkManager that does not answer.
constexpr std::uint64_t kCallTimeoutMicroseconds = 2'000'000;

// NetworkManager's NMMetered values that mean metered: set by the user, or guessed.
constexpr std::uint32_t kMeteredYes = 1;
constexpr std::uint32_t kMeteredGuessYes = 3;
// NetworkManager's NMDeviceType of a mobile-broadband modem.
constexpr std::uint32_t kDeviceTypeModem = 8;

// Reads and frees the answers of one bus.
class Reader {
 public:
  Reader(const systemd::Functions& sd, sd_bus* bus) : sd_(sd), bus_(bus) {}

  // A string or object path property; false when it cannot be read.
  bool text(const char* path, const char* interface, const char* member, char type,
            std::string& out) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const char signature[2] = {type, '\0'};
    int r =
        sd_.sd_bus_get_property(bus_, kService, path, interface, member, &error, &reply, signature);
    const char* value = nullptr;
    if (r >= 0) r = sd_.sd_bus_message_read(reply, signature, &value);
    if (r >= 0 && value != nullptr) out = value;
    note(r, error);
    sd_.sd_bus_message_unref(reply);
    return r >= 0;
  }

  bool number(const char* path, const char* interface, const char* member, std::uint32_t& out) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r =
        sd_.sd_bus_get_property_trivial(bus_, kService, path, interface, member, &error, 'u', &out);
    note(r, error);
    return r >= 0;
  }

  // The object paths of NetworkManager's devices; false when it does not answer.
  bool devices(std::vector<std::string>& out) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int r = sd_.sd_bus_call_method(bus_, kService, kManagerPath, kManagerInterface, "GetDevices",
                                   &error, &reply, "");
    if (r >= 0) r = sd_.sd_bus_message_enter_container(reply, 'a', "o");
    while (r >= 0) {
      const char* path = nullptr;
      r = sd_.sd_bus_message_read(reply, "o", &path);
      if (r <= 0) break;
      out.emplace_back(path);
    }
    if (r >= 0) r = sd_.sd_bus_message_exit_container(reply);
    note(r, error);
    sd_.sd_bus_message_unref(reply);
    return r >= 0;
  }

  const std::string& failure() const { return failure_; }

 private:
  void note(int r, sd_bus_error& error) {
    if (r < 0 && failure_.empty()) {
      failure_ = error.message != nullptr ? error.message : std::strerror(-r);
    }
    sd_.sd_bus_error_free(&error);
  }

  const systemd::Functions& sd_;
  sd_bus* bus_;
  std::string failure_;
};

}  // namespace

ConnectionSnapshot readNetworkManagerConnections(std::string* why) {
  ConnectionSnapshot snapshot;
  const systemd::Functions* sd = systemd::load();
  if (sd == nullptr) {
    if (why) *why = "libsystemd cannot be loaded";
    return snapshot;
  }
  sd_bus* bus = nullptr;
  if (const int r = sd->sd_bus_open_system(&bus); r < 0) {
    if (why) *why = std::string("no system bus: ") + std::strerror(-r);
    return snapshot;
  }
  sd->sd_bus_set_method_call_timeout(bus, kCallTimeoutMicroseconds);
  Reader read(*sd, bus);
  std::vector<std::string> devices;
  std::vector<std::size_t> onModems;  // the connections of modems, by their place in the list
  if (read.devices(devices)) {
    snapshot.known = true;
    for (const std::string& device : devices) {
      std::string active;
      if (!read.text(device.c_str(), kDeviceInterface, "ActiveConnection", 'o', active) ||
          active.empty() || active == "/") {
        continue;
      }
      ActiveConnection connection;
      std::uint32_t metered = 0;
      read.text(device.c_str(), kDeviceInterface, "IpInterface", 's', connection.interface);
      if (connection.interface.empty()) {
        read.text(device.c_str(), kDeviceInterface, "Interface", 's', connection.interface);
      }
      read.number(device.c_str(), kDeviceInterface, "Metered", metered);
      connection.metered = metered == kMeteredYes || metered == kMeteredGuessYes;
      read.text(active.c_str(), kActiveInterface, "Uuid", 's', connection.uuid);
      read.text(active.c_str(), kActiveInterface, "Id", 's', connection.name);
      if (connection.interface.empty()) continue;
      std::uint32_t type = 0;
      if (read.number(device.c_str(), kDeviceInterface, "DeviceType", type) &&
          type == kDeviceTypeModem) {
        onModems.push_back(snapshot.connections.size());
      }
      snapshot.connections.push_back(std::move(connection));
    }
  } else if (why) {
    *why = "NetworkManager does not answer: " + read.failure();
  }
  snapshot.modem = readModemManager(*sd, bus);
  // A modem's connection is named after the operator it is on ("Vodafone DE"), which the user
  // knows, rather than NetworkManager's name for the settings ("GSM connection").
  if (snapshot.modem.known && !snapshot.modem.operatorName.empty()) {
    for (const std::size_t at : onModems) {
      snapshot.connections[at].name = snapshot.modem.operatorName;
    }
  }
  sd->sd_bus_flush_close_unref(bus);
  return snapshot;
}

}  // namespace kestrio

#include "platform/NetworkManagerWatch.h"

#include <cstring>
#include <utility>
#include <vector>

#include "platform/Systemd.h"

namespace kestrio {

namespace {

// The signals that may change what a pass decides by; the bus daemon filters them, so other
// services' and these services' other changes (Wi-Fi scans, signal strength, statistics) never
// wake the process.
constexpr const char* kMatches[] = {
    // A device's properties (its state, active connection, metered value, interface), sent by
    // NetworkManager itself.
    "type='signal',sender='org.freedesktop.NetworkManager',"
    "interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',"
    "arg0='org.freedesktop.NetworkManager.Device'",
    // NetworkManager starting, stopping or restarting.
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
    "arg0='org.freedesktop.NetworkManager'",
    // A modem's registration (home or roaming) and operator.
    "type='signal',sender='org.freedesktop.ModemManager1',"
    "interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',"
    "arg0='org.freedesktop.ModemManager1.Modem.Modem3gpp'",
    // A modem plugged in or out.
    "type='signal',sender='org.freedesktop.ModemManager1',"
    "interface='org.freedesktop.DBus.ObjectManager'",
    // ModemManager starting or stopping.
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
    "arg0='org.freedesktop.ModemManager1'",
};

}  // namespace

struct NetworkManagerWatch::Bus {
  const systemd::Functions* sd = nullptr;
  sd_bus* bus = nullptr;
  std::vector<sd_bus_slot*> slots;
  int fd = -1;

  ~Bus() {
    if (sd == nullptr) return;
    for (sd_bus_slot* slot : slots) sd->sd_bus_slot_unref(slot);
    if (bus != nullptr) sd->sd_bus_flush_close_unref(bus);
  }
};

NetworkManagerWatch::NetworkManagerWatch(EventLoop& loop, Reader read,
                                         std::function<void()> changed,
                                         std::function<void(const std::string&)> lost)
    : loop_(loop),
      read_(std::move(read)),
      changed_(std::move(changed)),
      lost_(std::move(lost)),
      bus_(std::make_unique<Bus>()) {}

NetworkManagerWatch::~NetworkManagerWatch() {
  if (bus_->fd >= 0) loop_.remove(bus_->fd);
}

std::unique_ptr<NetworkManagerWatch> NetworkManagerWatch::open(
    EventLoop& loop, Reader read, std::function<void()> changed,
    std::function<void(const std::string&)> lost, std::string* why) {
  std::unique_ptr<NetworkManagerWatch> watch(
      new NetworkManagerWatch(loop, std::move(read), std::move(changed), std::move(lost)));
  Bus& b = *watch->bus_;
  b.sd = systemd::load();
  if (b.sd == nullptr) {
    if (why) *why = "libsystemd cannot be loaded";
    return nullptr;
  }
  int r = b.sd->sd_bus_open_system(&b.bus);
  auto signalled = [](sd_bus_message*, void* self, sd_bus_error*) {
    static_cast<NetworkManagerWatch*>(self)->signalled_ = true;
    return 0;
  };
  for (const char* match : kMatches) {
    if (r < 0) break;
    sd_bus_slot* slot = nullptr;
    r = b.sd->sd_bus_add_match(b.bus, &slot, match, signalled, watch.get());
    if (r >= 0) b.slots.push_back(slot);
  }
  if (r >= 0) r = b.fd = b.sd->sd_bus_get_fd(b.bus);
  if (r < 0) {
    if (why) *why = std::string("the system bus cannot be watched: ") + std::strerror(-r);
    return nullptr;
  }
  NetworkManagerWatch* self = watch.get();
  if (!loop.add(b.fd, [self] { self->serve(); })) {
    b.fd = -1;
    if (why) *why = "the system bus cannot be watched";
    return nullptr;
  }
  // Read after the matches are in place, so a change between the two is not missed.
  watch->last_ = watch->read_();
  return watch;
}

void NetworkManagerWatch::serve() {
  Bus& b = *bus_;
  int r = 0;
  // Every message that arrived is handled before the connections are read once for all of them.
  while ((r = b.sd->sd_bus_process(b.bus, nullptr)) > 0) {
  }
  if (r < 0) {
    loop_.remove(b.fd);
    b.fd = -1;
    if (lost_) lost_(std::string("the system bus closed: ") + std::strerror(-r));
  }
  if (!std::exchange(signalled_, false)) return;
  ConnectionSnapshot now = read_();
  if (now == last_) return;
  last_ = std::move(now);
  if (changed_) changed_();
}

}  // namespace kestrio

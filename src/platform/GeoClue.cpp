#include "platform/GeoClue.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace kestrio {

namespace {

constexpr const char* kService = "org.freedesktop.GeoClue2";
constexpr const char* kManagerPath = "/org/freedesktop/GeoClue2/Manager";
constexpr const char* kManagerInterface = "org.freedesktop.GeoClue2.Manager";
constexpr const char* kClientInterface = "org.freedesktop.GeoClue2.Client";
constexpr const char* kLocationInterface = "org.freedesktop.GeoClue2.Location";
// A location service that does not answer within this time is taken as absent: a pass must not
// hang on it.
constexpr std::uint64_t kCallTimeoutMicroseconds = 5'000'000;

std::string reason(int result, const sd_bus_error& error) {
  if (error.name != nullptr && error.message != nullptr) return error.message;
  return std::strerror(-result);
}

bool refusal(const systemd::Functions& sd, const sd_bus_error& error) {
  return sd.sd_bus_error_has_name(&error, SD_BUS_ERROR_ACCESS_DENIED) ||
         sd.sd_bus_error_has_name(&error, "org.freedesktop.DBus.Error.AuthFailed");
}

// The system bus with a bounded wait for answers; nothing, with `why` set, without one.
sd_bus* openSystemBus(const systemd::Functions* sd, std::string* why) {
  if (sd == nullptr) {
    if (why) *why = "no system bus: libsystemd cannot be loaded";
    return nullptr;
  }
  sd_bus* bus = nullptr;
  const int r = sd->sd_bus_open_system(&bus);
  if (r < 0) {
    if (why) *why = std::string("no system bus: ") + std::strerror(-r);
    return nullptr;
  }
  sd->sd_bus_set_method_call_timeout(bus, kCallTimeoutMicroseconds);
  return bus;
}

}  // namespace

bool geoClueAvailable(std::string* why) {
  const systemd::Functions* sd = systemd::load();
  sd_bus* bus = openSystemBus(sd, why);
  if (!bus) return false;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  std::uint32_t level = 0;
  const int r = sd->sd_bus_get_property_trivial(bus, kService, kManagerPath, kManagerInterface,
                                                "AvailableAccuracyLevel", &error, 'u', &level);
  bool available = r >= 0 && level > 0;
  if (why) {
    if (r < 0) {
      *why = "no location service (GeoClue): " + reason(r, error);
    } else if (level == 0) {
      *why = "location services are turned off";
    }
  }
  sd->sd_bus_error_free(&error);
  sd->sd_bus_flush_close_unref(bus);
  return available;
}

GeoClueLocationManager::GeoClueLocationManager(std::string desktopId,
                                               LocationManagerDelegate& delegate, EventLoop& loop,
                                               Logger log, std::function<void()> refused)
    : desktopId_(std::move(desktopId)),
      delegate_(delegate),
      loop_(loop),
      log_(std::move(log)),
      refused_(std::move(refused)) {}

GeoClueLocationManager::~GeoClueLocationManager() {
  close();
}

void GeoClueLocationManager::fail(const std::string& why) {
  close();
  delegate_.didFailWithError(*this, why);
}

bool GeoClueLocationManager::makeClient() {
  std::string why;
  sd_ = systemd::load();
  bus_ = openSystemBus(sd_, &why);
  if (!bus_) {
    delegate_.didFailWithError(*this, why);
    return false;
  }
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int r = sd_->sd_bus_call_method(bus_, kService, kManagerPath, kManagerInterface, "GetClient",
                                  &error, &reply, "");
  const char* path = nullptr;
  if (r >= 0) r = sd_->sd_bus_message_read(reply, "o", &path);
  if (r >= 0 && path) client_ = path;
  sd_->sd_bus_message_unref(reply);
  if (r < 0) {
    const bool refused = refusal(*sd_, error);
    why = "GeoClue gave no client: " + reason(r, error);
    sd_->sd_bus_error_free(&error);
    if (refused && refused_) refused_();
    fail(why);
    return false;
  }
  const char* client = client_.c_str();
  r = sd_->sd_bus_set_property(bus_, kService, client, kClientInterface, "DesktopId", &error, "s",
                               desktopId_.c_str());
  if (r >= 0) {
    r = sd_->sd_bus_set_property(bus_, kService, client, kClientInterface, "DistanceThreshold",
                                 &error, "u", kDistanceThresholdMetres);
  }
  if (r >= 0) {
    r = sd_->sd_bus_set_property(bus_, kService, client, kClientInterface, "RequestedAccuracyLevel",
                                 &error, "u", kAccuracyCity);
  }
  if (r >= 0) {
    // The client's own path is filter enough; a well-known sender name cannot be checked on
    // each message without asking the bus who owns it.
    r = sd_->sd_bus_match_signal(bus_, &match_, nullptr, client, kClientInterface,
                                 "LocationUpdated", &GeoClueLocationManager::onLocationUpdated,
                                 this);
  }
  if (r < 0) {
    why = "cannot set up the GeoClue client: " + reason(r, error);
    sd_->sd_bus_error_free(&error);
    fail(why);
    return false;
  }
  const int fd = sd_->sd_bus_get_fd(bus_);
  if (!loop_.add(fd, [this] { process(); })) {
    fail("cannot watch the system bus");
    return false;
  }
  return true;
}

void GeoClueLocationManager::startMonitoringSignificantLocationChanges() {
  if (monitoring_) return;
  if (!bus_ && !makeClient()) return;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int r = sd_->sd_bus_call_method(bus_, kService, client_.c_str(), kClientInterface, "Start",
                                        &error, nullptr, "");
  if (r < 0) {
    const bool refused = refusal(*sd_, error);
    const std::string why = "GeoClue refused to start: " + reason(r, error);
    sd_->sd_bus_error_free(&error);
    if (refused && refused_) refused_();
    fail(why);
    return;
  }
  monitoring_ = true;
  // Signals that came with the answers are already read from the socket.
  process();
}

void GeoClueLocationManager::stopMonitoringSignificantLocationChanges() {
  if (!monitoring_) return;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int r = sd_->sd_bus_call_method(bus_, kService, client_.c_str(), kClientInterface, "Stop",
                                        &error, nullptr, "");
  if (r < 0) log_("GeoClue did not stop: " + reason(r, error));
  sd_->sd_bus_error_free(&error);
  // Leaving the bus drops the client too; a later start asks for a new one.
  close();
}

void GeoClueLocationManager::close() {
  monitoring_ = false;
  if (!bus_) return;
  loop_.remove(sd_->sd_bus_get_fd(bus_));
  match_ = sd_->sd_bus_slot_unref(match_);
  bus_ = sd_->sd_bus_flush_close_unref(bus_);
  client_.clear();
}

int GeoClueLocationManager::onLocationUpdated(sd_bus_message* message, void* self, sd_bus_error*) {
  auto* manager = static_cast<GeoClueLocationManager*>(self);
  const char* oldPath = nullptr;
  const char* newPath = nullptr;
  if (manager->sd_->sd_bus_message_read(message, "oo", &oldPath, &newPath) >= 0 && newPath) {
    manager->pending_.push_back(newPath);
  }
  return 0;
}

void GeoClueLocationManager::process() {
  // Positions are read once the socket is drained: no call is made from inside a callback.
  while (bus_ && sd_->sd_bus_process(bus_, nullptr) > 0) {
  }
  std::vector<std::string> paths;
  paths.swap(pending_);
  for (const auto& path : paths) {
    if (!monitoring_) return;  // stopped by an earlier event's delegate
    locationUpdated(path.c_str());
  }
}

void GeoClueLocationManager::locationUpdated(const char* path) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  double latitude = NAN;
  double longitude = NAN;
  int r = sd_->sd_bus_get_property_trivial(bus_, kService, path, kLocationInterface, "Latitude",
                                           &error, 'd', &latitude);
  if (r >= 0) {
    r = sd_->sd_bus_get_property_trivial(bus_, kService, path, kLocationInterface, "Longitude",
                                         &error, 'd', &longitude);
  }
  std::uint64_t seconds = 0;
  std::uint64_t microseconds = 0;
  if (r >= 0) {
    sd_bus_message* reply = nullptr;
    r = sd_->sd_bus_get_property(bus_, kService, path, kLocationInterface, "Timestamp", &error,
                                 &reply, "(tt)");
    if (r >= 0) r = sd_->sd_bus_message_read(reply, "(tt)", &seconds, &microseconds);
    sd_->sd_bus_message_unref(reply);
  }
  if (r < 0) {
    const std::string why = "cannot read the position from GeoClue: " + reason(r, error);
    sd_->sd_bus_error_free(&error);
    delegate_.didFailWithError(*this, why);
    return;
  }
  delegate_.didUpdateToLocation(
      *this, Location{latitude, longitude,
                      Date::fromSecondsSince1970(static_cast<double>(seconds) +
                                                 static_cast<double>(microseconds) / 1e6)});
}

}  // namespace kestrio

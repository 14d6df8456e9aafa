#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/Location.h"
#include "platform/Systemd.h"

namespace kestrio {

// GeoClue 2, the desktop's location service, on the system bus (DBUS_SYSTEM_BUS_ADDRESS when
// set). Whether it is there and lets anyone locate: nothing in `why` when it does.
bool geoClueAvailable(std::string* why);

// A GeoClue client asking for town-level positions after moves of a kilometre or more. Every
// LocationUpdated signal is one event, with the time GeoClue took the position.
class GeoClueLocationManager final : public LocationManager {
 public:
  using Logger = std::function<void(std::string_view)>;
  // `refused` is called when the service or the user refuses Kestrio its position.
  GeoClueLocationManager(std::string desktopId, LocationManagerDelegate& delegate, EventLoop& loop,
                         Logger log, std::function<void()> refused);
  ~GeoClueLocationManager() override;
  GeoClueLocationManager(const GeoClueLocationManager&) = delete;
  GeoClueLocationManager& operator=(const GeoClueLocationManager&) = delete;

  void startMonitoringSignificantLocationChanges() override;
  void stopMonitoringSignificantLocationChanges() override;
  bool monitoring() const override { return monitoring_; }

  static constexpr unsigned kDistanceThresholdMetres = 1000;
  static constexpr unsigned kAccuracyCity = 4;

 private:
  // Connects, asks for a client and sets it up; false (reported to the delegate) on failure.
  bool makeClient();
  void close();
  void fail(const std::string& why);
  static int onLocationUpdated(sd_bus_message* message, void* self, sd_bus_error* error);
  void locationUpdated(const char* path);
  void process();

  std::string desktopId_;
  LocationManagerDelegate& delegate_;
  EventLoop& loop_;
  Logger log_;
  std::function<void()> refused_;
  const systemd::Functions* sd_ = nullptr;  // set with the bus
  sd_bus* bus_ = nullptr;
  sd_bus_slot* match_ = nullptr;
  std::string client_;
  std::vector<std::string> pending_;  // positions announced, not yet read
  bool monitoring_ = false;
};

}  // namespace kestrio

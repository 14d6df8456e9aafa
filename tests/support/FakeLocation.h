#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Location.h"

namespace kestrio::testing {

// A location manager that reports what a test hands it, and tells its owner when it goes.
class FakeLocationManager final : public LocationManager {
 public:
  explicit FakeLocationManager(LocationManagerDelegate& delegate) : delegate_(delegate) {}
  ~FakeLocationManager() override {
    if (onGone) onGone();
  }
  FakeLocationManager(const FakeLocationManager&) = delete;
  FakeLocationManager& operator=(const FakeLocationManager&) = delete;

  void startMonitoringSignificantLocationChanges() override {
    monitoring_ = true;
    ++starts;
  }
  void stopMonitoringSignificantLocationChanges() override {
    monitoring_ = false;
    ++stops;
  }
  bool monitoring() const override { return monitoring_; }

  // An event as the service would deliver it; only while monitoring, like the real ones.
  void deliver(const std::optional<Location>& location) {
    if (monitoring_) delegate_.didUpdateToLocation(*this, location);
  }
  void fail(const std::string& error) { delegate_.didFailWithError(*this, error); }

  std::function<void()> onGone;
  int starts = 0;
  int stops = 0;

 private:
  LocationManagerDelegate& delegate_;
  bool monitoring_ = false;
};

// A place for every position a test names; nothing for any other.
struct FakePlace {
  double latitude;
  double longitude;
  Placemark placemark;
};

}  // namespace kestrio::testing

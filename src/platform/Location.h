#pragma once

#include <optional>
#include <string>

#include "platform/Date.h"

namespace kestrio {

// A position the location service reported, with the moment it was taken (which may lie in
// the past: services hand out a cached fix first).
struct Location {
  double latitude = 0;
  double longitude = 0;
  Date timestamp;
};

// A place found for a position: the town and its first-level region (its country where the
// town has none).
struct Placemark {
  std::string locality;
  std::string administrativeArea;
};

class LocationManager;

// Receives what a location manager reports, on the thread that runs the event loop.
class LocationManagerDelegate {
 public:
  virtual ~LocationManagerDelegate() = default;
  // A new position; `location` is nothing when the service reported an update without one.
  virtual void didUpdateToLocation(LocationManager& manager,
                                   const std::optional<Location>& location) = 0;
  virtual void didFailWithError(LocationManager& manager, const std::string& error) = 0;
};

// Watches for significant changes of the device's position (about a kilometre, at the
// accuracy of a town). Events arrive through the platform's event loop.
class LocationManager {
 public:
  virtual ~LocationManager() = default;
  virtual void startMonitoringSignificantLocationChanges() = 0;
  virtual void stopMonitoringSignificantLocationChanges() = 0;
  virtual bool monitoring() const = 0;
};

}  // namespace kestrio

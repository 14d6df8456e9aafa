// The last place of use: positions from the location service become place texts, and each
// place text is carried into both usage records by an update pass.
#include <climits>
#include <cmath>

#include "app/MainViewController.h"

namespace kestrio {

namespace {

// A position older (or newer) than this is a cached fix, not where the device is now.
constexpr long kFreshSeconds = 14;
constexpr const char* kUnknownPlace = "Unknown";

int badgeOf(const std::optional<float>& number) {
  if (!number || std::isnan(*number)) return 0;
  const double whole = std::trunc(static_cast<double>(*number));
  if (whole >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (whole <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(whole);
}

}  // namespace

bool MainViewController::recordsLocation(Platform& platform) {
  return platform.userDefaults().boolForKey(kRecordLocationKey);
}

void MainViewController::startSignificantChangesUpdate() {
  // Whatever the platform version: here positions only name the place, the daemon or the timer
  // wakes Kestrio. Two processes watching one data directory would record every place twice.
  if (!recordsLocation(platform_) || platform_.daemonRunningElsewhere()) {
    stopSignificantChangesUpdate();
    return;
  }
  if (!platform_.significantLocationChangeMonitoringAvailable() ||
      !platform_.locationServicesEnabled()) {
    return;
  }
  if (!locManager) locManager = platform_.makeLocationManager(*this);
  if (locManager && !locManager->monitoring()) {
    locManager->startMonitoringSignificantLocationChanges();
  }
}

void MainViewController::stopSignificantChangesUpdate() {
  // A manager is never made only to be stopped: without one nothing is being watched.
  if (locManager && locManager->monitoring())
    locManager->stopMonitoringSignificantLocationChanges();
}

void MainViewController::didUpdateToLocation(LocationManager& manager,
                                             const std::optional<Location>& location) {
  // The user may have turned recording off, or a daemon started, since monitoring began.
  if (!recordsLocation(platform_) || platform_.daemonRunningElsewhere()) {
    manager.stopMonitoringSignificantLocationChanges();
    return;
  }
  if (location) {
    const double age = location->timestamp.secondsSince1970 - platform_.now().secondsSince1970;
    if (!std::isfinite(age) || std::abs(std::trunc(age)) > kFreshSeconds) return;
  }

  platform_.setApplicationIconBadgeNumber(badgeOf(appBadgeNumber));

  // Each position is looked up where it was taken: a laptop carried along for days in a
  // long-running daemon must not keep reporting the first town it saw.
  const double latitude = location ? location->latitude : 0;
  const double longitude = location ? location->longitude : 0;
  if (auto placemark = platform_.reverseGeocode(latitude, longitude)) {
    didFindPlacemark(*placemark);
  } else {
    reverseGeocoderDidFail();
  }
}

void MainViewController::didFailWithError(LocationManager&, const std::string& error) {
  // A failed fix changes nothing; the next one may succeed.
  platform_.warn("location update failed: " + error);
}

std::string MainViewController::placeText(const Placemark& placemark) {
  const std::string& town = placemark.locality;
  const std::string& region = placemark.administrativeArea;
  if (!town.empty() && !region.empty()) return town + ", " + region;
  if (!town.empty()) return town;
  if (!region.empty()) return region;
  return kUnknownPlace;
}

void MainViewController::didFindPlacemark(const Placemark& placemark) {
  backgroundUpdate(placeText(placemark), false);
}

void MainViewController::reverseGeocoderDidFail() {
  backgroundUpdate(kUnknownPlace, false);
}

}  // namespace kestrio

// Where the device is: GeoClue 2 on the system bus, or a positions file for demonstrations and
// tests; and what the place is called, from libgweather's offline world database.
#include "platform/GeoClue.h"
#include "platform/LinuxPlatform.h"
#include "platform/ScriptedLocation.h"

namespace kestrio {

namespace {

// The desktop entry's name, which GeoClue shows the user and checks its permissions against.
constexpr const char* kDesktopId = KESTRIO_APP_ID;

}  // namespace

bool LinuxPlatform::locationServicesEnabled() {
  if (!env_.locationFile.empty()) return true;
  std::string why;
  if (locationRefused_) {
    why = "the location service refused Kestrio the position";
  } else if (geoClueAvailable(&why)) {
    toldLocationOff_.clear();
    return true;
  }
  if (why != toldLocationOff_) log("location services off: " + why);
  toldLocationOff_ = why;
  return false;
}

std::unique_ptr<LocationManager> LinuxPlatform::makeLocationManager(
    LocationManagerDelegate& delegate) {
  auto logger = [this](std::string_view line) { log(line); };
  if (!env_.locationFile.empty()) {
    return std::make_unique<ScriptedLocationManager>(
        env_.locationFile, delegate, events_, [this] { return now(); }, logger);
  }
  return std::make_unique<GeoClueLocationManager>(kDesktopId, delegate, events_, logger,
                                                  [this] { locationRefused_ = true; });
}

std::optional<Placemark> LinuxPlatform::reverseGeocode(double latitude, double longitude) {
  if (!placesLoaded_) {
    placesLoaded_ = true;
    std::string error;
    places_ = PlaceDatabase::load(&error);
    if (!places_) warn("no place names: " + error);
  }
  if (!places_) return std::nullopt;
  return places_->nearest(latitude, longitude);
}

}  // namespace kestrio

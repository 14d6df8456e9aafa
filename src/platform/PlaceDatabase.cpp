#include "platform/PlaceDatabase.h"

#include <libgweather/gweather.h>

#include <cmath>
#include <numbers>

namespace kestrio {

namespace {

constexpr double kEarthRadiusKm = 6371.0;

std::string nameOf(GWeatherLocation* location) {
  const char* name = gweather_location_get_english_name(location);
  if (!name) name = gweather_location_get_name(location);
  return name ? name : "";
}

// Walks the tree below `location`, remembering the nearest region and country above each town.
void collect(GWeatherLocation* location, const std::string& country, const std::string& region,
             std::vector<PlaceDatabase::Town>& towns) {
  GWeatherLocation* child = nullptr;
  while ((child = gweather_location_next_child(location, child)) != nullptr) {
    std::string childCountry = country;
    std::string childRegion = region;
    switch (gweather_location_get_level(child)) {
      case GWEATHER_LOCATION_COUNTRY:
        childCountry = nameOf(child);
        childRegion.clear();
        break;
      case GWEATHER_LOCATION_ADM1:
        childRegion = nameOf(child);
        break;
      case GWEATHER_LOCATION_CITY:
        if (gweather_location_has_coords(child)) {
          double latitude = 0;
          double longitude = 0;
          gweather_location_get_coords(child, &latitude, &longitude);
          towns.push_back(PlaceDatabase::town(
              latitude, longitude, Placemark{nameOf(child), region.empty() ? country : region}));
        }
        continue;  // below a town are only its weather stations
      default:
        break;
    }
    collect(child, childCountry, childRegion, towns);
  }
}

}  // namespace

PlaceDatabase::Town PlaceDatabase::town(double latitude, double longitude, Placemark placemark) {
  const double lat = latitude * std::numbers::pi / 180;
  const double lon = longitude * std::numbers::pi / 180;
  return Town{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat),
              std::move(placemark)};
}

std::unique_ptr<PlaceDatabase> PlaceDatabase::load(std::string* error) {
  GWeatherLocation* world = gweather_location_get_world();
  if (!world) {
    if (error) *error = "the world locations database of libgweather cannot be read";
    return nullptr;
  }
  std::vector<Town> towns;
  collect(world, "", "", towns);
  g_object_unref(world);
  if (towns.empty()) {
    if (error) *error = "the world locations database of libgweather holds no town";
    return nullptr;
  }
  return std::make_unique<PlaceDatabase>(std::move(towns));
}

std::optional<Placemark> PlaceDatabase::nearest(double latitude, double longitude) const {
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return std::nullopt;
  const Town here = town(latitude, longitude, {});
  const Town* best = nullptr;
  double bestDot = -2;
  // The nearest town on the sphere is the one whose direction is closest to ours.
  for (const Town& t : towns_) {
    const double dot = t.x * here.x + t.y * here.y + t.z * here.z;
    if (dot > bestDot) {
      bestDot = dot;
      best = &t;
    }
  }
  if (!best) return std::nullopt;
  const double km = kEarthRadiusKm * std::acos(std::min(1.0, bestDot));
  if (km > kFarthestKm) return std::nullopt;
  return best->placemark;
}

}  // namespace kestrio

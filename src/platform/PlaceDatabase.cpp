#include "platform/PlaceDatabase.h"

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/ExecutableDirectory.h"

namespace kestrio {

namespace {

constexpr double kEarthRadiusKm = 6371.0;

// What the place names module exports: it calls `add` for every town of the world database, and
// answers 0, or -1 with `error` set. The module alone links libgweather and its many libraries,
// so a refresh that needs no place name never loads them.
using ReadWorldTowns = int (*)(void (*add)(void* context, double latitude, double longitude,
                                           const char* locality, const char* area),
                               void* context, const char** error);

std::vector<std::string> moduleCandidates() {
  std::vector<std::string> candidates;
  const std::string here = executableDirectory();
  if (!here.empty()) {
    candidates.push_back(here + "/../" KESTRIO_MODULE_DIR);  // installed
    candidates.push_back(here + "/../lib/kestrio");          // built, one level down
    candidates.push_back(here + "/../../lib/kestrio");       // built, two levels down
  }
  candidates.push_back(KESTRIO_FULL_MODULE_DIR);
  return candidates;
}

}  // namespace

PlaceDatabase::Town PlaceDatabase::town(double latitude, double longitude, Placemark placemark) {
  const double lat = latitude * std::numbers::pi / 180;
  const double lon = longitude * std::numbers::pi / 180;
  return Town{std::cos(lat) * std::cos(lon), std::cos(lat) * std::sin(lon), std::sin(lat),
              std::move(placemark)};
}

std::unique_ptr<PlaceDatabase> PlaceDatabase::load(std::string* error) {
  void* module = nullptr;
  std::string why;
  for (const std::string& directory : moduleCandidates()) {
    // Kept loaded for the rest of the process: GLib cannot be unloaded safely.
    module = ::dlopen((directory + "/" + kModuleName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) break;
    if (why.empty()) why = ::dlerror();
  }
  if (!module) {
    if (error)
      *error = "the place names module " + std::string(kModuleName) + " cannot be loaded: " + why;
    return nullptr;
  }
  void* symbol = ::dlsym(module, "kestrio_read_world_towns");
  ReadWorldTowns read = nullptr;
  static_assert(sizeof read == sizeof symbol);
  std::memcpy(&read, &symbol, sizeof read);
  if (!read) {
    if (error) *error = std::string(kModuleName) + " is not Kestrio's place names module";
    return nullptr;
  }
  std::vector<Town> towns;
  const char* failure = nullptr;
  const int result = read(
      [](void* context, double latitude, double longitude, const char* locality, const char* area) {
        static_cast<std::vector<Town>*>(context)->push_back(
            town(latitude, longitude, Placemark{locality ? locality : "", area ? area : ""}));
      },
      &towns, &failure);
  if (result != 0 || towns.empty()) {
    if (error) {
      *error = failure ? failure : "the world locations database of libgweather holds no town";
    }
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

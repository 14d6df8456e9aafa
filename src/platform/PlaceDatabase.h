#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Location.h"

namespace kestrio {

// The towns of the world locations database that libgweather ships, held in memory for quick
// nearest-town questions. Everything stays on the machine: no position is sent anywhere.
class PlaceDatabase {
 public:
  // Reads the database once (a few tens of milliseconds), through the place names module.
  // Nothing, with `error` set, when the module or the database cannot be read or holds no town.
  static std::unique_ptr<PlaceDatabase> load(std::string* error);

  // The town nearest to a position, with its first-level region (its country where it has
  // none). Nothing when the nearest town is farther than kFarthestKm: out at sea or in a
  // desert, a town hundreds of kilometres away is not where the data was used.
  std::optional<Placemark> nearest(double latitude, double longitude) const;
  std::size_t size() const { return towns_.size(); }

  static constexpr double kFarthestKm = 200;
  // The module that reads libgweather's database, beside the programs' libraries.
  static constexpr const char* kModuleName = "kestrio-places.so";

  struct Town {
    double x, y, z;  // on the unit sphere
    Placemark placemark;
  };
  explicit PlaceDatabase(std::vector<Town> towns) : towns_(std::move(towns)) {}
  static Town town(double latitude, double longitude, Placemark placemark);

 private:
  std::vector<Town> towns_;
};

}  // namespace kestrio

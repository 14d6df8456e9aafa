// One reverse geocoding once the place database is loaded (the daemon loads it at its first
// position and keeps it), against libgweather's own nearest-town search in the same run.
#include <benchmark/benchmark.h>
#include <libgweather/gweather.h>

#include <memory>
#include <string>

#include "platform/PlaceDatabase.h"

namespace {

// Positions across the world, so no lookup profits from the one before.
constexpr double kPositions[][2] = {{48.137, 11.575}, {40.71, -74.0}, {-33.87, 151.21},
                                    {35.68, 139.69},  {51.51, -0.13}, {-23.55, -46.63}};

void BM_LoadPlaceDatabase(benchmark::State& state) {
  for (auto _ : state) {
    std::string error;
    auto database = kestrio::PlaceDatabase::load(&error);
    if (!database) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(database);
  }
}
BENCHMARK(BM_LoadPlaceDatabase)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ReverseGeocode(benchmark::State& state) {
  std::string error;
  static const auto database = kestrio::PlaceDatabase::load(&error);
  if (!database) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& p = kPositions[i++ % std::size(kPositions)];
    benchmark::DoNotOptimize(database->nearest(p[0], p[1]));
  }
  state.counters["towns"] = static_cast<double>(database->size());
}
BENCHMARK(BM_ReverseGeocode)->Unit(benchmark::kMicrosecond);

void BM_LibgweatherNearestCity(benchmark::State& state) {
  GWeatherLocation* world = gweather_location_get_world();
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& p = kPositions[i++ % std::size(kPositions)];
    GWeatherLocation* city = gweather_location_find_nearest_city(world, p[0], p[1]);
    benchmark::DoNotOptimize(city);
    if (city) g_object_unref(city);
  }
  g_object_unref(world);
}
BENCHMARK(BM_LibgweatherNearestCity)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// The place names module: the towns of the world locations database that libgweather ships,
// handed to Kestrio one by one. It is loaded only when a place name is needed.
#include <libgweather/gweather.h>

#include <string>

namespace {

using Add = void (*)(void* context, double latitude, double longitude, const char* locality,
                     const char* area);

std::string nameOf(GWeatherLocation* location) {
  const char* name = gweather_location_get_english_name(location);
  if (!name) name = gweather_location_get_name(location);
  return name ? name : "";
}

// Walks the tree below `location`, remembering the nearest region and country above each town.
void collect(GWeatherLocation* location, const std::string& country, const std::string& region,
             Add add, void* context) {
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
          add(context, latitude, longitude, nameOf(child).c_str(),
              (region.empty() ? country : region).c_str());
        }
        continue;  // below a town are only its weather stations
      default:
        break;
    }
    collect(child, childCountry, childRegion, add, context);
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int kestrio_read_world_towns(Add add,
                                                                               void* context,
                                                                               const char** error) {
  GWeatherLocation* world = gweather_location_get_world();
  if (!world) {
    if (error) *error = "the world locations database of libgweather cannot be read";
    return -1;
  }
  collect(world, "", "", add, context);
  g_object_unref(world);
  return 0;
}

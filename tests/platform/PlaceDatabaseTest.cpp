// The place database against libgweather's installed world database: our index must name the
// same town as the library's own search.
#include <gtest/gtest.h>
#include <libgweather/gweather.h>

#include <memory>
#include <string>

#include "platform/PlaceDatabase.h"

namespace kestrio {
namespace {

std::string libraryNearest(double latitude, double longitude) {
  GWeatherLocation* world = gweather_location_get_world();
  GWeatherLocation* city = gweather_location_find_nearest_city(world, latitude, longitude);
  std::string name = city ? gweather_location_get_english_name(city) : "";
  if (city) g_object_unref(city);
  g_object_unref(world);
  return name;
}

struct PlaceCase {
  const char* name;
  double latitude;
  double longitude;
  const char* place;  // "Town, Region"; empty: nothing near
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
  *os << c.name;
}

class PlaceDatabaseTest : public ::testing::TestWithParam<PlaceCase> {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    database = PlaceDatabase::load(&error).release();
    ASSERT_NE(database, nullptr) << error;
  }
  static void TearDownTestSuite() { delete database; }
  static PlaceDatabase* database;
};
PlaceDatabase* PlaceDatabaseTest::database = nullptr;

TEST_P(PlaceDatabaseTest, NamesTheNearestTownAndItsRegion) {
  const PlaceCase& c = GetParam();
  const auto placemark = database->nearest(c.latitude, c.longitude);
  if (std::string(c.place).empty()) {
    EXPECT_FALSE(placemark.has_value()) << placemark->locality;
    return;
  }
  ASSERT_TRUE(placemark.has_value());
  EXPECT_EQ(placemark->locality + ", " + placemark->administrativeArea, c.place);
  EXPECT_EQ(placemark->locality, libraryNearest(c.latitude, c.longitude));
}

INSTANTIATE_TEST_SUITE_P(
    KnownPlaces, PlaceDatabaseTest,
    ::testing::Values(PlaceCase{"Munich", 48.137, 11.575, "Munich, Bavaria"},
                      PlaceCase{"MunichSuburb", 48.20, 11.60, "Munich, Bavaria"},
                      PlaceCase{"NewYork", 40.7128, -74.006, "New York, New York"},
                      PlaceCase{"Sydney", -33.87, 151.21, "Sydney, New South Wales"},
                      // No first-level region in the database: the country stands in.
                      PlaceCase{"Tokyo", 35.68, 139.69, "Tokyo, Japan"},
                      PlaceCase{"Singapore", 1.29, 103.85, "Singapore, Singapore"},
                      // The Gulf of Guinea and the middle of the Pacific: no town near.
                      PlaceCase{"GulfOfGuinea", 0, 0, ""},
                      PlaceCase{"SouthPacific", -30, -140, ""}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace kestrio

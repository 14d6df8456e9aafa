#include <gtest/gtest.h>
#include <poll.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/ScriptedLocation.h"
#include "support/CaseNames.h"
#include "support/Process.h"

namespace kestrio {
namespace {

constexpr Date kNow = Date::fromSecondsSince1970(1'800'000'000);

struct LineCase {
  const char* name;
  const char* line;
  bool valid;
  double latitude = 0;
  double longitude = 0;
  double time = kNow.secondsSince1970;
};

void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.name;
}

class LocationLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LocationLineTest, ReadsPositionsAndRefusesAnythingElse) {
  const LineCase& c = GetParam();
  std::string error;
  const auto location = parseLocationLine(c.line, kNow, &error);
  ASSERT_EQ(location.has_value(), c.valid) << c.line;
  if (!c.valid) {
    EXPECT_FALSE(error.empty());
    return;
  }
  EXPECT_DOUBLE_EQ(location->latitude, c.latitude);
  EXPECT_DOUBLE_EQ(location->longitude, c.longitude);
  EXPECT_DOUBLE_EQ(location->timestamp.secondsSince1970, c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LocationLineTest,
    ::testing::Values(LineCase{"Position", "48.137 11.575", true, 48.137, 11.575},
                      LineCase{"BlanksAround", "  -33.87\t151.21 \r", true, -33.87, 151.21},
                      LineCase{"EdgesAndATime", "90 -180 1799999990", true, 90, -180, 1799999990},
                      // a decimal comma is not a number here
                      LineCase{"DecimalComma", "48,137 11,575", false},
                      LineCase{"LatitudeBeyond90", "91 0", false},
                      LineCase{"LongitudeBeyond180", "0 180.5", false},
                      LineCase{"OneNumber", "48.1", false},
                      LineCase{"WordAfterTheTime", "48.1 11.5 12 extra", false},
                      LineCase{"NotANumber", "nan 11.5", false},
                      LineCase{"WordForATime", "48.1 11.5 soon", false},
                      LineCase{"Empty", "", false}),
    kestrio::testing::NameField());

// Records what the manager reports.
class Recorder final : public LocationManagerDelegate {
 public:
  void didUpdateToLocation(LocationManager&, const std::optional<Location>& l) override {
    locations.push_back(*l);
  }
  void didFailWithError(LocationManager&, const std::string& e) override { errors.push_back(e); }
  std::vector<Location> locations;
  std::vector<std::string> errors;
};

// Waits for the manager's next look at the file and serves it.
void serveOnce(EventLoop& loop) {
  pollfd fd{loop.descriptor(), POLLIN, 0};
  ASSERT_EQ(::poll(&fd, 1, 5000), 1);
  loop.dispatch();
}

TEST(ScriptedLocationManagerTest, DeliversEachCompleteLineOnceAndFollowsTheFile) {
  testing::TemporaryDirectory dir;
  const std::string path = dir.path() + "/positions";
  std::ofstream(path) << "# a comment\n48.137 11.575\nbad line\n52.52 13.405 1799999999\n10 1";
  EventLoop loop;
  Recorder recorder;
  std::vector<std::string> log;
  ScriptedLocationManager manager(
      path, recorder, loop, [] { return kNow; },
      [&](std::string_view line) { log.emplace_back(line); });
  EXPECT_TRUE(loop.empty());
  manager.startMonitoringSignificantLocationChanges();
  ASSERT_TRUE(manager.monitoring());
  serveOnce(loop);
  ASSERT_EQ(recorder.locations.size(), 2u);
  EXPECT_DOUBLE_EQ(recorder.locations[0].timestamp.secondsSince1970, kNow.secondsSince1970);
  EXPECT_DOUBLE_EQ(recorder.locations[1].latitude, 52.52);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find(":3: position ignored"), std::string::npos) << log[0];

  // The unfinished last line counts once it ends.
  std::ofstream(path, std::ios::app) << "1.5\n";
  serveOnce(loop);
  ASSERT_EQ(recorder.locations.size(), 3u);
  EXPECT_DOUBLE_EQ(recorder.locations[2].longitude, 11.5);

  manager.stopMonitoringSignificantLocationChanges();
  EXPECT_TRUE(loop.empty());
  EXPECT_TRUE(recorder.errors.empty());
}

TEST(ScriptedLocationManagerTest, AMissingFileIsOneFailure) {
  testing::TemporaryDirectory dir;
  EventLoop loop;
  Recorder recorder;
  ScriptedLocationManager manager(
      dir.path() + "/none", recorder, loop, [] { return kNow; }, [](std::string_view) {});
  manager.startMonitoringSignificantLocationChanges();
  serveOnce(loop);
  serveOnce(loop);
  EXPECT_EQ(recorder.errors.size(), 1u);
  EXPECT_TRUE(recorder.locations.empty());
}

}  // namespace
}  // namespace kestrio

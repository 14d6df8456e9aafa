#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

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

// Sources that must not freeze the reader, exhaust its memory or keep it busy for long: whatever
// the file, every look returns, hands on at most kMaxPositionsPerLook positions, and what can be
// read is read in the end.
struct HostileSource {
  const char* name;
  // Makes the source in the directory; answers its path.
  std::string (*make)(const std::string& directory);
  std::size_t positions;  // delivered in the end
  const char* logged;     // the one log line's telling part; nullptr for none
};

void PrintTo(const HostileSource& c, std::ostream* os) {
  *os << c.name;
}

class HostileSourceTest : public ::testing::TestWithParam<HostileSource> {};

TEST_P(HostileSourceTest, EveryLookEndsAndIsBounded) {
  const HostileSource& c = GetParam();
  testing::TemporaryDirectory dir;
  const std::string path = c.make(dir.path());
  EventLoop loop;
  Recorder recorder;
  std::vector<std::string> log;
  ScriptedLocationManager manager(
      path, recorder, loop, [] { return kNow; },
      [&](std::string_view line) { log.emplace_back(line); });
  manager.startMonitoringSignificantLocationChanges();
  // Until everything came, and at least twice, so a refusal is seen not to be repeated.
  int looks = 0;
  while (looks < 2 || (recorder.locations.size() < c.positions && looks < 100000)) {
    const std::size_t before = recorder.locations.size();
    serveOnce(loop);
    ++looks;
    ASSERT_LE(recorder.locations.size() - before,
              static_cast<std::size_t>(ScriptedLocationManager::kMaxPositionsPerLook))
        << "look " << looks;
  }
  EXPECT_EQ(recorder.locations.size(), c.positions);
  if (c.logged == nullptr) {
    EXPECT_TRUE(log.empty()) << log.front();
  } else {
    ASSERT_EQ(log.size(), 1u) << (log.empty() ? "" : log.back());
    EXPECT_NE(log[0].find(c.logged), std::string::npos) << log[0];
  }
  EXPECT_TRUE(recorder.errors.empty());
}

std::string fifo(const std::string& directory) {
  const std::string path = directory + "/positions";
  EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
  return path;
}

std::string overLongLine(const std::string& directory) {
  const std::string path = directory + "/positions";
  std::ofstream(path) << "48.1 11.5\n"
                      << std::string(4 * ScriptedLocationManager::kMaxBytesPerLook, '7')
                      << "\n52.5 13.4\n";
  return path;
}

std::string backlog(const std::string& directory) {
  const std::string path = directory + "/positions";
  std::ofstream out(path);
  for (int i = 0; i < 100000; ++i) out << "48.1 11.5\n";
  return path;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, HostileSourceTest,
    ::testing::Values(HostileSource{"Fifo", fifo, 0, "is not a regular file"},
                      HostileSource{"CharacterDevice",
                                    [](const std::string&) { return std::string("/dev/zero"); }, 0,
                                    "is not a regular file"},
                      HostileSource{"Directory", [](const std::string& d) { return d; }, 0,
                                    "is not a regular file"},
                      HostileSource{"OverLongLine", overLongLine, 2,
                                    ":2: position ignored: line longer than"},
                      HostileSource{"Backlog", backlog, 100000, nullptr}),
    kestrio::testing::NameField());

}  // namespace
}  // namespace kestrio

// kestrio daemon recording the place of use from a positions file (KESTRIO_LOCATION): with
// "Record where data is used" on, a position in Munich becomes the place text and then the last
// place used; with it off, or in a one-off command, no position is asked for; a positions file
// that is no regular file is refused without stopping the daemon.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/PropertyList.h"
#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using testing::BackgroundProcess;

class LocationProcessTest : public ::testing::Test {
 protected:
  LocationProcessTest()
      : home(dir.path() + "/home"),
        positions(dir.path() + "/positions"),
        env{{"KESTRIO_HOME", home},
            {"KESTRIO_COUNTERS", dir.path() + "/net_dev"},
            {"KESTRIO_LOCATION", positions},
            {"TZ", "UTC"},
            {"LANG", "C"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}} {
    testing::replaceFile(dir.path() + "/net_dev",
                         testing::procNetDevText({{"wwan7", 1000, 1000}, {"wlan7", 1000, 1000}}));
  }

  testing::ProcessResult kestrio(std::vector<std::string> args) {
    args.insert(args.begin(), KESTRIO_BINARY);
    return testing::runProcess(args, env);
  }
  std::string field(const std::string& key) {
    auto parsed = plist::parse(testing::readWholeFile(home + "/app_data_cellular.plist"));
    if (!parsed || !parsed->is<PlistValue::Dictionary>()) return "?";
    const auto& d = *parsed->get<PlistValue::Dictionary>();
    auto it = d.find(key);
    const std::string* text = it == d.end() ? nullptr : it->second.get<std::string>();
    return text ? *text : "";
  }
  bool waitForField(const std::string& key, const std::string& value) {
    for (int i = 0; i < 200; ++i) {
      if (field(key) == value) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  testing::TemporaryDirectory dir;
  std::string home;
  std::string positions;
  std::map<std::string, std::string> env;
};

TEST_F(LocationProcessTest, APositionInMunichBecomesThePlaceAndThenTheLastPlaceUsed) {
  std::ofstream(positions) << "48.137 11.575\n";
  ASSERT_EQ(kestrio({"settings", "set", "recordLocation", "on"}).exitCode, 0);
  ASSERT_EQ(kestrio({"update"}).exitCode, 0);

  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "0.05"}, env);
  ASSERT_TRUE(waitForField("lastLocation", "Munich, Bavaria")) << daemon.err();
  ASSERT_TRUE(waitForField("lastLocationDataUsed", "Munich, Bavaria")) << daemon.err();
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();

  const auto status = kestrio({"status"});
  EXPECT_NE(status.out.find("  Last place         Munich, Bavaria\n"), std::string::npos)
      << status.out;
  const auto json = kestrio({"status", "--json"});
  EXPECT_NE(json.out.find("\"lastLocationDataUsed\": \"Munich, Bavaria\""), std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"lastLocation\": \"\""), std::string::npos) << json.out;
}

TEST_F(LocationProcessTest, NoPositionIsAskedForWithTheSettingOffNorByAOneOffCommand) {
  // No positions file: a manager that looked would log that it cannot read it.
  ASSERT_EQ(kestrio({"settings", "set", "recordLocation", "on"}).exitCode, 0);
  const auto update = kestrio({"update"});
  EXPECT_EQ(update.err.find("location"), std::string::npos) << update.err;

  ASSERT_EQ(kestrio({"settings", "set", "recordLocation", "off"}).exitCode, 0);
  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "0.05"}, env);
  ASSERT_TRUE(daemon.waitForErr("updated:", 2, 20)) << daemon.err();
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  EXPECT_EQ(daemon.err().find("location"), std::string::npos) << daemon.err();
  EXPECT_EQ(field("lastLocation"), "");
}

// A positions "file" that is a FIFO nobody writes to: the daemon refuses it, goes on counting,
// and still stops on SIGTERM.
TEST_F(LocationProcessTest, ADaemonGivenAFifoRefusesItAndStillStops) {
  ASSERT_EQ(::mkfifo(positions.c_str(), 0600), 0);
  ASSERT_EQ(kestrio({"settings", "set", "recordLocation", "on"}).exitCode, 0);
  BackgroundProcess daemon({KESTRIO_BINARY, "--verbose", "daemon", "--interval", "0.05"}, env);
  EXPECT_TRUE(daemon.waitForErr("is not a regular file", 1, 20)) << daemon.err();
  EXPECT_TRUE(daemon.waitForErr("updated:", 2, 20)) << daemon.err();
  daemon.signal(SIGTERM);
  EXPECT_EQ(daemon.wait(20), 0) << daemon.err();
  EXPECT_NE(daemon.err().find("daemon stopped after a last update"), std::string::npos)
      << daemon.err();
}

}  // namespace
}  // namespace kestrio

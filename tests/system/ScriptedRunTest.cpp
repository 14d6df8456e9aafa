// A month of use in a few minutes: kestrio under a faked clock, across a day change and the start
// of a billing period, seen through its own commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using testing::ProcessResult;

class ScriptedRunTest : public ::testing::Test {
 protected:
  ScriptedRunTest()
      : home(dir.path() + "/home"),
        counters(dir.path() + "/net_dev"),
        env{{"KESTRIO_HOME", home},
            {"KESTRIO_COUNTERS", counters},
            {"TZ", "UTC"},
            {"LANG", "C"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"},
            // libfaketime is preloaded after whatever this process preloads already, as the
            // faketime program would. Without the program's shared clock (a semaphore and
            // shared memory that a killed run leaves behind in /dev/shm) each run's clock starts
            // on its own, which is all one command needs.
            {"LD_PRELOAD", preloads()},
            // A sanitizer build must accept a library preloaded before its own runtime.
            {"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0"}} {}

  // Runs kestrio as if the clock showed `when` (UTC) as it starts, and went on from there.
  ProcessResult at(const std::string& when, std::vector<std::string> args) {
    args.insert(args.begin(), KESTRIO_BINARY);
    std::map<std::string, std::string> faked = env;
    faked["FAKETIME"] = "@" + when;
    return testing::runProcess(args, faked);
  }
  // libfaketime as the build found it; empty when it found none.
  static std::string libfaketime() { return KESTRIO_LIBFAKETIME; }
  static std::string preloads() {
    const char* before = std::getenv("LD_PRELOAD");
    return before && *before ? std::string(before) + ":" + libfaketime() : libfaketime();
  }
  void setCounters(std::uint64_t received, std::uint64_t sent) {
    testing::replaceFile(counters, testing::procNetDevText({{"wwan7", received, sent}}));
  }

  testing::TemporaryDirectory dir;
  std::string home;
  std::string counters;
  std::map<std::string, std::string> env;
};

TEST_F(ScriptedRunTest, ADayChangeAndANewPeriodAreClosedIntoTheHistory) {
  ASSERT_FALSE(libfaketime().empty())
      << "libfaketime.so.1 was not found when the build was configured: install the libfaketime "
         "package (./setup.sh) and configure again, or set KESTRIO_LIBFAKETIME to its path";
  ASSERT_TRUE(std::filesystem::exists(libfaketime()))
      << libfaketime() << " is missing: install the libfaketime package (./setup.sh)";
  setCounters(1000000, 100000);
  ProcessResult r = at("2027-03-14 10:00:00", {"settings", "set", "firstDayOfCycle", "15"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(at("2027-03-14 10:00:00", {"update"}).exitCode, 0);
  setCounters(1000700, 100300);
  ASSERT_EQ(at("2027-03-14 23:00:00", {"update"}).exitCode, 0);

  // The next morning: the 14th closes as a day, and the period that began on the 15th closes
  // the one before it.
  setCounters(1001100, 100400);
  r = at("2027-03-15 08:00:00", {"status", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"dataThisMonth\": 0,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"monthlyResetOccured\": true"), std::string::npos) << r.out;

  r = at("2027-03-15 08:01:00", {"history", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"dataTotal\": 1000, \"dataType\": 1, \"historyType\": 1"),
            std::string::npos)
      << r.out;
  r = at("2027-03-15 08:01:00",
         {"history", "--days", "--from", "2027-03-01", "--to", "2027-03-31", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"dataTotal\": 1000, \"dataType\": 1, \"historyType\": 2"),
            std::string::npos)
      << r.out;

  // The reminder of the 15th was delivered and now waits for the next period's start.
  r = at("2027-03-15 08:02:00", {"notifications", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Your cellular billing cycle starts today"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"fireDate\": \"2027-04-15T00:00:00+00:00\""), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kestrio

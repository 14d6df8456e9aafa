// A month of use in a few minutes: kestrio under faketime, across a day change and the start of a
// billing period, seen through its own commands.
#include <gtest/gtest.h>

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
        faketime(testing::findProgram("faketime")),
        env{{"KESTRIO_HOME", home},
            {"KESTRIO_COUNTERS", counters},
            {"TZ", "UTC"},
            {"LANG", "C"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"},
            // faketime preloads itself; a sanitizer build must accept a library before its own.
            {"ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0"}} {}

  // Runs kestrio as if the clock showed `when` (UTC).
  ProcessResult at(const std::string& when, std::vector<std::string> args) {
    args.insert(args.begin(), {faketime, "-f", "@" + when, KESTRIO_BINARY});
    return testing::runProcess(args, env);
  }
  void setCounters(std::uint64_t received, std::uint64_t sent) {
    testing::replaceFile(counters, testing::procNetDevText({{"wwan7", received, sent}}));
  }

  testing::TemporaryDirectory dir;
  std::string home;
  std::string counters;
  std::string faketime;
  std::map<std::string, std::string> env;
};

TEST_F(ScriptedRunTest, ADayChangeAndANewPeriodAreClosedIntoTheHistory) {
  ASSERT_FALSE(faketime.empty()) << "faketime is missing: run ./setup.sh";
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
  EXPECT_NE(r.out.find("open app to reset cellular billing cycle"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"fireDate\": \"2027-04-15T00:00:00+00:00\""), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kestrio

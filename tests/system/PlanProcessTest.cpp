// The plan set from the terminal, read back as the settings tab shows it: real kestrio
// processes on a temporary home, reading the schema the build ships beside them.
#include <gtest/gtest.h>

#include "support/ProcNetDev.h"
#include "support/Process.h"

namespace kestrio {
namespace {

using testing::ProcessResult;

class PlanProcessTest : public ::testing::Test {
 protected:
  PlanProcessTest()
      : env{{"KESTRIO_HOME", dir.path() + "/home"},
            {"KESTRIO_COUNTERS", dir.path() + "/net_dev"},
            {"TZ", "UTC"},
            {"LANG", "C"},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}} {
    testing::replaceFile(dir.path() + "/net_dev", testing::procNetDevText({{"wwan7", 1000, 100}}));
  }
  ProcessResult kestrio(std::vector<std::string> args) {
    args.insert(args.begin(), KESTRIO_BINARY);
    return testing::runProcess(args, env);
  }

  testing::TemporaryDirectory dir;
  std::map<std::string, std::string> env;
};

TEST_F(PlanProcessTest, APlanSetWithPlanIsWhatSettingsShows) {
  struct Step {
    std::vector<std::string> args;
    const char* printed;
  };
  for (const Step& step : {Step{{"plan", "type", "monthly"}, "Monthly plan\n"},
                           Step{{"plan", "start-day", "15"}, "15th of the month\n"},
                           Step{{"plan", "quota", "5", "GB"}, "5 GB\n"},
                           Step{{"plan", "usage", "2", "GB"}, "2 GB\n"}}) {
    const ProcessResult r = kestrio(step.args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, step.printed);
  }
  const ProcessResult r = kestrio({"settings", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("\"firstDayOfCycle\": 15,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"cellularDataLimit\": 5,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"cellularDataLimitUnit\": \"GB\""), std::string::npos) << r.out;
  // The schema's row shows the value's title.
  EXPECT_NE(r.out.find("\"key\": \"firstDayOfCycle\", \"value\": 15, \"shown\": "
                       "\"15th of the month\""),
            std::string::npos)
      << r.out;
  const ProcessResult status = kestrio({"status", "--json"});
  ASSERT_EQ(status.exitCode, 0) << status.err;
  // Two GiB, plus what the status command's own update counted (the scripted 1100 bytes).
  const std::string key = "\"dataThisMonth\": ";
  const std::size_t at = status.out.find(key);
  ASSERT_NE(at, std::string::npos) << status.out;
  EXPECT_EQ(std::stod(status.out.substr(at + key.size())), 2147483648.0 + 1100) << status.out;
}

TEST_F(PlanProcessTest, RefusedValuesNameWhatIsAcceptedAndStoreNothing) {
  ProcessResult r = kestrio({"plan", "start-day", "32"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("1 to 31"), std::string::npos) << r.err;
  r = kestrio({"settings", "set", "firstDayOfCycle", "45"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("107 (Every Saturday)"), std::string::npos) << r.err;
  // A choice by its title.
  r = kestrio({"settings", "set", "startup_settings", "Wi-Fi"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = kestrio({"settings", "--json"});
  EXPECT_NE(r.out.find("\"startup_settings\": \"WIFI\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"firstDayOfCycle\": 1,"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kestrio

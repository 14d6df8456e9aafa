#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "cli/AppsCommand.h"
#include "engine/ApplicationUsage.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

constexpr double kMB = 1048576;
constexpr const char* kHint =
    "To count per application: sudo systemctl enable --now kestrio-accountd\n";

// Wi-Fi knows Firefox, System and an application with a long name used only before this period;
// cellular knows Maps.
class AppsCommandTest : public ::testing::Test {
 protected:
  AppsCommandTest() {
    platform.applicationCounters.state = ApplicationCounters::State::Read;
    ApplicationUsageStore store(platform);
    store.setApplications(
        2,
        {{"org.mozilla.firefox",
          {"Firefox", "firefox", 150 * kMB, 50 * kMB, 100 * kMB, 900 * kMB, 300 * kMB, 600 * kMB}},
         {"System", {"System", "", 10 * kMB, 4 * kMB, 6 * kMB, 20 * kMB, 8 * kMB, 12 * kMB}},
         {"long", {std::string(40, 'x'), "", 0, 0, 0, 2000 * kMB, 1000 * kMB, 1000 * kMB}}});
    store.setApplications(
        1, {{"org.gnome.Maps",
             {"Maps", "maps", 12.5 * kMB, 2.5 * kMB, 10 * kMB, 12.5 * kMB, 2.5 * kMB, 10 * kMB}}});
    EXPECT_TRUE(store.save().ok());
  }
  // `kestrio apps ARGS…` as the command line parses it.
  int run(std::vector<std::string> args) {
    out.str("");
    CLI::App app;
    AppsCommand command;
    addAppsOptions(*app.add_subcommand("apps"), command);
    args.insert(args.begin(), "apps");
    std::reverse(args.begin(), args.end());
    app.parse(args);
    return runAppsCommand(platform, command, out);
  }

  FakePlatform platform;
  std::ostringstream out;
};

TEST_F(AppsCommandTest, ListsThePeriodOrAllTimeMostUsedFirst) {
  ASSERT_EQ(run({}), 0);
  EXPECT_EQ(out.str(),
            "Network  Application                         Sent MB  Received MB     Total MB\n"
            "Cellular Maps                                   2.50        10.00        12.50\n"
            "Wi-Fi    Firefox                               50.00       100.00       150.00\n"
            "Wi-Fi    System                                 4.00         6.00        10.00\n");
  ASSERT_EQ(run({"--period", "all", "--network", "wifi"}), 0);
  EXPECT_EQ(out.str(),
            "Network  Application                         Sent MB  Received MB     Total MB\n"
            "Wi-Fi    xxxxxxxxxxxxxxxxxxxxxxxxxxxx…       1000.00      1000.00      2000.00\n"
            "Wi-Fi    Firefox                              300.00       600.00       900.00\n"
            "Wi-Fi    System                                 8.00        12.00        20.00\n");
}

TEST_F(AppsCommandTest, JsonHasEveryFigureAndTheService) {
  ASSERT_EQ(run({"--json", "--network", "cellular"}), 0);
  EXPECT_EQ(out.str(),
            "{\n  \"jsonversion\": 2,\n  \"service\": \"running\",\n  \"period\": \"current\",\n"
            "  \"applications\": [\n    {\"network\": \"cellular\", \"key\": \"org.gnome.Maps\", "
            "\"name\": \"Maps\", \"icon\": \"maps\", \"dataThisMonth\": 13107200, "
            "\"dataThisMonthSent\": 2621440, \"dataThisMonthRecd\": 10485760, "
            "\"dataAllTime\": 13107200, \"dataAllTimeSent\": 2621440, "
            "\"dataAllTimeRecd\": 10485760}\n  ]\n}\n");
}

// Without the service the figures already counted still list, and one line says how to count
// on; with nothing counted, that line is all.
TEST_F(AppsCommandTest, WithoutTheServiceOneLineTellsHowToEnableIt) {
  platform.applicationCounters = {ApplicationCounters::State::ServiceMissing, "no socket", {}};
  ASSERT_EQ(run({"--network", "cellular"}), 0);
  EXPECT_EQ(out.str().substr(out.str().find("Cellular Maps")),
            "Cellular Maps                                   2.50        10.00        12.50\n" +
                std::string(kHint));
  platform.fakeFiles().remove(platform.documentPath(ApplicationUsageStore::kFileName));
  ASSERT_EQ(run({}), 0);
  EXPECT_EQ(out.str(), kHint);
  platform.applicationCounters.state = ApplicationCounters::State::Read;
  ASSERT_EQ(run({}), 0);
  EXPECT_EQ(out.str(), "No traffic counted per application yet.\n");
}

}  // namespace
}  // namespace kestrio::cli

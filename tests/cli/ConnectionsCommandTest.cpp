#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "cli/ConnectionsCommand.h"
#include "engine/AppData.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

constexpr double kMB = 1048576;
constexpr const char* kHomeUuid = "5c0ffee0-0000-4000-8000-000000000001";
constexpr const char* kPhoneUuid = "5c0ffee0-0000-4000-8000-000000000002";

// The Wi-Fi record knows Home and a connection with a long name; the cellular one knows the
// phone's hotspot, active now.
class ConnectionsCommandTest : public ::testing::Test {
 protected:
  ConnectionsCommandTest() {
    store("wifi", {{kHomeUuid, {"Home", false, 150 * kMB, 50 * kMB, 100 * kMB, 900 * kMB, 0, 0}},
                   {"u-long", {std::string(40, 'x'), false, 0, 0, 0, 2 * kMB, 0, 0}}});
    store("cellular",
          {{kPhoneUuid, {"Pixel hotspot", true, 12.5 * kMB, 0, 12.5 * kMB, 12.5 * kMB, 0, 0}}});
    platform.connections = {true, {{"wlan0", true, kPhoneUuid, "Pixel hotspot"}}};
  }
  void store(const char* type, ConnectionUsageMap usage) {
    AppData record(platform);
    record.getAppData(type);
    record.setConnectionUsage(std::move(usage));
    ASSERT_TRUE(record.saveAppData().ok());
  }
  // `kestrio connections ARGS…` as the command line parses it.
  int run(std::vector<std::string> args) {
    out.str("");
    err.str("");
    CLI::App app;
    ConnectionsCommand command;
    addConnectionsOptions(*app.add_subcommand("connections"), command);
    args.insert(args.begin(), "connections");
    std::reverse(args.begin(), args.end());
    app.parse(args);
    return runConnectionsCommand(platform, command, out, err);
  }

  FakePlatform platform;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(ConnectionsCommandTest, ListsEachNetworksConnectionsMostUsedFirst) {
  ASSERT_EQ(run({}), 0);
  EXPECT_EQ(out.str(),
            "Network  Name                        Period MB   All time MB  Metered Active\n"
            "Cellular Pixel hotspot                   12.50         12.50  yes     yes\n"
            "Wi-Fi    Home                           150.00        900.00  no      no\n"
            "Wi-Fi    xxxxxxxxxxxxxxxxxxxxxxxx…        0.00          2.00  no      no\n");
  ASSERT_EQ(run({"--network", "wifi"}), 0);
  EXPECT_EQ(out.str().find("Pixel"), std::string::npos);
  // Without NetworkManager nobody knows what is active, and the listing says so.
  platform.connections = {};
  ASSERT_EQ(run({"--network", "cellular"}), 0);
  EXPECT_NE(out.str().find("  yes     ?\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("NetworkManager does not answer"), std::string::npos);
}

TEST_F(ConnectionsCommandTest, JsonHasTheWholeNameAndEveryFigure) {
  ASSERT_EQ(run({"--json", "--network", "cellular"}), 0);
  EXPECT_EQ(out.str(),
            "{\n  \"jsonversion\": 2,\n  \"connections\": [\n    {\"network\": \"cellular\", "
            "\"uuid\": \"5c0ffee0-0000-4000-8000-000000000002\", \"name\": \"Pixel hotspot\", "
            "\"metered\": true, \"active\": true, \"dataThisMonth\": 13107200, "
            "\"dataThisMonthSent\": 0, \"dataThisMonthRecd\": 13107200, \"dataAllTime\": 13107200, "
            "\"dataAllTimeSent\": 0, \"dataAllTimeRecd\": 0}\n  ]\n}\n");
  ASSERT_EQ(run({"--json", "--network", "wifi"}), 0);
  EXPECT_NE(out.str().find(std::string(40, 'x')), std::string::npos);
}

struct MeteredCase {
  const char* name;
  std::vector<std::string> args;
  const char* refusal;  // NetworkManager refuses the change with these words
  std::optional<ConnectionMetered> storesInstead;
  int status;
  const char* said;          // on standard output when it succeeded, else on standard error
  const char* requestedFor;  // the UUID NetworkManager was asked to change; none when empty
};

void PrintTo(const MeteredCase& c, std::ostream* os) {
  *os << c.name;
}

class MeteredCommandTest : public ConnectionsCommandTest,
                           public ::testing::WithParamInterface<MeteredCase> {};

// Only what NetworkManager stores afterwards is reported as done: a refusal, or another value
// stored than the one asked for, is a failure with NetworkManager's own words.
TEST_P(MeteredCommandTest, ChangesNetworkManagersSettingAndReportsWhatItStores) {
  const MeteredCase& c = GetParam();
  platform.storedMetered = {{kHomeUuid, ConnectionMetered::Unknown},
                            {kPhoneUuid, ConnectionMetered::Unknown},
                            {"u-long", ConnectionMetered::Unknown}};
  platform.meteredRefusal = c.refusal;
  platform.meteredStoresInstead = c.storesInstead;
  std::vector<std::string> args{"metered"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  EXPECT_EQ(run(args), c.status);
  EXPECT_EQ((c.status == 0 ? out : err).str(), c.said);
  if (*c.requestedFor) {
    ASSERT_EQ(platform.meteredRequests.size(), 1u);
    EXPECT_EQ(platform.meteredRequests[0].first, c.requestedFor);
  } else {
    EXPECT_TRUE(platform.meteredRequests.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeteredCommandTest,
    ::testing::Values(
        MeteredCase{"by name",
                    {"Home", "yes"},
                    "",
                    std::nullopt,
                    0,
                    "Home: metered yes, as NetworkManager now stores it\n",
                    kHomeUuid},
        MeteredCase{"by UUID, left to NetworkManager",
                    {kPhoneUuid, "auto"},
                    "",
                    std::nullopt,
                    0,
                    "Pixel hotspot: metered auto (NetworkManager decides), as NetworkManager now "
                    "stores it\n",
                    kPhoneUuid},
        MeteredCase{"refused",
                    {"Home", "no"},
                    "Not authorized to modify connection",
                    std::nullopt,
                    1,
                    "kestrio: NetworkManager did not change \"Home\": Not authorized to modify "
                    "connection\n",
                    kHomeUuid},
        MeteredCase{"stored otherwise",
                    {"Home", "no"},
                    "",
                    ConnectionMetered::Yes,
                    1,
                    "kestrio: NetworkManager stores metered yes for \"Home\", not no\n",
                    kHomeUuid},
        MeteredCase{"a UUID Kestrio never counted",
                    {"5c0ffee0-0000-4000-8000-0000000000ff", "yes"},
                    "",
                    std::nullopt,
                    1,
                    "kestrio: NetworkManager did not change "
                    "\"5c0ffee0-0000-4000-8000-0000000000ff\": no connection with UUID "
                    "5c0ffee0-0000-4000-8000-0000000000ff\n",
                    "5c0ffee0-0000-4000-8000-0000000000ff"},
        MeteredCase{"a mistyped name",
                    {"Hme", "yes"},
                    "",
                    std::nullopt,
                    2,
                    "kestrio: no connection is named \"Hme\"; did you mean Home?\n",
                    ""}),
    testing::NameField());

// Two connections of one name cannot be told apart by it.
TEST_F(ConnectionsCommandTest, ASharedNameNeedsTheUuid) {
  store("wifi", {{kHomeUuid, {"Home", false, 0, 0, 0, 0, 0, 0}},
                 {"u-other", {"Home", false, 0, 0, 0, 0, 0, 0}}});
  EXPECT_EQ(run({"metered", "Home", "yes"}), 2);
  EXPECT_NE(err.str().find("several connections are named \"Home\""), std::string::npos);
  EXPECT_TRUE(platform.meteredRequests.empty());
}

}  // namespace
}  // namespace kestrio::cli

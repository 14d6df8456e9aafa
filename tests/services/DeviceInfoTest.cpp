#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/AppData.h"
#include "services/DeviceInfo.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

class DeviceInfoTest : public ::testing::Test {
 protected:
  DeviceInfoTest() {
    platform.setLoopback("lo", 500, 500);
    platform.setCounters("wlan0", 4000000000ULL, 1000000000ULL, InterfaceKind::Wifi);
    platform.setCounters("eth0", 300, 30, InterfaceKind::Wifi);
    platform.setCounters("wwan0", 2000, 200, InterfaceKind::Cellular);
    platform.setCounters("docker0", 77, 7, InterfaceKind::Neither);
  }

  double sample(const std::string& type, int direction) {
    AppData data(platform);
    return data.getCurrentDataUsageForDataType(type, direction);
  }

  FakePlatform platform;
};

TEST_F(DeviceInfoTest, PerInterfaceReadingsMatchExactNamesAndNeverLoopback) {
  EXPECT_EQ(DeviceInfo::getCurrentDataUsageForBSDInterface(platform, "wlan0"), 5000000000.0);
  EXPECT_EQ(DeviceInfo::getCurrentDataReceivedForBSDInterface(platform, "wlan0"), 4000000000.0);
  EXPECT_EQ(DeviceInfo::getCurrentDataSentForBSDInterface(platform, "wlan0"), 1000000000.0);
  EXPECT_EQ(DeviceInfo::getCurrentDataUsageForBSDInterface(platform, "lo"), 0);
  EXPECT_EQ(DeviceInfo::getCurrentDataUsageForBSDInterface(platform, "WLAN0"), 0);
  EXPECT_EQ(DeviceInfo::getCurrentDataUsageForBSDInterface(platform, "wlan"), 0);
  EXPECT_EQ(DeviceInfo::getCurrentDataUsageForBSDInterface(platform, "missing0"), 0);
  platform.setCountersUnreadable(true);
  EXPECT_EQ(DeviceInfo::getCurrentDataUsageForBSDInterface(platform, "wlan0"), 0);
}

TEST_F(DeviceInfoTest, NetworkSampleSumsTheNetworksInterfacesByDirection) {
  EXPECT_EQ(sample("wifi", 1), 1000000030.0);
  EXPECT_EQ(sample("wifi", 2), 4000000300.0);
  EXPECT_EQ(sample("wifi", 3), 5000000330.0);
  EXPECT_EQ(sample("wifi", 0), 0);
  EXPECT_EQ(sample("wifi", 4), 0);
  EXPECT_EQ(sample("cellular", 3), 2200.0);
  // Only "wifi" exactly selects Wi-Fi; any other text is cellular.
  EXPECT_EQ(sample("Wifi", 3), 2200.0);
  EXPECT_EQ(sample("", 1), 200.0);
}

TEST_F(DeviceInfoTest, TheUsersInterfaceListsReplaceTheAutomaticChoice) {
  platform.userDefaults().setObject(
      DeviceInfo::kCellularInterfacesKey,
      PlistValue(PlistValue::Array{PlistValue("eth*"), PlistValue("docker0")}));
  auto names = [&](const std::string& type) {
    std::vector<std::string> out;
    for (const auto& c : DeviceInfo::interfacesForDataType(platform, type)) out.push_back(c.name);
    return out;
  };
  EXPECT_EQ(names("cellular"), (std::vector<std::string>{"eth0", "docker0"}));
  // eth0 now counts for cellular only, never for both networks.
  EXPECT_EQ(names("wifi"), (std::vector<std::string>{"wlan0"}));

  platform.userDefaults().setObject(DeviceInfo::kWifiInterfacesKey,
                                    PlistValue(PlistValue::Array{}));
  EXPECT_TRUE(names("wifi").empty());
}

// The order that decides an interface's network: the user's lists, then a metered connection
// (while the setting is on and NetworkManager runs), then the interface's kind.
TEST_F(DeviceInfoTest, AMeteredConnectionCountsAsCellularUnlessTheUserDecidedOtherwise) {
  struct Case {
    const char* name;
    bool managerRuns;
    std::optional<bool> settingOn;  // absent: the default
    std::optional<std::vector<std::string>> wifiList;
    std::vector<std::string> cellular;
    std::vector<std::string> wifi;
  };
  for (const Case& c : {
           Case{"by kind without NetworkManager",
                false,
                std::nullopt,
                std::nullopt,
                {"wwan0"},
                {"wlan0", "eth0"}},
           Case{"hotspot metered, wired not, modem unmanaged",
                true,
                std::nullopt,
                std::nullopt,
                {"wlan0", "wwan0"},
                {"eth0"}},
           Case{"turned off", true, false, std::nullopt, {"wwan0"}, {"wlan0", "eth0"}},
           Case{"the user's list first",
                true,
                true,
                std::vector<std::string>{"wlan*"},
                {"wwan0"},
                {"wlan0"}},
       }) {
    SCOPED_TRACE(c.name);
    UserDefaults& store = platform.userDefaults();
    store.removeObjectForKey(DeviceInfo::kCountMeteredAsCellularKey);
    store.removeObjectForKey(DeviceInfo::kWifiInterfacesKey);
    if (c.settingOn) store.setBool(DeviceInfo::kCountMeteredAsCellularKey, *c.settingOn);
    if (c.wifiList)
      store.setObject(DeviceInfo::kWifiInterfacesKey,
                      PlistValue(PlistValue::Array(c.wifiList->begin(), c.wifiList->end())));
    platform.connections = {};
    if (c.managerRuns) {
      // A metered hotspot, an unmetered wired link, and a bridge whose traffic also crosses them.
      platform.connections = {true,
                              {{"wlan0", true, "u-1", "Pixel hotspot"},
                               {"eth0", false, "u-2", "Wired"},
                               {"docker0", true, "u-3", "docker0"}},
                              {}};
    }
    const auto names = [&](const char* type) {
      std::vector<std::string> out;
      for (const auto& i : DeviceInfo::interfacesForDataType(platform, type)) out.push_back(i.name);
      return out;
    };
    EXPECT_EQ(names("cellular"), c.cellular);
    EXPECT_EQ(names("wifi"), c.wifi);
  }
  // Turned off, NetworkManager is not even asked.
  platform.userDefaults().setBool(DeviceInfo::kCountMeteredAsCellularKey, false);
  platform.connectionQueries = 0;
  DeviceInfo::interfacesForDataType(platform, "cellular");
  EXPECT_EQ(platform.connectionQueries, 0);
}

TEST_F(DeviceInfoTest, BootInstantBelowOneIsUnknown) {
  platform.setBoot(0, "");
  EXPECT_EQ(DeviceInfo::getSecondsSinceLastBoot(platform), -1);
  platform.setBoot(1767225600, "b");
  EXPECT_EQ(DeviceInfo::getSecondsSinceLastBoot(platform), 1767225600);
}

}  // namespace
}  // namespace kestrio

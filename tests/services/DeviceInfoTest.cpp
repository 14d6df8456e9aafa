#include <gtest/gtest.h>

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

TEST_F(DeviceInfoTest, BootInstantBelowOneIsUnknown) {
  platform.setBoot(0, "");
  EXPECT_EQ(DeviceInfo::getSecondsSinceLastBoot(platform), -1);
  platform.setBoot(1767225600, "b");
  EXPECT_EQ(DeviceInfo::getSecondsSinceLastBoot(platform), 1767225600);
}

}  // namespace
}  // namespace kestrio

#include <gtest/gtest.h>

#include <string>

#include "platform/NetworkInterfaces.h"
#include "support/CaseNames.h"

namespace kestrio {
namespace {

constexpr const char* kHeader =
    "Inter-|   Receive                                                |  Transmit\n"
    " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
    "drop fifo colls carrier compressed\n";

std::string table(const std::string& rows) {
  return std::string(kHeader) + rows;
}

// ---- parsing ----

TEST(ParseProcNetDev, ReadsEveryInterfaceInOrder) {
  auto parsed = parseProcNetDev(
      table("    lo:  123456     789    0    0    0     0          0         0   123456     789    "
            "0    0    0     0       0          0\n"
            "  eth0: 5000000000 4000000 1 2 3 4 5 6 6000000000 5000000 7 8 9 10 11 12\n"
            " wlan0: 1000 10 0 0 0 0 0 0 2000 20 0 0 0 0 0 0\n"
            " wwan0: 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"));
  ASSERT_TRUE(parsed.has_value());
  ASSERT_EQ(parsed->size(), 4u);
  EXPECT_EQ((*parsed)[0].name, "lo");
  EXPECT_EQ((*parsed)[0].received, 123456u);
  EXPECT_EQ((*parsed)[0].sent, 123456u);
  EXPECT_TRUE((*parsed)[0].loopback);
  // Above 2^32: the counters are 64-bit, and the fields between bytes are not taken for bytes.
  EXPECT_EQ((*parsed)[1].name, "eth0");
  EXPECT_EQ((*parsed)[1].received, 5000000000u);
  EXPECT_EQ((*parsed)[1].sent, 6000000000u);
  EXPECT_FALSE((*parsed)[1].loopback);
  EXPECT_EQ((*parsed)[2].name, "wlan0");
  EXPECT_EQ((*parsed)[2].received, 1000u);
  EXPECT_EQ((*parsed)[2].sent, 2000u);
  EXPECT_EQ((*parsed)[3].name, "wwan0");
  EXPECT_EQ((*parsed)[3].received, 0u);
}

TEST(ParseProcNetDev, ReadsTheLargestCounterAndANumberRightAfterTheColon) {
  auto parsed = parseProcNetDev(
      table("eth0:18446744073709551615 1 0 0 0 0 0 0 18446744073709551614 1 0 0 0 0 0 0\n"
            "enp0s31f6-abcde:7 1 0 0 0 0 0 0 9 1 0 0 0 0 0 0"));  // 15 characters, no final newline
  ASSERT_TRUE(parsed.has_value());
  ASSERT_EQ(parsed->size(), 2u);
  EXPECT_EQ((*parsed)[0].received, 18446744073709551615u);
  EXPECT_EQ((*parsed)[0].sent, 18446744073709551614u);
  EXPECT_EQ((*parsed)[1].name, "enp0s31f6-abcde");
  EXPECT_EQ((*parsed)[1].received, 7u);
  EXPECT_EQ((*parsed)[1].sent, 9u);
}

TEST(ParseProcNetDev, SkipsMalformedLinesAndKeepsTheRest) {
  const std::string good = "  eth0: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n";
  auto parsed = parseProcNetDev(table(
      "no colon here 1 2 3\n"
      "  short: 1 2 3 4 5 6 7 8 9\n"                                 // fields missing
      "  neg: -1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"                    // negative
      "  big: 18446744073709551616 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"  // beyond 64 bits
      "  word: 1 0 0 0 x 0 0 0 2 0 0 0 0 0 0 0\n"                    // not a number
      "  1.5: 1.5 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"                   // not whole
      "    : 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"                      // no name
      "../x: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"                      // a path
      "averyveryverylongname: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"     // 21 characters
      "two words: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"                 // blank in name
      "\n" +
      good + "  eth0: 9 0 0 0 0 0 0 0 9 0 0 0 0 0 0 0\n"));  // a second eth0 would count twice
  ASSERT_TRUE(parsed.has_value());
  ASSERT_EQ(parsed->size(), 1u);
  EXPECT_EQ((*parsed)[0].name, "eth0");
  EXPECT_EQ((*parsed)[0].received, 1u);
  EXPECT_EQ((*parsed)[0].sent, 2u);
}

// A scripted file may give each interface's index; the kernel's own table never does, and a
// name there may hold an '@'.
TEST(ParseScriptedCounters, ANameMayCarryTheIndex) {
  struct Case {
    const char* line;
    const char* name;
    std::uint32_t index;
  };
  const Case cases[] = {
      {"wwan0@7: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0", "wwan0", 7},
      {"wwan0: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0", "wwan0", 0},
      {"a@b@3: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0", "a@b", 3},
      {"x@0: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0", "x@0", 0},
      {"x@: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0", "x@", 0},
      {"x@99999999999: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0", "x@99999999999", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    auto scripted = parseScriptedCounters(table(std::string(c.line) + "\n"));
    auto kernel = parseProcNetDev(table(std::string(c.line) + "\n"));
    ASSERT_TRUE(scripted && kernel);
    ASSERT_EQ(scripted->size(), 1u);
    EXPECT_EQ((*scripted)[0].name, c.name);
    EXPECT_EQ((*scripted)[0].index, c.index);
    EXPECT_EQ((*scripted)[0].received, 1u);
    EXPECT_EQ((*scripted)[0].sent, 2u);
    ASSERT_EQ(kernel->size(), 1u);
    EXPECT_EQ((*kernel)[0].index, 0u);
    EXPECT_EQ((*kernel)[0].name, std::string(c.line).substr(0, std::string(c.line).find(':')));
  }
}

TEST(ParseProcNetDev, AnswersNothingWithoutTheHeader) {
  EXPECT_FALSE(parseProcNetDev("").has_value());
  EXPECT_FALSE(parseProcNetDev("eth0: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n").has_value());
  EXPECT_FALSE(parseProcNetDev("Inter-|   Receive\n").has_value());  // one header line only
  EXPECT_FALSE(parseProcNetDev("cpu  1 2 3\nbtime 1767225600\n").has_value());
  EXPECT_FALSE(parseProcNetDev(" face |bytes\nInter-|\n").has_value());  // lines swapped
}

TEST(ParseProcNetDev, HeaderWithoutInterfacesIsAnEmptyTable) {
  auto parsed = parseProcNetDev(kHeader);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_TRUE(parsed->empty());
}

// ---- classification ----

struct ClassifyCase {
  const char* label;
  const char* name;
  InterfaceFacts facts;
  InterfaceKind expected;
};

void PrintTo(const ClassifyCase& c, std::ostream* os) {
  *os << c.label;
}

InterfaceFacts sysfs(std::string devtype, bool wireless, bool device, bool loopback = false) {
  InterfaceFacts facts;
  facts.known = true;
  facts.devtype = std::move(devtype);
  facts.wireless = wireless;
  facts.physicalDevice = device;
  facts.loopback = loopback;
  return facts;
}

class ClassifyInterface : public ::testing::TestWithParam<ClassifyCase> {};

std::string byLabel(const ::testing::TestParamInfo<ClassifyCase>& info) {
  return kestrio::testing::caseName(info.param.label);
}

TEST_P(ClassifyInterface, Kind) {
  const ClassifyCase& c = GetParam();
  EXPECT_EQ(classifyInterface(c.name, c.facts), c.expected) << c.label;
}

constexpr auto N = InterfaceKind::Neither;
constexpr auto C = InterfaceKind::Cellular;
constexpr auto W = InterfaceKind::Wifi;

INSTANTIATE_TEST_SUITE_P(
    BySysfsFacts, ClassifyInterface,
    ::testing::Values(
        ClassifyCase{"loopback", "lo", sysfs("", false, false, true), N},
        ClassifyCase{"loopback flag under another name", "lo2", sysfs("", false, true, true), N},
        ClassifyCase{"modem", "wwan0", sysfs("wwan", false, true), C},
        ClassifyCase{"modem devtype whatever the name", "mbim0", sysfs("wwan", false, false), C},
        ClassifyCase{"wlan devtype", "wlp2s0", sysfs("wlan", false, true), W},
        ClassifyCase{"phy80211 without devtype", "wifi0", sysfs("", true, true), W},
        ClassifyCase{"wired ethernet on hardware", "enp0s31f6", sysfs("", false, true), W},
        ClassifyCase{"usb ethernet adapter", "enx001122334455", sysfs("", false, true), W},
        ClassifyCase{"ethernet name without device", "eth9", sysfs("", false, false), N},
        ClassifyCase{"bridge", "br0", sysfs("bridge", false, false), N},
        ClassifyCase{"docker bridge", "docker0", sysfs("bridge", false, false), N},
        ClassifyCase{"vlan on a card", "eth0.10", sysfs("vlan", false, false), N},
        ClassifyCase{"bond", "bond0", sysfs("bond", false, false), N},
        ClassifyCase{"veth", "veth1a2b", sysfs("", false, false), N},
        ClassifyCase{"tun", "tun0", sysfs("", false, false), N},
        ClassifyCase{"wireguard", "wg0", sysfs("wireguard", false, false), N},
        ClassifyCase{"virtual devtype beats a device", "br1", sysfs("bridge", false, true), N},
        ClassifyCase{"ppp link without devtype", "ppp0", sysfs("", false, false), C},
        ClassifyCase{"qualcomm rmnet", "rmnet_data0", sysfs("", false, false), C},
        ClassifyCase{"predictable modem name", "wwp0s20f0u6", sysfs("", false, true), C}),
    byLabel);

INSTANTIATE_TEST_SUITE_P(ByNameWhenSysfsDoesNotKnow, ClassifyInterface,
                         ::testing::Values(ClassifyCase{"loopback", "lo", InterfaceFacts{}, N},
                                           ClassifyCase{"wwan", "wwan0", InterfaceFacts{}, C},
                                           ClassifyCase{"ww", "wwp0s20", InterfaceFacts{}, C},
                                           ClassifyCase{"rmnet", "rmnet0", InterfaceFacts{}, C},
                                           ClassifyCase{"ppp", "ppp0", InterfaceFacts{}, C},
                                           ClassifyCase{"wlan", "wlan0", InterfaceFacts{}, W},
                                           ClassifyCase{"wl", "wlp3s0", InterfaceFacts{}, W},
                                           ClassifyCase{"en", "enp0s25", InterfaceFacts{}, W},
                                           ClassifyCase{"eth", "eth0", InterfaceFacts{}, W},
                                           ClassifyCase{"docker", "docker0", InterfaceFacts{}, N},
                                           ClassifyCase{"bridge", "br-1a2b3c", InterfaceFacts{}, N},
                                           ClassifyCase{"veth", "veth9", InterfaceFacts{}, N},
                                           ClassifyCase{"virbr", "virbr0", InterfaceFacts{}, N},
                                           ClassifyCase{"tun", "tun0", InterfaceFacts{}, N},
                                           ClassifyCase{"tap", "tap0", InterfaceFacts{}, N},
                                           ClassifyCase{"vnet", "vnet3", InterfaceFacts{}, N},
                                           ClassifyCase{"unknown", "usb0", InterfaceFacts{}, N}),
                         byLabel);

// ---- the user's overrides ----

TEST(ApplyOverrides, WithoutListsTheAutomaticKindStands) {
  InterfaceOverrides none;
  EXPECT_EQ(applyOverrides("wwan0", C, none), C);
  EXPECT_EQ(applyOverrides("wlan0", W, none), W);
  EXPECT_EQ(applyOverrides("docker0", N, none), N);
}

TEST(ApplyOverrides, CellularListReplacesTheAutomaticCellularChoice) {
  InterfaceOverrides overrides;
  overrides.cellular = std::vector<std::string>{"wwan*", "usb0"};
  EXPECT_EQ(applyOverrides("wwan0", C, overrides), C);
  EXPECT_EQ(applyOverrides("wwan12", N, overrides), C);
  EXPECT_EQ(applyOverrides("usb0", N, overrides), C);    // a phone's tethering link
  EXPECT_EQ(applyOverrides("usb1", N, overrides), N);    // a plain name is not a prefix
  EXPECT_EQ(applyOverrides("rmnet0", C, overrides), N);  // automatic cellular, not listed
  EXPECT_EQ(applyOverrides("wlan0", W, overrides), W);   // the Wi-Fi choice is not touched
  EXPECT_EQ(applyOverrides("eth0", W, overrides), W);
}

TEST(ApplyOverrides, EmptyListCountsNothingOnItsNetwork) {
  InterfaceOverrides overrides;
  overrides.wifi = std::vector<std::string>{};
  EXPECT_EQ(applyOverrides("wlan0", W, overrides), N);
  EXPECT_EQ(applyOverrides("eth0", W, overrides), N);
  EXPECT_EQ(applyOverrides("wwan0", C, overrides), C);
}

TEST(ApplyOverrides, BothListsAndCellularWinsAMatchOfBoth) {
  InterfaceOverrides overrides;
  overrides.cellular = std::vector<std::string>{"usb[0-9]"};
  overrides.wifi = std::vector<std::string>{"wl?0", "en*", "usb*"};
  EXPECT_EQ(applyOverrides("usb0", N, overrides), C);
  EXPECT_EQ(applyOverrides("usb10", N, overrides), W);
  EXPECT_EQ(applyOverrides("wlp0", N, overrides), W);
  EXPECT_EQ(applyOverrides("wlan0", W, overrides), N);  // "?" is one character
  EXPECT_EQ(applyOverrides("enp0s25", W, overrides), W);
  EXPECT_EQ(applyOverrides("wwan0", C, overrides), N);
  EXPECT_EQ(applyOverrides("docker0", N, overrides), N);
}

}  // namespace
}  // namespace kestrio

#include <gtest/gtest.h>

#include <limits>

#include "engine/AppData.h"
#include "platform/PropertyList.h"
#include "support/FakePlatform.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakeFileSystem;
using testing::FakePlatform;
using testing::putRecord;
using testing::storedRecord;

class AppDataLoadTest : public ::testing::Test {
 protected:
  AppDataLoadTest() { platform.setCounters("wwan0", 300, 100, InterfaceKind::Cellular); }

  FakePlatform platform;
  AppData data{platform};
};

TEST_F(AppDataLoadTest, AnOlderFileGetsItsPartsFromTheCountersAndItsShares) {
  putRecord(platform, AppData::kCellularFileName,
            {{"dataAllTime", PlistValue(1000.0)},
             {"dataThisMonth", PlistValue(400.0)},
             {"dataSinceLastRun", PlistValue(50.0)}});
  data.getAppData("cellular");
  EXPECT_EQ(data.dataSinceLastBootSent(), 100.0);
  EXPECT_EQ(data.dataSinceLastBootRecd(), 300.0);
  EXPECT_EQ(data.dataAllTimeSent(), 100.0);
  EXPECT_EQ(data.dataAllTimeRecd(), 300.0);
  EXPECT_EQ(data.dataThisMonthSent(), 400.0 * 100 / 1000);
  EXPECT_EQ(data.dataThisMonthRecd(), 400.0 * 300 / 1000);
  EXPECT_EQ(data.dataSinceAppLastRun(), 50.0);
  EXPECT_EQ(data.dataToday(), 0.0);
  EXPECT_FALSE(data.lastUpdate().has_value());
  EXPECT_FALSE(data.interfaceCounters().has_value());
}

TEST_F(AppDataLoadTest, WithoutAllTimeTrafficThePeriodCountsAsReceived) {
  putRecord(platform, AppData::kCellularFileName,
            {{"dataAllTime", PlistValue(0.0)}, {"dataThisMonth", PlistValue(500.0)}});
  data.getAppData("cellular");
  EXPECT_EQ(data.dataThisMonthSent(), 0.0);
  EXPECT_EQ(data.dataThisMonthRecd(), 500.0);
}

TEST_F(AppDataLoadTest, DaysAreTruncatedAndMissingPlacesAreNotAvailable) {
  putRecord(platform, AppData::kCellularFileName,
            {{"billingDaysTotal", PlistValue(30.9)}, {"billingDaysElapsed", PlistValue(-2.7)}});
  data.getAppData("cellular");
  EXPECT_EQ(data.billingDaysTotal(), 30);
  EXPECT_EQ(data.billingDaysElapsed(), -2);
  EXPECT_EQ(data.lastLocation(), "Not Available.");
  EXPECT_EQ(data.lastLocationDataUsed(), "Not Available.");
}

TEST_F(AppDataLoadTest, OnlyWifiExactlyUsesTheWifiFile) {
  data.getAppData("Wifi");
  EXPECT_EQ(data.dataFilePath(), platform.documentPath("app_data_cellular.plist"));
  data.getAppData("wifi");
  EXPECT_EQ(data.dataFilePath(), platform.documentPath("app_data_wifi.plist"));
}

TEST_F(AppDataLoadTest, AMissingFileChangesNoField) {
  data.setDataAllTime(42.0);
  data.getAppData("cellular");
  EXPECT_EQ(data.dataAllTime(), 42.0);
}

TEST_F(AppDataLoadTest, EveryKeyRoundTripsAndEmptyFieldsLeaveTheFile) {
  data.getAppData("wifi");
  data.setDataAllTime(1e12 + 1);
  data.setDataAllTimeSent(4e11);
  data.setDataAllTimeRecd(6e11 + 1);
  data.setDataToday(-1.0);
  data.setDataTodaySent(-1.0);
  data.setDataTodayRecd(-1.0);
  data.setDataThisMonth(123.0);
  data.setDataThisMonthSent(23.0);
  data.setDataThisMonthRecd(100.0);
  data.setLastUpdate(platform.at(2026, 3, 1, 8, 30, 15));
  data.setLastBillingDate(platform.at(2026, 2, 15));
  data.setNextBillingDate(platform.at(2026, 3, 15));
  data.setBillingDaysTotal(28);
  data.setBillingDaysElapsed(14);
  data.setLastLocation("Café \"Zentral\" & <Bar>");
  data.setLastLocationDataUsed("");
  data.setInterfaceCounters(InterfaceCounterMap{{"wlan0", {"boot-1", 5e9, 1e9}}});
  ASSERT_TRUE(data.saveAppData().ok());

  AppData again(platform);
  again.getAppData("wifi");
  EXPECT_EQ(again.dataAllTime(), 1e12 + 1);
  EXPECT_EQ(again.dataAllTimeRecd(), 6e11 + 1);
  EXPECT_EQ(again.dataToday(), -1.0);
  EXPECT_EQ(again.dataThisMonthSent(), 23.0);
  EXPECT_EQ(again.lastUpdate(), platform.at(2026, 3, 1, 8, 30, 15));
  EXPECT_EQ(again.nextBillingDate(), platform.at(2026, 3, 15));
  EXPECT_EQ(again.billingDaysTotal(), 28);
  EXPECT_EQ(again.billingDaysElapsed(), 14);
  EXPECT_EQ(again.lastLocation(), "Café \"Zentral\" & <Bar>");
  EXPECT_EQ(again.lastLocationDataUsed(), "");
  EXPECT_EQ(again.interfaceCounters(), (InterfaceCounterMap{{"wlan0", {"boot-1", 5e9, 1e9}}}));
  // Without connection data the file has no key for it, and loads with none.
  EXPECT_EQ(storedRecord(platform, AppData::kWifiFileName).count("connections"), 0u);
  EXPECT_TRUE(again.connectionUsage().empty());
  InterfaceSnapshot carried{"boot-1", 5e9, 1e9};
  carried.connectionUuid = "u-1";
  carried.connectionName = "Pixel hotspot";
  carried.connectionMetered = true;
  InterfaceSnapshot unconnected{"boot-1", 7, 8};
  unconnected.connectionUuid = "";
  const InterfaceCounterMap memory{{"wlan0", carried}, {"eth0", unconnected}};
  const ConnectionUsageMap usage{
      {"u-1", {"Pixel hotspot", true, 3, 1, 2, 1e12 + 7, 4e11, 6e11 + 7}},
      {"u-2", {"Café \"Zentral\"", false, 0, 0, 0, 5, 2, 3}}};
  again.setInterfaceCounters(memory);
  again.setConnectionUsage(usage);
  ASSERT_TRUE(again.saveAppData().ok());
  AppData withConnections(platform);
  withConnections.getAppData("wifi");
  EXPECT_EQ(withConnections.interfaceCounters(), memory);
  EXPECT_EQ(withConnections.connectionUsage(), usage);

  // A cleared field disappears from the file and loads as 0 or as no date.
  again.setLastBillingDate(std::nullopt);
  again.setDataThisMonth(std::nullopt);
  ASSERT_TRUE(again.saveAppData().ok());
  const auto stored = storedRecord(platform, AppData::kWifiFileName);
  EXPECT_EQ(stored.count("lastBillingDate"), 0u);
  EXPECT_EQ(stored.count("dataThisMonth"), 0u);
  EXPECT_EQ(stored.count("appDataType"), 0u);
  AppData third(platform);
  third.getAppData("wifi");
  EXPECT_FALSE(third.lastBillingDate().has_value());
  EXPECT_EQ(third.dataThisMonth(), 0.0);
}

TEST_F(AppDataLoadTest, AnUnreadableFileIsMovedAsideAndTreatedAsMissing) {
  const std::string path = platform.documentPath(AppData::kCellularFileName);
  platform.fakeFiles().put(path, "<plist><dict><key>dataAllTime</key><real>12");
  data.getAppData("cellular");
  EXPECT_FALSE(platform.files().exists(path));
  int asideCopies = 0;
  for (const auto& [p, content] : platform.fakeFiles().contents()) {
    if (p.rfind(path + ".unreadable-", 0) == 0) {
      ++asideCopies;
      EXPECT_EQ(content, "<plist><dict><key>dataAllTime</key><real>12");
    }
  }
  EXPECT_EQ(asideCopies, 1);
  EXPECT_FALSE(platform.logLines.empty());
  EXPECT_FALSE(data.dataAllTime().has_value());
}

// A record beyond the size limit is set aside unread, with a line naming the file and the
// limit; one just below it is read as it is.
TEST_F(AppDataLoadTest, ARecordBeyondTheSizeLimitIsSetAsideUnread) {
  const std::string path = platform.documentPath(AppData::kCellularFileName);
  for (const bool over : {false, true}) {
    SCOPED_TRACE(over ? "over" : "at the limit");
    // A sound record made exactly as large as wanted by the length of its place's name.
    const auto record = [](std::size_t placeLength) {
      return plist::toXml(PlistValue(
          PlistValue::Dictionary{{"dataAllTime", PlistValue(5.0)},
                                 {"lastLocation", PlistValue(std::string(placeLength, 'x'))}}));
    };
    const std::size_t frame = record(1).size() - 1;
    const std::string bytes = record(AppData::kMaxRecordBytes - frame + (over ? 1 : 0));
    ASSERT_EQ(bytes.size(), AppData::kMaxRecordBytes + (over ? 1 : 0));
    platform.fakeFiles().put(path, bytes);
    AppData loaded(platform);
    loaded.getAppData("cellular");
    EXPECT_EQ(loaded.dataAllTime(), over ? std::nullopt : std::optional<double>(5.0));
    EXPECT_EQ(platform.files().exists(path), !over);
  }
  ASSERT_FALSE(platform.logLines.empty());
  EXPECT_NE(platform.logLines.back().find(path +
                                          " cannot be read: it is larger than 8 MiB, the limit "
                                          "of a usage record; moved to " +
                                          path + ".unreadable-"),
            std::string::npos)
      << platform.logLines.back();
}

// Figures that cannot be counts would spread into every later pass and the history: such a
// record is set aside like an unreadable one. The today marker -1 is a figure, not damage.
TEST_F(AppDataLoadTest, FiguresThatCannotBeCountsSetTheRecordAside) {
  const auto memory = [](PlistValue::Dictionary entry) {
    return PlistValue(PlistValue::Dictionary{{"wwan0", PlistValue(std::move(entry))}});
  };
  const PlistValue::Dictionary sound{{"bootId", PlistValue("boot-1")},
                                     {"received", PlistValue(10.0)},
                                     {"sent", PlistValue(std::int64_t{5})},
                                     {"index", PlistValue(std::int64_t{4})}};
  auto with = [&](const char* key, PlistValue value) {
    PlistValue::Dictionary entry = sound;
    entry[key] = std::move(value);
    return memory(entry);
  };
  auto without = [&](const char* key) {
    PlistValue::Dictionary entry = sound;
    entry.erase(key);
    return memory(entry);
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const PlistValue::Dictionary connection{{"name", PlistValue("Home")},
                                          {"metered", PlistValue(false)},
                                          {"dataThisMonth", PlistValue(30.0)},
                                          {"dataThisMonthSent", PlistValue(10.0)},
                                          {"dataThisMonthRecd", PlistValue(20.0)},
                                          {"dataAllTime", PlistValue(std::int64_t{60})},
                                          {"dataAllTimeSent", PlistValue(20.0)},
                                          {"dataAllTimeRecd", PlistValue(40.0)}};
  auto connections = [](const PlistValue::Dictionary& entry) {
    return PlistValue(PlistValue::Dictionary{{"u-home", PlistValue(entry)}});
  };
  // The sound connection with one value replaced, or left out when there is none.
  auto changed = [&](const char* key, std::optional<PlistValue> value) {
    PlistValue::Dictionary entry = connection;
    if (value) {
      entry[key] = std::move(*value);
    } else {
      entry.erase(key);
    }
    return entry;
  };
  struct Case {
    const char* key;
    PlistValue value;
    bool damaged;
  };
  const Case cases[] = {
      {"dataAllTime", PlistValue(nan), true},
      {"dataThisMonthSent", PlistValue(inf), true},
      {"dataSinceLastBoot", PlistValue(-inf), true},
      {"dataAllTimeRecd", PlistValue(-1.0), true},
      {"dataThisMonth", PlistValue(std::int64_t{-5}), true},
      {"dataSinceLastRun", PlistValue("12"), true},
      {"dataThisMonth", PlistValue(true), true},
      {"dataToday", PlistValue(-1.0), false},
      {"dataTodaySent", PlistValue(-2.0), true},
      {"dataTodayRecd", PlistValue(nan), true},
      {"dataThisMonth", PlistValue(0.0), false},
      {"interfaceCounters", memory(sound), false},
      {"interfaceCounters", without("index"), false},  // as older versions wrote it
      {"interfaceCounters", PlistValue("wwan0"), true},
      {"interfaceCounters", memory({}), true},
      {"interfaceCounters", PlistValue(PlistValue::Dictionary{{"wwan0", PlistValue(3.0)}}), true},
      {"interfaceCounters", without("sent"), true},
      {"interfaceCounters", without("bootId"), true},
      {"interfaceCounters", with("bootId", PlistValue(7.0)), true},
      {"interfaceCounters", with("received", PlistValue(nan)), true},
      {"interfaceCounters", with("sent", PlistValue(-3.0)), true},
      {"interfaceCounters", with("index", PlistValue(std::int64_t{-1})), true},
      {"interfaceCounters", with("index", PlistValue(2.5)), true},
      {"interfaceCounters", with("bootInstant", PlistValue(std::int64_t{1767225600})), false},
      {"interfaceCounters", with("bootInstant", PlistValue(std::int64_t{-1})), true},
      {"interfaceCounters", with("bootInstant", PlistValue("1767225600")), true},
      {"interfaceCounters", with("hardwareAddress", PlistValue("02:11:22:33:44:55")), false},
      {"interfaceCounters", with("hardwareAddress", PlistValue(std::int64_t{2})), true},
      {"interfaceCounters", with("connectionUuid", PlistValue("")), false},
      {"interfaceCounters", with("connectionUuid", PlistValue(std::int64_t{7})), true},
      {"interfaceCounters", with("connectionMetered", PlistValue("yes")), true},
      {"connections", connections(connection), false},
      {"connections", PlistValue("Home"), true},
      {"connections", PlistValue(PlistValue::Dictionary{{"", PlistValue(connection)}}), true},
      {"connections", connections(changed("dataAllTime", PlistValue(nan))), true},
      {"connections", connections(changed("dataThisMonthRecd", PlistValue(-1.0))), true},
      {"connections", connections(changed("metered", PlistValue(std::int64_t{1}))), true},
      {"connections", connections(changed("name", PlistValue())), true},
      {"connections", connections(changed("dataAllTimeSent", std::nullopt)), true},
  };
  const std::string path = platform.documentPath(AppData::kCellularFileName);
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " case " + std::to_string(n++));
    std::vector<std::string> stored;
    for (const auto& entry : platform.fakeFiles().contents()) stored.push_back(entry.first);
    for (const auto& p : stored) platform.files().remove(p);
    PlistValue::Dictionary record{{"dataAllTime", PlistValue(1000.0)}};
    record[c.key] = c.value;
    putRecord(platform, AppData::kCellularFileName, record);
    AppData loaded(platform);
    loaded.getAppData("cellular");
    EXPECT_EQ(platform.files().exists(path), !c.damaged);
    std::size_t aside = 0;
    for (const auto& [p, content] : platform.fakeFiles().contents()) {
      aside += p.rfind(path + ".unreadable-", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(aside, c.damaged ? 1u : 0u);
    // A record set aside leaves the fields as for a missing file.
    EXPECT_EQ(loaded.dataAllTime().has_value(), !c.damaged);
  }
}

class AppDataSaveFailureTest : public ::testing::TestWithParam<FakeFileSystem::Failure> {};

TEST_P(AppDataSaveFailureTest, AFailedSaveLeavesThePreviousFileReadable) {
  FakePlatform platform;
  platform.setCounters("wlan0", 1000, 100, InterfaceKind::Wifi);
  AppData data(platform);
  (void)data.performBackgroundUpdateForType("wifi", "", false);
  const auto before = storedRecord(platform, AppData::kWifiFileName);
  ASSERT_EQ(AppData::getNumberForKey("dataAllTime", before), 1100.0);

  platform.setCounters("wlan0", 5000, 500);
  platform.advance(60);
  platform.fakeFiles().failWrites(GetParam(), 1, platform.documentPath(AppData::kWifiFileName));
  (void)data.performBackgroundUpdateForType("wifi", "", false);
  EXPECT_EQ(storedRecord(platform, AppData::kWifiFileName), before);
  EXPECT_NE(
      std::find(platform.logLines.begin(), platform.logLines.end(),
                "Writing data to file failed: " + platform.documentPath(AppData::kWifiFileName)),
      platform.logLines.end());

  // The next pass starts again from the older file and loses nothing.
  platform.advance(60);
  (void)data.performBackgroundUpdateForType("wifi", "", false);
  EXPECT_EQ(AppData::getNumberForKey("dataAllTime", storedRecord(platform, AppData::kWifiFileName)),
            5500.0);
}

std::string failureName(const ::testing::TestParamInfo<FakeFileSystem::Failure>& param) {
  static const char* const kNames[] = {"None", "Write", "DiskFull", "Sync", "Rename"};
  return kNames[static_cast<int>(param.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryStep, AppDataSaveFailureTest,
                         ::testing::Values(FakeFileSystem::Failure::Write,
                                           FakeFileSystem::Failure::DiskFull,
                                           FakeFileSystem::Failure::Sync,
                                           FakeFileSystem::Failure::Rename),
                         failureName);

}  // namespace
}  // namespace kestrio

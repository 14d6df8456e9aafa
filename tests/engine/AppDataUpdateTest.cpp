#include <gtest/gtest.h>

#include <functional>

#include "engine/AppData.h"
#include "services/StringFormatter.h"
#include "support/FakePlatform.h"
#include "support/Records.h"

namespace kestrio {
namespace {

using testing::FakePlatform;
using testing::putRecord;

// Boot identities as the kernel writes them.
constexpr const char* kBoot1 = "0b1c2d3e-4f50-4172-8394-a5b6c7d8e9f0";
constexpr const char* kBoot2 = "7a8b9c0d-1e2f-4a3b-9c4d-5e6f708192a3";
constexpr const char* kBoot3 = "c4d5e6f7-0819-4a2b-8c3d-4e5f60718293";

class AppDataUpdateTest : public ::testing::Test {
 protected:
  AppDataUpdateTest() {
    platform.setBoot(1000, kBoot1);
    platform.setNow(2026, 1, 15, 12, 0, 0);
  }

  void pass(bool leaving = false, const std::string& place = "") {
    (void)data.performBackgroundUpdateForType("cellular", place, leaving);
  }

  // A record as an older version left it: totals and parts since boot, no per-interface memory.
  void olderRecord(double sinceBoot, double sinceBootSent, double sinceBootRecd, Date lastUpdate) {
    putRecord(platform, AppData::kCellularFileName,
              {{"dataAllTime", PlistValue(5000000.0)},
               {"dataAllTimeSent", PlistValue(1000000.0)},
               {"dataAllTimeRecd", PlistValue(4000000.0)},
               {"dataSinceLastBoot", PlistValue(sinceBoot)},
               {"dataSinceLastBootSent", PlistValue(sinceBootSent)},
               {"dataSinceLastBootRecd", PlistValue(sinceBootRecd)},
               {"dataToday", PlistValue(10.0)},
               {"dataTodaySent", PlistValue(4.0)},
               {"dataTodayRecd", PlistValue(6.0)},
               {"lastUpdate", PlistValue(lastUpdate)}});
  }

  bool logged(const std::string& line) const {
    return std::find(platform.logLines.begin(), platform.logLines.end(), line) !=
           platform.logLines.end();
  }

  FakePlatform platform;
  AppData data{platform};
};

TEST_F(AppDataUpdateTest, TheFirstPassTakesTheCountersAsTheyStand) {
  platform.setCounters("wwan0", 7000, 3000, InterfaceKind::Cellular);
  pass();
  EXPECT_EQ(data.dataAllTime(), 10000.0);
  EXPECT_EQ(data.dataAllTimeSent(), 3000.0);
  EXPECT_EQ(data.dataAllTimeRecd(), 7000.0);
  EXPECT_EQ(data.dataSinceLastBoot(), 10000.0);
  EXPECT_EQ(data.dataSinceLastRun(), 0.0);
  EXPECT_EQ(data.dataSinceLastRunSent(), 0.0);
  EXPECT_EQ(data.dataSinceAppLastRun(), 0.0);
  EXPECT_EQ(data.dataSinceAppLastRunRecd(), 0.0);
  EXPECT_FALSE(data.dataToday().has_value());
  EXPECT_EQ(data.lastLocation(), "");
  EXPECT_EQ(data.lastLocationDataUsed(), "");
  EXPECT_FALSE(data.closedDay().has_value());
  EXPECT_EQ(data.lastUpdate(), platform.now());
  EXPECT_TRUE(platform.files().exists(data.dataFilePath()));
}

TEST_F(AppDataUpdateTest, EachPassAddsItsIncrementToEverySpan) {
  platform.setCounters("wwan0", 700, 300, InterfaceKind::Cellular);
  pass();
  platform.advance(600);
  platform.setCounters("wwan0", 1000, 500);
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 500.0);
  EXPECT_EQ(data.dataSinceLastRunSent(), 200.0);
  EXPECT_EQ(data.dataSinceLastRunRecd(), 300.0);
  EXPECT_EQ(data.dataAllTime(), 1500.0);
  EXPECT_EQ(data.dataSinceAppLastRun(), 500.0);
  EXPECT_EQ(data.dataToday(), 500.0);
  EXPECT_EQ(data.dataTodaySent(), 200.0);
  EXPECT_EQ(data.dataSinceLastBoot(), 1500.0);

  platform.advance(600);
  platform.setCounters("wwan0", 1100, 600);
  pass(/*leaving=*/true);
  EXPECT_EQ(data.dataAllTime(), 1700.0);
  EXPECT_EQ(data.dataToday(), 700.0);
  // Leaving the application starts its span again; this pass's traffic is not in it.
  EXPECT_EQ(data.dataSinceAppLastRun(), 0.0);
  EXPECT_EQ(data.dataSinceAppLastRunSent(), 0.0);
  EXPECT_EQ(data.dataSinceAppLastRunRecd(), 0.0);
}

TEST_F(AppDataUpdateTest, AnOlderRecordMeasuresFromTheNetworkTotals) {
  olderRecord(1000000, 400000, 600000, platform.now().addingSeconds(-60));
  platform.setCounters("wwan0", 1000000, 500000, InterfaceKind::Cellular);
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 500000.0);
  EXPECT_EQ(data.dataSinceLastRunSent(), 100000.0);
  EXPECT_EQ(data.dataSinceLastRunRecd(), 400000.0);
  EXPECT_EQ(data.dataSinceLastBoot(), 1500000.0);
  EXPECT_EQ(data.dataAllTime(), 5500000.0);
  // From now on each interface is measured on its own.
  ASSERT_TRUE(data.interfaceCounters().has_value());
  EXPECT_EQ(data.interfaceCounters()->at("wwan0"),
            (InterfaceSnapshot{kBoot1, 1000000, 500000, 0, 1000, "", true}));
}

TEST_F(AppDataUpdateTest, AFallenTotalCountsTheWholeSampleAsNew) {
  olderRecord(1000000, 400000, 600000, platform.now().addingSeconds(-60));
  platform.setCounters("wwan0", 150000, 50000, InterfaceKind::Cellular);
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 200000.0);
  EXPECT_EQ(data.dataSinceLastRunSent(), 50000.0);
  EXPECT_EQ(data.dataSinceLastRunRecd(), 150000.0);
}

TEST_F(AppDataUpdateTest, ARestartWithinHoursCountsAfreshWithoutNotice) {
  // Last update 10:00, boot at 10:30:45: a restart, but too recent to tell the user about.
  olderRecord(1000000, 400000, 600000, platform.at(2026, 1, 15, 10, 0, 0));
  data.setBootMsg("earlier text");
  platform.setBoot(static_cast<std::int64_t>(platform.at(2026, 1, 15, 10, 30, 45).secondsSince1970),
                   kBoot2);
  platform.setCounters("wwan0", 1500000, 500000, InterfaceKind::Cellular);
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 2000000.0);  // not above the stored total: a restart
  EXPECT_FALSE(data.detectedBootEvent());
  EXPECT_EQ(data.bootMsg(), "earlier text");
}

TEST_F(AppDataUpdateTest, ALongGapBeforeARestartIsNamedToTheUser) {
  const Date last = platform.at(2026, 1, 15, 2, 0, 0);
  const Date boot = platform.at(2026, 1, 15, 10, 30, 45);
  olderRecord(1000000, 400000, 600000, last);
  platform.setBoot(static_cast<std::int64_t>(boot.secondsSince1970), kBoot2);
  platform.setCounters("wwan0", 1500000, 500000, InterfaceKind::Cellular);
  pass();
  EXPECT_TRUE(data.detectedBootEvent());
  EXPECT_EQ(
      data.bootMsg(),
      "between " + StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(platform, last) +
          " and " + StringFormatter::getLocalizedShortDateMediumTimeStringFromDate(platform, boot));
  EXPECT_EQ(data.dataSinceLastRun(), 2000000.0);

  // The next pass of the same boot tells nothing again.
  platform.advance(60);
  pass();
  EXPECT_FALSE(data.detectedBootEvent());
}

TEST_F(AppDataUpdateTest, AnUpdateInTheBootMinuteIsNoRestart) {
  // Boot at 10:30:45, last update 10:30:10: the boot minute starts at 10:30:00, which is not
  // after the last update, so the totals decide.
  olderRecord(1000000, 400000, 600000, platform.at(2026, 1, 15, 10, 30, 10));
  platform.setBoot(static_cast<std::int64_t>(platform.at(2026, 1, 15, 10, 30, 45).secondsSince1970),
                   kBoot1);
  platform.setCounters("wwan0", 1000000, 500000, InterfaceKind::Cellular);
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 500000.0);
}

TEST_F(AppDataUpdateTest, AnUnknownBootInstantLeavesTheTotalsToDecide) {
  olderRecord(1000000, 400000, 600000, platform.at(2026, 1, 15, 2, 0, 0));
  platform.setBoot(-1, "");
  platform.setCounters("wwan0", 1000000, 500000, InterfaceKind::Cellular);
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 500000.0);
  EXPECT_FALSE(data.detectedBootEvent());
}

// A modem re-plugged or a link re-dialled starts one interface again from zero; the other
// interfaces of the network go on, and only the new traffic may be counted.
TEST_F(AppDataUpdateTest, OneInterfaceStartingAgainCountsOnlyItsNewTraffic) {
  platform.setCounters("wwan0", 8000000000ULL, 2000000000ULL, InterfaceKind::Cellular);
  platform.setCounters("ppp0", 300000, 100000, InterfaceKind::Cellular);
  pass();
  platform.advance(600);
  platform.setCounters("wwan0", 8000001000ULL, 2000000500ULL);
  platform.setCounters("ppp0", 700, 300);  // re-dialled: started again from zero
  pass();
  EXPECT_EQ(data.dataSinceLastRunRecd(), 1000.0 + 700.0);
  EXPECT_EQ(data.dataSinceLastRunSent(), 500.0 + 300.0);
  EXPECT_EQ(data.dataSinceLastRun(), 2500.0);
  EXPECT_EQ(data.dataAllTime(), 10000400000.0 + 2500.0);
}

TEST_F(AppDataUpdateTest, AnInterfaceThatLeavesTakesNoTrafficWithIt) {
  platform.setCounters("wwan0", 5000, 1000, InterfaceKind::Cellular);
  platform.setCounters("ppp0", 900000, 100000, InterfaceKind::Cellular);
  pass();
  platform.advance(600);
  platform.removeInterface("ppp0");
  platform.setCounters("wwan0", 6000, 1500);
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 1500.0);
  platform.advance(600);
  platform.setCounters("ppp0", 200, 100, InterfaceKind::Cellular);  // back, from zero
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 300.0);
}

TEST_F(AppDataUpdateTest, ANewBootCountsEveryInterfaceAfresh) {
  platform.setCounters("wwan0", 5000, 1000, InterfaceKind::Cellular);
  pass();
  platform.advance(600);
  platform.setBoot(1000 + 300, kBoot2);
  platform.setCounters("wwan0", 9000, 2000);  // higher than before, yet a new boot
  pass();
  EXPECT_EQ(data.dataSinceLastRun(), 11000.0);
}

TEST_F(AppDataUpdateTest, ADayChangeClosesTheDayAndMarksToday) {
  platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
  platform.setNow(2026, 3, 5, 9, 0, 0);
  pass();
  platform.setNow(2026, 3, 5, 18, 0, 0);
  platform.setCounters("wwan0", 3000, 2000);
  pass();
  ASSERT_EQ(data.dataToday(), 3000.0);

  platform.setNow(2026, 3, 6, 8, 0, 0);
  platform.setCounters("wwan0", 3100, 2000);
  pass();
  ASSERT_TRUE(data.closedDay().has_value());
  const ClosedDay& day = *data.closedDay();
  EXPECT_EQ(day.startDate, platform.at(2026, 3, 5, 18, 0, 0));
  EXPECT_EQ(day.endDate, platform.at(2026, 3, 5));
  EXPECT_EQ(day.dataTotal, 3000.0);
  EXPECT_EQ(day.dataSent, 1000.0);
  EXPECT_EQ(day.dataReceived, 2000.0);
  EXPECT_EQ(day.dataType, 1);
  EXPECT_EQ(day.historyType, 2);
  EXPECT_EQ(data.dataToday(), -1.0);
  EXPECT_EQ(data.dataTodaySent(), -1.0);
  EXPECT_EQ(data.dataTodayRecd(), -1.0);
  EXPECT_EQ(data.dataAllTime(), 5100.0);

  // The day's first increment is added to the marker.
  platform.setNow(2026, 3, 6, 9, 0, 0);
  platform.setCounters("wwan0", 3150, 2000);
  pass();
  EXPECT_FALSE(data.closedDay().has_value());
  EXPECT_EQ(data.dataToday(), 49.0);
}

TEST_F(AppDataUpdateTest, AMonthChangeEndsTheDayAtMidnightStartingToday) {
  platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
  platform.setNow(2026, 1, 31, 22, 0, 0);
  pass();
  platform.setNow(2026, 2, 1, 7, 0, 0);
  pass();
  ASSERT_TRUE(data.closedDay().has_value());
  EXPECT_EQ(data.closedDay()->endDate, platform.at(2026, 2, 1));
}

TEST_F(AppDataUpdateTest, ADayWithoutItsOwnCountTakesTheRangeValues) {
  platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
  platform.setNow(2026, 3, 5, 9, 0, 0);
  pass();
  platform.setNow(2026, 3, 6, 9, 0, 0);
  pass();  // closes the 5th; today is -1
  platform.setNow(2026, 3, 8, 9, 0, 0);
  platform.setCounters("wwan0", 1400, 1100);
  pass();
  ASSERT_TRUE(data.closedDay().has_value());
  EXPECT_EQ(data.closedDay()->dataTotal, 500.0);
  EXPECT_EQ(data.closedDay()->dataSent, 100.0);
  EXPECT_EQ(data.closedDay()->dataReceived, 400.0);
  EXPECT_TRUE(logged("AppData: Add History: Using range value for history"));
}

TEST_F(AppDataUpdateTest, ARecordWithoutLastUpdateClosesNoDay) {
  putRecord(platform, AppData::kCellularFileName,
            {{"dataAllTime", PlistValue(100.0)}, {"dataToday", PlistValue(77.0)}});
  platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
  pass();
  EXPECT_FALSE(data.closedDay().has_value());
  EXPECT_EQ(data.dataToday(), data.dataSinceLastRun());
}

TEST_F(AppDataUpdateTest, ThePlaceOfThePreviousPassBecomesTheLastPlaceOfUse) {
  platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
  pass(false, "Home");
  EXPECT_EQ(data.lastLocation(), "Home");
  EXPECT_EQ(data.lastLocationDataUsed(), "");
  pass(false, "Unknown");
  EXPECT_EQ(data.lastLocationDataUsed(), "Home");
  EXPECT_EQ(data.lastLocation(), "Unknown");
  pass(false, "");
  EXPECT_EQ(data.lastLocationDataUsed(), "Home");  // "Unknown" is no place
  EXPECT_EQ(data.lastLocation(), "");
}

TEST_F(AppDataUpdateTest, APassHoldsTheDocumentsLockAndReleasesIt) {
  platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
  const int before = platform.fakeFiles().locksTaken();
  pass();
  platform.advance(60);
  pass();
  EXPECT_GT(platform.fakeFiles().locksTaken(), before);
  EXPECT_GT(platform.fakeFiles().writeCount(), 0);
  EXPECT_EQ(platform.fakeFiles().writesOutsideLock(), 0);
  EXPECT_EQ(platform.fakeFiles().lockDepth(platform.documentPath(Platform::kLockFileName)), 0);
}

// Changes every remembered interface of the stored record, as an older version or damage left it.
void editMemory(FakePlatform& platform,
                const std::function<void(PlistValue::Dictionary&)>& change) {
  auto record = testing::storedRecord(platform, AppData::kCellularFileName);
  auto* memory = record[AppData::kInterfaceCountersKey].get<PlistValue::Dictionary>();
  ASSERT_NE(memory, nullptr);
  for (auto& entry : *memory) change(*entry.second.get<PlistValue::Dictionary>());
  putRecord(platform, AppData::kCellularFileName, record);
}

// The interface memory across the sequences that break naive counting. Every case starts with a
// first pass on wwan0 (index 5) at 1000 received and 1000 sent, and ends with the all-time
// total and the last pass's increment it must have.
struct MemoryCase {
  const char* name;
  std::function<void(FakePlatform&, const std::function<void()>&)> script;
  double allTime;
  double lastRun;
  bool gapNamed;  // the last pass tells of a restart after a long gap
};

TEST(InterfaceMemoryTest, EachInterfaceIsMeasuredFromItsOwnLastReading) {
  const std::vector<std::string> away = {"usb9"};
  const MemoryCase cases[] = {
      {"a re-dialled interface counts only its new traffic",
       [](FakePlatform& p, auto pass) {
         p.setCounters("ppp0", 400, 100, InterfaceKind::Cellular);
         pass();  // ppp0 is new: +500
         p.setCounters("ppp0", 30, 20);
         p.setCounters("wwan0", 1100, 1000);
         pass();
       },
       2650, 150, false},
      {"an interface missing from one reading continues from its last counters",
       [](FakePlatform& p, auto pass) {
         p.setCounters("ppp0", 400, 100, InterfaceKind::Cellular);
         pass();
         p.removeInterface("ppp0");
         p.setCounters("wwan0", 1100, 1000);
         pass();
         p.setCounters("ppp0", 450, 100);
         pass();
       },
       2650, 50, false},
      // The traffic before a pass counts where the link counted at the pass before it: a list
      // that leaves wwan0 out takes effect from the pass that sees it, and the traffic while it
      // was left out is never counted, then or later.
      {"an override switched away for a while never counts that time",
       [&away](FakePlatform& p, auto pass) {
         p.setCounters("wwan0", 1500, 1000);
         p.userDefaults().setObject("cellularInterfaces",
                                    PlistValue(PlistValue::Array(away.begin(), away.end())));
         pass();  // still counted up to here; left out from here, its counters remembered
         p.setCounters("wwan0", 5000, 1000);
         p.userDefaults().removeObjectForKey("cellularInterfaces");
         pass();  // chosen again from here
         p.setCounters("wwan0", 5100, 1000);
         pass();
       },
       2600, 100, false},
      {"a link created again with more traffic counts from zero",
       [](FakePlatform& p, auto pass) {
         p.setCounters("wwan0", 3000, 2000);
         p.setIndex("wwan0", 9);
         pass();
       },
       7000, 5000, false},
      {"a link moved to another namespace and back continues under its new index",
       [](FakePlatform& p, auto pass) {
         p.setHardwareAddress("wwan0", "02:11:22:33:44:55");
         pass();  // the memory learns the address
         p.setIndex("wwan0", 9);
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       2200, 200, false},
      {"a new index and the same address with fallen counters is a link created again",
       [](FakePlatform& p, auto pass) {
         p.setHardwareAddress("wwan0", "02:11:22:33:44:55");
         pass();
         p.setIndex("wwan0", 9);
         p.setCounters("wwan0", 1200, 500);
         pass();
       },
       3700, 1700, false},
      {"a new index and another address is a link created again",
       [](FakePlatform& p, auto pass) {
         p.setHardwareAddress("wwan0", "02:11:22:33:44:55");
         pass();
         p.setIndex("wwan0", 9);
         p.setHardwareAddress("wwan0", "02:11:22:33:44:56");
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       4200, 2200, false},
      {"a failed reading skips the pass and changes no memory",
       [](FakePlatform& p, auto pass) {
         p.setCounters("wwan0", 1500, 1000);
         p.setCountersUnreadable(true);
         pass();
         p.setCountersUnreadable(false);
         p.setCounters("wwan0", 1600, 1000);
         pass();
       },
       2600, 600, false},
      {"an empty reading skips the pass and changes no memory",
       [](FakePlatform& p, auto pass) {
         p.removeInterface("lo");
         p.removeInterface("wwan0");
         pass();
         p.setCounters("wwan0", 1600, 1000, InterfaceKind::Cellular);
         p.setIndex("wwan0", 5);
         pass();
       },
       2600, 600, false},
      {"a new boot identity is a restart without a clock step",
       [](FakePlatform& p, auto pass) {
         // A real restart changes both the identity and the instant.
         p.setBoot(static_cast<std::int64_t>(p.now().secondsSince1970) + 30, kBoot2);
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       4200, 2200, false},
      {"a container start: a new boot identity at the same boot instant is no restart",
       [](FakePlatform& p, auto pass) {
         p.setBoot(1000, kBoot2);
         p.setCounters("wwan0", 1200, 1000);
         pass();
         p.setBoot(1001, kBoot3);  // the instant read a second off: the kernel rounds it
         p.setCounters("wwan0", 1300, 1000);
         pass();
       },
       2300, 100, false},
      {"an older memory without the boot instant leaves a new identity a restart",
       [](FakePlatform& p, auto pass) {
         editMemory(p, [](PlistValue::Dictionary& entry) { entry.erase("bootInstant"); });
         p.setBoot(1000, kBoot2);
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       4200, 2200, false},
      {"a new boot identity is a restart with a clock step",
       [](FakePlatform& p, auto pass) {
         p.advance(6 * 3600);
         p.setBoot(static_cast<std::int64_t>(p.now().secondsSince1970) - 60, kBoot2);
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       4200, 2200, true},
      {"a clock step under the same boot identity is no restart",
       [](FakePlatform& p, auto pass) {
         p.advance(6 * 3600);
         p.setBoot(static_cast<std::int64_t>(p.now().secondsSince1970) - 60, kBoot1);
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       2200, 200, false},
      {"one changed character in an older memory's boot identity is no restart",
       [](FakePlatform& p, auto pass) {
         editMemory(p, [](PlistValue::Dictionary& entry) {
           entry.erase("bootInstant");
           entry["bootId"] = PlistValue("0b1c2d3e-4f50-4172-8394-a5b6c7d8e9g0");
         });
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       2200, 200, false},
      {"a damaged boot identity leaves a real restart to the boot instant",
       [](FakePlatform& p, auto pass) {
         editMemory(p, [](PlistValue::Dictionary& entry) {
           entry["bootId"] = PlistValue("0b1c2d3e-4f50-4172-8394-a5b6c7d8e9f");
         });
         p.advance(120);
         p.setBoot(static_cast<std::int64_t>(p.now().secondsSince1970) - 30, kBoot2);
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       4200, 2200, false},
      {"without a boot identity the boot instant still tells a restart",
       [](FakePlatform& p, auto pass) {
         p.setBoot(static_cast<std::int64_t>(p.now().secondsSince1970) + 60, "");
         p.setCounters("wwan0", 1200, 1000);
         pass();
       },
       4200, 2200, false},
  };
  for (const MemoryCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.setBoot(1000, kBoot1);
    platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
    platform.setIndex("wwan0", 5);
    AppData data(platform);
    auto pass = [&] {
      platform.advance(60);
      (void)data.performBackgroundUpdateForType("cellular", "", false);
    };
    pass();
    c.script(platform, pass);
    AppData stored(platform);
    stored.getAppData("cellular");
    EXPECT_EQ(stored.dataAllTime(), c.allTime);
    EXPECT_EQ(stored.dataSinceLastRun(), c.lastRun);
    EXPECT_EQ(data.detectedBootEvent(), c.gapNamed);
  }
}

// A pass that cannot read the counters stores nothing and says why, so the command that asked
// for it fails.
TEST_F(AppDataUpdateTest, AnUnreadablePassAbortsItsTransaction) {
  platform.setCounters("wwan0", 1000, 1000, InterfaceKind::Cellular);
  pass();
  const auto before = testing::storedRecord(platform, AppData::kCellularFileName);
  platform.setCountersUnreadable(true);
  platform.advance(60);
  platform.transactions().beginTransaction();
  pass();
  const Stored stored = platform.transactions().commitTransaction();
  EXPECT_FALSE(stored.ok());
  EXPECT_EQ(stored.reason(), "the interface counters cannot be read");
  EXPECT_TRUE(logged("AppData: the interface counters cannot be read; cellular pass skipped"));
  EXPECT_EQ(testing::storedRecord(platform, AppData::kCellularFileName), before);
}

// An older record's memory had no index; its interfaces go on from their counters, and the
// memory then keeps every interface read, whichever network it counts for.
TEST_F(AppDataUpdateTest, AnOlderMemoryGoesOnAndLearnsTheIndex) {
  putRecord(platform, AppData::kCellularFileName,
            {{"dataAllTime", PlistValue(2000.0)},
             {"lastUpdate", PlistValue(platform.now().addingSeconds(-60))},
             {AppData::kInterfaceCountersKey,
              PlistValue(PlistValue::Dictionary{
                  {"wwan0", PlistValue(PlistValue::Dictionary{{"bootId", PlistValue(kBoot1)},
                                                              {"received", PlistValue(1000.0)},
                                                              {"sent", PlistValue(1000.0)}})}})}});
  platform.setCounters("wwan0", 1100, 1000, InterfaceKind::Cellular);
  platform.setIndex("wwan0", 3);
  platform.setCounters("wlan0", 70, 30, InterfaceKind::Wifi);
  pass();
  EXPECT_EQ(data.dataAllTime(), 2100.0);
  EXPECT_EQ(data.interfaceCounters(),
            (InterfaceCounterMap{{"wwan0", {kBoot1, 1100, 1000, 3, 1000, "", true}},
                                 {"wlan0", {kBoot1, 70, 30, 0, 1000, "", false}}}));
}

}  // namespace
}  // namespace kestrio

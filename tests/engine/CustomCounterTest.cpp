#include <gtest/gtest.h>

#include <algorithm>

#include "engine/CustomCounter.h"
#include "platform/MoveAside.h"
#include "services/Communications.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakeFileSystem;
using testing::FakePlatform;

class CustomCounterTest : public ::testing::Test {
 protected:
  CustomCounterTest() { platform.setNow(2026, 3, 10, 9, 30, 0); }

  std::string archivePath() { return platform.documentPath(CustomCounter::kFileName); }
  std::vector<CustomCounter> stored() { return CustomCounter::getAllCustomCounters(platform); }
  std::vector<std::string> storedNames() {
    std::vector<std::string> names;
    for (const auto& c : stored()) names.push_back(c.name());
    return names;
  }
  std::vector<LocalNotification> scheduled() {
    return Communications::scheduledLocalNotifications(platform);
  }
  bool logged(const std::string& line) const {
    return std::find(platform.logLines.begin(), platform.logLines.end(), line) !=
           platform.logLines.end();
  }
  // One update pass: the cellular record's traffic first, then the Wi-Fi record's.
  void pass(double cellSent, double cellReceived, double wifiSent, double wifiReceived) {
    CustomCounter::updateCustomCountersWithDataSentSinceLastRun(platform, cellSent, cellReceived,
                                                                "cellular");
    CustomCounter::updateCustomCountersWithDataSentSinceLastRun(platform, wifiSent, wifiReceived,
                                                                "wifi");
  }
  CustomCounter endingAt(const std::string& name, Date end, bool cellular = true,
                         bool wifi = true) {
    return CustomCounter(name, cellular, wifi, platform.now(), end, 3, false);
  }

  FakePlatform platform;
};

// --- The record ---

TEST_F(CustomCounterTest, InitialisersStartAnActiveEmptyCounterWithItsOwnId) {
  CustomCounter a(platform, "New Counter");
  CustomCounter b(platform, "Cell", true, false);
  EXPECT_TRUE(a.trackCellular() && a.trackWiFi() && !b.trackWiFi());
  EXPECT_EQ(a.startDate(), platform.now());
  EXPECT_FALSE(a.endDate() || a.notifyOnEnd() || a.isPaused());
  EXPECT_EQ(a.direction(), 3);
  EXPECT_EQ(a.uniqueId().size(), 36u);
  EXPECT_NE(a.uniqueId(), b.uniqueId());
}

TEST_F(CustomCounterTest, AccumulationOnlyWhenActiveAndTrackingAndTotalsAreAlwaysTheSum) {
  CustomCounter c(platform, "C", true, false);
  c.setCellularDataTotal(999);  // drifted from its parts
  c.addDataToCounterWithDataSent(10, 30, CustomCounter::kCellular);
  EXPECT_EQ(c.cellularDataSent(), 10.0);
  EXPECT_EQ(c.cellularDataReceived(), 30.0);
  EXPECT_EQ(c.cellularDataTotal(), 40.0);
  c.addDataToCounterWithDataSent(5, 5, CustomCounter::kWiFi);  // not tracked
  c.addDataToCounterWithDataSent(5, 5, 7);                     // no such network
  EXPECT_EQ(c.wifiDataTotal(), 0.0);
  EXPECT_EQ(c.cellularDataTotal(), 40.0);
  c.pause();
  c.addDataToCounterWithDataSent(1, 1, CustomCounter::kCellular);
  EXPECT_EQ(c.cellularDataTotal(), 40.0);
}

TEST_F(CustomCounterTest, ResetsZeroFiguresOnlyAndCopiesKeepTheId) {
  CustomCounter c(platform, "C");
  c.addDataToCounterWithDataSent(1, 2, CustomCounter::kCellular);
  c.addDataToCounterWithDataSent(3, 4, CustomCounter::kWiFi);
  c.pause();
  CustomCounter copy = c;
  c.resetWiFi();
  EXPECT_EQ(c.wifiDataTotal(), 0.0);
  EXPECT_EQ(c.cellularDataTotal(), 3.0);
  EXPECT_TRUE(c.isPaused());
  copy.reset();
  EXPECT_EQ(copy.wifiDataReceived() + copy.cellularDataSent(), 0.0);
  EXPECT_EQ(copy.uniqueId(), c.uniqueId());
}

TEST_F(CustomCounterTest, ArchivedFormRoundTripsAndAbsentKeysAreNone) {
  CustomCounter c("Trip", false, true, platform.now(), platform.at(2026, 4, 1), 2, true);
  c.addDataToCounterWithDataSent(1.5, 2.25, CustomCounter::kWiFi);
  keyed::Object coder = c.encodeWithCoder();
  EXPECT_EQ(coder.size(), 15u);
  EXPECT_EQ(CustomCounter(coder), c);
  c.setEndDate(std::nullopt);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(c.encodeWithCoder().at("endDate")));

  CustomCounter bare(keyed::Object{{"name", std::string("Old")}});
  EXPECT_EQ(bare.name(), "Old");
  EXPECT_FALSE(bare.endDate() || bare.trackCellular() || bare.isPaused());
  EXPECT_EQ(bare.direction(), 0);
  EXPECT_EQ(bare.wifiDataTotal(), 0.0);
  EXPECT_EQ(bare.uniqueId(), "");
}

// --- The update pass ---

TEST_F(CustomCounterTest, TheFirstPassMakesTheSampleWhichTakesBothNetworks) {
  EXPECT_TRUE(stored().empty());  // reading for the screens never makes it
  pass(10, 20, 100, 200);
  auto list = stored();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name(), "Sample Counter");
  EXPECT_EQ(list[0].direction(), 3);
  EXPECT_EQ(list[0].cellularDataTotal(), 30.0);
  EXPECT_EQ(list[0].wifiDataSent(), 100.0);
  EXPECT_EQ(list[0].wifiDataTotal(), 300.0);
  pass(1, 1, 1, 1);
  EXPECT_EQ(stored()[0].cellularDataTotal(), 32.0);
  EXPECT_EQ(platform.fakeFiles().writesOutsideLock(), 0);
}

TEST_F(CustomCounterTest, AnEmptyStoredListNeverBringsTheSampleBack) {
  pass(1, 1, 1, 1);
  (void)CustomCounter::removeCustomCounter(platform, stored()[0]);
  pass(1, 1, 1, 1);
  EXPECT_TRUE(stored().empty());
}

TEST_F(CustomCounterTest, ACounterMadeBetweenPassesTakesTheWholeNextPass) {
  (void)CustomCounter::saveCustomCounterData(platform, {});
  CustomCounter::addCustomCounterWithName(platform, "New Counter");
  pass(40, 60, 0, 0);
  EXPECT_EQ(stored()[0].cellularDataTotal(), 100.0);
}

TEST_F(CustomCounterTest, AnEndDateThatHasComeTakesTheCellularCallThenPauses) {
  const Date end = platform.now();  // equal to the current time counts as reached
  (void)CustomCounter::saveCustomCounterData(
      platform, {endingAt("Both", end), endingAt("WiFi only", end, false, true),
                 endingAt("Neither", end, false, false), endingAt("Later", end.addingSeconds(1))});
  pass(10, 10, 50, 50);
  auto list = stored();
  EXPECT_EQ(list[0].cellularDataTotal(), 20.0);
  EXPECT_EQ(list[0].wifiDataTotal(), 0.0);
  EXPECT_TRUE(list[0].isPaused());
  EXPECT_EQ(list[1].wifiDataTotal(), 0.0);
  EXPECT_TRUE(list[1].isPaused());
  EXPECT_EQ(list[2].cellularDataTotal() + list[2].wifiDataTotal(), 0.0);
  EXPECT_TRUE(list[2].isPaused());
  EXPECT_FALSE(list[3].isPaused());
  EXPECT_EQ(list[3].wifiDataTotal(), 100.0);

  // Switched back on after its end: exactly one more pass of cellular traffic.
  list[0].setIsPaused(false);
  (void)CustomCounter::saveCustomCounter(platform, list[0]);
  pass(5, 5, 7, 7);
  EXPECT_EQ(stored()[0].cellularDataTotal(), 30.0);
  EXPECT_EQ(stored()[0].wifiDataTotal(), 0.0);
  EXPECT_TRUE(stored()[0].isPaused());
}

TEST_F(CustomCounterTest, AnUnknownNetworkAddsNothingButStillEndsCounters) {
  (void)CustomCounter::saveCustomCounterData(platform, {endingAt("Ends", platform.now())});
  CustomCounter::updateCustomCountersWithDataSentSinceLastRun(platform, 9, 9, "ethernet");
  EXPECT_TRUE(stored()[0].isPaused());
  EXPECT_EQ(stored()[0].cellularDataTotal(), 0.0);
}

TEST_F(CustomCounterTest, AnUndecodableArchiveIsKeptAsideAndTheSampleStartsAgain) {
  platform.fakeFiles().put(archivePath(), "not an archive");
  EXPECT_TRUE(stored().empty());
  EXPECT_EQ(filesMovedAside(platform.files(), platform.documentsDirectory()).size(), 1u);

  platform.fakeFiles().put(archivePath(), "still not an archive");
  pass(1, 2, 0, 0);
  EXPECT_EQ(storedNames(), std::vector<std::string>{"Sample Counter"});
  EXPECT_EQ(filesMovedAside(platform.files(), platform.documentsDirectory()).size(), 2u);
}

// --- The store and the end notifications ---

TEST_F(CustomCounterTest, AddingWithAnAlertSchedulesTheEndNotice) {
  CustomCounter c("Trip", true, true, platform.now(), platform.at(2026, 4, 1, 8, 0, 0), 3, true);
  (void)CustomCounter::addCustomCounter(platform, c);
  (void)CustomCounter::addCustomCounter(platform, CustomCounter(platform, "Plain"));
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Trip", "Plain"}));
  EXPECT_TRUE(logged("While Adding Custom Counter Trip will be notified to end on " +
                     std::string("4/1/26, 8:00:00\u202FAM")));
  auto notes = scheduled();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].alertBody, "Custom Counter Trip Ended!");
  EXPECT_EQ(notes[0].alertAction, "View");
  EXPECT_EQ(notes[0].fireDate, *c.endDate());
  EXPECT_EQ(notes[0].uniqueId, c.uniqueId());
}

TEST_F(CustomCounterTest, SavingReplacesTheCounterAndItsNotice) {
  CustomCounter c("Trip", true, true, platform.now(), platform.at(2026, 4, 1), 3, true);
  (void)CustomCounter::addCustomCounter(platform, c);
  c.setName("Holiday");
  c.setEndDate(platform.at(2026, 5, 1));
  (void)CustomCounter::saveCustomCounter(platform, c);
  EXPECT_EQ(stored(), std::vector<CustomCounter>{c});
  EXPECT_TRUE(logged("Notification cancellled"));
  auto notes = scheduled();
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].alertBody, "Custom counter Holiday ended!");
  EXPECT_EQ(notes[0].fireDate, platform.at(2026, 5, 1));

  // The alert left on without an end date: nothing scheduled, the earlier notice gone.
  c.setEndDate(std::nullopt);
  (void)CustomCounter::saveCustomCounter(platform, c);
  EXPECT_TRUE(logged("Holiday date is null (null)"));
  EXPECT_TRUE(scheduled().empty());
}

TEST_F(CustomCounterTest, RemovingCancelsTheNoticeEvenFromAnOlderCopyAndUnknownOnesChangeNothing) {
  CustomCounter c("Trip", true, true, platform.now(), platform.at(2026, 4, 1), 3, true);
  CustomCounter older = c;
  older.setNotifyOnEnd(false);
  (void)CustomCounter::addCustomCounter(platform, c);
  CustomCounter::addCustomCounterWithName(platform, "Other");
  (void)CustomCounter::removeCustomCounter(platform, older);
  EXPECT_EQ(storedNames(), std::vector<std::string>{"Other"});
  EXPECT_TRUE(scheduled().empty());

  auto before = stored();
  (void)CustomCounter::saveCustomCounter(platform, c);  // no longer stored: nothing changes
  (void)CustomCounter::removeCustomCounter(platform, c);
  EXPECT_EQ(stored(), before);
  EXPECT_TRUE(scheduled().empty());
}

TEST_F(CustomCounterTest, ReorderMovesWithinTheListAndRefusesOutsideIt) {
  for (const char* name : {"A", "B", "C"}) CustomCounter::addCustomCounterWithName(platform, name);
  (void)CustomCounter::reorderCustomCounterFromIndex(platform, 0, 2);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"B", "C", "A"}));
  (void)CustomCounter::reorderCustomCounterFromIndex(platform, 2, 1);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"B", "A", "C"}));
  (void)CustomCounter::reorderCustomCounterFromIndex(platform, 1, 1);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"B", "A", "C"}));

  const std::string bytes = platform.fakeFiles().contents().at(archivePath());
  (void)CustomCounter::reorderCustomCounterFromIndex(platform, 3, 0);
  (void)CustomCounter::reorderCustomCounterFromIndex(platform, 0, 3);
  EXPECT_EQ(platform.fakeFiles().contents().at(archivePath()), bytes);
  EXPECT_TRUE(logged("CustomCounter: cannot move row 3 to row 0 of 3; nothing changed"));
  EXPECT_TRUE(logged("CustomCounter: cannot move row 0 to row 3 of 3; nothing changed"));
}

TEST_F(CustomCounterTest, AFailedWriteKeepsThePreviousArchiveAndSchedulesNothing) {
  CustomCounter::addCustomCounterWithName(platform, "Kept");
  const std::string bytes = platform.fakeFiles().contents().at(archivePath());
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::DiskFull);
  (void)CustomCounter::addCustomCounter(platform, CustomCounter("Lost", true, true, platform.now(),
                                                                platform.at(2026, 4, 1), 3, true));
  EXPECT_TRUE(logged("Writing data to file failed"));
  EXPECT_EQ(platform.fakeFiles().contents().at(archivePath()), bytes);
  EXPECT_EQ(storedNames(), std::vector<std::string>{"Kept"});
  EXPECT_TRUE(scheduled().empty());
}

}  // namespace
}  // namespace kestrio

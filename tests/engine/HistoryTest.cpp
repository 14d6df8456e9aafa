#include <gtest/gtest.h>

#include "engine/History.h"
#include "platform/KeyedArchive.h"
#include "platform/MoveAside.h"
#include "services/ArchiveFile.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

constexpr int kCellular = 1;
constexpr int kWifi = 2;
constexpr int kPeriod = 1;
constexpr int kDay = 2;

class HistoryStore : public ::testing::Test {
 protected:
  std::string path() { return platform.documentPath(History::kFileName); }
  testing::FakeFileSystem& files() { return platform.fakeFiles(); }

  // A record of the given kind from day `first` 00:00 to day `last` 00:00 of January 2026.
  History record(int first, int last, int dataType, int historyType) {
    return History(platform, platform.at(2026, 1, first), platform.at(2026, 1, last), 100.0, 200.0,
                   300.0, dataType, historyType);
  }
  History add(int first, int last, int dataType, int historyType) {
    History r = record(first, last, dataType, historyType);
    EXPECT_TRUE(History::addNewHistoryItemLog(platform, r).ok());
    return r;
  }
  std::vector<std::string> ids(const std::vector<History>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) out.push_back(r.uniqueId().value_or("(none)"));
    return out;
  }

  testing::FakePlatform platform;
};

TEST_F(HistoryStore, WithoutAFileEveryReadIsEmpty) {
  EXPECT_TRUE(History::getAllHistoryLogs(platform).empty());
  EXPECT_TRUE(History::getAllBillingCycleLogs(platform).empty());
  EXPECT_TRUE(History::getDailyHistoryLogsFrom(platform, platform.at(2000, 1, 1),
                                               platform.at(2100, 1, 1), kCellular)
                  .empty());
  files().put(path(), "");
  EXPECT_TRUE(History::getAllHistoryLogs(platform).empty());
  EXPECT_TRUE(filesMovedAside(files(), platform.documentsDirectory()).empty());
}

TEST_F(HistoryStore, FirstAddCreatesAOneRecordArchiveUnderTheLock) {
  History added = add(3, 4, kWifi, kDay);
  ASSERT_TRUE(files().contents().count(path()));
  auto objects = keyed::decodeList(files().contents().at(path()), "historyLogs");
  ASSERT_TRUE(objects);
  ASSERT_EQ(objects->size(), 1u);
  const keyed::Object expected{
      {"startDate", platform.at(2026, 1, 3)},
      {"endDate", platform.at(2026, 1, 4)},
      {"dataSent", 100.0},
      {"dataReceived", 200.0},
      {"dataTotal", 300.0},
      {"uniqueId", *added.uniqueId()},
      {"dataType", std::int64_t{2}},
      {"historyType", std::int64_t{2}},
  };
  EXPECT_EQ(objects->front(), expected);
  EXPECT_EQ(added.uniqueId()->size(), 36u);
  EXPECT_EQ(files().writesOutsideLock(), 0);
  EXPECT_EQ(History::getAllHistoryLogs(platform), std::vector<History>{added});
}

TEST_F(HistoryStore, AbsentFieldsReadAsNothingAndZero) {
  History empty;
  empty.setUniqueId("only-an-id");
  ASSERT_TRUE(History::saveHistoryLogs(platform, {empty}).ok());
  EXPECT_EQ(History::getAllHistoryLogs(platform), std::vector<History>{empty});

  // Written by another version: keys missing altogether, an integer out of 32-bit range.
  files().put(path(), keyed::encodeList("historyLogs", "History",
                                        {{{"dataTotal", 5.0}, {"dataType", std::int64_t{1} << 40}},
                                         {{"historyType", std::int64_t{1}}}}));
  auto records = History::getAllHistoryLogs(platform);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].dataTotal(), 5.0);
  EXPECT_EQ(records[0].dataType(), 0);
  EXPECT_EQ(records[0].historyType(), 0);
  EXPECT_FALSE(records[0].startDate() || records[0].uniqueId() || records[0].dataSent());
  EXPECT_EQ(records[1].historyType(), 1);
}

// A period's connections are numbered keys of its object: they survive a save and a read, and a
// damaged entry (a part missing or of another kind, a count beyond what is stored) is left out
// while the period and its other connections stand.
TEST_F(HistoryStore, APeriodKeepsItsConnectionsAndLeavesDamagedOnesOut) {
  History period = record(1, 31, kWifi, kPeriod);
  period.setConnections(
      {{"u-1", "Home", false, 10, 20, 30}, {"u-2", "Pixel hotspot", true, 1, 2, 3}});
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, period).ok());
  EXPECT_EQ(History::getAllHistoryLogs(platform), std::vector<History>{period});

  auto objects = keyed::decodeList(files().contents().at(path()), "historyLogs");
  ASSERT_TRUE(objects && objects->size() == 1u);
  keyed::Object damaged = objects->front();
  damaged["connectionCount"] = std::int64_t{4};  // two are not there
  damaged["connection0DataTotal"] = std::string("30");
  keyed::Object missing = objects->front();
  missing.erase("connection1Metered");
  keyed::Object negative = objects->front();
  negative["connectionCount"] = std::int64_t{-1};
  files().put(path(), keyed::encodeList("historyLogs", "History", {damaged, missing, negative}));
  const auto records = History::getAllHistoryLogs(platform);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].connections(), std::vector<ClosedConnection>{period.connections()[1]});
  EXPECT_EQ(records[1].connections(), std::vector<ClosedConnection>{period.connections()[0]});
  EXPECT_TRUE(records[2].connections().empty());
  EXPECT_EQ(records[0].dataTotal(), 300.0);
}

TEST_F(HistoryStore, BillingLogsOfBothNetworksInAppendOrder) {
  History a = add(1, 2, kWifi, kPeriod);
  add(2, 3, kWifi, kDay);
  History b = add(1, 31, kCellular, kPeriod);
  History c = add(1, 5, kWifi, kPeriod);
  EXPECT_EQ(ids(History::getAllBillingCycleLogs(platform)), ids({a, b, c}));
}

TEST_F(HistoryStore, DailyLogsTouchTheInclusiveSpanNewestFirst) {
  const Date from = platform.at(2026, 1, 10);
  const Date to = platform.at(2026, 1, 20);
  History endsAtFrom = add(9, 10, kCellular, kDay);
  History startsAtTo = add(20, 21, kCellular, kDay);
  History inside = add(12, 13, kCellular, kDay);
  add(12, 13, kWifi, kDay);         // other network
  add(11, 20, kCellular, kPeriod);  // a period, not a day
  add(9, 21, kCellular, kDay);      // spans the whole range but touches neither bound
  add(5, 9, kCellular, kDay);       // before
  History noStart = record(1, 15, kCellular, kDay);
  noStart.setStartDate(std::nullopt);
  History noDates = record(1, 1, kCellular, kDay);
  noDates.setStartDate(std::nullopt);
  noDates.setEndDate(std::nullopt);
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, noStart).ok());
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, noDates).ok());
  History sameStart = add(12, 12, kCellular, kDay);

  EXPECT_EQ(ids(History::getDailyHistoryLogsFrom(platform, from, to, kCellular)),
            ids({startsAtTo, inside, sameStart, endsAtFrom, noStart}));
  EXPECT_EQ(History::getDailyHistoryLogsFrom(platform, from, to, kWifi).size(), 1u);
}

TEST_F(HistoryStore, RemoveTakesEveryRecordWithThatIdAndKeepsTheOrder) {
  History a = add(1, 2, kCellular, kDay);
  History b = add(2, 3, kCellular, kDay);
  History c = add(3, 4, kWifi, kDay);
  History twin = record(9, 10, kWifi, kPeriod);
  twin.setUniqueId(b.uniqueId());
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, twin).ok());
  History anonymous = record(5, 6, kWifi, kDay);
  anonymous.setUniqueId(std::nullopt);
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, anonymous).ok());

  // A record read back from the store is a copy with the same identity.
  History copyOfB = History::getAllHistoryLogs(platform)[1];
  EXPECT_TRUE(History::removeHistoryLog(platform, copyOfB).ok());
  EXPECT_EQ(ids(History::getAllHistoryLogs(platform)), ids({a, c, anonymous}));

  // Absent, or without an identity: the same records, and a file that already holds them is not
  // written again.
  const std::string before = files().contents().at(path());
  const int writes = files().writeCount();
  EXPECT_TRUE(History::removeHistoryLog(platform, record(1, 2, kCellular, kDay)).isNotFound());
  EXPECT_TRUE(History::removeHistoryLog(platform, anonymous).isNotFound());
  EXPECT_EQ(files().writeCount(), writes);
  EXPECT_EQ(files().contents().at(path()), before);
  EXPECT_EQ(files().writesOutsideLock(), 0);

  EXPECT_TRUE(History::saveHistoryLogs(platform, {}).ok());
  EXPECT_TRUE(History::getAllHistoryLogs(platform).empty());
  EXPECT_FALSE(files().contents().at(path()).empty());
}

// Appends go through the bytes of the archive; a save of what is stored already writes nothing.
TEST_F(HistoryStore, AppendsKeepEveryRecordAndUnchangedSavesWriteNothing) {
  std::vector<History> added;
  for (int day = 1; day <= 40; ++day) added.push_back(add(day, day + 1, day % 2 + 1, 2));
  EXPECT_EQ(History::getAllHistoryLogs(platform), added);

  // The first save writes the archive in the writer's own layout; the same again writes nothing.
  ASSERT_TRUE(History::saveHistoryLogs(platform, added).ok());
  const int writes = files().writeCount();
  EXPECT_TRUE(History::saveHistoryLogs(platform, added).ok());
  EXPECT_EQ(files().writeCount(), writes);
  added.pop_back();
  EXPECT_TRUE(History::saveHistoryLogs(platform, added).ok());
  EXPECT_EQ(files().writeCount(), writes + 1);
  EXPECT_EQ(History::getAllHistoryLogs(platform), added);
}

TEST_F(HistoryStore, AFailedWriteKeepsThePreviousArchive) {
  History kept = add(1, 2, kCellular, kDay);
  const std::string before = files().contents().at(path());
  for (auto failure :
       {testing::FakeFileSystem::Failure::Write, testing::FakeFileSystem::Failure::DiskFull,
        testing::FakeFileSystem::Failure::Rename}) {
    files().failWrites(failure);
    const Stored stored = History::addNewHistoryItemLog(platform, record(2, 3, kCellular, kDay));
    EXPECT_FALSE(stored.ok());
    EXPECT_EQ(stored.reason(), "could not store history.archive");
    EXPECT_EQ(platform.logLines.back(), "Writing data to file failed");
    EXPECT_EQ(files().contents().at(path()), before);
  }
  EXPECT_EQ(History::getAllHistoryLogs(platform), std::vector<History>{kept});
}

// A file that cannot be read or decoded is kept under a dated name, and the store starts over.
TEST_F(HistoryStore, AnUnreadableArchiveIsMovedAsideNotOverwritten) {
  for (bool corrupt : {true, false}) {
    SCOPED_TRACE(corrupt ? "undecodable" : "unreadable");
    testing::FakePlatform fresh;
    fresh.setNow(2026, 3, 4, 5, 6, 7);
    const std::string file = fresh.documentPath(History::kFileName);
    const std::string garbage = "bplist00 but nothing after it that makes sense";
    fresh.fakeFiles().put(file, garbage);
    if (!corrupt) fresh.fakeFiles().makeUnreadable(file);

    ArchiveFile archive(fresh, History::kFileName, History::kTopKey, History::kClassName);
    auto contents = archive.read();
    EXPECT_FALSE(contents.hadData);
    EXPECT_TRUE(contents.objects.empty());
    auto aside = filesMovedAside(fresh.fakeFiles(), fresh.documentsDirectory());
    ASSERT_EQ(aside.size(), 1u);
    const std::string movedTo = fresh.documentsDirectory() + "/" + aside[0];
    EXPECT_EQ(fresh.fakeFiles().contents().at(movedTo), garbage);
    EXPECT_NE(movedTo.find("20260304T"), std::string::npos);
    ASSERT_FALSE(fresh.logLines.empty());
    EXPECT_NE(fresh.logLines.back().find(file), std::string::npos);
    EXPECT_NE(fresh.logLines.back().find(movedTo), std::string::npos);

    if (!corrupt) continue;  // the fake keeps its path unreadable
    ASSERT_TRUE(History::addNewHistoryItemLog(
                    fresh, History(fresh, fresh.now(), fresh.now(), 1.0, 2.0, 3.0, kWifi, kDay))
                    .ok());
    EXPECT_EQ(History::getAllHistoryLogs(fresh).size(), 1u);
    EXPECT_EQ(fresh.fakeFiles().contents().at(movedTo), garbage);
  }
}

}  // namespace
}  // namespace kestrio

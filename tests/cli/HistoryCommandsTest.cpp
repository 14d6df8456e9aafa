#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>

#include "cli/HistoryCommands.h"
#include "cli/ListCommands.h"
#include "engine/AppSettings.h"
#include "engine/CustomCounter.h"
#include "engine/History.h"
#include "services/Communications.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakeFileSystem;
using testing::FakePlatform;

constexpr double kMB = 1048576;

long lines(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

class HistoryCommands : public ::testing::Test {
 protected:
  HistoryCommands() {
    platform.setNow(2026, 3, 10, 12);
    period = add(platform.at(2026, 1, 1), platform.at(2026, 1, 31), 1, 4);
    add(platform.at(2026, 3, 8, 0, 5), platform.at(2026, 3, 9), 2, 2);
    add(platform.at(2026, 3, 9, 0, 5), platform.at(2026, 3, 10), 2, 2);
  }
  History add(Date start, Date end, int historyType, double totalMB) {
    History record(platform, start, end, 0, totalMB * kMB, totalMB * kMB, historyType == 1 ? 1 : 2,
                   historyType);
    EXPECT_TRUE(History::addNewHistoryItemLog(platform, record).ok());
    return record;
  }
  int exportTo(HistoryExportOptions options) {
    out.str("");
    err.str("");
    return runHistoryExport(platform, options, out, err);
  }
  int clear(bool yes, bool interactive, const std::string& typed) {
    std::istringstream in(typed);
    out.str("");
    err.str("");
    return runHistoryClear(platform, yes, interactive, in, out, err);
  }
  std::size_t stored() { return History::getAllHistoryLogs(platform).size(); }

  FakePlatform platform;
  History period;
  std::ostringstream out;
  std::ostringstream err;
};

TEST_F(HistoryCommands, ExportWritesPeriodsOrTheDaysOfASpan) {
  ASSERT_EQ(exportTo({}), 0) << err.str();
  EXPECT_EQ(lines(out.str()), 2);
  EXPECT_NE(out.str().find("Cellular,"), std::string::npos);

  HistoryExportOptions days;
  days.query.days = true;
  days.query.network = "wifi";
  days.query.from = "2026-03-10";
  ASSERT_EQ(exportTo(days), 0) << err.str();
  EXPECT_EQ(lines(out.str()), 2);
  EXPECT_NE(out.str().find("   Wi-Fi,"), std::string::npos);

  days.html = true;
  days.query.from = "2026-03-01";
  ASSERT_EQ(exportTo(days), 0);
  EXPECT_EQ(out.str().rfind("<pre><b>Data Type", 0), 0u);

  days.query.to = "2026-02-30";
  EXPECT_EQ(exportTo(days), 2);
  EXPECT_NE(err.str().find("YYYY-MM-DD"), std::string::npos);
}

TEST_F(HistoryCommands, DaysAreListedAsDatesAndEveryJsonDateHasItsOffset) {
  HistoryQuery query;
  query.days = true;
  query.network = "wifi";
  query.from = "2026-03-01";
  ASSERT_EQ(runHistory(platform, query, false, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("Wi-Fi    3/9/26"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("Wi-Fi    3/8/26"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("12:05"), std::string::npos) << out.str();  // no moments
  out.str("");
  ASSERT_EQ(runHistory(platform, query, true, out, err), 0);
  EXPECT_NE(out.str().find("\"startDate\": \"2026-03-09T00:05:00+01:00\", \"endDate\": "
                           "\"2026-03-10T00:00:00+01:00\""),
            std::string::npos)
      << out.str();
}

// A period's connections come with it in JSON, names quoted; a period without any has no key.
TEST_F(HistoryCommands, JsonPeriodsCarryTheirConnections) {
  History hotel(platform, platform.at(2026, 2, 1), platform.at(2026, 2, 28), kMB, kMB, 2 * kMB, 1,
                1);
  hotel.setConnections({{"u-3", "Hotel \"Sea\"", true, kMB, kMB, 2 * kMB}});
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, hotel).ok());
  ASSERT_EQ(runHistory(platform, {}, true, out, err), 0) << err.str();
  const std::string text = out.str();
  EXPECT_NE(text.find("\"connections\": [{\"uuid\": \"u-3\", \"name\": \"Hotel \\\"Sea\\\"\", "
                      "\"metered\": true, \"dataSent\": 1048576, \"dataReceived\": 1048576, "
                      "\"dataTotal\": 2097152}]}"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("connections"), text.rfind("connections")) << text;  // January has none
}

// Characters, not bytes: "…" is one column.
std::size_t widestLine(const std::string& text) {
  std::size_t widest = 0;
  std::size_t width = 0;
  for (const char c : text) {
    if (c == '\n') {
      widest = std::max(widest, width);
      width = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++width;
    }
  }
  return widest;
}

TEST_F(HistoryCommands, EveryListingFitsEightyColumns) {
  add(platform.at(2026, 2, 1, 7, 30), platform.at(2026, 2, 28, 23, 59), 1, 999999.99);
  (void)CustomCounter::addCustomCounter(
      platform, CustomCounter(platform, "A counter with a name far longer than its column"));
  LocalNotification note;
  note.fireDate = platform.at(2026, 12, 31, 23, 59);
  note.alertBody = std::string(120, 'x');
  note.applicationIconBadgeNumber = 100;
  Communications::scheduleLocalNotification(platform, note);
  HistoryQuery days;
  days.days = true;
  days.from = "2026-03-01";
  const std::vector<std::pair<const char*, std::function<int(std::ostream&)>>> listings = {
      {"periods", [&](std::ostream& o) { return runHistory(platform, {}, false, o, err); }},
      {"days", [&](std::ostream& o) { return runHistory(platform, days, false, o, err); }},
      {"counters", [&](std::ostream& o) { return runCounters(platform, false, o); }},
      {"notifications", [&](std::ostream& o) { return runNotifications(platform, false, o); }}};
  for (const auto& [name, list] : listings) {
    std::ostringstream listing;
    ASSERT_EQ(list(listing), 0) << name;
    EXPECT_LE(widestLine(listing.str()), 79u) << name << "\n" << listing.str();
    EXPECT_GE(widestLine(listing.str()), 50u) << name << "\n" << listing.str();
  }
}

TEST_F(HistoryCommands, DaysCoverBothNetworksUnlessOneIsAsked) {
  History cellularDay(platform, platform.at(2026, 3, 9), platform.at(2026, 3, 10), 0, kMB, kMB, 1,
                      2);
  ASSERT_TRUE(History::addNewHistoryItemLog(platform, cellularDay).ok());
  HistoryQuery query;
  query.days = true;
  query.from = "2026-03-01";
  for (const auto& [network, shown] :
       std::vector<std::pair<std::optional<std::string>, std::vector<const char*>>>{
           {std::nullopt, {"1   Wi-Fi    3/9/26", "2   Cellular 3/9/26", "3   Wi-Fi    3/8/26"}},
           {"wifi", {"1   Wi-Fi    3/9/26", "2   Wi-Fi    3/8/26"}},
           {"cellular", {"1   Cellular 3/9/26"}}}) {
    query.network = network;
    out.str("");
    ASSERT_EQ(runHistory(platform, query, false, out, err), 0) << err.str();
    EXPECT_EQ(lines(out.str()), static_cast<long>(shown.size()) + 1) << out.str();
    for (const char* line : shown) EXPECT_NE(out.str().find(line), std::string::npos) << out.str();
  }
}

TEST_F(HistoryCommands, AFileThatCannotBeWrittenIsLeftAsItWas) {
  const std::string path = "/exports/history.csv";
  platform.fakeFiles().put(path, "previous\n");
  HistoryExportOptions options;
  options.output = path;
  for (int failure = 0; failure < 2; ++failure) {
    if (failure == 0) platform.fakeFiles().failNextOutputFile(true);
    if (failure == 1) platform.fakeFiles().failWrites(FakeFileSystem::Failure::Sync, 1, path);
    EXPECT_EQ(exportTo(options), 1);
    EXPECT_NE(err.str().find("could not be written"), std::string::npos);
    EXPECT_EQ(platform.fakeFiles().contents().at(path), "previous\n");
  }
  ASSERT_EQ(exportTo(options), 0) << err.str();
  EXPECT_EQ(platform.fakeFiles().contents().at(path).rfind("Data Type,", 0), 0u);
  EXPECT_NE(out.str().find("Exported 1 record to " + path), std::string::npos);
}

// Kestrio's own files are never an export's target, however the path reaches them.
TEST_F(HistoryCommands, AnExportIntoTheDataDirectoryIsRefused) {
  AppSettings(platform).getSettings();  // as any command does first
  const std::map<std::string, std::string> before = platform.fakeFiles().contents();
  for (const std::string target :
       {"/kestrio-home/history.archive", "/kestrio-home/kestrio.lock", "/kestrio-home",
        "/kestrio-home/", "/kestrio-home/exports/../defaults.plist", "/kestrio-home/new/x.csv",
        "/tmp/../kestrio-home/./history.archive"}) {
    HistoryExportOptions options;
    options.output = target;
    EXPECT_EQ(exportTo(options), 2) << target;
    EXPECT_NE(err.str().find("data directory"), std::string::npos) << err.str();
    EXPECT_EQ(platform.fakeFiles().contents(), before) << target;
  }
  // A neighbour whose name only begins like it is somewhere else.
  HistoryExportOptions options;
  options.output = "/kestrio-home-old/history.csv";
  EXPECT_EQ(exportTo(options), 0) << err.str();
}

TEST_F(HistoryCommands, ADeleteThatWasNotStoredSaysSo) {
  HistoryDeleteOptions options{*period.uniqueId(), {}, true};
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::DiskFull);
  EXPECT_EQ(runHistoryDelete(platform, options, false, std::cin, out, err), 1);
  EXPECT_NE(err.str().find("was not deleted"), std::string::npos);
  EXPECT_EQ(stored(), 3u);
}

struct DeleteCase {
  const char* name;
  std::string record;  // a position or "period" for the billing period's identifier
  bool days;
  bool yes;
  bool interactive;
  const char* typed;
  int status;
  std::size_t left;
  const char* said;  // on the output when the command succeeds, on the error otherwise
};

class HistoryDelete : public HistoryCommands, public ::testing::WithParamInterface<DeleteCase> {};

// The position counts in the listing kestrio history shows; only y or yes deletes, and without
// a terminal nothing is read or written unless --yes.
TEST_P(HistoryDelete, DeletesOneRecordOnlyWhenConfirmed) {
  const DeleteCase& c = GetParam();
  HistoryDeleteOptions options;
  options.record = c.record == "period" ? *period.uniqueId() : c.record;
  options.query.days = c.days;
  options.query.from = "2026-03-01";
  options.yes = c.yes;
  std::istringstream in(c.typed);
  const auto before = platform.fakeFiles().contents();
  EXPECT_EQ(runHistoryDelete(platform, options, c.interactive, in, out, err), c.status);
  EXPECT_NE((c.status == 0 ? out : err).str().find(c.said), std::string::npos)
      << out.str() << err.str();
  EXPECT_EQ(stored(), c.left);
  if (c.left == 3) {
    EXPECT_EQ(platform.fakeFiles().contents(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryDelete,
    ::testing::Values(
        DeleteCase{"ByIdentifier", "period", false, true, false, "", 0, 2, "Deleted the Cellular"},
        DeleteCase{"ByPosition", "1", false, true, false, "", 0, 2, "billing period"},
        DeleteCase{"ByPositionAmongTheDays", "2", true, true, false, "", 0, 2, "Wi-Fi day 3/8"},
        DeleteCase{"PositionPastTheList", "2", false, true, false, "", 2, 3, "lists 1 to 1"},
        DeleteCase{"PositionZero", "0", true, true, false, "", 2, 3, "there is no record 0"},
        DeleteCase{"UnknownIdentifier", "NO-SUCH-ID", false, true, false, "", 2, 3,
                   "no history record has the identifier NO-SUCH-ID"},
        DeleteCase{"AnsweredYes", "1", false, false, true, " Yes \n", 0, 2, "[y/N]"},
        DeleteCase{"AnsweredNo", "1", false, false, true, "n\n", 0, 3, "Nothing changed"},
        DeleteCase{"ReturnIsNo", "1", false, false, true, "\n", 0, 3, "Nothing changed"},
        DeleteCase{"EndOfInputIsNo", "1", false, false, true, "", 0, 3, "Nothing changed"},
        DeleteCase{"NoTerminalRefuses", "1", false, false, false, "y\n", 2, 3, "--yes"}),
    testing::NameField{});

TEST_F(HistoryCommands, ClearAsksOnATerminalAndRefusesWithoutOne) {
  const auto before = platform.fakeFiles().contents();
  EXPECT_EQ(clear(false, false, "y\n"), 2);
  EXPECT_EQ(platform.fakeFiles().contents(), before);
  EXPECT_EQ(clear(false, true, "n\n"), 0);
  EXPECT_NE(out.str().find("Clear all 3 records"), std::string::npos);
  EXPECT_EQ(stored(), 3u);
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::Rename);
  EXPECT_EQ(clear(true, false, ""), 1);
  EXPECT_EQ(stored(), 3u);
  EXPECT_EQ(clear(false, true, "y\n"), 0);
  EXPECT_EQ(stored(), 0u);
}

TEST_F(HistoryCommands, MailFailsWithOneLineWithoutAMailClient) {
  platform.mailAvailable = false;
  EXPECT_EQ(runHistoryMail(platform, {}, out, err), 1);
  EXPECT_NE(err.str().find("no mail client"), std::string::npos);
  platform.mailAvailable = true;
  platform.mailSucceeds = false;
  EXPECT_EQ(runHistoryMail(platform, {}, out, err), 1);
  platform.mailSucceeds = true;
  EXPECT_EQ(runHistoryMail(platform, {}, out, err), 0);
  ASSERT_EQ(platform.sentMail.size(), 2u);
  EXPECT_EQ(platform.sentMail.back().attachments.at(0).fileName, "kestrio.csv");
}

}  // namespace
}  // namespace kestrio::cli

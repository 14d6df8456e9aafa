#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <sstream>

#include "cli/CountersCommand.h"
#include "cli/CountersCommandLine.h"
#include "cli/ListCommands.h"
#include "engine/CustomCounter.h"
#include "platform/MoveAside.h"
#include "services/Communications.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakeFileSystem;
using testing::FakePlatform;

class CountersCommandTest : public ::testing::Test {
 protected:
  CountersCommandTest() {
    platform.setNow(2026, 3, 10, 9, 30, 0);
    for (const char* name : {"First", "Second"}) {
      (void)CustomCounter::addCustomCounter(platform, CustomCounter(platform, name));
    }
  }

  // `kestrio counters ARGS…` as the command line parses it, without a terminal unless asked.
  int run(std::vector<std::string> args, bool interactive = false, const std::string& typed = "") {
    out.str("");
    err.str("");
    return runCountersCommandLine(platform, std::move(args), out, err, interactive, typed);
  }
  std::vector<CustomCounter> stored() { return CustomCounter::getAllCustomCounters(platform); }
  std::string archive() {
    return platform.fakeFiles().contents().at(platform.documentPath(CustomCounter::kFileName));
  }

  FakePlatform platform;
  std::ostringstream out;
  std::ostringstream err;
};

struct BadInputCase {
  const char* name;
  std::vector<std::string> args;
  const char* error;
};

void PrintTo(const BadInputCase& c, std::ostream* os) {
  *os << c.name;
}

class CountersBadInputTest : public CountersCommandTest,
                             public ::testing::WithParamInterface<BadInputCase> {};

TEST_P(CountersBadInputTest, IsRefusedWithOneLineAndChangesNothing) {
  const std::string before = archive();
  EXPECT_EQ(run(GetParam().args), 2);
  EXPECT_NE(err.str().find(GetParam().error), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("nothing changed"), std::string::npos) << err.str();
  const std::string line = err.str();
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
  EXPECT_EQ(archive(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CountersBadInputTest,
    ::testing::Values(
        BadInputCase{"EditPastTheLast",
                     {"edit", "3", "--name", "x"},
                     "no counter \"3\" (there are 2 counters"},
        BadInputCase{"PauseZero", {"pause", "0"}, "no counter \"0\""},
        BadInputCase{"ResumeNotAnId", {"resume", "not-an-id"}, "no counter \"not-an-id\""},
        BadInputCase{"EndPassed", {"add", "X", "--ends", "2026-03-10 09:30"}, "has already passed"},
        BadInputCase{"EndNoSuchDay", {"add", "X", "--ends", "2026-02-30 10:00"}, "not a date"},
        BadInputCase{"EndInWords", {"add", "X", "--ends", "next friday"}, "not a date"},
        BadInputCase{"EndAndNoEnd",
                     {"edit", "1", "--ends", "2026-04-01 10:00", "--no-end"},
                     "cannot go together"},
        BadInputCase{"MovePastTheLast", {"move", "1", "3"}, "from 1 to 2"}),
    [](const ::testing::TestParamInfo<BadInputCase>& c) { return std::string(c.param.name); });

TEST_F(CountersCommandTest, AddAndEditGoThroughTheStoreWithTheirNotifications) {
  ASSERT_EQ(run({"add", "Trip", "--network", "wifi", "--direction", "received", "--ends",
                 "2026-03-13 18:00", "--alert"}),
            0)
      << err.str();
  EXPECT_NE(out.str().find("Added counter 3 \"Trip\": Wi-Fi, received, ends 3/13/26"),
            std::string::npos)
      << out.str();
  ASSERT_EQ(stored().size(), 3u);
  const CustomCounter trip = stored()[2];
  EXPECT_FALSE(trip.trackCellular());
  EXPECT_EQ(trip.direction(), CustomCounter::kDirectionReceived);
  EXPECT_EQ(trip.endDate(), platform.at(2026, 3, 13, 18, 0));
  auto scheduled = Communications::scheduledLocalNotifications(platform);
  ASSERT_EQ(scheduled.size(), 1u);
  EXPECT_EQ(scheduled[0].alertBody, "Custom Counter Trip Ended!");

  // By its identifier, in any case; the figures and the place stay.
  std::string id = trip.uniqueId();
  std::transform(id.begin(), id.end(), id.begin(), ::toupper);
  ASSERT_EQ(run({"edit", id, "--no-end", "--name", "Trip home"}), 0) << err.str();
  EXPECT_EQ(stored()[2].name(), "Trip home");
  EXPECT_FALSE(stored()[2].endDate());
  EXPECT_TRUE(Communications::scheduledLocalNotifications(platform).empty());

  ASSERT_EQ(run({"move", "3", "1"}), 0);
  EXPECT_EQ(stored()[0].name(), "Trip home");
  ASSERT_EQ(run({"remove", "1"}, true, "n\n"), 0);  // asked, and declined
  EXPECT_EQ(stored().size(), 3u);
  ASSERT_EQ(run({"remove", "1"}, true, "y\n"), 0);
  EXPECT_EQ(stored().size(), 2u);
  EXPECT_EQ(run({"reset", "1"}), 2);  // no terminal to ask on
}

TEST_F(CountersCommandTest, ALongNameIsCutShortBeforeTheNextColumn) {
  struct Case {
    const char* name;
    const char* shown;  // followed by the padding and the state column
  };
  const Case cases[] = {
      {"Exactly twenty-one ch", "Exactly twenty-one ch "},
      {"A very long counter name for the trip", "A very long counter \u2026 "},
      {"\u00dcberlange Z\u00e4hlerbezeichnung f\u00fcr die Reise",
       "\u00dcberlange Z\u00e4hlerbeze\u2026 "},
  };
  for (const Case& c : cases) {
    (void)CustomCounter::addCustomCounter(platform, CustomCounter(platform, c.name));
  }
  std::ostringstream listing;
  ASSERT_EQ(runCounters(platform, false, listing), 0);
  for (const Case& c : cases) {
    const std::size_t at = listing.str().find(c.shown);
    ASSERT_NE(at, std::string::npos) << c.name << "\n" << listing.str();
    EXPECT_EQ(listing.str().substr(
                  listing.str().find_first_not_of(' ', at + std::string(c.shown).size()), 2),
              "on")
        << c.name;
  }
}

TEST_F(CountersCommandTest, AChangeThatCannotBeStoredIsNeverReportedDone) {
  const std::string before = archive();
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::DiskFull);
  EXPECT_EQ(run({"pause", "2"}), 1);
  EXPECT_NE(err.str().find("not stored"), std::string::npos) << err.str();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(archive(), before);
}

// A name the archive cannot keep as typed (malformed UTF-8, a NUL) is stored cleaned, and the
// command compares the stored counter with the cleaned name: stored once, reported stored.
TEST_F(CountersCommandTest, ANameWithMalformedTextIsStoredCleanedAndReportedStored) {
  struct Case {
    const char* label;
    std::string typed;
    std::string kept;
  };
  const Case cases[] = {
      {"malformed", "bad\xff\xfe", "bad\uFFFD\uFFFD"},
      {"cut short", "euro \xe2\x82", "euro \uFFFD\uFFFD"},
      {"nul", std::string("in\0side", 7), "in"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::size_t before = stored().size();
    EXPECT_EQ(run({"add", c.typed}), 0) << err.str();
    ASSERT_EQ(stored().size(), before + 1) << "added once";
    EXPECT_EQ(stored().back().name(), c.kept);
    EXPECT_EQ(run({"edit", std::to_string(before + 1), "--name", "!" + c.typed}), 0) << err.str();
    EXPECT_EQ(stored().back().name(), "!" + c.kept);
  }
}

TEST_F(CountersCommandTest, AnUnreadableArchiveIsSetAsideAndNothingIsAdded) {
  platform.fakeFiles().put(platform.documentPath(CustomCounter::kFileName), "not an archive");
  EXPECT_EQ(run({"add", "Trip"}), 2);
  EXPECT_NE(err.str().find("could not be read; it was set aside as customcounters.archive"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(filesMovedAside(platform.files(), platform.documentsDirectory()).size(), 1u);
  EXPECT_TRUE(stored().empty());
  EXPECT_EQ(run({"add", "Trip"}), 0);  // the next one starts a new list
  EXPECT_EQ(stored().size(), 1u);
}

}  // namespace
}  // namespace kestrio::cli

// Every command that changes something says so, with one line and a non-zero exit, when the
// change could not be stored, and then leaves every file as it was.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "cli/Commands.h"
#include "cli/SettingsCommand.h"
#include "engine/AppData.h"
#include "engine/CustomCounter.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/Records.h"

namespace kestrio::cli {
namespace {

using testing::FakeFileSystem;
using testing::FakePlatform;

constexpr std::uint64_t kMiB = 1024 * 1024;

struct Command {
  const char* name;
  std::function<int(FakePlatform&, std::ostream& out, std::ostream& err)> run;
};

void PrintTo(const Command& c, std::ostream* os) {
  *os << c.name;
}

const Command kCommands[] = {
    {"update", [](FakePlatform& p, std::ostream&, std::ostream& err) { return runUpdate(p, err); }},
    {"status", [](FakePlatform& p, std::ostream& out,
                  std::ostream& err) { return runStatus(p, StatusOptions{}, out, err); }},
    {"adjust", [](FakePlatform& p, std::ostream& out,
                  std::ostream& err) { return runAdjust(p, "cellular", "5", out, err); }},
    {"reset",
     [](FakePlatform& p, std::ostream& out, std::ostream& err) {
       std::istringstream in;
       return runReset(p, "cellular", true, false, in, out, err);
     }},
    {"settings set",
     [](FakePlatform& p, std::ostream& out, std::ostream& err) {
       return runSettingsSet(p, "firstDayOfCycle", "15", out, err);
     }},
};

class UnstoredChangeTest : public ::testing::TestWithParam<Command> {
 protected:
  UnstoredChangeTest() {
    platform.setBoot(1000, "boot-1");
    platform.setCounters("wwan0", 10 * kMiB, kMiB, InterfaceKind::Cellular);
    std::ostringstream ignored;
    EXPECT_EQ(runUpdate(platform, ignored), 0);
    platform.advance(600);
    platform.setCounters("wwan0", 30 * kMiB, 2 * kMiB);
  }
  double cellularAllTime() {
    return AppData::getNumberForKey("dataAllTime",
                                    storedRecord(platform, AppData::kCellularFileName));
  }

  FakePlatform platform;
};

TEST_P(UnstoredChangeTest, AFullDiskIsReportedAndChangesNothing) {
  const auto before = platform.fakeFiles().contents();
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::DiskFull, 1000);
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(GetParam().run(platform, out, err), 1);
  const std::string message = err.str();
  EXPECT_NE(message.find("nothing was stored"), std::string::npos) << message;
  EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
  EXPECT_EQ(platform.fakeFiles().contents(), before);

  // Once the disk has room again, the traffic the failed command read is still counted.
  platform.fakeFiles().failWrites(FakeFileSystem::Failure::None, 0);
  std::ostringstream ignored;
  ASSERT_EQ(runUpdate(platform, ignored), 0) << ignored.str();
  EXPECT_EQ(cellularAllTime(), 32.0 * kMiB);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, UnstoredChangeTest, ::testing::ValuesIn(kCommands),
                         [](const ::testing::TestParamInfo<Command>& param) {
                           std::string name = param.param.name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

TEST(UnstoredChangeTest, UpdateFailsWhenTheCountersCannotBeRead) {
  FakePlatform platform;
  platform.setCountersUnreadable(true);
  std::ostringstream err;
  EXPECT_EQ(runUpdate(platform, err), 1);
  EXPECT_NE(err.str().find("the interface counters cannot be read"), std::string::npos)
      << err.str();
  EXPECT_FALSE(platform.fakeFiles().exists(platform.documentPath(AppData::kCellularFileName)));
}

// A reset whose closed period cannot be added to the history stores nothing and says so: a
// period zeroed without its history record would be lost.
TEST(UnstoredChangeTest, AResetWhosePeriodCannotBeKeptInTheHistoryChangesNothing) {
  FakePlatform platform;
  platform.setBoot(1000, "boot-1");
  platform.setCounters("wwan0", 10 * kMiB, kMiB, InterfaceKind::Cellular);
  std::ostringstream ignored;
  ASSERT_EQ(runUpdate(platform, ignored), 0);
  const auto before = platform.fakeFiles().contents();
  platform.fakeFiles().refuseLocksAfter(1);  // the reset's own lock, not the history's
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(runReset(platform, "cellular", true, false, in, out, err), 1);
  EXPECT_NE(err.str().find("cannot be locked: kestrio.lock: Permission denied"), std::string::npos)
      << err.str();
  EXPECT_EQ(platform.fakeFiles().contents(), before);
}

// A record that cannot be replaced (an immutable file) must not leave a half-installed change
// that the next update counts again: each update fails until the change is complete, and the
// traffic is then counted once, in the record and in the custom counter.
TEST(UnstoredChangeTest, AChangeThatCannotBeInstalledIsNeverCountedTwice) {
  FakePlatform platform;
  platform.setBoot(1000, "boot-1");
  platform.setCounters("wwan0", 10 * kMiB, kMiB, InterfaceKind::Cellular);
  std::ostringstream first;
  ASSERT_EQ(runUpdate(platform, first), 0);
  const std::string record = platform.documentPath(AppData::kCellularFileName);
  platform.fakeFiles().immutable.insert(record);
  platform.advance(600);
  platform.setCounters("wwan0", 30 * kMiB, 2 * kMiB);

  for (int run = 0; run < 3; ++run) {
    std::ostringstream err;
    EXPECT_EQ(runUpdate(platform, err), 1) << "run " << run;
    EXPECT_NE(err.str().find("could not replace app_data_cellular.plist"), std::string::npos)
        << err.str();
    platform.advance(600);
  }
  platform.fakeFiles().immutable.clear();
  std::ostringstream err;
  ASSERT_EQ(runUpdate(platform, err), 0) << err.str();
  EXPECT_EQ(
      AppData::getNumberForKey("dataAllTime", storedRecord(platform, AppData::kCellularFileName)),
      32.0 * kMiB);
  const auto counters = CustomCounter::getAllCustomCounters(platform);
  ASSERT_EQ(counters.size(), 1u);
  EXPECT_EQ(counters[0].cellularDataTotal(), 21.0 * kMiB);
}

}  // namespace
}  // namespace kestrio::cli

namespace kestrio::cli {
namespace {

struct ResetCase {
  const char* name;
  bool yes;
  bool interactive;
  const char* typed;
  int status;
  bool zeroed;
  const char* said;  // on the output, or on the error when refused
};

class ResetConfirmationTest : public ::testing::TestWithParam<ResetCase> {};

// reset asks as every destructive command does: only y or yes zeroes the period; without a
// terminal and without --yes nothing is read or written.
TEST_P(ResetConfirmationTest, ZeroesThePeriodOnlyWhenConfirmed) {
  const ResetCase& c = GetParam();
  testing::FakePlatform platform;
  platform.setBoot(1000, "boot-1");
  platform.setCounters("wwan0", 10 * kMiB, kMiB, InterfaceKind::Cellular);
  std::ostringstream out, err;
  ASSERT_EQ(runAdjust(platform, "cellular", "5", out, err), 0) << err.str();
  const auto before = platform.fakeFiles().contents();
  std::istringstream in(c.typed);
  out.str("");
  EXPECT_EQ(runReset(platform, "cellular", c.yes, c.interactive, in, out, err), c.status);
  EXPECT_NE((c.status == 0 ? out : err).str().find(c.said), std::string::npos)
      << out.str() << err.str();
  if (c.interactive && !c.yes) {
    EXPECT_NE(out.str().find("Zero? [y/N] "), std::string::npos) << out.str();
  }
  const double period =
      AppData::getNumberForKey("dataThisMonth", storedRecord(platform, AppData::kCellularFileName));
  EXPECT_EQ(period == 0, c.zeroed) << period;
  if (!c.zeroed) {
    EXPECT_EQ(platform.fakeFiles().contents(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ResetConfirmationTest,
    ::testing::Values(ResetCase{"Yes", false, true, "y\n", 0, true, "starts again from zero"},
                      ResetCase{"YesInWords", false, true, "YES\n", 0, true, "Reset:"},
                      ResetCase{"ReturnIsNo", false, true, "\n", 0, false, "Nothing changed"},
                      ResetCase{"TheOldButtonIsNo", false, true, "reset\n", 0, false,
                                "Nothing changed"},
                      ResetCase{"EndOfInputIsNo", false, true, "", 0, false, "Nothing changed"},
                      ResetCase{"NoTerminal", false, false, "y\n", 2, false, "--yes"},
                      ResetCase{"YesFlagWithoutATerminal", true, false, "", 0, true, "Reset:"}),
    testing::NameField{});

}  // namespace
}  // namespace kestrio::cli

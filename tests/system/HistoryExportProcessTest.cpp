// kestrio history export, delete and clear as processes on a real data directory; the CSV read
// back by Python's csv module.
#include <gtest/gtest.h>

#include "engine/History.h"
#include "history/HistoryExport.h"
#include "platform/LinuxPlatform.h"
#include "support/Process.h"

namespace kestrio {
namespace {

// Prints each row the csv module reads as its fields joined by " | ", and the column count.
constexpr const char* kReader = R"(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8') as f:
    for row in csv.reader(f):
        print(len(row), ' | '.join(row))
)";

constexpr double kMB = 1048576;

class HistoryExportProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    LinuxEnvironment env;
    env.documentsDirectory = home();
    env.zoneId = "UTC";
    env.localeId = "de_DE";
    std::string error;
    platform = LinuxPlatform::create(env, &error);
    ASSERT_TRUE(platform) << error;
    records = {
        History(*platform, Date::fromSecondsSince1970(1767225600),
                Date::fromSecondsSince1970(1769817600), 1.5 * kMB, 98.5 * kMB, 100 * kMB, 1, 1),
        History(*platform, Date::fromSecondsSince1970(1767225600),
                Date::fromSecondsSince1970(1769817600), 0, 2048 * kMB, 2048 * kMB, 2, 1),
        History(*platform, Date::fromSecondsSince1970(1769904000),
                Date::fromSecondsSince1970(1769990400), 0, 5 * kMB, 5 * kMB, 2, 2)};
    records[0].setUniqueId("PERIOD-CELLULAR");
    for (const auto& r : records) ASSERT_TRUE(History::addNewHistoryItemLog(*platform, r).ok());
  }
  std::string home() { return dir.path() + "/home"; }
  testing::ProcessResult kestrio(std::vector<std::string> args) {
    args.insert(args.begin(), KESTRIO_BINARY);
    return testing::runProcess(args, {{"KESTRIO_HOME", home()},
                                      {"TZ", "UTC"},
                                      {"LC_ALL", "de_DE.UTF-8"},
                                      {"LANG", "de_DE.UTF-8"}});
  }
  std::string expectedRow(const History& record) {
    std::string line = "6 ";
    const auto fields = HistoryExport::csvFields(*platform, record, "MB");
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? " | " : "") + fields[i];
    return line + "\n";
  }

  testing::TemporaryDirectory dir;
  std::unique_ptr<LinuxPlatform> platform;
  std::vector<History> records;
};

TEST_F(HistoryExportProcess, PythonReadsTheExportedCsvIntoSixColumns) {
  const std::string python = testing::findProgram("python3");
  ASSERT_FALSE(python.empty()) << "python3 is needed on PATH";
  const std::string csv = dir.path() + "/periods.csv";
  auto run = kestrio({"history", "export", "--csv", "-o", csv});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Exported 2 records"), std::string::npos);

  auto read = testing::runProcess({python, "-c", kReader, csv}, {});
  ASSERT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out, "6 Data Type | Start Date | End Date | Total Data | Received | Sent\n" +
                          expectedRow(records[0]) + expectedRow(records[1]));
  EXPECT_NE(read.out.find("2048.00 MB"), std::string::npos);  // a point in a German locale

  // Standard output carries the same file.
  auto out = kestrio({"history", "export"});
  ASSERT_EQ(out.exitCode, 0) << out.err;
  EXPECT_EQ(out.out, testing::readWholeFile(csv));
}

TEST_F(HistoryExportProcess, BadTargetsAndIdentifiersChangeNothing) {
  auto missing = kestrio({"history", "export", "-o", dir.path() + "/no/such/dir/x.csv"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("could not be written"), std::string::npos);

  auto unknown = kestrio({"history", "delete", "NO-SUCH-ID", "--yes"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_EQ(History::getAllHistoryLogs(*platform).size(), 3u);

  auto refused = kestrio({"history", "clear"});  // no terminal, no --yes
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(History::getAllHistoryLogs(*platform).size(), 3u);

  auto deleted = kestrio({"history", "delete", "PERIOD-CELLULAR", "--yes"});
  ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
  const auto left = History::getAllHistoryLogs(*platform);
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].uniqueId(), records[1].uniqueId());

  auto cleared = kestrio({"history", "clear", "--yes"});
  ASSERT_EQ(cleared.exitCode, 0) << cleared.err;
  EXPECT_TRUE(History::getAllHistoryLogs(*platform).empty());
}

}  // namespace
}  // namespace kestrio

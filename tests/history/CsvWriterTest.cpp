#include <gtest/gtest.h>

#include "engine/AppSettings.h"
#include "engine/ApplicationHistory.h"
#include "history/CsvWriter.h"
#include "history/HistoryExport.h"
#include "services/StringFormatter.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using history::CsvWriter;
using testing::FakeFileSystem;
using testing::FakePlatform;

constexpr double kMB = 1048576;

struct QuotingCase {
  const char* name;
  std::string field;
  std::string written;
};

void PrintTo(const QuotingCase& c, std::ostream* os) {
  *os << c.name;
}

class CsvQuoting : public ::testing::TestWithParam<QuotingCase> {};

TEST_P(CsvQuoting, FieldIsWrittenAsTheReadersExpect) {
  FakePlatform platform;
  const std::string path = "/out/a.csv";
  {
    CsvWriter writer(platform.files(), path, true);
    writer.writeField(GetParam().field);
    writer.writeField("next");
    writer.writeLine();
  }
  EXPECT_EQ(platform.fakeFiles().contents().at(path), GetParam().written + ",next\n");
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvQuoting,
    ::testing::Values(QuotingCase{"Plain", "Cellular", "Cellular"},
                      QuotingCase{"WifiBlanks", "   Wi-Fi", "   Wi-Fi"},
                      QuotingCase{"TrailingBlanks", "a  ", "a  "}, QuotingCase{"Empty", "", ""},
                      QuotingCase{"Comma", "5 Jan, 2026", "\"5 Jan, 2026\""},
                      QuotingCase{"Quote", "say \"hi\"", "\"say \"\"hi\"\"\""},
                      QuotingCase{"Backslash", "a\\b", "\"a\\\\b\""},
                      QuotingCase{"LineFeed", "a\nb", "\"a\nb\""},
                      QuotingCase{"CarriageReturn", "a\rb", "\"a\rb\""},
                      QuotingCase{"NextLine",
                                  "a\xC2\x85"
                                  "b",
                                  "\"a\xC2\x85"
                                  "b\""},
                      QuotingCase{"LineSeparator", "a\xE2\x80\xA8", "\"a\xE2\x80\xA8\""},
                      QuotingCase{"OtherThreeByteCharacter", "a\xE2\x80\xA6", "a\xE2\x80\xA6"},
                      QuotingCase{"LeadingHash", "#1", "\"#1\""},
                      QuotingCase{"InnerHash", "1#", "1#"}),
    [](const auto& c) { return std::string(c.param.name); });

class CsvFile : public ::testing::Test {
 protected:
  const std::string path = "/out/kestrio.csv";
  FakePlatform platform;
  FakeFileSystem& files() { return platform.fakeFiles(); }
};

TEST_F(CsvFile, LinesStartWithoutADelimiterAndTheLastEndsInALineFeed) {
  CsvWriter writer(platform.files(), path, true);
  EXPECT_FALSE(writer.hasStarted());
  writer.writeFields({"a", "b"});
  writer.writeLine();
  writer.writeFields({"c"});
  writer.writeLine();
  EXPECT_EQ(writer.encoding(), CsvWriter::Encoding::UTF8);
  ASSERT_TRUE(writer.closeFile());
  EXPECT_TRUE(writer.closeFile());
  EXPECT_EQ(files().contents().at(path), "a,b\nc\n");
}

// Every way the new file can fail leaves the previous one whole, and says so.
TEST_F(CsvFile, AFailedAtomicExportKeepsThePreviousFile) {
  enum class Step { Open, ThirdWrite, Install };
  for (Step step : {Step::Open, Step::ThirdWrite, Step::Install}) {
    files().put(path, "old\n");
    if (step == Step::Open) files().failNextOutputFile(true);
    if (step == Step::ThirdWrite) files().failNextOutputFile(false, 3);
    if (step == Step::Install) files().failWrites(FakeFileSystem::Failure::Rename, 1, path);
    CsvWriter writer(platform.files(), path, true);
    writer.writeFields({"a", "b", "c"});
    writer.writeLine();
    EXPECT_FALSE(writer.closeFile()) << static_cast<int>(step);
    EXPECT_FALSE(writer.error().empty());
    EXPECT_EQ(files().contents().at(path), "old\n") << static_cast<int>(step);
  }
}

TEST_F(CsvFile, WithoutAtomicityTheOldFileGoesFirst) {
  files().put(path, "old\n");
  CsvWriter writer(platform.files(), path, false);
  EXPECT_FALSE(files().exists(path));
  writer.writeField("new");
  writer.writeLine();
  ASSERT_TRUE(writer.closeFile());
  EXPECT_EQ(files().contents().at(path), "new\n");
}

class Export : public ::testing::Test {
 protected:
  explicit Export(const char* locale = "en_US") : platform("Europe/Berlin", locale) {}

  History record(int dataType, double totalMB, double receivedMB, double sentMB) {
    return History(platform, platform.at(2026, 1, 5), platform.at(2026, 2, 4), sentMB * kMB,
                   receivedMB * kMB, totalMB * kMB, dataType, 1);
  }
  std::string date(int year, int month, int day) {
    return StringFormatter::getLocalizedShortDateNoTimeStringFromDate(
        platform, platform.at(year, month, day));
  }

  FakePlatform platform;
};

TEST_F(Export, NoRecordsGiveTheHeaderLineAlone) {
  EXPECT_EQ(HistoryExport::csvText(platform, {}, "MB"),
            "Data Type,Start Date,End Date,Total Data,Received,Sent\n");
}

TEST_F(Export, CsvRowsCarryTheDataTypeDatesAndAmountsInTheUnit) {
  const std::string csv = HistoryExport::csvText(
      platform, {record(2, 1536, 1024, 512), record(1, 2048, 1024, 1024)}, "GB");
  const std::string dates = date(2026, 1, 5) + "," + date(2026, 2, 4);
  EXPECT_EQ(csv,
            "Data Type,Start Date,End Date,Total Data,Received,Sent\n"
            "   Wi-Fi," +
                dates +
                ",1.50 GB,1.00 GB,0.50 GB\n"
                "Cellular," +
                dates + ",2.00 GB,1.00 GB,1.00 GB\n");
}

// A closed period's applications follow its line, named in a seventh column; the days, and the
// periods closed without applications, leave it empty. A name a spreadsheet would take for a
// formula stays text.
TEST_F(Export, APeriodsApplicationsFollowItsLine) {
  const History wifi = record(2, 1536, 1024, 512);
  const History cellular = record(1, 2048, 1024, 1024);
  ASSERT_TRUE(ApplicationHistory::add(
                  platform, {*wifi.uniqueId(),
                             2,
                             wifi.startDate(),
                             wifi.endDate(),
                             {{"firefox", "Firefox, ESR", "", 256 * kMB, 768 * kMB, 1024 * kMB},
                              {"evil", "=1+2", "", 0, 512 * kMB, 512 * kMB}}})
                  .ok());
  const std::string dates = date(2026, 1, 5) + "," + date(2026, 2, 4);
  EXPECT_EQ(HistoryExport::csvText(platform, {wifi, cellular}, "GB"),
            "Data Type,Start Date,End Date,Total Data,Received,Sent,Application\n"
            "   Wi-Fi," +
                dates +
                ",1.50 GB,1.00 GB,0.50 GB,\n"
                "   Wi-Fi," +
                dates +
                ",1.00 GB,0.75 GB,0.25 GB,\"Firefox, ESR\"\n"
                "   Wi-Fi," +
                dates +
                ",0.50 GB,0.50 GB,0.00 GB,'=1+2\n"
                "Cellular," +
                dates + ",2.00 GB,1.00 GB,1.00 GB,\n");
  // Without the period whose applications were kept, the export is as it always was.
  EXPECT_EQ(HistoryExport::csvText(platform, {cellular}, "GB"),
            "Data Type,Start Date,End Date,Total Data,Received,Sent\n"
            "Cellular," +
                dates + ",2.00 GB,1.00 GB,1.00 GB\n");
}

TEST_F(Export, HtmlBodyIsTheHeaderAndOneParagraphPerRecord) {
  const std::string dates = date(2026, 1, 5) + " to " + date(2026, 2, 4);
  EXPECT_EQ(HistoryExport::htmlBody(platform, {record(2, 3, 2, 1)}, "MB"),
            "<pre><b>Data Type     Start Date/End Date     Total Data      Received        "
            "Sent</b></pre>"
            "<p><pre>   Wi-Fi     " +
                dates + "        3.00 MB     2.00 MB     1.00 MB</pre>");
}

TEST_F(Export, CsvExportWritesTheFileThenHandsItToTheMailClient) {
  auto result = HistoryExport::exportToCsv(platform, {record(1, 1, 1, 0)}, "MB", nullptr);
  EXPECT_EQ(result.outcome, HistoryExport::Outcome::Handed);
  const std::string path = platform.documentPath("kestrio.csv");
  ASSERT_TRUE(platform.fakeFiles().exists(path));
  ASSERT_EQ(platform.sentMail.size(), 1u);
  const MailMessage& mail = platform.sentMail[0];
  EXPECT_EQ(mail.subject, "Kestrio CSV File");
  EXPECT_EQ(mail.body, "Kestrio CSV File");
  EXPECT_FALSE(mail.bodyIsHtml);
  ASSERT_EQ(mail.attachments.size(), 1u);
  EXPECT_EQ(mail.attachments[0].path, path);
  EXPECT_EQ(mail.attachments[0].mimeType, "text/csv");
  EXPECT_EQ(mail.attachments[0].fileName, "kestrio.csv");

  HistoryExport::emailHistory(platform, {record(1, 1, 1, 0)}, "MB", nullptr);
  ASSERT_EQ(platform.sentMail.size(), 2u);
  EXPECT_EQ(platform.sentMail[1].subject, "Kestrio History");
  EXPECT_TRUE(platform.sentMail[1].bodyIsHtml);
  EXPECT_TRUE(platform.sentMail[1].attachments.empty());
}

TEST_F(Export, WithoutAMailClientTheFileIsStillWrittenAndAFailedFileSendsNoMail) {
  platform.mailAvailable = false;
  auto result = HistoryExport::exportToCsv(platform, {}, "MB", nullptr);
  EXPECT_EQ(result.outcome, HistoryExport::Outcome::NoMailClient);
  EXPECT_TRUE(platform.fakeFiles().exists(platform.documentPath("kestrio.csv")));

  platform.mailAvailable = true;
  platform.fakeFiles().failNextOutputFile(true);
  result = HistoryExport::exportToCsv(platform, {}, "MB", nullptr);
  EXPECT_EQ(result.outcome, HistoryExport::Outcome::FileNotWritten);
  EXPECT_NE(result.failure.find("could not be written"), std::string::npos);
  EXPECT_TRUE(platform.sentMail.empty());
}

class GermanExport : public Export {
 protected:
  GermanExport() : Export("de_DE") {}
};

// A comma in the amounts would add a column; the point stays whatever the language.
TEST_F(GermanExport, AmountsKeepAPointAndTwoDecimals) {
  const auto fields = HistoryExport::csvFields(platform, record(1, 1.5, 1, 0.25), "MB");
  ASSERT_EQ(fields.size(), 6u);
  EXPECT_EQ(fields[3], "1.50 MB");
  EXPECT_EQ(fields[5], "0.25 MB");
  EXPECT_EQ(fields[1], date(2026, 1, 5));
}

}  // namespace
}  // namespace kestrio

#include "history/HistoryExport.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>

#include "engine/ApplicationHistory.h"
#include "history/CsvWriter.h"
#include "platform/ExportTarget.h"
#include "services/DataFormatter.h"
#include "services/StringFormatter.h"

namespace kestrio {
namespace {

std::string dateText(Platform& platform, const std::optional<Date>& date) {
  return date ? StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, *date) : "";
}

// The handle of an export to memory.
class StringOutput final : public OutputFile {
 public:
  explicit StringOutput(std::string& text) : text_(text) {}
  bool write(std::string_view bytes) override {
    text_.append(bytes);
    return true;
  }
  bool commit() override { return true; }

 private:
  std::string& text_;
};

// An application's name comes from its own desktop entry: one that a spreadsheet would take for a
// formula ("=HYPERLINK(…)") is kept as text with a leading apostrophe.
std::string nameField(const std::string& name) {
  if (!name.empty() && std::string_view("=+-@\t\r").find(name.front()) != std::string_view::npos) {
    return "'" + name;
  }
  return name;
}

void writeCsv(history::CsvWriter& writer, Platform& platform, const std::vector<History>& records,
              const std::string& unit) {
  // A closed period's applications follow its line, each with the period's type and dates and its
  // name in one more column; an export without any keeps the six columns it always had.
  std::map<std::string, std::vector<ClosedApplication>> applications;
  for (ApplicationPeriod& period : ApplicationHistory::all(platform)) {
    applications[period.historyId] = std::move(period.applications);
  }
  const auto applicationsOf = [&](const History& record) -> const std::vector<ClosedApplication>* {
    if (record.historyType() != 1 || !record.uniqueId()) return nullptr;
    auto it = applications.find(*record.uniqueId());
    return it == applications.end() || it->second.empty() ? nullptr : &it->second;
  };
  const bool withApplications = std::any_of(records.begin(), records.end(), applicationsOf);

  writer.writeFields({"Data Type", "Start Date", "End Date", "Total Data", "Received", "Sent"});
  if (withApplications) writer.writeField("Application");
  writer.writeLine();
  for (const History& record : records) {
    std::vector<std::string> fields = HistoryExport::csvFields(platform, record, unit);
    for (const std::string& field : fields) writer.writeField(field);
    if (withApplications) writer.writeField("");
    writer.writeLine();
    const std::vector<ClosedApplication>* used = applicationsOf(record);
    if (!used) continue;
    for (const ClosedApplication& application : *used) {
      fields[3] = HistoryExport::amountText(application.dataTotal, unit);
      fields[4] = HistoryExport::amountText(application.dataReceived, unit);
      fields[5] = HistoryExport::amountText(application.dataSent, unit);
      for (const std::string& field : fields) writer.writeField(field);
      writer.writeField(nameField(application.name));
      writer.writeLine();
    }
  }
}

}  // namespace

std::string HistoryExport::dataTypeText(int dataType) {
  return dataType == 2 ? "   Wi-Fi" : "Cellular";
}

std::string HistoryExport::amountText(std::optional<double> bytes, const std::string& unit) {
  // fmt writes a point whatever the process's locale.
  const float value = DataFormatter::converToDataUnitFromBytes(bytes, unit);
  return fmt::format("{:.2f} {}", static_cast<double>(value), unit);
}

std::vector<std::string> HistoryExport::csvFields(Platform& platform, const History& record,
                                                  const std::string& unit) {
  return {dataTypeText(record.dataType()),         dateText(platform, record.startDate()),
          dateText(platform, record.endDate()),    amountText(record.dataTotal(), unit),
          amountText(record.dataReceived(), unit), amountText(record.dataSent(), unit)};
}

std::string HistoryExport::csvText(Platform& platform, const std::vector<History>& records,
                                   const std::string& unit) {
  std::string text;
  {
    history::CsvWriter writer(std::make_unique<StringOutput>(text));
    writeCsv(writer, platform, records, unit);
  }
  return text;
}

std::string HistoryExport::writeCsvFile(Platform& platform, const std::string& path,
                                        const std::vector<History>& records,
                                        const std::string& unit) {
  history::CsvWriter writer(platform.files(), path, true);
  writeCsv(writer, platform, records, unit);
  if (!writer.closeFile()) return "The CSV file could not be written: " + writer.error();
  return {};
}

std::string HistoryExport::htmlBody(Platform& platform, const std::vector<History>& records,
                                    const std::string& unit) {
  std::string body =
      "<pre><b>Data Type     Start Date/End Date     Total Data      Received        "
      "Sent</b></pre>";
  for (const History& record : records) {
    const auto value = [&](std::optional<double> bytes) {
      return static_cast<double>(DataFormatter::converToDataUnitFromBytes(bytes, unit));
    };
    body +=
        fmt::format("<p><pre>{}     {} to {}        {:.2f} {}     {:.2f} {}     {:.2f} {}</pre>",
                    dataTypeText(record.dataType()), dateText(platform, record.startDate()),
                    dateText(platform, record.endDate()), value(record.dataTotal()), unit,
                    value(record.dataReceived()), unit, value(record.dataSent()), unit);
  }
  return body;
}

HistoryExport::Result HistoryExport::exportToCsv(Platform& platform,
                                                 const std::vector<History>& records,
                                                 const std::string& unit,
                                                 MailComposeDelegate* delegate) {
  const std::string path = platform.documentPath(kCsvFileName);
  // A mail must never carry a file that was not stored whole.
  const std::string failure = writeCsvFile(platform, path, records, unit);
  if (!failure.empty()) {
    platform.log(failure);
    return {Outcome::FileNotWritten, failure};
  }
  auto composer = Communications::showMessageComposerWithSubject(platform, kCsvSubject, "",
                                                                 std::nullopt, delegate);
  if (!composer) return {Outcome::NoMailClient, {}};
  composer->message().body = kCsvSubject;
  composer->message().bodyIsHtml = false;
  composer->message().attachments.push_back({path, "text/csv", kCsvFileName});
  composer->send();
  return {};
}

HistoryExport::Result HistoryExport::emailHistory(Platform& platform,
                                                  const std::vector<History>& records,
                                                  const std::string& unit,
                                                  MailComposeDelegate* delegate) {
  auto composer = Communications::showMessageComposerWithSubject(platform, kHtmlSubject, "",
                                                                 std::nullopt, delegate);
  if (!composer) return {Outcome::NoMailClient, {}};
  composer->message().body = htmlBody(platform, records, unit);
  composer->message().bodyIsHtml = true;
  composer->send();
  return {};
}

void HistoryExport::showFailure(Ui& ui, const std::string& title, const std::string& message) {
  Alert alert;
  alert.title = title;
  alert.message = message;
  alert.cancelButton = "OK";
  ui.showAlert(alert, nullptr);
}

void HistoryExport::exportToCsvReporting(Platform& platform, Ui& ui,
                                         const std::vector<History>& records,
                                         const std::string& unit, MailComposeDelegate* delegate) {
  const Result result = exportToCsv(platform, records, unit, delegate);
  if (result.outcome == Outcome::FileNotWritten) showFailure(ui, "Not Exported", result.failure);
}

bool HistoryExport::saveCsvReporting(Platform& platform, Ui& ui, const std::string& path,
                                     const std::vector<History>& records, const std::string& unit) {
  // Kestrio's own files (its archives, its lock) are never an export's target.
  const std::string failure = isWithinDirectory(path, platform.documentsDirectory())
                                  ? "Kestrio keeps its own files in " +
                                        platform.documentsDirectory() + "; choose a file elsewhere."
                                  : writeCsvFile(platform, path, records, unit);
  if (!failure.empty()) showFailure(ui, "Not Saved", failure);
  return failure.empty();
}

void HistoryExport::reportMailResult(Ui& ui, MailComposeDelegate::Result result) {
  if (result == MailComposeDelegate::Result::Failed) {
    showFailure(ui, "Mail Not Sent", "The message could not be handed to your mail client.");
  }
}

}  // namespace kestrio

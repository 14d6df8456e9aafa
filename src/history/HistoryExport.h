#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/History.h"
#include "platform/Platform.h"
#include "platform/Ui.h"
#include "services/Communications.h"

namespace kestrio {

// The two forms in which the history screens hand records on: a CSV file ("Export to CSV") and
// an HTML table as a mail's body ("Email History"). Records are written in the order given;
// amounts in the display unit with a point and two decimals in every locale.
class HistoryExport {
 public:
  static constexpr const char* kCsvFileName = "kestrio.csv";
  static constexpr const char* kCsvSubject = "Kestrio CSV File";
  static constexpr const char* kHtmlSubject = "Kestrio History";

  // "   Wi-Fi" for dataType 2 (eight characters, like the other), otherwise "Cellular".
  static std::string dataTypeText(int dataType);
  // "%.2f %@": the bytes in the unit and the unit's text.
  static std::string amountText(std::optional<double> bytes, const std::string& unit);
  // The six columns of one record: data type, start date, end date, total, received, sent.
  static std::vector<std::string> csvFields(Platform& platform, const History& record,
                                            const std::string& unit);
  // The whole CSV file: the header line, then one line per record.
  static std::string csvText(Platform& platform, const std::vector<History>& records,
                             const std::string& unit);
  // Writes the CSV to `path`; the file there stays as it was until the new one is complete.
  // Empty when stored, else one line saying what failed.
  static std::string writeCsvFile(Platform& platform, const std::string& path,
                                  const std::vector<History>& records, const std::string& unit);
  // The HTML table of "Email History", without document tags.
  static std::string htmlBody(Platform& platform, const std::vector<History>& records,
                              const std::string& unit);

  // What a mail action came to.
  enum class Outcome { Handed, NoMailClient, FileNotWritten };
  struct Result {
    Outcome outcome = Outcome::Handed;
    std::string failure;  // the line to show when the CSV file could not be written
  };
  // "Export to CSV": "kestrio.csv" in the documents directory, then a mail carrying it. The
  // delegate hears how the mail client took it.
  static Result exportToCsv(Platform& platform, const std::vector<History>& records,
                            const std::string& unit, MailComposeDelegate* delegate);
  // "Email History": a mail whose body is the HTML table.
  static Result emailHistory(Platform& platform, const std::vector<History>& records,
                             const std::string& unit, MailComposeDelegate* delegate);

  // What the list and the detail screen do alike with the records they show:
  // an alert titled `title` with `message` and an "OK" button;
  static void showFailure(Ui& ui, const std::string& title, const std::string& message);
  // "Export to CSV" (see exportToCsv), telling the user when the file could not be written;
  static void exportToCsvReporting(Platform& platform, Ui& ui, const std::vector<History>& records,
                                   const std::string& unit, MailComposeDelegate* delegate);
  // the CSV saved to a file the user chose, telling why when that failed; false then;
  static bool saveCsvReporting(Platform& platform, Ui& ui, const std::string& path,
                               const std::vector<History>& records, const std::string& unit);
  // a message the mail client refused is told (the client shows the others itself).
  static void reportMailResult(Ui& ui, MailComposeDelegate::Result result);
};

}  // namespace kestrio

#include "cli/HistoryCommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/Confirm.h"
#include "engine/AppSettings.h"
#include "history/HistoryChanges.h"
#include "history/HistoryExport.h"
#include "platform/ExportTarget.h"
#include "platform/OutputFile.h"
#include "services/StringFormatter.h"

namespace kestrio::cli {
namespace {

std::string displayUnit(Platform& platform) {
  AppSettings settings(platform);
  settings.getSettings();
  return settings.displayUnit().value_or("MB");
}

std::string exportText(Platform& platform, const HistoryExportOptions& options,
                       const std::vector<History>& records, const std::string& unit) {
  return options.html ? HistoryExport::htmlBody(platform, records, unit)
                      : HistoryExport::csvText(platform, records, unit);
}

// Replaces the file once the text is complete, then reads it back. Empty when stored.
std::string storeFile(Platform& platform, const std::string& path, const std::string& text) {
  auto file = platform.files().createFile(path);
  if (!file || !file->write(text) || !file->commit()) {
    return "kestrio: " + path + " could not be written; any file there is as it was";
  }
  if (platform.files().read(path) != text) {
    return "kestrio: " + path + " was written but does not read back as written";
  }
  return {};
}

// Receives the mail client's answer, which arrives before send() returns.
struct MailOutcome final : MailComposeDelegate {
  std::optional<Result> result;
  void didFinishWithResult(Result r) override { result = r; }
};

std::string describe(Platform& platform, const History& record) {
  const auto date = [&](const std::optional<Date>& d) {
    return d ? StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, *d)
             : std::string("?");
  };
  const std::string network = record.dataType() == 2 ? "Wi-Fi" : "Cellular";
  if (record.historyType() == 2) return network + " day " + date(record.startDate());
  return network + " billing period " + date(record.startDate()) + " to " + date(record.endDate());
}

}  // namespace

int runHistoryExport(Platform& platform, const HistoryExportOptions& options, std::ostream& out,
                     std::ostream& err) {
  const auto records = selectHistory(platform, options.query, err);
  if (!records) return 2;
  const std::string text = exportText(platform, options, *records, displayUnit(platform));
  if (!options.output) {
    out << text;
    if (options.html) out << "\n";
    out.flush();
    if (!out) {
      err << "kestrio: the export could not be written to standard output\n";
      return 1;
    }
    return 0;
  }
  std::error_code error;
  const std::string path = std::filesystem::absolute(*options.output, error).string();
  if (error || options.output->empty()) {
    err << "kestrio: " << *options.output << " is not a usable file name\n";
    return 2;
  }
  if (isWithinDirectory(path, platform.documentsDirectory())) {
    err << "kestrio: " << path << " is in Kestrio's data directory "
        << platform.documentsDirectory() << "; choose a file elsewhere\n";
    return 2;
  }
  if (const std::string failure = storeFile(platform, path, text); !failure.empty()) {
    err << failure << "\n";
    return 1;
  }
  out << "Exported " << records->size() << (records->size() == 1 ? " record" : " records") << " to "
      << path << "\n";
  return 0;
}

int runHistoryMail(Platform& platform, const HistoryExportOptions& options, std::ostream& out,
                   std::ostream& err) {
  const auto records = selectHistory(platform, options.query, err);
  if (!records) return 2;
  const std::string unit = displayUnit(platform);
  MailOutcome mail;
  const auto result = options.html ? HistoryExport::emailHistory(platform, *records, unit, &mail)
                                   : HistoryExport::exportToCsv(platform, *records, unit, &mail);
  switch (result.outcome) {
    case HistoryExport::Outcome::FileNotWritten:
      err << "kestrio: " << result.failure << "\n";
      return 1;
    case HistoryExport::Outcome::NoMailClient:
      err << "kestrio: no mail client can be reached (xdg-email and a default mail program are "
             "needed); kestrio history export writes the same to a file\n";
      return 1;
    case HistoryExport::Outcome::Handed:
      break;
  }
  if (mail.result != MailComposeDelegate::Result::Sent) {
    err << "kestrio: the mail client did not take the message\n";
    return 1;
  }
  out << "The message is open in your mail client";
  if (!options.html) out << ", with " << platform.documentPath(HistoryExport::kCsvFileName);
  out << ".\n";
  return 0;
}

int runHistoryDelete(Platform& platform, const HistoryDeleteOptions& options, bool interactive,
                     std::istream& in, std::ostream& out, std::ostream& err) {
  if (refusesWithoutTerminal("history delete", options.yes, interactive, err))
    return kRefusedStatus;
  const auto selected = selectHistory(platform, options.query, err);
  if (!selected) return 2;
  const std::string& which = options.record;
  std::optional<History> found;
  // A position as kestrio history shows it (from 1), or a record's uniqueId.
  const bool digits =
      !which.empty() && which.size() < 10 &&
      std::all_of(which.begin(), which.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
  if (digits) {
    const std::size_t position = std::stoul(which);
    if (position < 1 || position > selected->size()) {
      err << "kestrio: there is no record " << which << ": kestrio history"
          << (options.query.days ? " --days" : "") << " lists "
          << (selected->empty() ? "none" : "1 to " + std::to_string(selected->size())) << "\n";
      return 2;
    }
    found = (*selected)[position - 1];
  } else {
    for (auto& record : History::getAllHistoryLogs(platform)) {
      if (record.uniqueId() == which) {
        found = std::move(record);
        break;
      }
    }
  }
  if (!found || !found->uniqueId()) {
    err << "kestrio: no history record has the identifier " << which
        << " (kestrio history shows the positions, kestrio history --json the identifiers)\n";
    return 2;
  }
  if (!options.yes && !askYesNo("Delete the " + describe(platform, *found) + "?", in, out)) {
    out << "Nothing changed.\n";
    return 0;
  }
  if (const std::string failure = HistoryChanges::deleteRecord(platform, *found->uniqueId());
      !failure.empty()) {
    err << "kestrio: " << failure << "\n";
    return 1;
  }
  out << "Deleted the " << describe(platform, *found) << ".\n";
  return 0;
}

int runHistoryClear(Platform& platform, bool yes, bool interactive, std::istream& in,
                    std::ostream& out, std::ostream& err) {
  if (refusesWithoutTerminal("history clear", yes, interactive, err)) return kRefusedStatus;
  const std::size_t count = History::getAllHistoryLogs(platform).size();
  if (!yes &&
      !askYesNo("Clear all " + std::to_string(count) + (count == 1 ? " record" : " records") +
                    " of the history, the billing periods and the days of both networks?",
                in, out)) {
    out << "Nothing changed.\n";
    return 0;
  }
  if (const std::string failure = HistoryChanges::clearAll(platform); !failure.empty()) {
    err << "kestrio: " << failure << "\n";
    return 1;
  }
  out << "The history is empty.\n";
  return 0;
}

}  // namespace kestrio::cli

#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "cli/ListCommands.h"
#include "platform/Platform.h"

namespace kestrio::cli {

struct HistoryExportOptions {
  bool html = false;  // the mail's HTML table instead of the CSV file
  HistoryQuery query;
  std::optional<std::string> output;  // a file; standard output when absent
};

// `kestrio history export`: the CSV file or the HTML table of the billing periods (or the days
// of a span), as the mail actions carry them. A file is replaced only once the new one is
// complete, and read back before success is reported.
int runHistoryExport(Platform& platform, const HistoryExportOptions& options, std::ostream& out,
                     std::ostream& err);
// `kestrio history mail`: the same through the user's mail client ("kestrio.csv" in the data
// directory for the CSV).
int runHistoryMail(Platform& platform, const HistoryExportOptions& options, std::ostream& out,
                   std::ostream& err);
struct HistoryDeleteOptions {
  std::string record;  // a position in the listing the query makes (from 1), or a uniqueId
  HistoryQuery query;  // the listing the position counts in, as kestrio history makes it
  bool yes = false;    // delete without asking
};
// `kestrio history delete RECORD`: removes one record after asking on the terminal (unless
// `yes`); refuses without a terminal.
int runHistoryDelete(Platform& platform, const HistoryDeleteOptions& options, bool interactive,
                     std::istream& in, std::ostream& out, std::ostream& err);
// `kestrio history clear`: removes every record, days included; asks on the terminal unless
// `yes`, refuses without a terminal.
int runHistoryClear(Platform& platform, bool yes, bool interactive, std::istream& in,
                    std::ostream& out, std::ostream& err);

}  // namespace kestrio::cli

#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/ScreenReport.h"
#include "engine/AppData.h"
#include "platform/Platform.h"

namespace kestrio::cli {

// What `kestrio status` shows of the two usage records, gathered once and rendered as text for
// people or as JSON for scripts.
class StatusReport {
 public:
  static StatusReport collect(Platform& platform, AppData& cellular, AppData& wifi);

  // The status area of each screen, with `detail` also the fourteen rows, the badge and both
  // records; the status words in colour when `colour`.
  void writeText(std::ostream& out, bool detail, bool colour) const;
  // One line for status bars and scripts: "1", then per screen its fields, ";"-separated.
  std::string oneline() const;
  std::string json() const;

  // The version of the JSON documents' layout, raised when a name or a form changes.
  static constexpr int kJsonVersion = 2;
  static constexpr int kOnelineVersion = 1;

  struct Record {
    std::string type;
    std::string title;
    std::string file;
    std::vector<std::string> interfaces;
    // Every number, date and text field under its key, in the order they are shown.
    std::vector<std::pair<std::string, std::optional<double>>> numbers;
    std::vector<std::pair<std::string, std::optional<std::string>>> dates;  // ISO 8601
    std::vector<std::pair<std::string, std::optional<std::string>>> texts;
    std::optional<std::string> lastUpdateText;
    std::optional<std::string> periodText;
    bool monthlyResetOccured = false;
    bool detectedBootEvent = false;
    std::string bootMsg;
    std::optional<double> number(const std::string& key) const;
  };

  // What the usage screens show, per network ("cellular", "wifi"); the number on the
  // application's badge; the messages the screens raised.
  std::vector<ScreenSummary> screens;
  std::optional<int> badge;
  std::vector<std::string> messages;

  // The modem as ModemManager tells it, where it runs.
  ModemState modem;
  std::string dataDirectory;
  std::string displayUnit;
  std::vector<std::string> unreadableFiles;
  std::vector<Record> records;
};

}  // namespace kestrio::cli

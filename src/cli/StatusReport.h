#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/AppData.h"
#include "platform/Platform.h"

namespace kestrio::cli {

// What `kestrio status` shows of the two usage records, gathered once and rendered as text for
// people or as JSON for scripts.
class StatusReport {
 public:
  static StatusReport collect(Platform& platform, AppData& cellular, AppData& wifi);

  std::string text() const;
  std::string json() const;

  struct Record {
    std::string type;
    std::string title;
    std::string file;
    std::vector<std::string> interfaces;
    // Every number, date and text field under its key, in the order they are shown.
    std::vector<std::pair<std::string, std::optional<double>>> numbers;
    std::vector<std::pair<std::string, std::optional<Date>>> dates;
    std::vector<std::pair<std::string, std::optional<std::string>>> texts;
    std::optional<std::string> lastUpdateText;
    std::optional<std::string> periodText;
    bool monthlyResetOccured = false;
    bool detectedBootEvent = false;
    std::string bootMsg;
    std::optional<double> number(const std::string& key) const;
  };

  // What the usage screens show, per network ("cellular", "wifi"), already rendered as text and as
  // JSON; the number on the application's badge; the messages the screens raised.
  struct Screen {
    std::string network;
    std::string text;
    std::string json;
  };
  std::vector<Screen> screens;
  std::optional<int> badge;
  std::vector<std::string> messages;

  std::string dataDirectory;
  std::string displayUnit;
  std::vector<std::string> unreadableFiles;
  std::vector<Record> records;
};

}  // namespace kestrio::cli

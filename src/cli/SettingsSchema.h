#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/SettingsCommand.h"
#include "platform/Platform.h"
#include "settings/SettingsReader.h"

namespace kestrio::cli {

// The settings screens' schema as the command line reads it: the top screen and every nested
// screen its rows open, in the order a user meets them.
class SettingsSchema {
 public:
  struct Group {
    std::string screen;  // the nested screen's title; empty for the top screen
    std::string title;
    std::string footer;
    std::vector<const settings::Specifier*> rows;
  };

  explicit SettingsSchema(Platform& platform);
  bool empty() const { return groups_.empty(); }
  const std::vector<Group>& groups() const { return groups_; }
  // The row that edits `key`; nothing for keys no row edits.
  const settings::Specifier* rowForKey(const std::string& key) const;

 private:
  void add(Platform& platform, const std::string& file, const std::string& screen, int depth);
  std::vector<std::unique_ptr<settings::SettingsReader>> readers_;
  std::vector<Group> groups_;
};

// A typed value checked against the schema's row for the key (a multi-value row's values or
// titles, a slider's range, a switch's true and false values, a list row's items), and against
// the settings table's kind for other keys. Keys neither knows are refused.
ParsedSetting parseSchemaSetting(Platform& platform, const SettingsSchema& schema,
                                 const std::string& key, const std::string& text);

// What a row shows as its value: the value's title for rows with choices, else the value.
std::string shownValue(Platform& platform, const settings::Specifier& row,
                       const std::optional<PlistValue>& value);

}  // namespace kestrio::cli

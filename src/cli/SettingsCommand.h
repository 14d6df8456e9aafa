#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace kestrio::cli {

// A setting the user may change from the command line: its key in the user-defaults store, the
// kind of value it takes and, for texts, the values it allows.
struct Setting {
  enum class Kind { Integer, Real, Boolean, Text, Date, List };
  const char* key;
  Kind kind;
  std::vector<std::string> choices;
  const char* description;
};

const std::vector<Setting>& settingsTable();

// The value typed for a setting as the store keeps it, or an error message.
struct ParsedSetting {
  std::optional<PlistValue> value;
  std::string error;
};
ParsedSetting parseSettingValue(Platform& platform, const Setting& setting,
                                const std::string& text);

// `kestrio settings`: every setting with its value.
int runSettingsList(Platform& platform, bool asJson, std::ostream& out);
// `kestrio settings set KEY VALUE`: stores one setting, then applies the settings as leaving the
// settings screen does.
int runSettingsSet(Platform& platform, const std::string& key, const std::string& value,
                   std::ostream& out, std::ostream& err);

}  // namespace kestrio::cli

#include "cli/Completion.h"

#include <algorithm>
#include <ostream>

#include "cli/SettingsCommand.h"
#include "engine/AppData.h"
#include "engine/CustomCounter.h"

namespace kestrio::cli {

namespace {

const Setting* tableSetting(const std::string& key) {
  for (const Setting& s : settingsTable()) {
    if (key == s.key) return &s;
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> settingKeys(const SettingsSchema& schema) {
  std::vector<std::string> keys;
  for (const Setting& s : settingsTable()) keys.emplace_back(s.key);
  for (const auto& group : schema.groups()) {
    for (const settings::Specifier* row : group.rows) {
      // Only the rows that edit a value: a button's or a pane's key is no setting.
      if (!row->key().empty() && schema.rowForKey(row->key()) == row) keys.push_back(row->key());
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

std::vector<std::string> settingValues(const SettingsSchema& schema, const std::string& key) {
  std::vector<std::string> values;
  const Setting* setting = tableSetting(key);
  if (const settings::Specifier* row = schema.rowForKey(key)) {
    const std::string type = row->type();
    if (type == settings::kPSMultiValueSpecifier) {
      for (const PlistValue& v : row->multipleValues()) {
        values.push_back(settings::Specifier::describe(v));
      }
      return values;
    }
    if (type == settings::kPSToggleSwitchSpecifier) return {"true", "false"};
  }
  if (!setting) return values;
  if (setting->kind == Setting::Kind::Boolean) return {"true", "false"};
  return setting->choices;
}

std::vector<std::string> counterWords(Platform& platform) {
  const auto counters = CustomCounter::getAllCustomCounters(platform);
  std::vector<std::string> words;
  for (std::size_t i = 0; i < counters.size(); ++i) words.push_back(std::to_string(i + 1));
  for (const CustomCounter& c : counters) words.push_back(c.uniqueId());
  return words;
}

std::vector<std::string> connectionWords(Platform& platform) {
  std::vector<std::string> words;
  for (const char* type : {"cellular", "wifi"}) {
    AppData record(platform);
    record.getAppData(type);
    for (const auto& [uuid, usage] : record.connectionUsage()) words.push_back(uuid);
  }
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

int runComplete(Platform& platform, const std::vector<std::string>& request, std::ostream& out) {
  std::vector<std::string> words;
  if (request.size() == 1 && request[0] == "keys") {
    words = settingKeys(SettingsSchema(platform));
  } else if (request.size() == 2 && request[0] == "values") {
    words = settingValues(SettingsSchema(platform), request[1]);
  } else if (request.size() == 1 && request[0] == "counters") {
    words = counterWords(platform);
  } else if (request.size() == 1 && request[0] == "connections") {
    words = connectionWords(platform);
  } else {
    return 2;
  }
  for (const std::string& word : words) out << word << "\n";
  return 0;
}

}  // namespace kestrio::cli

#include "cli/SettingsSchema.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cli/QuotedValue.h"

namespace kestrio::cli {
namespace {

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

const Setting* tableSetting(const std::string& key) {
  for (const Setting& s : settingsTable()) {
    if (key == s.key) return &s;
  }
  return nullptr;
}

std::optional<double> parseNumber(const std::string& text) {
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Nested screens are few and shallow; a schema that opens itself is not followed forever.
constexpr int kDeepestScreen = 4;

}  // namespace

SettingsSchema::SettingsSchema(Platform& platform) {
  add(platform, "Root", "", 0);
}

void SettingsSchema::add(Platform& platform, const std::string& file, const std::string& screen,
                         int depth) {
  if (depth > kDeepestScreen) return;
  readers_.push_back(std::make_unique<settings::SettingsReader>(
      platform.files(), platform.resourceDirectory(),
      platform.userInterfaceIdiom() == UserInterfaceIdiom::Pad, file));
  const settings::SettingsReader& reader = *readers_.back();
  std::vector<std::pair<std::string, std::string>> nested;  // file, title
  for (int s = 0; s < reader.numberOfSections(); ++s) {
    Group group{screen, reader.titleForSection(s), reader.footerTextForSection(s), {}};
    for (int r = 0; r < reader.numberOfRowsForSection(s); ++r) {
      const settings::Specifier* row = reader.specifierForIndexPath({s, r});
      group.rows.push_back(row);
      if (row->type() == settings::kPSChildPaneSpecifier && row->viewControllerClass().empty() &&
          !row->file().empty()) {
        nested.emplace_back(row->file(), row->title());
      }
    }
    groups_.push_back(std::move(group));
  }
  for (const auto& [child, title] : nested) add(platform, child, title, depth + 1);
}

const settings::Specifier* SettingsSchema::rowForKey(const std::string& key) const {
  for (const Group& group : groups_) {
    for (const settings::Specifier* row : group.rows) {
      const std::string type = row->type();
      const bool edits =
          type == settings::kPSToggleSwitchSpecifier || type == settings::kPSMultiValueSpecifier ||
          type == settings::kPSTextFieldSpecifier || type == settings::kPSSliderSpecifier;
      if (edits && row->key() == key) return row;
    }
  }
  return nullptr;
}

std::string shownValue(Platform& platform, const settings::Specifier& row,
                       const std::optional<PlistValue>& value) {
  if (!value) return "(not set)";
  if (!row.multipleValues().empty()) {
    if (const auto title = row.titleForCurrentValue(value)) return *title;
  }
  if (row.type() == settings::kPSToggleSwitchSpecifier)
    return row.boolValueOf(*value) ? "on" : "off";
  if (const Date* date = value->get<Date>()) {
    return platform.calendar().format(*date, DateStyle::Short, DateStyle::Short);
  }
  return settings::Specifier::describe(*value);
}

ParsedSetting parseSchemaSetting(Platform& platform, const SettingsSchema& schema,
                                 const std::string& key, const std::string& raw) {
  const settings::Specifier* row = schema.rowForKey(key);
  const Setting* setting = tableSetting(key);
  const std::string text = trim(raw);
  if (!row) {
    if (!setting)
      return {std::nullopt,
              fmt::format("unknown setting {} (see kestrio settings)", quotedValue(key))};
    return parseSettingValue(platform, *setting, raw);
  }
  const std::string type = row->type();
  if (type == settings::kPSMultiValueSpecifier) {
    const std::vector<PlistValue> values = row->multipleValues();
    const std::vector<std::string> titles = row->multipleTitles();
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (settings::Specifier::describe(values[i]) == text) return {values[i], ""};
    }
    if (titles.size() == values.size()) {
      for (std::size_t i = 0; i < titles.size(); ++i) {
        if (lower(titles[i]) == lower(text)) return {values[i], ""};
      }
    }
    std::string accepted;
    for (std::size_t i = 0; i < values.size(); ++i) {
      accepted += (i ? ", " : "") + settings::Specifier::describe(values[i]);
      if (titles.size() == values.size() && titles[i] != settings::Specifier::describe(values[i])) {
        accepted += " (" + titles[i] + ")";
      }
    }
    return {std::nullopt,
            fmt::format("{} takes one of {}; not {}", key, accepted, quotedValue(raw))};
  }
  if (type == settings::kPSSliderSpecifier) {
    const std::optional<double> number = parseNumber(text);
    const float low = row->minimumValue();
    const float high = row->maximumValue();
    if (!number || *number < low || *number > high) {
      return {std::nullopt, fmt::format("{} takes a number from {} to {}, not {}", key, low, high,
                                        quotedValue(raw))};
    }
    return {PlistValue(static_cast<double>(static_cast<float>(*number))), ""};
  }
  if (type == settings::kPSToggleSwitchSpecifier) {
    const std::optional<PlistValue> on = row->trueValue();
    const std::optional<PlistValue> off = row->falseValue();
    const std::string word = lower(text);
    bool state = false;
    if (word == "true" || word == "on" || word == "yes" || word == "1" ||
        (on && settings::Specifier::describe(*on) == text)) {
      state = true;
    } else if (word == "false" || word == "off" || word == "no" || word == "0" ||
               (off && settings::Specifier::describe(*off) == text)) {
      state = false;
    } else {
      return {std::nullopt,
              fmt::format("{} takes true or false (on, off), not {}", key, quotedValue(raw))};
    }
    const std::optional<PlistValue> defined = state ? on : off;
    return {defined ? *defined : PlistValue(state), ""};
  }
  // A text row: its list items, or the kind the settings record reads.
  if (!row->listSeparator().empty() && setting) return parseSettingValue(platform, *setting, raw);
  if (setting) return parseSettingValue(platform, *setting, raw);
  return {PlistValue(raw), ""};
}

}  // namespace kestrio::cli

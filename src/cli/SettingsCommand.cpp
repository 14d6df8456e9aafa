#include "cli/SettingsCommand.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <ostream>

#include "app/MainViewController.h"
#include "cli/Columns.h"
#include "cli/Commands.h"
#include "cli/IsoDate.h"
#include "cli/Json.h"
#include "cli/QuotedValue.h"
#include "cli/SettingsSchema.h"
#include "cli/StatusReport.h"
#include "engine/AppSettings.h"
#include "engine/BillingCycle.h"
#include "engine/SettingsValidation.h"
#include "services/DeviceInfo.h"
#include "settings/DesktopSettingsStore.h"

namespace kestrio::cli {

namespace {

using Kind = Setting::Kind;

// One setting in 80 columns: its title, its value and the key that `settings set` takes, which
// is never cut; the value gives way to a long key.
std::string settingLine(const std::string& title, const std::string& value,
                        const std::string& key) {
  constexpr std::size_t kTitleWidth = 28;
  const std::size_t keyWidth = key.size() + 2;
  const std::size_t valueWidth = kListingWidth - 2 - kTitleWidth - 2 - keyWidth;
  return "  " + column(title, kTitleWidth) + " " + column(value, valueWidth) + " [" + key + "]\n";
}

const std::vector<std::string> kUnits = {"KB", "MB", "GB"};
const std::vector<std::string> kThresholds = {"AVG", "USE80", "USE90", "USE95", "USE100"};

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

const char* kindName(Kind kind) {
  switch (kind) {
    case Kind::Integer:
      return "an integer";
    case Kind::Real:
      return "a number";
    case Kind::Boolean:
      return "true or false";
    case Kind::Text:
      return "a text";
    case Kind::Date:
      return "a date YYYY-MM-DD";
    case Kind::List:
      return "a comma-separated list";
  }
  return "";
}

std::string valueText(Platform& platform, const PlistValue& value) {
  if (auto* b = value.get<bool>()) return *b ? "true" : "false";
  if (auto* i = value.get<std::int64_t>()) return std::to_string(*i);
  if (auto* d = value.get<double>()) return fmt::format("{}", *d);
  if (auto* s = value.get<std::string>()) return *s;
  if (auto* date = value.get<Date>()) {
    return platform.calendar().format(*date, DateStyle::Short, DateStyle::Short);
  }
  if (auto* a = value.get<PlistValue::Array>()) {
    std::string out;
    for (const auto& item : *a) {
      if (auto* s = item.get<std::string>()) out += (out.empty() ? "" : ",") + *s;
    }
    return out;
  }
  return "?";
}

std::string valueJson(Platform& platform, const PlistValue& value) {
  if (auto* b = value.get<bool>()) return *b ? "true" : "false";
  if (auto* i = value.get<std::int64_t>()) return std::to_string(*i);
  if (auto* d = value.get<double>()) return json::number(*d);
  if (auto* s = value.get<std::string>()) return json::quote(*s);
  if (auto* date = value.get<Date>()) return json::quote(isoDate(platform.calendar(), *date));
  if (auto* a = value.get<PlistValue::Array>()) {
    std::string out = "[";
    for (const auto& item : *a) {
      if (auto* s = item.get<std::string>()) out += (out.size() > 1 ? ", " : "") + json::quote(*s);
    }
    return out + "]";
  }
  return "null";
}

}  // namespace

const std::vector<Setting>& settingsTable() {
  static const std::vector<Setting> table = {
      {AppSettings::kFirstDayOfCycle,
       Kind::Integer,
       {},
       "cellular billing cycle: 1-31 monthly on that day, 101-107 weekly (101 = Sunday), 1001 "
       "daily, 9999 every ResetDays days from CustomStartDate"},
      {AppSettings::kFirstDayOfCycleWifi, Kind::Integer, {}, "Wi-Fi billing cycle, as above"},
      {AppSettings::kCellularDataLimit, Kind::Integer, {}, "cellular quota, 0 for none"},
      {AppSettings::kCellularDataLimitUnit, Kind::Text, kUnits, "unit of the cellular quota"},
      {AppSettings::kWifiDataLimit, Kind::Integer, {}, "Wi-Fi quota, 0 for none"},
      {AppSettings::kWifiDataLimitUnit, Kind::Text, kUnits, "unit of the Wi-Fi quota"},
      {AppSettings::kDailyCap, Kind::Real, {}, "cellular daily cap"},
      {AppSettings::kDailyCapUnit, Kind::Text, kUnits, "unit of the cellular daily cap"},
      {AppSettings::kDailyCapWifi, Kind::Real, {}, "Wi-Fi daily cap"},
      {AppSettings::kDailyCapWifiUnit, Kind::Text, kUnits, "unit of the Wi-Fi daily cap"},
      {AppSettings::kDisplayUnit, Kind::Text, kUnits, "unit of the figures shown"},
      {AppSettings::kStartupScreen, Kind::Text, {"CELL", "WIFI"}, "first screen shown"},
      {AppSettings::kProgressYellow, Kind::Text, kThresholds, "when the gauge turns yellow"},
      {AppSettings::kProgressRed, Kind::Text, kThresholds, "when the gauge turns red"},
      {AppSettings::kAppBadgeSetting,
       Kind::Text,
       {"BILLINGRESET", "CELLPERCENT", "CELL_REM_PERCENT", "CELL_PROJ_PERCENT", "CELLQUOTA",
        "WIFIPERCENT", "WIFI_REM_PERCENT", "WIFI_PROJ_PERCENT", "WIFIQUOTA"},
       "what the application badge shows"},
      {AppSettings::kEnablePushNotifications,
       Kind::Boolean,
       {},
       "remind of each billing cycle's start"},
      {AppSettings::kEnableBackgrounding, Kind::Boolean, {}, "update in the background"},
      {AppSettings::kEnableHighPrecision, Kind::Boolean, {}, "high precision"},
      {MainViewController::kRecordLocationKey, Kind::Boolean, {}, "record where data is used"},
      {settings::DesktopSettingsStore::kStartWithDesktop,
       Kind::Boolean,
       {},
       "open Kestrio in the tray when you log in to the desktop"},
      {"first_notification", Kind::Boolean, {}, "alert when 50 % of a quota is left"},
      {"second_notification", Kind::Boolean, {}, "alert when 35 % of a quota is left"},
      {"third_notification", Kind::Boolean, {}, "alert when 20 % of a quota is left"},
      {"fourth_notification", Kind::Boolean, {}, "alert when 10 % of a quota is left"},
      {"fifth_notification", Kind::Boolean, {}, "alert when 5 % of a quota is left"},
      {"over_notification", Kind::Boolean, {}, "alert when a quota is used up"},
      {BillingCycle::kCustomStartDate, Kind::Date, {}, "start of the cellular every-N-days cycle"},
      {BillingCycle::kResetDays, Kind::Integer, {}, "length of the cellular every-N-days cycle"},
      {BillingCycle::kCustomStartDateWiFi, Kind::Date, {}, "start of the Wi-Fi every-N-days cycle"},
      {BillingCycle::kResetDaysWiFi, Kind::Integer, {}, "length of the Wi-Fi every-N-days cycle"},
      {DeviceInfo::kCellularInterfacesKey,
       Kind::List,
       {},
       "interfaces (names or glob patterns) counted as cellular, instead of the automatic choice"},
      {DeviceInfo::kWifiInterfacesKey,
       Kind::List,
       {},
       "interfaces (names or glob patterns) counted as Wi-Fi, instead of the automatic choice"},
      {DeviceInfo::kCountMeteredAsCellularKey,
       Kind::Boolean,
       {},
       "count NetworkManager's metered connections as cellular and the others as Wi-Fi"},
  };
  return table;
}

ParsedSetting parseSettingValue(Platform& platform, const Setting& setting,
                                const std::string& raw) {
  const std::string text = trim(raw);
  const std::string wrongKind =
      fmt::format("{} takes {}, not {}", setting.key, kindName(setting.kind), quotedValue(raw));
  switch (setting.kind) {
    case Kind::Integer: {
      std::int64_t value = 0;
      auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() ||
          value < INT32_MIN || value > INT32_MAX) {
        return {std::nullopt, wrongKind};
      }
      return {PlistValue(value), ""};
    }
    case Kind::Real: {
      double value = 0;
      auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() ||
          !std::isfinite(value)) {
        return {std::nullopt, wrongKind};
      }
      return {PlistValue(value), ""};
    }
    case Kind::Boolean:
      if (text == "true" || text == "yes" || text == "on" || text == "1") return {true, ""};
      if (text == "false" || text == "no" || text == "off" || text == "0") return {false, ""};
      return {std::nullopt, wrongKind};
    case Kind::Text: {
      for (const auto& choice : setting.choices) {
        if (text == choice) return {PlistValue(text), ""};
      }
      std::string allowed;
      for (const auto& choice : setting.choices) allowed += (allowed.empty() ? "" : ", ") + choice;
      return {std::nullopt,
              fmt::format("{} takes one of {}, not {}", setting.key, allowed, quotedValue(raw))};
    }
    case Kind::Date: {
      int y = 0, m = 0, d = 0;
      char extra = 0;
      if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &extra) != 3 || m < 1 || m > 12 ||
          d < 1) {
        return {std::nullopt, wrongKind};
      }
      const Date date = platform.calendar().date(DateComponents{y, m, d, 0, 0, 0, 0});
      const DateComponents back = platform.calendar().components(date);
      if (back.year != y || back.month != m || back.day != d) return {std::nullopt, wrongKind};
      return {PlistValue(date), ""};
    }
    case Kind::List: {
      PlistValue::Array items;
      size_t start = 0;
      while (start <= text.size() && !text.empty()) {
        const size_t comma = text.find(',', start);
        const std::string item = trim(
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!item.empty()) items.emplace_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
      return {PlistValue(std::move(items)), ""};
    }
  }
  return {std::nullopt, wrongKind};
}

int runSettingsList(Platform& platform, bool asJson, std::ostream& out) {
  AppSettings(platform).getSettings();  // a fresh installation shows its defaults
  // The user defaults, and what the desktop keeps (the autostart entry) read from the desktop.
  settings::DesktopSettingsStore store(platform);
  const SettingsSchema schema(platform);
  // The keys no editing row of the schema shows, listed after the schema's groups.
  std::vector<const Setting*> others;
  for (const auto& s : settingsTable()) {
    if (!schema.rowForKey(s.key)) others.push_back(&s);
  }
  const auto valueOf = [&store](const settings::Specifier& row) {
    std::optional<PlistValue> value =
        row.key().empty() ? std::nullopt : store.objectForKey(row.key());
    return value ? value : row.defaultValue();
  };
  if (asJson) {
    out << "{\n  \"jsonversion\": " << StatusReport::kJsonVersion << ",\n  \"groups\": [";
    bool firstGroup = true;
    for (const auto& group : schema.groups()) {
      out << (firstGroup ? "\n" : ",\n") << "    {\"screen\": " << json::quote(group.screen)
          << ", \"title\": " << json::quote(group.title)
          << ", \"footer\": " << json::quote(group.footer) << ", \"rows\": [";
      firstGroup = false;
      bool firstRow = true;
      for (const settings::Specifier* row : group.rows) {
        const std::optional<PlistValue> value = valueOf(*row);
        out << (firstRow ? "\n" : ",\n") << "      {\"title\": " << json::quote(row->title())
            << ", \"type\": " << json::quote(row->type())
            << ", \"key\": " << (row->key().empty() ? "null" : json::quote(row->key()))
            << ", \"value\": " << (value ? valueJson(platform, *value) : "null")
            << ", \"shown\": " << json::quote(value ? shownValue(platform, *row, value) : "")
            << "}";
        firstRow = false;
      }
      out << (firstRow ? "]}" : "\n    ]}");
    }
    out << (firstGroup ? "],\n" : "\n  ],\n") << "  \"values\": {";
    bool first = true;
    for (const auto& s : settingsTable()) {
      auto value = store.objectForKey(s.key);
      out << (first ? "\n    " : ",\n    ") << json::quote(s.key) << ": "
          << (value ? valueJson(platform, *value) : "null");
      first = false;
    }
    out << "\n  }\n}\n";
    return 0;
  }
  if (schema.empty()) {
    out << "(the settings schema was not found beside kestrio: only the stored keys are listed)\n";
  }
  std::string screen;
  for (const auto& group : schema.groups()) {
    if (group.screen != screen) {
      screen = group.screen;
      out << "\n== " << screen << " ==\n";
    }
    if (!group.title.empty()) out << "\n" << group.title << "\n";
    for (const settings::Specifier* row : group.rows) {
      const std::string type = row->type();
      if (type == settings::kButtonSpecifier || type == settings::kOpenURLSpecifier ||
          type == settings::kMailComposeSpecifier || type == settings::kPSChildPaneSpecifier) {
        continue;  // actions and screens: the window's, not values
      }
      out << settingLine(row->title(), shownValue(platform, *row, valueOf(*row)), row->key());
    }
  }
  if (!others.empty()) out << "\nOther settings\n";
  for (const Setting* s : others) {
    auto value = store.objectForKey(s->key);
    out << settingLine(s->description, value ? valueText(platform, *value) : "(not set)", s->key);
  }
  return 0;
}

int runSettingsSet(Platform& platform, const std::string& key, const std::string& value,
                   std::ostream& out, std::ostream& err) {
  // Checked against the settings screens' row for the key, else the kind the record reads.
  ParsedSetting parsed = parseSchemaSetting(platform, SettingsSchema(platform), key, value);
  if (!parsed.value) {
    err << "kestrio: " << parsed.error << "\n";
    return 2;
  }
  if (auto refusal = refuseSetting(key, *parsed.value)) {
    err << "kestrio: " << *refusal << "\n";
    return 2;
  }
  if (key == settings::DesktopSettingsStore::kStartWithDesktop) {
    // Kept by the desktop, not in the data directory: changed and read back there.
    settings::DesktopSettingsStore desktop(platform);
    desktop.setObject(key, *parsed.value);
    if (desktop.objectForKey(key) != std::optional<PlistValue>(settings::truthOf(*parsed.value))) {
      err << "kestrio: " << key << " was not changed: " << desktop.lastError() << "\n";
      return 1;
    }
    out << key << " = " << valueText(platform, *desktop.objectForKey(key)) << "\n";
    return 0;
  }
  // The setting and the reminders it schedules are stored together.
  Transaction transaction(platform);
  if (!transaction.locked()) return reportUnstored(transaction.commit(), err);
  AppSettings settings(platform);
  settings.getSettings();  // convert a fresh installation first, so the defaults do not overwrite
  platform.userDefaults().setObject(key, *parsed.value);
  platform.userDefaults().synchronize();
  settings.applySettings();
  if (const Stored stored = transaction.commit(); !stored.ok()) return reportUnstored(stored, err);
  out << key << " = " << valueText(platform, *parsed.value) << "\n";
  return 0;
}

}  // namespace kestrio::cli

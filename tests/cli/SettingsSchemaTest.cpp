#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/Completion.h"
#include "cli/SettingsSchema.h"
#include "engine/AppSettings.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"
#include "support/SettingsBundle.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

struct ParseCase {
  const char* key;
  const char* typed;
  std::optional<PlistValue> stored;
  const char* refusalNames;  // a part of the refusal, when refused
};

void PrintTo(const ParseCase& c, std::ostream* os) {
  *os << c.key << " " << c.typed;
}

class SchemaSettingTest : public ::testing::TestWithParam<ParseCase> {
 protected:
  SchemaSettingTest() { testing::putSettingsBundle(platform); }
  FakePlatform platform;
};

TEST_P(SchemaSettingTest, ValuesAreCheckedAgainstTheirRow) {
  const ParseCase& c = GetParam();
  const SettingsSchema schema(platform);
  ASSERT_FALSE(schema.empty());
  const ParsedSetting parsed = parseSchemaSetting(platform, schema, c.key, c.typed);
  EXPECT_EQ(parsed.value, c.stored) << parsed.error;
  if (!c.stored) {
    EXPECT_NE(parsed.error.find(c.refusalNames), std::string::npos) << parsed.error;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SchemaSettingTest,
    ::testing::Values(
        // A choice by its value, or its title in any case; anything else names the choices.
        ParseCase{"firstDayOfCycle", "15", PlistValue(15), ""},
        ParseCase{"firstDayOfCycle", "every saturday", PlistValue(107), ""},
        ParseCase{"firstDayOfCycle", "32", std::nullopt, "9999 (Every few days"},
        ParseCase{"dataunit_settings", "GB", PlistValue("GB"), ""},
        ParseCase{"dataunit_settings", "TB", std::nullopt, "KB, MB, GB"},
        ParseCase{"appBadgeSetting", "Wi-Fi % left", PlistValue("WIFI_REM_PERCENT"), ""},
        // Switches store what their row stores.
        ParseCase{"over_notification", "off", PlistValue(false), ""},
        ParseCase{"over_notification", "maybe", std::nullopt, "true or false"},
        // Text rows take the kind the settings record reads.
        ParseCase{"cellularDataLimit", "12", PlistValue(12), ""},
        ParseCase{"cellularDataLimit", "12 GB", std::nullopt, "an integer"},
        ParseCase{"cellularInterfaces", "wwan*, usb0",
                  PlistValue(PlistValue::Array{"wwan*", "usb0"}), ""},
        // Keys outside the schema: the table's kind; unknown keys are refused.
        ParseCase{"CustomStartDate", "2027-02-30", std::nullopt, "a date"},
        ParseCase{"noSuchKey", "1", std::nullopt, "unknown setting"}),
    [](const ::testing::TestParamInfo<ParseCase>& param) {
      return testing::caseName(std::string(param.param.key) + " " + param.param.typed);
    });

TEST(SettingsListTest, ListsTheSchemasGroupsWithTheValuesTitles) {
  FakePlatform platform;
  testing::putSettingsBundle(platform);
  AppSettings(platform).getSettings();  // the defaults of a fresh installation first
  platform.userDefaults().setInteger("firstDayOfCycle", 101);
  std::ostringstream out;
  ASSERT_EQ(runSettingsList(platform, false, out), 0);
  const std::string text = out.str();
  EXPECT_NE(text.find("Cellular Plan"), std::string::npos) << text;
  EXPECT_NE(text.find("Every Sunday"), std::string::npos) << text;
  EXPECT_NE(text.find("== Custom cycle =="), std::string::npos) << text;
  // The custom cycle's start is no row's value: it is listed with the other settings.
  EXPECT_NE(text.find("[CustomStartDate]"), std::string::npos) << text;
  // Buttons are actions of the window, not values.
  EXPECT_EQ(text.find("ResetCellularUsage"), std::string::npos) << text;
  // Every line fits 80 columns, and the key that settings set takes is never cut.
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::size_t width = 0;
    for (const char c : line) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    EXPECT_LE(width, 79u) << line;
    if (line.find('[') != std::string::npos) {
      EXPECT_EQ(line.back(), ']') << line;
    }
  }
}

// The shell completes a key and then its value: every word it offers must be one that settings
// set takes.
TEST(SettingsCompletionTest, EveryOfferedKeyAndChoiceIsAccepted) {
  FakePlatform platform;
  testing::putSettingsBundle(platform);
  const SettingsSchema schema(platform);
  const std::vector<std::string> keys = settingKeys(schema);
  EXPECT_NE(std::find(keys.begin(), keys.end(), "dataunit_settings"), keys.end());
  // A button's key opens nothing that settings set could store.
  EXPECT_EQ(std::find(keys.begin(), keys.end(), "ResetCellularUsage"), keys.end());
  std::size_t choices = 0;
  for (const std::string& key : keys) {
    const ParsedSetting typed = parseSchemaSetting(platform, schema, key, "?");
    EXPECT_EQ(typed.error.find("unknown setting"), std::string::npos) << key;
    for (const std::string& value : settingValues(schema, key)) {
      ++choices;
      EXPECT_TRUE(parseSchemaSetting(platform, schema, key, value).value) << key << " " << value;
    }
  }
  EXPECT_GT(choices, 20u);
}

}  // namespace
}  // namespace kestrio::cli

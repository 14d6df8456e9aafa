// The forms `kestrio status` prints: the short status areas for an 80-column terminal, the line
// for status bars, the alert's exit status, dates in JSON, and when colours are used.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "cli/Commands.h"
#include "cli/IsoDate.h"
#include "cli/PlanCommand.h"
#include "cli/SettingsCommand.h"
#include "cli/TerminalColour.h"
#include "cli/TerminalText.h"
#include "support/FakePlatform.h"

namespace kestrio::cli {
namespace {

using testing::FakePlatform;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Columns on a terminal: UTF-8 continuation bytes take none.
std::size_t columns(const std::string& line) {
  std::size_t n = 0;
  for (unsigned char c : line) n += (c & 0xC0) != 0x80;
  return n;
}

// A plan of both networks in GB, and what each used this period.
struct Usage {
  const char* name;
  std::optional<int> cellularQuota, wifiQuota;
  const char* cellularUsed;
  const char* wifiUsed;
};

class StatusFormatTest : public ::testing::Test {
 protected:
  StatusFormatTest() {
    platform.setNow(2026, 12, 22, 12, 0);
    platform.setCounters("wwan0", 1000, 100, InterfaceKind::Cellular);
    platform.setCounters("wlan0", 1000, 100, InterfaceKind::Wifi);
  }

  void apply(const Usage& u) {
    set("dataunit_settings", "GB");
    set("firstDayOfCycle", "1");
    set("firstDayOfCycleWifi", "1");
    // A quota of 0 is none.
    set("cellularDataLimit", std::to_string(u.cellularQuota.value_or(0)));
    set("cellularDataLimitUnit", "GB");
    set("wifiDataLimit", std::to_string(u.wifiQuota.value_or(0)));
    set("wifiDataLimitUnit", "GB");
    std::ostringstream said, error;
    ASSERT_EQ(runAdjust(platform, "cellular", u.cellularUsed, said, error), 0) << error.str();
    ASSERT_EQ(runAdjust(platform, "wifi", u.wifiUsed, said, error), 0) << error.str();
  }
  void set(const std::string& key, const std::string& value) {
    std::ostringstream said, error;
    ASSERT_EQ(runSettingsSet(platform, key, value, said, error), 0) << key << ": " << error.str();
  }
  // The options of one call; `form` is "", "detail", "oneline" or "json".
  static StatusOptions options(const std::string& form,
                               std::optional<std::string> network = std::nullopt,
                               std::optional<std::string> alert = std::nullopt) {
    StatusOptions o;
    o.detail = form == "detail";
    o.oneline = form == "oneline";
    o.asJson = form == "json";
    o.network = std::move(network);
    o.alert = std::move(alert);
    return o;
  }
  int status(const StatusOptions& options) {
    out.str("");
    err.str("");
    return runStatus(platform, options, out, err);
  }

  FakePlatform platform;
  std::ostringstream out, err;
};

const Usage kUsages[] = {
    {"safe", 2, 10, "0.5", "1"},
    {"caution", 2, 10, "1.6", "9.5"},
    {"overage", 2, 10, "2.5", "11.25"},
    {"no quota", std::nullopt, std::nullopt, "3", "40"},
    {"one quota", std::nullopt, 10, "3", "12"},
    {"the widest figures", 99999, 99999, "999999", "99998.5"},
};

TEST_F(StatusFormatTest, BothStatusAreasFitAnEightyByTwentyFourTerminal) {
  for (const Usage& u : kUsages) {
    SCOPED_TRACE(u.name);
    apply(u);
    ASSERT_EQ(status(options("")), 0) << err.str();
    const auto shown = lines(out.str());
    EXPECT_LE(shown.size(), 23u) << out.str();
    for (const auto& line : shown) EXPECT_LE(columns(line), 80u) << line;
    EXPECT_NE(out.str().find("CELLULAR\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("Wi-Fi\n"), std::string::npos) << out.str();
    // Days are counted as the period's record counts them.
    EXPECT_NE(out.str().find(", 21 of 31 days elapsed"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("\x1b"), std::string::npos);  // no colour unless asked
    // Only without any quota does it say how to set one.
    EXPECT_EQ(out.str().find("No quota set: kestrio plan quota") != std::string::npos,
              !u.cellularQuota && !u.wifiQuota)
        << out.str();
  }
  // The last plan is over its cellular quota: red when colours are on.
  StatusOptions coloured = options("");
  coloured.colour = true;
  ASSERT_EQ(status(coloured), 0);
  EXPECT_NE(out.str().find("\x1b[1;31mOVERAGE\x1b[0m"), std::string::npos) << out.str();
  // The detail adds the rows and the records, which do not fit and need not.
  ASSERT_EQ(status(options("detail")), 0);
  EXPECT_NE(out.str().find("SINCE LAST BOOT"), std::string::npos);
  EXPECT_NE(out.str().find("Interfaces:  wwan0"), std::string::npos);
}

TEST_F(StatusFormatTest, OnelineKeepsItsFieldsInPlace) {
  struct Case {
    Usage usage;
    const char* line;
  };
  const Case cases[] = {
      {kUsages[0], "1;cellular;SAFE;0.50;2.0;GB;25.0;21;31;wifi;SAFE;1.00;10.0;GB;10.0;21;31"},
      {kUsages[2],
       "1;cellular;OVERAGE;2.50;2.0;GB;125.0;21;31;wifi;OVERAGE;11.25;10.0;GB;112.5;21;31"},
      {kUsages[3], "1;cellular;SAFE;3.00;;GB;;21;31;wifi;SAFE;40.00;;GB;;21;31"},
  };
  for (const Case& c : cases) {
    apply(c.usage);
    ASSERT_EQ(status(options("oneline")), 0) << err.str();
    EXPECT_EQ(out.str(), std::string(c.line) + "\n");
  }
  ASSERT_EQ(status(options("oneline", "wifi")), 0);
  EXPECT_EQ(out.str(), "1;wifi;SAFE;40.00;;GB;;21;31\n");
}

TEST_F(StatusFormatTest, AlertExitsOneOnlyWhenAQuotaIsReached) {
  struct Case {
    Usage usage;
    const char* percent;
    std::optional<std::string> network;
    int exitCode;
  };
  const Case cases[] = {
      {kUsages[0], "80", std::nullopt, 0},     // 25 % and 10 %
      {kUsages[0], "25", std::nullopt, 1},     // reached exactly
      {kUsages[0], "25", "wifi", 0},           // only the other network reached it
      {kUsages[0], "10", "wifi", 1},           //
      {kUsages[2], "100", "cellular", 1},      // over the quota
      {kUsages[3], "0.001", std::nullopt, 0},  // no quota never alerts
      {kUsages[4], "100", std::nullopt, 1},    // the network with a quota does
      {kUsages[0], "0", std::nullopt, 2},     {kUsages[0], "-5", std::nullopt, 2},
      {kUsages[0], "80%", std::nullopt, 2},   {kUsages[0], "", std::nullopt, 2},
      {kUsages[0], "nan", std::nullopt, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.usage.name) + " at " + c.percent);
    apply(c.usage);
    EXPECT_EQ(status(options("", c.network, c.percent)), c.exitCode) << out.str() << err.str();
    // A script hears which network reached it, and nothing when none did.
    EXPECT_EQ(out.str().empty(), c.exitCode != 1) << out.str();
  }
}

TEST_F(StatusFormatTest, AnUnstoredRefreshIsNotAnAlert) {
  apply(kUsages[0]);
  platform.fakeFiles().failWrites(testing::FakeFileSystem::Failure::DiskFull, 1000);
  EXPECT_EQ(status(options("", std::nullopt, "1")), 2);
  EXPECT_NE(err.str().find("nothing was stored"), std::string::npos) << err.str();
}

TEST_F(StatusFormatTest, JsonHasItsVersionAndOneDateForm) {
  apply(kUsages[1]);
  ASSERT_EQ(status(options("json")), 0);
  const std::string json = out.str();
  EXPECT_EQ(json.rfind("{\n  \"jsonversion\": 2,", 0), 0u) << json;
  // A setting's value goes by the setting's key, at the top and on each screen.
  EXPECT_EQ(json.find("displayUnit"), std::string::npos) << json;
  int named = 0;
  for (auto at = json.find("\"dataunit_settings\": \"GB\""); at != std::string::npos;
       at = json.find("\"dataunit_settings\": \"GB\"", at + 1)) {
    ++named;
  }
  EXPECT_EQ(named, 3) << json;
  EXPECT_NE(json.find("\"lastBillingDate\": \"2026-12-01T00:00:00+01:00\""), std::string::npos)
      << json;
  EXPECT_NE(json.find("\"usedPercent\": 80"), std::string::npos) << json;
  EXPECT_NE(json.find("\"daysElapsed\": 21"), std::string::npos) << json;
  EXPECT_NE(json.find("\"usageStatus\": "), std::string::npos) << json;
  // Every quoted date is ISO 8601 with an offset.
  const std::regex date("\"(\\d{4}-\\d\\d-\\d\\dT[^\"]*)\"");
  int dates = 0;
  for (std::sregex_iterator i(json.begin(), json.end(), date), end; i != end; ++i, ++dates) {
    EXPECT_TRUE(std::regex_match(
        (*i)[1].str(), std::regex("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d")))
        << (*i)[1];
  }
  EXPECT_GE(dates, 6);
}

TEST(IsoDateTest, CarriesTheOffsetOfTheMomentInItsZone) {
  struct Case {
    const char* zone;
    double utcSeconds;
    const char* expected;
  };
  const Case cases[] = {
      {"Europe/Berlin", 1796648400, "2026-12-07T14:00:00+01:00"},  // 13:00 UTC
      {"Europe/Berlin", 1796648400.999, "2026-12-07T14:00:00+01:00"},
      {"Europe/Berlin", 1774745999, "2026-03-29T01:59:59+01:00"},  // before the change to summer
      {"Europe/Berlin", 1774746000, "2026-03-29T03:00:00+02:00"},  // after it
      {"America/New_York", 1796648400, "2026-12-07T08:00:00-05:00"},
      {"America/New_York", 1783429200, "2026-07-07T09:00:00-04:00"},
      {"America/St_Johns", 1796648400, "2026-12-07T09:30:00-03:30"},
      {"Asia/Kolkata", 1796648400, "2026-12-07T18:30:00+05:30"},
      {"UTC", 0, "1970-01-01T00:00:00+00:00"},
      {"Pacific/Kiritimati", 1796648400, "2026-12-08T03:00:00+14:00"},
  };
  for (const Case& c : cases) {
    const Calendar calendar(c.zone, "en_US");
    EXPECT_EQ(isoDate(calendar, Date::fromSecondsSince1970(c.utcSeconds)), c.expected) << c.zone;
  }
}

TEST(TerminalColourTest, ColoursOnlyATerminalThatDoesNotRefuseThem) {
  struct Case {
    ColourChoice choice;
    bool terminal;
    const char* noColour;
    bool expected;
  };
  const Case cases[] = {
      {ColourChoice::Auto, true, nullptr, true}, {ColourChoice::Auto, false, nullptr, false},
      {ColourChoice::Auto, true, "1", false},    {ColourChoice::Auto, true, "", true},
      {ColourChoice::Always, false, "1", true},  {ColourChoice::Never, true, nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(useColour(c.choice, c.terminal, c.noColour), c.expected)
        << static_cast<int>(c.choice) << c.terminal << (c.noColour ? c.noColour : "unset");
  }
  EXPECT_EQ(parseColourChoice("always"), ColourChoice::Always);
  EXPECT_FALSE(parseColourChoice("yes"));

  // The colours pass the terminal's filter; an escape in the text still does not.
  std::ostringstream sink;
  {
    std::ostream terminal(sink.rdbuf());
    TerminalTextGuard guard(terminal);
    writeStatusWord(terminal, "OVERAGE", true);
    writeStatusWord(terminal, "SAFE", false);
    writeStatusWord(terminal, "\x1b[2J", true);
  }
  EXPECT_EQ(sink.str(), "\x1b[1;31mOVERAGE\x1b[0mSAFE\xEF\xBF\xBD[2J");
}

}  // namespace
}  // namespace kestrio::cli

#include <gtest/gtest.h>

#include <set>

#include "services/StringFormatter.h"
#include "services/Util.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using testing::FakePlatform;

class StringFormatterTest : public ::testing::Test {
 protected:
  FakePlatform platform{"Europe/Berlin", "en_US"};
};

TEST_F(StringFormatterTest, OrdinalSuffixesFollowEnglish) {
  const std::pair<int, const char*> cases[] = {{1, "st"},  {2, "nd"},  {3, "rd"},  {4, "th"},
                                               {11, "th"}, {12, "th"}, {13, "th"}, {21, "st"},
                                               {22, "nd"}, {23, "rd"}, {30, "th"}, {31, "st"}};
  for (const auto& [day, suffix] : cases) EXPECT_STREQ(StringFormatter::ordinalSuffix(day), suffix);
}

TEST_F(StringFormatterTest, TheDayTemplateGetsItsOrdinalAndOnlyTheDayIsTouched) {
  const std::string second = StringFormatter::getLocalizedDayShortDateFromDate(
      platform, platform.at(2027, 3, 2, 12, 0, 0));
  EXPECT_NE(second.find("2nd"), std::string::npos) << second;
  EXPECT_NE(second.find("Tue"), std::string::npos) << second;
  EXPECT_NE(second.find("Mar"), std::string::npos) << second;

  const std::string twelfth = StringFormatter::getLocalizedDayShortDateFromDate(
      platform, platform.at(2027, 3, 12, 12, 0, 0));
  EXPECT_NE(twelfth.find("12th"), std::string::npos) << twelfth;
  const std::string first = StringFormatter::getLocalizedDayShortDateFromDate(
      platform, platform.at(2027, 3, 1, 12, 0, 0));
  EXPECT_NE(first.find("1st"), std::string::npos) << first;
  EXPECT_EQ(first.find("1st1"), std::string::npos) << first;
}

TEST_F(StringFormatterTest, TheDayMonthTemplateFollowsTheLocale) {
  const Date date = platform.at(2027, 3, 5, 12, 0, 0);
  const std::string us = StringFormatter::getLocalizedShortDateMonthFromDate(platform, date);
  EXPECT_NE(us.find("03"), std::string::npos) << us;
  FakePlatform german("Europe/Berlin", "de_DE");
  const std::string de =
      StringFormatter::getLocalizedShortDateMonthFromDate(german, german.at(2027, 3, 5, 12));
  EXPECT_NE(de.find("03"), std::string::npos) << de;
  EXPECT_NE(us, de);
}

TEST_F(StringFormatterTest, OlderPlatformsFallBackToTheShortDate) {
  EXPECT_TRUE(StringFormatter::lacksDateTemplates("3.1.3"));
  EXPECT_FALSE(StringFormatter::lacksDateTemplates("4.0"));
  EXPECT_FALSE(StringFormatter::lacksDateTemplates("10.0"));
  EXPECT_FALSE(StringFormatter::lacksDateTemplates("6.1.0-18-amd64"));
  platform.version = "3.1.3";
  const Date date = platform.at(2027, 3, 2, 12, 0, 0);
  const std::string shortDate =
      StringFormatter::getLocalizedShortDateNoTimeStringFromDate(platform, date);
  EXPECT_EQ(StringFormatter::getLocalizedDayShortDateFromDate(platform, date), shortDate);
  EXPECT_EQ(StringFormatter::getLocalizedShortDateMonthFromDate(platform, date), shortDate);
}

TEST_F(StringFormatterTest, AShortDateShortTimeTextReadsBackToTheMinute) {
  const Date date = platform.at(2027, 11, 30, 17, 45, 0);
  const std::string text =
      StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform, date);
  EXPECT_EQ(StringFormatter::getLocalizedDateFromShortDateShortTimeString(platform, text), date);
  EXPECT_FALSE(StringFormatter::getLocalizedDateFromShortDateShortTimeString(platform, "soon"));
  EXPECT_FALSE(
      StringFormatter::getLocalizedDateFromShortDateShortTimeString(platform, text + " extra"));
  EXPECT_FALSE(StringFormatter::getLocalizedDateFromShortDateShortTimeString(platform, ""));
}

TEST(UtilTest, IdentifiersAreUpperCaseAndNew) {
  // Groups of 8-4-4-4-12 upper-case hexadecimal digits.
  auto wellFormed = [](const std::string& id) {
    if (id.size() != 36) return false;
    for (size_t i = 0; i < id.size(); ++i) {
      const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
      const bool hex = (id[i] >= '0' && id[i] <= '9') || (id[i] >= 'A' && id[i] <= 'F');
      if (hyphen ? id[i] != '-' : !hex) return false;
    }
    return true;
  };
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string id = Util::GetUUID();
    EXPECT_TRUE(wellFormed(id)) << id;
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 100u);
}

TEST(UtilTest, DateTestsIncludeTheirEndsAndIgnoreTheTimeOfDay) {
  FakePlatform platform;
  const Date start = platform.at(2027, 1, 1);
  const Date end = platform.at(2027, 1, 31);
  EXPECT_TRUE(Util::isBetweenDate(start, start, end));
  EXPECT_TRUE(Util::isBetweenDate(end, start, end));
  EXPECT_FALSE(Util::isBetweenDate(end.addingSeconds(1), start, end));
  EXPECT_FALSE(Util::isSameAsThisDate(platform, platform.at(2027, 1, 1, 23, 59),
                                      platform.at(2027, 1, 2, 0, 1)));
  EXPECT_TRUE(Util::isSameAsThisDate(platform, platform.at(2027, 1, 1, 0, 0),
                                     platform.at(2027, 1, 1, 23, 59)));
}

}  // namespace
}  // namespace kestrio

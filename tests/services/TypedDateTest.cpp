#include <gtest/gtest.h>

#include "services/TypedDate.h"
#include "support/CaseNames.h"
#include "support/FakePlatform.h"

namespace kestrio {
namespace {

using kestrio::testing::FakePlatform;

struct TypedCase {
  const char* name;
  const char* locale;
  const char* text;
  // The date it means (year 0: refused).
  int year, month, day, hour, minute;
};

const TypedCase kTyped[] = {
    {"ISO day", "en_US", "2026-03-14", 2026, 3, 14, 0, 0},
    {"ISO with time", "en_US", " 2026-03-14 08:30 ", 2026, 3, 14, 8, 30},
    {"ISO T time", "en_US", "2026-3-4T23:59", 2026, 3, 4, 23, 59},
    {"US short", "en_US", "3/14/26", 2026, 3, 14, 0, 0},
    {"US short with time", "en_US", "3/14/26, 8:30 AM", 2026, 3, 14, 8, 30},
    {"German short", "de_DE", "14.03.26", 2026, 3, 14, 0, 0},
    {"US short, year in full", "en_US", "03/14/2026", 2026, 3, 14, 0, 0},
    {"day past the month's end", "en_US", "2026-02-30", 0, 0, 0, 0, 0},
    {"hour 24", "en_US", "2026-02-03 24:00", 0, 0, 0, 0, 0},
    {"month 13", "en_US", "2026-13-01", 0, 0, 0, 0, 0},
    {"day first in a US locale", "en_US", "14/3/26", 0, 0, 0, 0, 0},
    {"words", "en_US", "next friday", 0, 0, 0, 0, 0},
    {"empty", "en_US", "   ", 0, 0, 0, 0, 0},
};

class TypedDate : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedDate, ReadsOnlyWholeDates) {
  const TypedCase& c = GetParam();
  FakePlatform platform("Europe/Berlin", c.locale);
  const std::optional<Date> read = dateFromTypedText(platform.calendar(), c.text);
  if (c.year == 0) {
    EXPECT_FALSE(read) << platform.calendar().format(*read, DateStyle::Short, DateStyle::Short);
  } else {
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, platform.at(c.year, c.month, c.day, c.hour, c.minute));
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, TypedDate, ::testing::ValuesIn(kTyped),
                         kestrio::testing::NameField{});

TEST(TypedDateHint, ShowsBothFormsOfTheExample) {
  FakePlatform platform;
  EXPECT_EQ(typedDateHint(platform.calendar(), platform.at(2026, 3, 4, 15)),
            "Type a date as 3/4/26 or 2026-03-04, a time may follow.");
}

}  // namespace
}  // namespace kestrio

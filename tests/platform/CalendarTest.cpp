#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>

#include "platform/Calendar.h"

namespace kestrio {
namespace {

using namespace std::chrono;

// An instant given as a UTC wall time, computed without ICU.
Date utc(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0) {
  sys_seconds t = sys_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm} + seconds{ss};
  return Date::fromSecondsSince1970(static_cast<double>(t.time_since_epoch().count()));
}

constexpr double kHour = 3600;

class CalendarTest : public testing::Test {
 protected:
  Calendar berlin{"Europe/Berlin", "de_DE"};
  Calendar newYork{"America/New_York", "en_US"};
  Calendar utcCalendar{"UTC", "en_US"};
};

void expectComponents(const DateComponents& c, int y, int mo, int d, int h, int mi, int s, int wd) {
  EXPECT_EQ(c.year, y);
  EXPECT_EQ(c.month, mo);
  EXPECT_EQ(c.day, d);
  EXPECT_EQ(c.hour, h);
  EXPECT_EQ(c.minute, mi);
  EXPECT_EQ(c.second, s);
  EXPECT_EQ(c.weekday, wd);
}

TEST_F(CalendarTest, ComponentsAreThoseOfTheZone) {
  Date instant = utc(2026, 1, 5, 9, 30, 45);  // a Monday
  expectComponents(utcCalendar.components(instant), 2026, 1, 5, 9, 30, 45, 2);
  expectComponents(berlin.components(instant), 2026, 1, 5, 10, 30, 45, 2);
  expectComponents(newYork.components(instant), 2026, 1, 5, 4, 30, 45, 2);
  // Summer time, and a UTC morning that is still the previous evening in New York.
  expectComponents(berlin.components(utc(2026, 7, 1, 0, 30)), 2026, 7, 1, 2, 30, 0, 4);
  expectComponents(newYork.components(utc(2026, 1, 1, 2, 0)), 2025, 12, 31, 21, 0, 0, 4);
  // Fractions of a second do not round up.
  expectComponents(utcCalendar.components(utc(2026, 1, 5, 23, 59, 59).addingSeconds(0.999)), 2026,
                   1, 5, 23, 59, 59, 2);
}

TEST_F(CalendarTest, DateAssemblesInTheZone) {
  EXPECT_EQ(berlin.date({2026, 1, 5, 10, 30, 45}), utc(2026, 1, 5, 9, 30, 45));
  EXPECT_EQ(berlin.date({2026, 7, 1, 2, 30, 0}), utc(2026, 7, 1, 0, 30));
  EXPECT_EQ(newYork.date({2026, 1, 5, 4, 30, 45}), utc(2026, 1, 5, 9, 30, 45));
  // The weekday is ignored.
  EXPECT_EQ(berlin.date({2026, 1, 5, 10, 30, 45, 6}), utc(2026, 1, 5, 9, 30, 45));
}

struct RollOver {
  const char* name;
  DateComponents in;
  Date expected;  // in Berlin
};

TEST_F(CalendarTest, OutOfRangeComponentsRollOver) {
  const RollOver cases[] = {
      {"Feb 31 in a common year", {2026, 2, 31}, utc(2026, 3, 2, 23)},  // March 3 00:00 CET
      {"Feb 31 in a leap year", {2024, 2, 31}, utc(2024, 3, 1, 23)},    // March 2
      {"day 0", {2026, 3, 0}, utc(2026, 2, 27, 23)},                    // Feb 28
      {"day 0 of January", {2026, 1, 0}, utc(2025, 12, 30, 23)},        // Dec 31
      {"negative day", {2026, 3, -1}, utc(2026, 2, 26, 23)},            // Feb 27
      {"month 0", {2026, 0, 15}, utc(2025, 12, 14, 23)},                // Dec 15
      {"month 13", {2026, 13, 15}, utc(2027, 1, 14, 23)},               // Jan 15
      {"month 14 day 31", {2026, 14, 31}, utc(2027, 3, 2, 23)},         // Feb 31 -> March 3
      {"hour 24", {2026, 1, 31, 24}, utc(2026, 1, 31, 23)},             // Feb 1 00:00
      {"minute 90", {2026, 1, 5, 10, 90}, utc(2026, 1, 5, 10, 30)},     // 11:30
      {"second -1", {2026, 1, 1, 0, 0, -1}, utc(2025, 12, 31, 22, 59, 59)},
  };
  for (const auto& c : cases) EXPECT_EQ(berlin.date(c.in), c.expected) << c.name;

  DateComponents march3 = berlin.components(berlin.date({2026, 2, 31}));
  expectComponents(march3, 2026, 3, 3, 0, 0, 0, 3);
}

TEST_F(CalendarTest, DaysBetweenCountsWholeCalendarDays) {
  // Berlin springs forward on 2026-03-29: the day has 23 hours but is still one day.
  Date saturdayNoon = berlin.date({2026, 3, 28, 12});
  Date mondayNoon = berlin.date({2026, 3, 30, 12});
  EXPECT_EQ(mondayNoon.secondsSince1970 - saturdayNoon.secondsSince1970, 47 * kHour);
  EXPECT_EQ(berlin.daysBetween(saturdayNoon, mondayNoon), 2);
  EXPECT_EQ(berlin.daysBetween(mondayNoon, saturdayNoon), -2);
  EXPECT_EQ(berlin.daysBetween(saturdayNoon, saturdayNoon), 0);
  // A day boundary crossed by less than a full day is not a day.
  EXPECT_EQ(berlin.daysBetween(saturdayNoon, berlin.date({2026, 3, 30, 11, 59, 59})), 1);
  EXPECT_EQ(
      berlin.daysBetween(berlin.date({2026, 3, 28, 23, 59}), berlin.date({2026, 3, 29, 0, 1})), 0);
  // Across month and year ends.
  EXPECT_EQ(berlin.daysBetween(berlin.date({2026, 1, 31}), berlin.date({2026, 3, 1})), 29);
  EXPECT_EQ(berlin.daysBetween(berlin.date({2024, 1, 31}), berlin.date({2024, 3, 1})), 30);
  EXPECT_EQ(newYork.daysBetween(newYork.date({2025, 12, 31, 8}), newYork.date({2026, 1, 1, 8})), 1);
  EXPECT_EQ(utcCalendar.daysBetween(utc(2027, 1, 1), utc(2026, 1, 1)), -365);
}

TEST_F(CalendarTest, IsSameDayFollowsTheZone) {
  Date lateEvening = berlin.date({2026, 3, 28, 23, 59});
  Date justAfterMidnight = berlin.date({2026, 3, 29, 0, 1});
  Date earlyMorning = berlin.date({2026, 3, 28, 0, 1});
  EXPECT_FALSE(berlin.isSameDay(lateEvening, justAfterMidnight));
  EXPECT_TRUE(berlin.isSameDay(earlyMorning, lateEvening));
  // 22:59 and 23:01 UTC: one Berlin day apart, the same day in New York.
  EXPECT_FALSE(berlin.isSameDay(utc(2026, 1, 5, 22, 59), utc(2026, 1, 5, 23, 1)));
  EXPECT_TRUE(newYork.isSameDay(utc(2026, 1, 5, 22, 59), utc(2026, 1, 5, 23, 1)));
}

TEST_F(CalendarTest, StartOfDayIsLocalMidnight) {
  EXPECT_EQ(berlin.startOfDay(utc(2026, 1, 5, 15)), utc(2026, 1, 4, 23));
  EXPECT_EQ(berlin.startOfDay(utc(2026, 1, 4, 23)), utc(2026, 1, 4, 23));
  EXPECT_EQ(newYork.startOfDay(utc(2026, 1, 5, 3)), utc(2026, 1, 4, 5));
  // The short day of the spring change lasts 23 hours from its midnight.
  Date sunday = berlin.startOfDay(berlin.date({2026, 3, 29, 15}));
  Date monday = berlin.startOfDay(berlin.date({2026, 3, 30, 15}));
  EXPECT_EQ(monday.secondsSince1970 - sunday.secondsSince1970, 23 * kHour);
}

TEST_F(CalendarTest, StartOfDayWhenMidnightIsSkipped) {
  // Chile sprang forward at midnight on 2022-09-11: the day began at 01:00 (-03), 04:00 UTC.
  Calendar santiago("America/Santiago", "es_CL");
  Date start = santiago.startOfDay(utc(2022, 9, 11, 15));
  EXPECT_EQ(start, utc(2022, 9, 11, 4));
  expectComponents(santiago.components(start), 2022, 9, 11, 1, 0, 0, 1);
  EXPECT_EQ(santiago.daysBetween(santiago.startOfDay(utc(2022, 9, 10, 15)), start), 1);
}

TEST_F(CalendarTest, UnknownZoneBehavesAsGmt) {
  Calendar unknown("Mars/Olympus_Mons", "en_US");
  Date instant = utc(2026, 1, 5, 23, 30);
  expectComponents(unknown.components(instant), 2026, 1, 5, 23, 30, 0, 2);
  EXPECT_EQ(unknown.startOfDay(instant), utc(2026, 1, 5));
}

TEST_F(CalendarTest, InstantsIcuCannotHoldFallBackToTheEpoch) {
  Date notANumber = Date::fromSecondsSince1970(std::numeric_limits<double>::quiet_NaN());
  expectComponents(berlin.components(notANumber), 1970, 1, 1, 0, 0, 0, 5);
  EXPECT_EQ(berlin.daysBetween(notANumber, utc(2026, 1, 1)), 0);
  EXPECT_EQ(berlin.daysBetween(utc(2026, 1, 1), notANumber), 0);
  // Absurd components still give an instant after 2026 rather than failing.
  Date far = berlin.date({std::numeric_limits<int>::max(), std::numeric_limits<int>::max(),
                          std::numeric_limits<int>::max()});
  EXPECT_GT(far, utc(2026, 1, 1));
}

TEST_F(CalendarTest, FormatUsesLocaleStylesAndZone) {
  Date instant = utc(2026, 1, 5, 9, 30, 45);  // 10:30:45 in Berlin, 4:30:45 in New York
  Calendar berlinUs("Europe/Berlin", "en_US");
  std::string us = berlinUs.format(instant, DateStyle::Short, DateStyle::Medium);
  std::string de = berlin.format(instant, DateStyle::Short, DateStyle::Medium);
  EXPECT_NE(us.find("1/5/26"), std::string::npos) << us;
  EXPECT_NE(us.find("10:30:45"), std::string::npos) << us;
  EXPECT_NE(us.find("AM"), std::string::npos) << us;
  EXPECT_NE(de.find("05.01.26"), std::string::npos) << de;
  EXPECT_NE(de.find("10:30:45"), std::string::npos) << de;
  EXPECT_NE(us, de);

  std::string nyTime = newYork.format(instant, DateStyle::None, DateStyle::Medium);
  EXPECT_NE(nyTime.find("4:30:45"), std::string::npos) << nyTime;
  EXPECT_EQ(nyTime.find("26"), std::string::npos) << nyTime;

  std::string dateOnly = berlin.format(instant, DateStyle::Medium, DateStyle::None);
  EXPECT_NE(dateOnly.find("2026"), std::string::npos) << dateOnly;
  EXPECT_EQ(dateOnly.find("10:30"), std::string::npos) << dateOnly;

  EXPECT_EQ(berlin.format(instant, DateStyle::None, DateStyle::None), "");
  // A second call with the same styles gives the same text (the format is kept).
  EXPECT_EQ(berlin.format(instant, DateStyle::Short, DateStyle::Medium), de);
  EXPECT_NE(berlin.format(instant.addingSeconds(1), DateStyle::Short, DateStyle::Medium), de);
}

}  // namespace
}  // namespace kestrio

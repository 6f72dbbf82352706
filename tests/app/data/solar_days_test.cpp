#include "app/data/solar_days.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

namespace orvexa::data {
namespace {

using std::chrono::year_month_day;

year_month_day ymd(int y, unsigned m, unsigned d) {
  return {std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
}

TEST(SolarDays, AddDaysCrossesMonthAndYearEnds) {
  struct Case {
    const char* name;
    SolarDate from;
    int days;
    SolarDate want;
  };
  const Case cases[] = {
      {"Esfand 29 of a common year", {1404, 12, 29}, 1, {1405, 1, 1}},
      {"Esfand 29 of a leap year", {1403, 12, 29}, 1, {1403, 12, 30}},
      {"Esfand 30 of a leap year", {1403, 12, 30}, 1, {1404, 1, 1}},
      {"back over a common year end", {1405, 1, 1}, -1, {1404, 12, 29}},
      {"back over a leap year end", {1404, 1, 1}, -1, {1403, 12, 30}},
      {"Shahrivar has 31 days", {1404, 6, 30}, 1, {1404, 6, 31}},
      {"Shahrivar 31 to Mehr", {1404, 6, 31}, 1, {1404, 7, 1}},
      {"Mehr has 30 days", {1404, 7, 30}, 1, {1404, 8, 1}},
      {"Bahman 30 to Esfand", {1404, 11, 30}, 1, {1404, 12, 1}},
      {"Farvardin 31", {1404, 1, 31}, 1, {1404, 2, 1}},
      {"back from Mehr 1", {1404, 7, 1}, -1, {1404, 6, 31}},
      {"a common year", {1404, 1, 1}, 365, {1405, 1, 1}},
      {"a leap year", {1403, 1, 1}, 366, {1404, 1, 1}},
      {"a leap year less one day", {1403, 1, 1}, 365, {1403, 12, 30}},
      {"no days", {1404, 5, 17}, 0, {1404, 5, 17}},
      {"ten days ahead over Nowruz", {1404, 12, 25}, 10, {1405, 1, 6}},
      {"a whole cycle of 33 years", {1400, 1, 1}, 33 * 365 + 8, {1433, 1, 1}},
  };
  for (const Case& c : cases) {
    const auto got = add_days(c.from, c.days);
    ASSERT_TRUE(got.has_value()) << c.name;
    EXPECT_EQ(got->text(), c.want.text()) << c.name;
    EXPECT_EQ(days_between(c.from, c.want), c.days) << c.name;
    EXPECT_EQ(days_between(c.want, c.from), -c.days) << c.name;
  }
}

TEST(SolarDays, DatesThatDoNotExistGiveNothing) {
  struct Case {
    const char* name;
    SolarDate date;
  };
  const Case cases[] = {{"Esfand 30 of a common year", {1404, 12, 30}}, {"Mehr 31", {1404, 7, 31}},
                        {"month 13", {1404, 13, 1}},   {"month 0", {1404, 0, 1}},
                        {"day 0", {1404, 1, 0}},       {"Farvardin 32", {1404, 1, 32}},
                        {"past the table", {kLastSolarYear + 1, 1, 1}},
                        {"before the table", {kFirstSolarYear - 1, 1, 1}}};
  for (const Case& c : cases) {
    EXPECT_FALSE(is_valid_solar_date(c.date)) << c.name;
    EXPECT_FALSE(day_number(c.date)) << c.name;
    EXPECT_FALSE(add_days(c.date, 1)) << c.name;
    EXPECT_FALSE(days_between(c.date, {1404, 1, 1})) << c.name;
    EXPECT_FALSE(solar_weekday(c.date)) << c.name;
  }
  EXPECT_TRUE(is_valid_solar_date({1403, 12, 30}));
  EXPECT_FALSE(add_days({kLastSolarYear, 12, 29}, 5));
  EXPECT_FALSE(add_days({1404, 1, 1}, 2'000'000'000));
  EXPECT_FALSE(add_days({1404, 1, 1}, -2'000'000'000));
}

TEST(SolarDays, DayNumbersCountFromTheSysDaysEpoch) {
  EXPECT_EQ(day_number({1348, 10, 11}), 0);  // 1970-01-01
  EXPECT_EQ(from_day_number(0), (SolarDate{1348, 10, 11}));
  EXPECT_EQ(day_number({1404, 1, 1}),
            static_cast<int>(std::chrono::sys_days(ymd(2025, 3, 21)).time_since_epoch().count()));
  for (int far : {-2'000'000, 2'000'001, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()})
    EXPECT_FALSE(from_day_number(far)) << far;
}

TEST(SolarDays, WeekdaysOfTheIranianWeek) {
  struct Case {
    SolarDate date;
    SolarWeekday want;
  };
  const Case cases[] = {
      {{1404, 1, 1}, SolarWeekday::Friday},      // 2025-03-21
      {{1404, 1, 2}, SolarWeekday::Saturday},    // the week starts
      {{1403, 1, 1}, SolarWeekday::Wednesday},   // 2024-03-20
      {{1403, 12, 30}, SolarWeekday::Thursday},  // 2025-03-20
      {{1357, 11, 22}, SolarWeekday::Sunday},    // 1979-02-11
      {{1348, 10, 11}, SolarWeekday::Thursday},  // 1970-01-01
      {{1348, 10, 10}, SolarWeekday::Wednesday}, // before the epoch
      {{1300, 1, 1}, SolarWeekday::Monday},      // 1921-03-21
  };
  for (const Case& c : cases) EXPECT_EQ(solar_weekday(c.date), c.want) << c.date.text();
  // Seven days later is the same weekday, every day of a leap year.
  for (SolarDate d{1403, 1, 1}; d.year == 1403; d = *add_days(d, 1))
    ASSERT_EQ(solar_weekday(d), solar_weekday(*add_days(d, 7))) << d.text();
}

// Day by day over a whole 33-year cycle: each day number goes back to its date, and the next
// number is the next day of the calendar.
TEST(SolarDays, AWholeCycleRoundTrips) {
  const int first = *day_number({1399, 1, 1}), last = *day_number({1432, 1, 1});
  EXPECT_EQ(last - first, 33 * 365 + 8);
  SolarDate expected{1399, 1, 1};
  for (int number = first; number < last; ++number) {
    const auto date = from_day_number(number);
    ASSERT_EQ(date, expected) << number;
    ASSERT_EQ(day_number(*date), number) << date->text();
    const bool month_end = expected.day == solar_month_length(expected.year, expected.month);
    if (!month_end) {
      ++expected.day;
    } else {
      expected = expected.month == 12 ? SolarDate{expected.year + 1, 1, 1} : SolarDate{expected.year, expected.month + 1, 1};
    }
  }
  EXPECT_EQ(expected, (SolarDate{1432, 1, 1}));
}

// The plain 33-year cycle and the 2820-year cycle are rules people often use for the leap years;
// where they disagree with the calendar, adding days must follow the calendar.
bool plain_33_year_leap(int year) { return (year * 8 + 29) % 33 < 8; }
bool cycle_2820_leap(int year) {
  const int base = year - (year > 0 ? 474 : 473);
  const int in_cycle = 474 + ((base % 2820) + 2820) % 2820;
  return (in_cycle + 38) * 682 % 2816 < 682;
}

std::set<int> disagreements(bool (*rule)(int), int from, int to) {
  std::set<int> years;
  for (int year = from; year <= to; ++year)
    if (rule(year) != is_solar_leap_year(year)) years.insert(year);
  return years;
}

void expect_follows_the_calendar(int year) {
  const bool leap = is_solar_leap_year(year);
  const SolarDate after_29_esfand = leap ? SolarDate{year, 12, 30} : SolarDate{year + 1, 1, 1};
  EXPECT_EQ(add_days({year, 12, 29}, 1), after_29_esfand) << year;
  const auto next = add_days({year, 1, 1}, leap ? 366 : 365);
  ASSERT_EQ(next, (SolarDate{year + 1, 1, 1})) << year;
  EXPECT_EQ(std::chrono::sys_days(*gregorian_from_solar(*next)), nowruz(year + 1)) << year;
}

TEST(SolarDays, LeapYearsFollowTheCalendarWhereSimplerRulesDiffer) {
  // 1300..1500 lies between the break years 1210 and 1635: the plain cycle holds throughout.
  EXPECT_TRUE(disagreements(plain_33_year_leap, 1300, 1500).empty());
  const std::set<int> near_breaks = {1176, 1177, 1634, 1635};
  EXPECT_EQ(disagreements(plain_33_year_leap, 1150, 1650), near_breaks);
  const std::set<int> by_2820 = {1403, 1404, 1436, 1437, 1469, 1470};
  EXPECT_EQ(disagreements(cycle_2820_leap, 1300, 1500), by_2820);
  for (int year : near_breaks) expect_follows_the_calendar(year);
  for (int year : by_2820) expect_follows_the_calendar(year);
  // The calendar's answers there, as the official calendar has them.
  EXPECT_EQ(gregorian_from_solar({1404, 1, 1}), ymd(2025, 3, 21));
  EXPECT_EQ(gregorian_from_solar({1405, 1, 1}), ymd(2026, 3, 21));
  EXPECT_EQ(add_days({1404, 12, 29}, 1), (SolarDate{1405, 1, 1}));
  EXPECT_EQ(gregorian_from_solar({1437, 1, 1}), ymd(2058, 3, 21));
  EXPECT_EQ(gregorian_from_solar({1635, 1, 1}), ymd(2256, 3, 20));
}

}  // namespace
}  // namespace orvexa::data

#include "app/data/tabular_hijri.h"

#include <gtest/gtest.h>

namespace orvexa::data {
namespace {

using std::chrono::sys_days;
using std::chrono::year_month_day;

year_month_day ymd(int y, unsigned m, unsigned d) {
  return {std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
}

// Published arithmetical (civil epoch) conversions: the sample dates of Reingold and
// Dershowitz's tables, each also checked against the Julian-day form of the rule,
// day + ceil(29.5 (month - 1)) + 354 (year - 1) + floor((3 + 11 year) / 30) + 1948439.5 - 1.
TEST(TabularHijri, AgreesWithPublishedConversions) {
  struct Case {
    HijriDate hijri;
    year_month_day gregorian;
  };
  const Case cases[] = {
      {{1, 1, 1}, ymd(622, 7, 19)},        {{1128, 8, 4}, ymd(1716, 7, 24)},
      {{1182, 2, 3}, ymd(1768, 6, 19)},    {{1234, 10, 10}, ymd(1819, 8, 2)},
      {{1255, 1, 11}, ymd(1839, 3, 27)},   {{1321, 1, 21}, ymd(1903, 4, 19)},
      {{1348, 3, 19}, ymd(1929, 8, 25)},   {{1360, 9, 8}, ymd(1941, 9, 29)},
      {{1362, 4, 13}, ymd(1943, 4, 19)},   {{1362, 10, 7}, ymd(1943, 10, 7)},
      {{1412, 9, 13}, ymd(1992, 3, 17)},   {{1416, 10, 5}, ymd(1996, 2, 25)},
      {{1460, 10, 12}, ymd(2038, 11, 10)}, {{1518, 3, 5}, ymd(2094, 7, 18)},
      // By the Thursday epoch this is 7 July 2024; the civil epoch is a day later.
      {{1446, 1, 1}, ymd(2024, 7, 8)},     {{1447, 1, 10}, ymd(2025, 7, 6)},
      {{1446, 10, 1}, ymd(2025, 3, 31)},   {{1447, 10, 1}, ymd(2026, 3, 20)},
  };
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.hijri.year) + "/" + std::to_string(c.hijri.month) + "/" +
                             std::to_string(c.hijri.day);
    EXPECT_EQ(year_month_day(from_tabular_hijri(c.hijri)), c.gregorian) << name;
    EXPECT_EQ(tabular_hijri_from(sys_days(c.gregorian)), c.hijri) << name;
  }
}

TEST(TabularHijri, LeapYearsAndMonthLengths) {
  int leap_years = 0;
  for (int year = 1441; year <= 1470; ++year) leap_years += is_tabular_leap_year(year);
  EXPECT_EQ(leap_years, 11);
  for (int year : {1442, 1445, 1447, 1450, 1453, 1456, 1458, 1461, 1464, 1466, 1469})
    EXPECT_TRUE(is_tabular_leap_year(year)) << year;  // 2, 5, 7, ... 29 of the cycle
  for (int year : {1441, 1443, 1444, 1446, 1448, 1470}) EXPECT_FALSE(is_tabular_leap_year(year)) << year;
  EXPECT_EQ(tabular_month_length(1446, 1), 30);
  EXPECT_EQ(tabular_month_length(1446, 2), 29);
  EXPECT_EQ(tabular_month_length(1446, 12), 29);
  EXPECT_EQ(tabular_month_length(1447, 12), 30);
  EXPECT_EQ(tabular_month_length(1447, 13), 0);
}

// Every day of 1300-1600 AH (about 290 years, both sides of the cycle's turns) goes back to
// itself and follows the day before by the month lengths of the rule.
TEST(TabularHijri, DaysRoundTripAndFollowEachOther) {
  const sys_days first = from_tabular_hijri({1300, 1, 1}), last = from_tabular_hijri({1601, 1, 1});
  HijriDate expected{1300, 1, 1};
  for (sys_days day = first; day < last; day += std::chrono::days(1)) {
    const HijriDate got = tabular_hijri_from(day);
    ASSERT_EQ(got, expected) << "day " << day.time_since_epoch().count();
    ASSERT_EQ(from_tabular_hijri(got), day);
    if (++expected.day > tabular_month_length(expected.year, expected.month)) {
      expected.day = 1;
      if (++expected.month > 12) expected = {expected.year + 1, 1, 1};
    }
  }
  // Ten 30-year cycles of 10631 days, and 1600, a leap year (10 of its cycle).
  EXPECT_EQ((last - first).count(), 10 * 10631 + 355);
}

}  // namespace
}  // namespace orvexa::data

#include "app/data/solar_date.h"

#include <gtest/gtest.h>

#include "platform/messaging/clock.h"

namespace orvexa::data {
namespace {

using std::chrono::year_month_day;
using namespace std::chrono_literals;

year_month_day ymd(int y, unsigned m, unsigned d) {
  return {std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
}

TEST(SolarDate, ConvertsKnownDates) {
  struct Case {
    year_month_day gregorian;
    const char* solar;
  };
  const Case cases[] = {
      {ymd(2024, 1, 1), "1402/10/11"},  {ymd(2024, 2, 29), "1402/12/10"},
      {ymd(2024, 3, 1), "1402/12/11"},  {ymd(2024, 3, 20), "1403/01/01"},
      {ymd(2024, 9, 21), "1403/06/31"}, {ymd(2024, 9, 22), "1403/07/01"},
      {ymd(2024, 12, 31), "1403/10/11"}, {ymd(2025, 1, 1), "1403/10/12"},
      {ymd(2025, 3, 20), "1403/12/30"}, {ymd(2025, 3, 21), "1404/01/01"},
      {ymd(2023, 3, 20), "1401/12/29"},
      // Years where a plain Gregorian-leap rule goes wrong.
      {ymd(2029, 3, 20), "1408/01/01"}, {ymd(2029, 3, 19), "1407/12/29"},
      {ymd(2030, 3, 20), "1408/12/30"}, {ymd(2033, 3, 20), "1412/01/01"},
      {ymd(1979, 2, 11), "1357/11/22"}, {ymd(1921, 3, 21), "1300/01/01"},
  };
  for (const Case& c : cases) {
    auto solar = solar_from_gregorian(c.gregorian);
    ASSERT_TRUE(solar.has_value()) << c.solar;
    EXPECT_EQ(solar->text(), c.solar);
    auto back = gregorian_from_solar(*solar);
    ASSERT_TRUE(back.has_value()) << c.solar;
    EXPECT_EQ(*back, c.gregorian) << c.solar;
  }
}

TEST(SolarDate, NowruzFallsOnTheOfficialDay) {
  struct Case {
    int year;
    year_month_day day;
  };
  const Case cases[] = {{1399, ymd(2020, 3, 20)}, {1400, ymd(2021, 3, 21)},
                        {1402, ymd(2023, 3, 21)}, {1403, ymd(2024, 3, 20)},
                        {1404, ymd(2025, 3, 21)}, {1407, ymd(2028, 3, 20)},
                        {1408, ymd(2029, 3, 20)}, {1409, ymd(2030, 3, 21)},
                        {1412, ymd(2033, 3, 20)}, {1375, ymd(1996, 3, 20)}};
  for (const Case& c : cases) {
    auto start = nowruz(c.year);
    ASSERT_TRUE(start.has_value()) << c.year;
    EXPECT_EQ(year_month_day(*start), c.day) << c.year;
  }
}

TEST(SolarDate, LeapYears) {
  for (int year : {1370, 1375, 1379, 1383, 1387, 1391, 1395, 1399, 1403, 1408, 1412, 1416})
    EXPECT_TRUE(is_solar_leap_year(year)) << year;
  for (int year : {1398, 1400, 1401, 1402, 1404, 1405, 1406, 1407, 1409, 1411})
    EXPECT_FALSE(is_solar_leap_year(year)) << year;
  EXPECT_EQ(solar_month_length(1403, 12), 30);
  EXPECT_EQ(solar_month_length(1404, 12), 29);
  EXPECT_EQ(solar_month_length(1404, 6), 31);
  EXPECT_EQ(solar_month_length(1404, 7), 30);
  EXPECT_EQ(solar_month_length(1404, 13), 0);
}

// Every day of 1300-1500 converts, goes back to itself, and follows the day before.
TEST(SolarDate, WholeYearsRoundTripDayByDay) {
  for (int year = 1300; year <= 1500; ++year) {
    const auto start = nowruz(year), next = nowruz(year + 1);
    ASSERT_TRUE(start && next);
    const int length = static_cast<int>((*next - *start).count());
    ASSERT_EQ(length, is_solar_leap_year(year) ? 366 : 365) << year;
    SolarDate expected{year, 1, 1};
    for (auto day = *start; day < *next; day += std::chrono::days(1)) {
      auto solar = solar_from_gregorian(year_month_day(day));
      ASSERT_TRUE(solar.has_value());
      ASSERT_EQ(*solar, expected) << expected.text();
      ASSERT_EQ(gregorian_from_solar(*solar), year_month_day(day));
      if (++expected.day > solar_month_length(year, expected.month)) {
        expected.day = 1;
        ++expected.month;
      }
    }
    EXPECT_EQ(expected.month, 13) << year;
  }
}

TEST(SolarDate, RejectsDatesThatDoNotExist) {
  EXPECT_FALSE(gregorian_from_solar({1407, 12, 30}).has_value());
  EXPECT_FALSE(gregorian_from_solar({1404, 7, 31}).has_value());
  EXPECT_FALSE(gregorian_from_solar({1404, 0, 1}).has_value());
  EXPECT_FALSE(gregorian_from_solar({1404, 1, 0}).has_value());
  EXPECT_FALSE(solar_from_gregorian(ymd(2023, 2, 29)).has_value());
}

TEST(SolarDate, ParsesGregorianText) {
  struct Case {
    const char* text;
    bool ok;
  };
  const Case cases[] = {{"2024-03-20", true}, {"2024-02-29", true}, {"2023-02-29", false},
                        {"2024-13-01", false}, {"2024-3-20", false}, {"20240320", false},
                        {"2024-03-2x", false}, {"", false}, {"+024-03-20", false}};
  for (const Case& c : cases) EXPECT_EQ(parse_gregorian(c.text).has_value(), c.ok) << c.text;
  EXPECT_EQ(parse_gregorian("2029-03-20"), ymd(2029, 3, 20));
}

TEST(SolarDate, TodayFollowsTheLoopClock) {
  // Noon UTC keeps the local date the same in every time zone within twelve hours.
  const auto noon = std::chrono::sys_days(ymd(2029, 3, 19)) + 12h;
  messaging::ManualClock clock(noon);
  EXPECT_EQ(solar_today(clock).text(), "1407/12/29");
  clock.advance(24h);
  EXPECT_EQ(solar_today(clock).text(), "1408/01/01");
  EXPECT_EQ(solar_today(clock).compact(), 14080101);
  EXPECT_EQ(solar_today(clock).day_text(), "01");
}

}  // namespace
}  // namespace orvexa::data

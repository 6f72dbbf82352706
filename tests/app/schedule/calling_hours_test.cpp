#include "app/schedule/calling_hours.h"

#include <gtest/gtest.h>

#include "local_clock.h"

namespace orvexa::schedule {
namespace {

using testing::at;
using testing::text;
constexpr int kH = 3600;

class CallingHoursTest : public testing::TehranZone {};

TEST_F(CallingHoursTest, WeekdaysStartOnSaturday) {
  struct Case { std::chrono::year_month_day day; Weekday want; };
  const Case cases[] = {{std::chrono::year(2025) / 6 / 14, Weekday::Saturday},
                        {std::chrono::year(2025) / 6 / 13, Weekday::Friday},
                        {std::chrono::year(2025) / 6 / 11, Weekday::Wednesday},
                        {std::chrono::year(2024) / 3 / 20, Weekday::Wednesday},  // 1403/01/01
                        {std::chrono::year(2000) / 1 / 1, Weekday::Saturday},
                        {std::chrono::year(1970) / 1 / 1, Weekday::Thursday}};
  for (const auto& c : cases)
    EXPECT_EQ(weekday_of(std::chrono::sys_days(c.day)), c.want) << std::chrono::sys_days(c.day).time_since_epoch().count();
}

TEST_F(CallingHoursTest, OfficeDefaultsOpenAndNextOpen) {
  CallingHours hours = CallingHours::office_defaults();
  hours.set_holidays(testing::is_saturday_14_june);
  struct Case { const char* when; bool open; const char* next; };
  const Case cases[] = {
      {"2025-06-11 12:50", true, "2025-06-11 12:50"},     // Wednesday morning range
      {"2025-06-11 12:59:59", true, "2025-06-11 12:59:59"},
      {"2025-06-11 13:00", false, "2025-06-11 16:00"},    // a range's end is outside it
      {"2025-06-11 08:59:59", false, "2025-06-11 09:00"},
      {"2025-06-11 09:00", true, "2025-06-11 09:00"},
      {"2025-06-11 20:10", false, "2025-06-12 09:00"},    // Wednesday evening -> Thursday
      {"2025-06-12 11:59", true, "2025-06-12 11:59"},
      {"2025-06-12 12:30", false, "2025-06-15 09:00"},    // Friday closed, Saturday a holiday
      {"2025-06-13 10:00", false, "2025-06-15 09:00"},
      {"2025-06-14 10:00", false, "2025-06-15 09:00"},    // on the holiday itself
      {"2025-06-15 00:00", false, "2025-06-15 09:00"},
      {"2025-06-19 12:30", false, "2025-06-21 09:00"},    // the next Saturday is no holiday
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hours.open_at(at(c.when)), c.open) << c.when;
    EXPECT_EQ(text(hours.next_open(at(c.when))), c.next) << c.when;
  }
}

TEST_F(CallingHoursTest, RangesOnDayBoundaries) {
  CallingHours hours;
  hours.set_day(Weekday::Wednesday, {{22 * kH, 24 * kH}});
  hours.set_day(Weekday::Thursday, {{0, 2 * kH}});
  hours.set_day(Weekday::Saturday, {{0, 24 * kH}});
  struct Case { const char* when; bool open; const char* next; };
  const Case cases[] = {
      {"2025-06-11 21:59:59", false, "2025-06-11 22:00"},
      {"2025-06-11 23:59:59", true, "2025-06-11 23:59:59"},
      {"2025-06-12 00:00", true, "2025-06-12 00:00"},     // runs on past midnight
      {"2025-06-12 02:00", false, "2025-06-14 00:00"},
      {"2025-06-14 00:00", true, "2025-06-14 00:00"},     // the whole day
      {"2025-06-14 23:59:59", true, "2025-06-14 23:59:59"},
      {"2025-06-15 00:00", false, "2025-06-18 22:00"},    // a week on to Wednesday
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hours.open_at(at(c.when)), c.open) << c.when;
    EXPECT_EQ(text(hours.next_open(at(c.when))), c.next) << c.when;
  }
}

TEST_F(CallingHoursTest, RangesAreKeptInOrder) {
  CallingHours hours;
  hours.set_day(Weekday::Wednesday, {{16 * kH, 20 * kH}, {9 * kH, 13 * kH}});
  EXPECT_EQ(text(hours.next_open(at("2025-06-11 08:00"))), "2025-06-11 09:00");
  EXPECT_EQ(text(hours.next_calling_day(at("2025-06-10 08:00"))), "2025-06-11 09:00");
}

TEST_F(CallingHoursTest, SearchIsBoundedAndFindsARareOpenDay) {
  const auto start = at("2025-06-11 10:00");
  CallingHours never;
  EXPECT_FALSE(never.next_open(start));
  EXPECT_FALSE(never.next_calling_day(start));

  // Every day a holiday but one: found when it lies within the search, not past it.
  for (int ahead : {1, 300, CallingHours::kSearchDays, CallingHours::kSearchDays + 1}) {
    const auto open_day = data::solar_on(start + std::chrono::days(ahead));
    CallingHours hours;
    for (int d = 0; d < kWeekdays; ++d) hours.set_day(static_cast<Weekday>(d), {{9 * kH, 13 * kH}});
    hours.set_holidays([open_day](const data::SolarDate& d) { return !(d == open_day); });
    const auto want = ahead <= CallingHours::kSearchDays
                          ? std::optional(at("2025-06-11 09:00") + std::chrono::days(ahead))
                          : std::nullopt;
    EXPECT_EQ(text(hours.next_open(start)), text(want)) << ahead;
    EXPECT_EQ(text(hours.next_calling_day(start)), text(want)) << ahead;
  }
}

TEST_F(CallingHoursTest, NextCallingDayIsTheFirstRangeOfTheNextOpenDay) {
  CallingHours hours = CallingHours::office_defaults();
  hours.set_holidays(testing::is_saturday_14_june);
  struct Case { const char* when; const char* next; };
  const Case cases[] = {
      {"2025-06-11 08:00", "2025-06-12 09:00"},  // never the same day, even before it opens
      {"2025-06-11 23:59", "2025-06-12 09:00"},
      {"2025-06-12 10:00", "2025-06-15 09:00"},  // past Friday and the holiday
      {"2025-06-13 10:00", "2025-06-15 09:00"},
      {"2025-06-17 19:00", "2025-06-18 09:00"},
  };
  for (const auto& c : cases) EXPECT_EQ(text(hours.next_calling_day(at(c.when))), c.next) << c.when;
}

}  // namespace
}  // namespace orvexa::schedule

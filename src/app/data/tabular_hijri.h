// The tabular (arithmetical) Islamic calendar, used to estimate the lunar holidays ahead of
// their official announcement, which follows the sighting of the moon and can differ by a day.
//
//   auto ashura = from_tabular_hijri({1447, 1, 10});           // 2025-07-06, as a sys_days
//   HijriDate h = tabular_hijri_from(*nowruz(1404));            // 1446/09/21
//
// The rule: months alternate 30 and 29 days (Muharram 30), Dhu al-Hijja has 30 days in the 11
// leap years 2, 5, 7, 10, 13, 16, 18, 21, 24, 26 and 29 of every 30-year cycle, and 1 Muharram
// of year 1 is the civil epoch, Friday 16 July 622 of the Julian calendar (19 July 622,
// proleptic Gregorian). The other common epoch, the Thursday before, puts every date a day
// earlier (1 Muharram 1446: 8 July 2024 here, 7 July 2024 by the Thursday epoch).
#pragma once

#include <chrono>

namespace orvexa::data {

struct HijriDate {
  int year = 0;
  int month = 0;  // 1 Muharram .. 12 Dhu al-Hijja
  int day = 0;    // 1..30

  friend bool operator==(const HijriDate&, const HijriDate&) = default;
};

bool is_tabular_leap_year(int year);
int tabular_month_length(int year, int month);  // 0 for a month outside 1..12

// Days past the end of a month run on into the next ones, as in the arithmetic of the rule;
// callers that need a real date check the day against tabular_month_length first.
std::chrono::sys_days from_tabular_hijri(const HijriDate& date);
HijriDate tabular_hijri_from(std::chrono::sys_days day);

}  // namespace orvexa::data

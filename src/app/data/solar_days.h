// Day arithmetic on Solar Hijri dates: day numbers, adding days, the Iranian week.
//
//   auto due = add_days(SolarDate{1404, 12, 29}, 1);          // 1405/01/01 (1404 is common)
//   if (solar_weekday(*due) == SolarWeekday::Friday) ...      // the weekend of the Iranian week
//
// Every function answers nullopt for a date that does not exist or lies outside the years the
// calendar covers (kFirstSolarYear..kLastSolarYear), so a bad date never turns into a wrong one.
#pragma once

#include <optional>

#include "app/data/solar_date.h"

namespace orvexa::data {

// The Iranian week starts on Saturday and ends with the weekend, Friday.
enum class SolarWeekday { Saturday, Sunday, Monday, Tuesday, Wednesday, Thursday, Friday };

// A month of 1..12, a day its month has in that year, and a year the calendar covers.
bool is_valid_solar_date(const SolarDate& date);

// Days since 1970-01-01, the epoch of std::chrono::sys_days, so a day number converts to and
// from sys_days with no offset: sys_days(days(day_number(d))).
std::optional<int> day_number(const SolarDate& date);
std::optional<SolarDate> from_day_number(int number);

// `days` may be negative; crosses month and year ends by the calendar's own leap years.
std::optional<SolarDate> add_days(const SolarDate& date, int days);
// How many days `to` lies after `from` (negative when before).
std::optional<int> days_between(const SolarDate& from, const SolarDate& to);

std::optional<SolarWeekday> solar_weekday(const SolarDate& date);

}  // namespace orvexa::data

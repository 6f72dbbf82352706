// Solar Hijri calendar: conversions to and from the Gregorian calendar by the 33-year cycle with
// break years, which agrees with the official calendar far beyond the years 1300-1500.
//
//   SolarDate d = solar_from_gregorian(std::chrono::year(2024) / 3 / 20);   // 1403/01/01
//   std::string shown = d.text();                                            // "1403/01/01"
#pragma once

#include <chrono>
#include <compare>
#include <optional>
#include <string>
#include <string_view>

#include "platform/messaging/clock.h"

namespace orvexa::data {

struct SolarDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31

  // "YYYY/MM/DD": two-digit month and day, the year in its plain digits.
  std::string text() const;
  // Two-digit day and month, as the status bar shows them.
  std::string day_text() const;
  std::string month_text() const;
  // YYYYMMDD read as a number: the form the last-instalment column compares with.
  int compact() const { return year * 10000 + month * 100 + day; }

  friend bool operator==(const SolarDate&, const SolarDate&) = default;
  // Year, then month, then day: calendar order, so dates can key sorted containers.
  friend auto operator<=>(const SolarDate&, const SolarDate&) = default;
};

// Years the break table covers; conversions outside it give nullopt.
inline constexpr int kFirstSolarYear = -61;
inline constexpr int kLastSolarYear = 3177;

bool is_solar_leap_year(int year);
int solar_month_length(int year, int month);

// The Gregorian day of 1 Farvardin of `year`.
std::optional<std::chrono::sys_days> nowruz(int year);

std::optional<SolarDate> solar_from_gregorian(std::chrono::year_month_day date);
std::optional<std::chrono::year_month_day> gregorian_from_solar(const SolarDate& date);

// Parses "YYYY-MM-DD" (a real Gregorian date); nullopt otherwise.
std::optional<std::chrono::year_month_day> parse_gregorian(std::string_view text);

// Today's Solar date from the loop's calendar time, in the machine's local time zone.
SolarDate solar_today(const messaging::Clock& clock);
SolarDate solar_on(messaging::WallTime when);

}  // namespace orvexa::data

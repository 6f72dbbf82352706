// The text forms of orvexa.toml's schedule values: "09:00-13:00" ranges and "1h30m" delays.
//
//   std::optional<DayRange> r = parse_clock_range("16:00-20:00");
//   std::optional<std::chrono::seconds> d = parse_delay("10m");
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "app/schedule/calling_hours.h"

namespace orvexa::schedule {

// "HH:MM" or "H:MM", 00:00 to 23:59; 24:00 too when `end_of_day` (a range's end).
std::optional<int> parse_clock(std::string_view text, bool end_of_day);
std::string clock_text(int second);  // "09:00"

// Why a range is refused, or empty when it is good.
std::string range_problem(std::string_view text);
// "HH:MM-HH:MM" whose end is after its start; nullopt when range_problem has something to say.
std::optional<DayRange> parse_clock_range(std::string_view text);

// Whole numbers with a unit each, largest first: "90s", "10m", "2h", "1d", "1h30m"; at most
// kLongestDelay. Nothing else, no sign.
inline constexpr std::chrono::seconds kLongestDelay = std::chrono::days(30);
std::optional<std::chrono::seconds> parse_delay(std::string_view text);

}  // namespace orvexa::schedule

// What must hold for any bytes read as a holiday import file: every holiday read is a real date
// with a clean, trimmed name, every error names its line, and what is written back reads the same.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/data/holiday_text.h"
#include "app/data/solar_days.h"

namespace orvexa::fuzzing {

inline bool check_holiday_text(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const data::HolidayText read = data::parse_holiday_text(text);
  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  if (read.holidays.size() + read.errors.size() > lines) return false;
  for (const auto& error : read.errors)
    if (!error.starts_with("line ")) return false;
  for (const auto& holiday : read.holidays) {
    if (!data::is_valid_solar_date(holiday.date) || holiday.name.empty()) return false;
    if (holiday.name.front() == ' ' || holiday.name.back() == ' ') return false;
    if (holiday.name.find_first_of("\n\r\t") != std::string::npos) return false;
  }
  const data::HolidayText again = data::parse_holiday_text(data::holiday_text(read.holidays));
  return again.errors.empty() && again.holidays == read.holidays;
}

}  // namespace orvexa::fuzzing

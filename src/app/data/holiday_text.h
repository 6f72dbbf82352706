// The text form of the operator's holidays, for import files: one holiday a line,
// "YYYY/MM/DD name", UTF-8, the date in Persian, Arabic-Indic or ASCII digits; blank lines and
// lines starting with '#' are ignored.
//
//   auto read = parse_holiday_text("1404/05/12 تعطیلی اداره\n");
//   if (!read.errors.empty()) ...           // "line 3: 1404/12/30 does not exist (...)"
//   changes.added = read.holidays;
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/data/holidays.h"

namespace orvexa::data {

struct HolidayText {
  std::vector<HolidayAddition> holidays;  // the good lines, in file order
  std::vector<std::string> errors;        // one per bad line: "line N: what is wrong"
};

HolidayText parse_holiday_text(std::string_view text);

// One date as the operator types it, "YYYY/MM/DD" in any of those digits; without a date,
// `problem` says what is wrong ("1404/12/30 does not exist (1404 is not a leap year)").
struct DateReading {
  std::optional<SolarDate> date;
  std::string problem;
};
DateReading read_holiday_date(std::string_view text);

// The form parse_holiday_text reads, ASCII digits, one line per holiday.
std::string holiday_text(const std::vector<HolidayAddition>& holidays);

}  // namespace orvexa::data

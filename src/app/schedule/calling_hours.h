// When a campaign may call: time ranges for each day of the Iranian week (Saturday first), and
// no call at all on a holiday. Times are the machine's local wall time.
//
//   CallingHours hours = CallingHours::office_defaults();
//   hours.set_holidays([&](const data::SolarDate& d) { return calendar.is_holiday(d); });
//   std::optional<messaging::WallTime> at = hours.next_open(clock.wall_now());
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "app/data/solar_date.h"
#include "app/data/solar_days.h"
#include "platform/messaging/clock.h"

namespace orvexa::schedule {

// The Iranian week, Saturday first, as the calendar names it.
using Weekday = data::SolarWeekday;
inline constexpr int kWeekdays = 7;

// "saturday" .. "friday": the keys of orvexa.toml.
std::string_view weekday_key(Weekday day);
Weekday weekday_of(std::chrono::sys_days day);

// Seconds since local midnight, start included, end excluded; an end of 86400 (24:00) reaches
// the day's end, so 00:00-24:00 is the whole day.
struct DayRange {
  int start = 0;
  int end = 0;
  bool contains(int second) const { return start <= second && second < end; }
  friend bool operator==(const DayRange&, const DayRange&) = default;
};

using HolidayTest = std::function<bool(const data::SolarDate&)>;

class CallingHours {
 public:
  // How far ahead next_open looks: a year and a little, so even one open day a year is found.
  static constexpr int kSearchDays = 400;

  // Closed every day; set_day opens them.
  CallingHours() = default;
  // Saturday to Wednesday 09:00-13:00 and 16:00-20:00, Thursday 09:00-12:00, Friday closed.
  static CallingHours office_defaults();
  // Open every day all day: retries by outcome without calling hours.
  static CallingHours always_open();

  // Ranges of one weekday; they are kept sorted by start and must not overlap.
  void set_day(Weekday day, std::vector<DayRange> ranges);
  const std::vector<DayRange>& day(Weekday day) const { return days_[static_cast<int>(day)]; }
  // Without a test no day is a holiday.
  void set_holidays(HolidayTest is_holiday) { is_holiday_ = std::move(is_holiday); }

  bool open_at(messaging::WallTime when) const;
  // `when` itself when open; else the start of the next range, past closed days and holidays;
  // nullopt when nothing opens within kSearchDays.
  std::optional<messaging::WallTime> next_open(messaging::WallTime when) const;
  // The start of the first range of the first open day after the day of `when`.
  std::optional<messaging::WallTime> next_calling_day(messaging::WallTime when) const;

 private:
  const std::vector<DayRange>& ranges_on(std::chrono::sys_days day) const;
  bool closed_all_day(std::chrono::sys_days day) const;

  std::array<std::vector<DayRange>, kWeekdays> days_;
  HolidayTest is_holiday_;
};

}  // namespace orvexa::schedule

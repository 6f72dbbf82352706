// A reminder that starts a campaign by itself once a Solar day: the members of a group (or of
// every group) whose birthday, marriage, contract or instalment date falls `ahead` days after
// today, called from a time of day on.
//
//   DailySchedule s;  s.group = "G";  s.kind = data::DateKind::Instalments;  s.ahead = 3;
//   s.at_minute = *parse_time_of_day("08:30");
//   if (due_state(s, now) == DueState::Due) ... filter_for(s, *target_day(s, today)) ...
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/campaign/ports.h"
#include "app/data/date_filter.h"
#include "app/data/solar_date.h"
#include "platform/messaging/clock.h"

namespace orvexa::schedule {

struct DailySchedule {
  std::int64_t id = 0;
  std::optional<std::string> group;  // nullopt: every group
  data::DateKind kind = data::DateKind::Birthday;
  int ahead = 0;       // days from the run's day to the date the members have
  int at_minute = 0;   // local time of day, minutes after midnight
  std::optional<std::string> opening, main;  // nullopt: the program folder's messages
  int channels = 1;
  bool calling_hours = true;
  bool enabled = true;
  std::optional<data::SolarDate> last_run;  // the Solar day of the latest run
  std::optional<std::int64_t> last_campaign;
};

// The longest look ahead a schedule may have: a year of days.
inline constexpr int kMaxAhead = 366;

// "HH:MM" (one or two hour digits) as minutes after midnight; nullopt when not a time of day.
std::optional<int> parse_time_of_day(std::string_view text);
std::string time_of_day_text(int minute);

// The command-line name of a date kind ("birthday", ..., "instalments").
const char* date_kind_name(data::DateKind kind);

// The Solar day a wall time falls on, and the local wall time of a Solar day's minute.
std::optional<data::SolarDate> local_solar_day(messaging::WallTime when);
std::optional<messaging::WallTime> local_wall_of(const data::SolarDate& day, int minute);

// The day whose members a run on `today` calls: `ahead` days on, across month and year ends.
std::optional<data::SolarDate> target_day(const DailySchedule& s, const data::SolarDate& today);
// The campaign's date filter for members whose date is `target`.
campaign::DateFilterRequest filter_for(const DailySchedule& s, const data::SolarDate& target);

enum class DueState { Disabled, AlreadyRan, NotYet, Due };

// Whether run-due at `now` starts the schedule. A Solar day at or before the last run is never
// due again, so a clock set back runs nothing twice.
DueState due_state(const DailySchedule& s, messaging::WallTime now);

// When run-due next starts it: today's time when today is still open to it (possibly already
// past: it is due now), else the time on the first day after both today and the last run.
// nullopt when disabled.
std::optional<messaging::WallTime> next_run(const DailySchedule& s, messaging::WallTime now);

}  // namespace orvexa::schedule

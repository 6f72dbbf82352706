#include "app/schedule/daily_schedule.h"

#include <algorithm>
#include <cctype>

#include "app/data/solar_days.h"
#include "app/schedule/local_time.h"

namespace orvexa::schedule {

namespace {

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

bool all_digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// The first day after both `today` and the last run, which is the only kind of day still open.
std::optional<data::SolarDate> first_open_day(const DailySchedule& s, const data::SolarDate& today) {
  if (!s.last_run || *s.last_run < today) return today;
  return data::add_days(*s.last_run, 1);
}

}  // namespace

std::optional<int> parse_time_of_day(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto hours = text.substr(0, colon), minutes = text.substr(colon + 1);
  if (!all_digits(hours) || hours.size() > 2 || !all_digits(minutes) || minutes.size() != 2)
    return std::nullopt;
  const int h = std::stoi(std::string(hours)), m = std::stoi(std::string(minutes));
  if (h > 23 || m > 59) return std::nullopt;
  return h * 60 + m;
}

std::string time_of_day_text(int minute) { return two(minute / 60) + ":" + two(minute % 60); }

const char* date_kind_name(data::DateKind kind) {
  switch (kind) {
    case data::DateKind::Birthday: return "birthday";
    case data::DateKind::Marriage: return "marriage";
    case data::DateKind::Contract: return "contract";
    case data::DateKind::Instalments: break;
  }
  return "instalments";
}

std::optional<data::SolarDate> local_solar_day(messaging::WallTime when) {
  return data::from_day_number(static_cast<int>(local_moment(when).day.time_since_epoch().count()));
}

std::optional<messaging::WallTime> local_wall_of(const data::SolarDate& day, int minute) {
  const auto number = data::day_number(day);
  if (!number) return std::nullopt;
  return local_wall(std::chrono::sys_days(std::chrono::days(*number)), minute * 60);
}

std::optional<data::SolarDate> target_day(const DailySchedule& s, const data::SolarDate& today) {
  return data::add_days(today, s.ahead);
}

campaign::DateFilterRequest filter_for(const DailySchedule& s, const data::SolarDate& target) {
  return {date_kind_name(s.kind), target.month_text(), target.day_text()};
}

DueState due_state(const DailySchedule& s, messaging::WallTime now) {
  if (!s.enabled) return DueState::Disabled;
  const auto today = local_solar_day(now);
  if (!today || (s.last_run && *today <= *s.last_run)) return DueState::AlreadyRan;
  return local_moment(now).second >= s.at_minute * 60 ? DueState::Due : DueState::NotYet;
}

std::optional<messaging::WallTime> next_run(const DailySchedule& s, messaging::WallTime now) {
  if (!s.enabled) return std::nullopt;
  const auto today = local_solar_day(now);
  const auto day = today ? first_open_day(s, *today) : std::nullopt;
  return day ? local_wall_of(*day, s.at_minute) : std::nullopt;
}

}  // namespace orvexa::schedule

#include "app/schedule/calling_hours.h"

#include <algorithm>

#include "app/schedule/local_time.h"

namespace orvexa::schedule {

namespace {

constexpr int kHour = 3600;

}  // namespace

std::string_view weekday_key(Weekday day) {
  constexpr std::array<std::string_view, kWeekdays> kKeys{
      "saturday", "sunday", "monday", "tuesday", "wednesday", "thursday", "friday"};
  return kKeys[static_cast<int>(day)];
}

Weekday weekday_of(std::chrono::sys_days day) {
  // C's encoding counts from Sunday (0); the Iranian week starts the day before it.
  const unsigned c = std::chrono::weekday(day).c_encoding();
  return static_cast<Weekday>((c + 1) % kWeekdays);
}

CallingHours CallingHours::always_open() {
  CallingHours hours;
  for (int d = 0; d < kWeekdays; ++d) hours.set_day(static_cast<Weekday>(d), {{0, 24 * kHour}});
  return hours;
}

CallingHours CallingHours::office_defaults() {
  CallingHours hours;
  const std::vector<DayRange> full{{9 * kHour, 13 * kHour}, {16 * kHour, 20 * kHour}};
  for (Weekday d : {Weekday::Saturday, Weekday::Sunday, Weekday::Monday, Weekday::Tuesday,
                    Weekday::Wednesday})
    hours.set_day(d, full);
  hours.set_day(Weekday::Thursday, {{9 * kHour, 12 * kHour}});
  return hours;
}

void CallingHours::set_day(Weekday day, std::vector<DayRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const DayRange& a, const DayRange& b) { return a.start < b.start; });
  days_[static_cast<int>(day)] = std::move(ranges);
}

const std::vector<DayRange>& CallingHours::ranges_on(std::chrono::sys_days day) const {
  return this->day(weekday_of(day));
}

bool CallingHours::closed_all_day(std::chrono::sys_days day) const {
  if (ranges_on(day).empty()) return true;
  if (!is_holiday_) return false;
  const auto solar = data::solar_from_gregorian(std::chrono::year_month_day(day));
  return solar && is_holiday_(*solar);
}

bool CallingHours::open_at(messaging::WallTime when) const {
  const LocalMoment now = local_moment(when);
  if (closed_all_day(now.day)) return false;
  const auto& ranges = ranges_on(now.day);
  return std::any_of(ranges.begin(), ranges.end(),
                     [&](const DayRange& r) { return r.contains(now.second); });
}

std::optional<messaging::WallTime> CallingHours::next_open(messaging::WallTime when) const {
  if (open_at(when)) return when;
  const LocalMoment now = local_moment(when);
  for (int k = 0; k <= kSearchDays; ++k) {
    const std::chrono::sys_days day = now.day + std::chrono::days(k);
    if (closed_all_day(day)) continue;
    for (const DayRange& r : ranges_on(day))
      if (k > 0 || r.start > now.second) return local_wall(day, r.start);
  }
  return std::nullopt;
}

std::optional<messaging::WallTime> CallingHours::next_calling_day(messaging::WallTime when) const {
  const LocalMoment now = local_moment(when);
  for (int k = 1; k <= kSearchDays; ++k) {
    const std::chrono::sys_days day = now.day + std::chrono::days(k);
    if (!closed_all_day(day)) return local_wall(day, ranges_on(day).front().start);
  }
  return std::nullopt;
}

}  // namespace orvexa::schedule

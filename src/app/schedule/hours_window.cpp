#include "app/schedule/hours_window.h"

#include "app/schedule/local_time.h"

namespace orvexa::schedule {

namespace {
// A campaign's waits reach a year ahead at most (the hours' search), so the years around now do.
int solar_year_of(messaging::WallTime when) { return data::solar_on(when).year; }

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }
}  // namespace

HoursWindow::HoursWindow(CallingHours hours, messaging::WallTime now, const data::HolidayChanges& changes)
    : holidays_(solar_year_of(now) - 1, solar_year_of(now) + 2, changes), hours_(std::move(hours)) {
  hours_.set_holidays([this](const data::SolarDate& d) { return holidays_.is_holiday(d); });
}

std::optional<messaging::WallTime> HoursWindow::next_open(messaging::WallTime when) const {
  return hours_.next_open(when);
}

std::string HoursWindow::describe(messaging::WallTime when) const {
  const LocalMoment m = local_moment(when);
  return data::solar_on(when).text() + " " + two(m.second / 3600) + ":" + two(m.second / 60 % 60);
}

}  // namespace orvexa::schedule

#include "app/main/window_schedule.h"

namespace orvexa::app {

WindowSchedule::WindowSchedule(const toml::table& root, messaging::WallTime now,
                               const data::HolidayChanges& changes)
    : WindowSchedule(schedule::read_schedule_config(root), now, changes) {}

WindowSchedule::WindowSchedule(schedule::ScheduleConfigResult read, messaging::WallTime now,
                               const data::HolidayChanges& changes)
    : error_(std::move(read.error)),
      hours_(std::move(read.config.hours), now, changes),
      any_hour_window_(schedule::CallingHours::always_open(), now, changes),
      within_hours_(read.config.retry, hours_.hours()),
      any_hour_(std::move(read.config.retry), any_hour_window_.hours()) {}

}  // namespace orvexa::app

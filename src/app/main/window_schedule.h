// The window's calling hours and retries by outcome, read once at start as the headless runner
// reads them: [calling_hours] and [retry] of orvexa.toml with the operator's holidays in calls.db.
// A broken table leaves the defaults in use; error() says why, for one box.
//
//   WindowSchedule schedule(*rig.configuration().root, clock.wall_now(), changes);
//   MainWindowDeps deps{..., &schedule.hours(), &schedule.retries(), &schedule.retries_any_hour()};
#pragma once

#include <string>

#include "app/schedule/hours_window.h"
#include "app/schedule/retry_planner.h"
#include "app/schedule/schedule_config.h"

namespace orvexa::app {

class WindowSchedule {
 public:
  WindowSchedule(const toml::table& root, messaging::WallTime now, const data::HolidayChanges& changes);
  // The planners hold references into this object.
  WindowSchedule(const WindowSchedule&) = delete;
  WindowSchedule& operator=(const WindowSchedule&) = delete;

  // Empty when both tables were read; else the first problem, naming its table and key.
  const std::string& error() const { return error_; }
  const campaign::CallingWindow& hours() const { return hours_; }
  // Retries moved into the calling hours, for a campaign that keeps them.
  const campaign::RetryPlanner& retries() const { return within_hours_; }
  // Retries after their delay, past holidays alone, for a campaign that calls at any hour (as the
  // headless runner's: its window is then open all day but on holidays).
  const campaign::RetryPlanner& retries_any_hour() const { return any_hour_; }

 private:
  WindowSchedule(schedule::ScheduleConfigResult read, messaging::WallTime now, const data::HolidayChanges& changes);

  std::string error_;
  schedule::HoursWindow hours_;
  schedule::HoursWindow any_hour_window_;
  schedule::PolicyPlanner within_hours_;
  schedule::PolicyPlanner any_hour_;
};

}  // namespace orvexa::app

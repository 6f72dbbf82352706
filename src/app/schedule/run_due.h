// The daily reminders' one pass, as the timer starts it every few minutes: each enabled schedule
// whose time of day has come on a Solar day it has not run yet is marked as run on that day and
// then started. Marking comes first, so a pass that dies during the calls, or a second pass the
// same day, never calls anyone twice. One line per schedule says what the pass did with it.
//
//   RunDueSummary s = run_due(store, campaigns, clock.wall_now(), std::cout);
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/schedule/daily_schedule.h"

namespace orvexa::schedule {

// Where schedules are kept (calls.db in the program).
class ScheduleStore {
 public:
  virtual ~ScheduleStore() = default;
  virtual std::vector<DailySchedule> schedules() = 0;  // in id order
  // Marks the schedule as run on `day` unless it ran on that day or a later one, in one step, so
  // two passes at once cannot both take it. False when it had (or the store failed).
  virtual bool claim(std::int64_t id, const data::SolarDate& day) = 0;
  virtual bool set_campaign(std::int64_t id, std::int64_t campaign) = 0;
};

// What a schedule's run calls on: the groups and the campaigns of the program.
class ReminderCampaigns {
 public:
  virtual ~ReminderCampaigns() = default;
  virtual bool group_exists(const std::string& name) = 0;
  // Members the filter chooses in the schedule's group (or every group); nullopt on an error.
  virtual std::optional<long long> members_due(const DailySchedule& s,
                                               const campaign::DateFilterRequest& filter) = 0;
  // Runs the campaign to its end; `recorded` receives its id in calls.db. 0 when it ended well.
  virtual int run(const DailySchedule& s, const campaign::DateFilterRequest& filter,
                  const std::function<void(std::int64_t)>& recorded) = 0;
};

struct RunDueSummary {
  int taken = 0;   // schedules this pass recorded as run today
  int failed = 0;   // schedules whose run could not be recorded or whose campaign failed
};

RunDueSummary run_due(ScheduleStore& store, ReminderCampaigns& campaigns, messaging::WallTime now,
                      std::ostream& out);

// "group G" or "every group", as lines and listings name a schedule's members.
std::string members_text(const DailySchedule& s);

}  // namespace orvexa::schedule

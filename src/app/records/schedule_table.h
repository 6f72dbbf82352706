// The daily reminders' table in calls.db: each schedule with the Solar day of its latest run and
// the campaign that run made.
//
//   ScheduleTable table(*db);
//   auto id = table.add(schedule);
//   schedule::run_due(table, campaigns, now, out);
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/records/calls_database.h"
#include "app/schedule/run_due.h"

namespace orvexa::records {

class ScheduleTable final : public schedule::ScheduleStore {
 public:
  explicit ScheduleTable(CallsDatabase& db) : db_(db) {}

  // The new schedule's id (its own id is ignored); nullopt when it could not be stored.
  std::optional<std::int64_t> add(const schedule::DailySchedule& s);
  // False when there is no such schedule.
  bool remove(std::int64_t id);

  std::vector<schedule::DailySchedule> schedules() override;
  bool claim(std::int64_t id, const data::SolarDate& day) override;
  bool set_campaign(std::int64_t id, std::int64_t campaign) override;

 private:
  CallsDatabase& db_;
};

}  // namespace orvexa::records

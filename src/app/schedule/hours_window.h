// The campaign's calling window on the calling hours: when a call may start, and the moment as
// the status log shows it ("1405/09/22 09:00", the Solar date and the local time).
//
//   HoursWindow window(config.hours, clock.wall_now(), HolidayStore(db).changes());
//   CampaignDeps deps{..., &window};   // with PreCallSettings::calling_hours on
#pragma once

#include <string>

#include "app/campaign/campaign_engine.h"
#include "app/data/holidays.h"
#include "app/schedule/calling_hours.h"

namespace orvexa::schedule {

class HoursWindow final : public campaign::CallingWindow {
 public:
  // The hours with the official holidays of the years around `now` and the operator's changes
  // to them (calls.db's holiday_changes).
  HoursWindow(CallingHours hours, messaging::WallTime now, const data::HolidayChanges& changes = {});
  // The hours ask the calendar through this object.
  HoursWindow(const HoursWindow&) = delete;
  HoursWindow& operator=(const HoursWindow&) = delete;

  std::optional<messaging::WallTime> next_open(messaging::WallTime when) const override;
  std::string describe(messaging::WallTime when) const override;
  // With its holidays: what retries by outcome move their times into.
  const CallingHours& hours() const { return hours_; }

 private:
  data::HolidayCalendar holidays_;
  CallingHours hours_;
};

}  // namespace orvexa::schedule

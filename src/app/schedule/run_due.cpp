#include "app/schedule/run_due.h"

#include <ostream>

namespace orvexa::schedule {

namespace {

std::string head(const DailySchedule& s) { return "schedule " + std::to_string(s.id) + ": "; }

// A schedule past its time on a day still open to it: record the day, then call.
bool run_one(ScheduleStore& store, ReminderCampaigns& campaigns, const DailySchedule& s,
             const data::SolarDate& today, std::ostream& out) {
  const auto target = target_day(s, today);
  if (!store.claim(s.id, today)) {
    out << head(s) << "already ran on " << today.text() << " (another pass took it)\n";
    return true;
  }
  if (s.group && !campaigns.group_exists(*s.group)) {
    out << head(s) << "group " << *s.group << " no longer exists; " << today.text()
        << " recorded, nobody called\n";
    return true;
  }
  if (!target) {
    out << head(s) << today.text() << " + " << s.ahead << " days is past the calendar; nobody called\n";
    return false;
  }
  const auto filter = filter_for(s, *target);
  const std::string what = std::string(date_kind_name(s.kind)) + " " + target->text() + ", " + members_text(s);
  const auto due = campaigns.members_due(s, filter);
  if (!due) {
    out << head(s) << what << ": the members could not be read; nobody called\n";
    return false;
  }
  if (*due == 0) {
    out << head(s) << what << ": nobody due\n";
    return true;
  }
  std::optional<std::int64_t> id;
  const int code = campaigns.run(s, filter, [&](std::int64_t campaign) {
    if (!id) store.set_campaign(s.id, campaign);
    id = campaign;
  });
  out << head(s) << what << ": " << *due << (*due == 1 ? " member" : " members") << ", campaign "
      << (id ? std::to_string(*id) : std::string("unrecorded")) << (code == 0 ? " ended" : " failed") << '\n';
  return code == 0;
}

}  // namespace

std::string members_text(const DailySchedule& s) { return s.group ? "group " + *s.group : "every group"; }

RunDueSummary run_due(ScheduleStore& store, ReminderCampaigns& campaigns, messaging::WallTime now,
                      std::ostream& out) {
  RunDueSummary summary;
  const auto today = local_solar_day(now);
  for (const DailySchedule& s : store.schedules()) {
    switch (due_state(s, now)) {
      case DueState::Disabled:
        out << head(s) << "disabled\n";
        continue;
      case DueState::AlreadyRan:
        out << head(s) << "already ran on " << (s.last_run ? s.last_run->text() : "?") << '\n';
        continue;
      case DueState::NotYet:
        out << head(s) << "due at " << time_of_day_text(s.at_minute) << '\n';
        continue;
      case DueState::Due:
        break;
    }
    ++summary.taken;
    if (!run_one(store, campaigns, s, *today, out)) ++summary.failed;
  }
  return summary;
}

}  // namespace orvexa::schedule

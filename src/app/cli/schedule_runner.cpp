#include "app/cli/schedule_runner.h"


#include <ostream>

#include "app/cli/headless_runner.h"
#include "app/records/schedule_table.h"

namespace orvexa::cli {

HeadlessReminders::HeadlessReminders(std::filesystem::path folder, ReminderRunOptions options,
                                     messaging::WallTime now, std::ostream& err, host::Shell& shell)
    : folder_(std::move(folder)), options_(std::move(options)), now_(now), err_(err), shell_(shell),
      contacts_(folder_) {}

bool HeadlessReminders::open_contacts() {
  if (contacts_.is_open()) return true;
  if (auto opened = contacts_.open(); !opened.ok) {
    err_ << opened.message << '\n';
    return false;
  }
  return true;
}

bool HeadlessReminders::group_exists(const std::string& name) {
  return open_contacts() && contacts_.find_group(name).has_value();
}

std::optional<long long> HeadlessReminders::members_due(const schedule::DailySchedule& s,
                                                        const campaign::DateFilterRequest& filter) {
  if (!open_contacts()) return std::nullopt;
  // The engine's own preparation of the filter, with the same today, so the count is its count.
  data::FilterFields fields{filter.day, filter.month};
  const auto today = schedule::local_solar_day(now_);
  const auto prepared = data::prepare_filter(true, fields, s.kind, today.value_or(data::SolarDate{}));
  if (!prepared.filter) return std::nullopt;
  std::vector<data::Group> groups;
  if (!s.group) groups = contacts_.groups();
  else if (auto g = contacts_.find_group(*s.group)) groups.push_back(*g);
  long long total = 0;
  for (const auto& g : groups) {
    const auto n = contacts_.count_members(g, &*prepared.filter);
    if (!n) return std::nullopt;
    total += *n;
  }
  return total;
}

int HeadlessReminders::run(const schedule::DailySchedule& s, const campaign::DateFilterRequest& filter,
                           const std::function<void(std::int64_t)>& recorded) {
  campaign::HeadlessOptions o;
  o.choice = s.group ? campaign::CampaignChoice::OneGroup : campaign::CampaignChoice::AllGroups;
  o.group = s.group.value_or("");
  o.opening = s.opening;
  o.main = s.main;
  o.filter = filter;
  o.settings.channels = s.channels;
  // The schedule's one switch covers both: its hours, and retries by outcome within them.
  o.settings.calling_hours = o.settings.retry_policy = s.calling_hours;
  o.fast = options_.fast;
  o.now = options_.now;
  // The run names its campaign before the first call, so a crash leaves the link behind.
  o.on_recorded = recorded;
  // The status log is kept in "Last Report.txt" and calls.db; the pass prints one line.
  std::ostream discard(nullptr);
  return campaign::run_headless_campaign(folder_, o, discard, err_, shell_);
}

}  // namespace orvexa::cli

// orvexa.toml's [calling_hours] and [retry] as the program reads them: any text is read or
// refused with a message naming the table and key; what is read keeps the hours' own rules.
#pragma once

#include <string_view>
#include <toml++/toml.h>

#include "app/schedule/schedule_config.h"
#include "app/schedule/schedule_text.h"

namespace orvexa::fuzz {

inline bool hours_keep_their_rules(const schedule::CallingHours& hours) {
  for (int d = 0; d < schedule::kWeekdays; ++d) {
    int previous_end = 0;
    for (const auto& r : hours.day(static_cast<schedule::Weekday>(d))) {
      if (r.start < previous_end || r.end <= r.start || r.end > 86400) return false;
      previous_end = r.end;
    }
  }
  // Whatever next_open finds is open (a fixed instant: fuzzing stays repeatable).
  const messaging::WallTime when{std::chrono::seconds(1'750'000'000)};
  const auto next = hours.next_open(when);
  return !next || (*next >= when && hours.open_at(*next));
}

// False when an invariant breaks.
inline bool read_schedule_text(std::string_view text) {
  toml::table root;
  try {
    root = toml::parse(text, std::string_view("/fuzz/orvexa.toml"));
  } catch (const toml::parse_error&) {
    return true;
  }
  const schedule::ScheduleConfigResult r = schedule::read_schedule_config(root);
  if (!r.error.empty() && !r.error.starts_with("[calling_hours]") && !r.error.starts_with("[retry]"))
    return false;
  for (campaign::Outcome o : campaign::kAllOutcomes) {
    const schedule::RetryRule& rule = r.config.retry.rule(o);
    if (rule.more < 0 || rule.more > 100 || rule.after < std::chrono::seconds(0) ||
        rule.after > schedule::kLongestDelay)
      return false;
  }
  return hours_keep_their_rules(r.config.hours);
}

}  // namespace orvexa::fuzz

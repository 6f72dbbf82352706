// The [calling_hours] and [retry] tables of orvexa.toml; an absent table or key keeps its default.
//
//   [calling_hours]
//   saturday = ["09:00-13:00", "16:00-20:00"]    # sunday .. thursday alike
//   friday = []                                  # closed
//   [retry]
//   busy = { more = 2, after = "10m" }           # up to 3 calls when every one is busy
//   unreachable = { more = 1, after = "next-day" }
//   hung-up = { more = 0 }                       # never again
//
//   ScheduleConfigResult r = read_schedule_config(*config.root);
//   if (!r.error.empty()) err << file_name << ": " << r.error;
#pragma once

#include <string>

#include "app/schedule/calling_hours.h"
#include "app/schedule/retry_policy.h"

namespace toml {
inline namespace v3 {
class table;
}
}  // namespace toml

namespace orvexa::schedule {

struct ScheduleConfig {
  // Holidays are not in the file: the caller gives the hours its holiday calendar.
  CallingHours hours = CallingHours::office_defaults();
  RetryPolicy retry = RetryPolicy::defaults();
};

struct ScheduleConfigResult {
  ScheduleConfig config;  // the defaults when `error` is set: nothing of a broken table is used
  std::string error;      // the first problem, naming its table and key; empty when all is good
};

// `root` is the whole parsed file; its other tables are not looked at.
ScheduleConfigResult read_schedule_config(const toml::table& root);

}  // namespace orvexa::schedule

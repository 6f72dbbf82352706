// The daily reminders' campaigns as `orvexa schedule run-due` makes them: the contact database
// of the program folder says who is due, and each campaign runs headless to its end, its status
// log in "Last Report.txt" and calls.db rather than on the terminal.
//
//   HeadlessReminders campaigns(folder, {.fast = true, .now = "2026-03-01 08:00"}, now, err, shell);
//   schedule::run_due(table, campaigns, now, std::cout);
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "app/data/contact_store.h"
#include "app/schedule/run_due.h"
#include "platform/host/host_services.h"

namespace orvexa::cli {

struct ReminderRunOptions {
  bool fast = false;               // the campaigns run on the manual clock
  std::optional<std::string> now;  // with fast: the clock's start, "YYYY-MM-DD HH:MM"
};

class HeadlessReminders final : public schedule::ReminderCampaigns {
 public:
  // `now` is the pass's time: the filter's today (the last-instalment rule compares with it).
  HeadlessReminders(std::filesystem::path folder, ReminderRunOptions options, messaging::WallTime now,
                    std::ostream& err, host::Shell& shell);

  bool group_exists(const std::string& name) override;
  std::optional<long long> members_due(const schedule::DailySchedule& s,
                                       const campaign::DateFilterRequest& filter) override;
  int run(const schedule::DailySchedule& s, const campaign::DateFilterRequest& filter,
          const std::function<void(std::int64_t)>& recorded) override;

 private:
  bool open_contacts();

  std::filesystem::path folder_;
  ReminderRunOptions options_;
  messaging::WallTime now_;
  std::ostream& err_;
  host::Shell& shell_;
  data::ContactStore contacts_;
};

}  // namespace orvexa::cli

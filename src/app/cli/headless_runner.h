// A campaign without windows: the same engine and call flow as the main window, on the
// components, the simulated lines of orvexa.toml and the contact database of the program folder.
// Each status log line goes to `out` as it is written; message boxes go to `err`.
//
//   HeadlessOptions o;  o.choice = CampaignChoice::OneGroup;  o.group = "Demo";  o.fast = true;
//   int code = run_headless_campaign(folder, o, std::cout, std::cerr);
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/campaign/call_flow.h"
#include "app/campaign/call_record.h"
#include "app/campaign/campaign_engine.h"
#include "platform/host/host_services.h"

namespace orvexa::campaign {

struct HeadlessOptions {
  CampaignChoice choice = CampaignChoice::OneNumber;
  std::string number;
  std::string group;
  std::optional<std::string> opening, main;  // default: the program folder's two files
  std::optional<DateFilterRequest> filter;
  PreCallSettings settings;
  int line = 0;
  std::vector<int> lines;  // the lines channels are drawn from, in order; empty: `line` alone
  bool fast = false;                  // the manual clock: waits take no real time
  std::optional<std::string> now;     // "YYYY-MM-DD HH:MM", local time, for the clock's start
  std::optional<std::string> log_file;  // a copy of the status log besides "Last Report.txt"
  bool record = true;                   // keep the campaign in calls.db
  bool resume = false;                  // continue an unfinished campaign instead of starting one
  std::optional<std::int64_t> resume_id;  // which one; default the newest unfinished
  // Told the campaign's number in calls.db once it is recorded, before its first call.
  std::function<void(std::int64_t)> on_recorded;
  // Benchmarks: the microseconds between two frames a sip call sent, on the SIP thread.
  std::function<void(std::int64_t)> sip_send_spacing;
};

// 0 at the end of the operation, 1 when the start was refused, the set-up failed, the records
// could not be kept, or no call of the campaign could be placed at all.
// `shell` receives the power-off when the shutdown option is set.
int run_headless_campaign(const std::filesystem::path& program_folder, const HeadlessOptions& options,
                          std::ostream& out, std::ostream& err, host::Shell& shell);

// "attempts 7, answered 4, key 1 2, key 2 1, busy 1, unanswered 2, failed 1"
std::string summary_line(const CallTally& tally);

// "campaign 3: heard-main 2, busy 1": the recorded outcomes of the campaign's attempts.
std::string outcome_line(std::int64_t campaign, const std::map<Outcome, int>& counts);

// What is wrong with --lines: a line that does not exist or one named twice; empty when nothing.
std::string chosen_lines_problem(const std::vector<int>& lines, int line_count);

// Local "YYYY-MM-DD HH:MM"; nullopt when it is not a real date and time.
std::optional<messaging::WallTime> parse_local_time(const std::string& text);

}  // namespace orvexa::campaign

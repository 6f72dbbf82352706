// `orvexa run`: a campaign without windows. The same engine as the main window; the status log
// goes to standard output as it is written, message boxes to standard error.
#include <CLI/CLI.hpp>
#include <optional>
#include <vector>

#include "app/cli/headless_runner.h"
#include "app/cli/cli.h"

namespace orvexa::cli {

namespace {

struct RunArguments {
  std::string number, group;
  bool all_groups = false;
  std::string opening, main_message;
  std::string filter, date;
  bool retry = false, no_retry = false;
  int wait = 4;
  int line = 0;
  std::vector<int> lines;
  int channels = 1;
  double pace = 5;
  bool fast = false, shutdown = false, key2_dnc = false, calling_hours = false, retry_policy = false;
  std::string now, log;
  bool no_record = false;
  std::optional<std::string> resume;  // the campaign's id, or empty for the newest unfinished one
};

// "MM/DD" into the filter's month and day fields; the day and month checks are the filter's.
bool split_date(const std::string& text, campaign::DateFilterRequest& request) {
  const auto slash = text.find('/');
  if (slash == std::string::npos || text.find('/', slash + 1) != std::string::npos) return false;
  request.month = text.substr(0, slash);
  request.day = text.substr(slash + 1);
  return true;
}

int run(const RunArguments& a, CliContext& context) {
  campaign::HeadlessOptions options;
  const bool resuming = a.resume.has_value();
  if (resuming && (!a.number.empty() || !a.group.empty() || a.all_groups || !a.filter.empty())) {
    context.streams.err << "orvexa run: --resume continues a recorded campaign; it takes no new choice\n";
    return kExitBadArguments;
  }
  if (!resuming && a.number.empty() && a.group.empty() && !a.all_groups) {
    context.streams.err << "orvexa run: choose --number N, --group NAME, --all-groups or --resume [ID]\n";
    return kExitBadArguments;
  }
  if (!a.number.empty()) {
    options.choice = campaign::CampaignChoice::OneNumber;
    options.number = a.number;
  } else if (!a.group.empty()) {
    options.choice = campaign::CampaignChoice::OneGroup;
    options.group = a.group;
  } else {
    options.choice = campaign::CampaignChoice::AllGroups;
  }
  if (!a.opening.empty()) options.opening = a.opening;
  if (!a.main_message.empty()) options.main = a.main_message;
  if (!a.filter.empty() || !a.date.empty()) {
    campaign::DateFilterRequest request{a.filter, "", ""};
    if (a.filter.empty() || a.date.empty() || !split_date(a.date, request)) {
      context.streams.err << "orvexa run: --filter and --date MM/DD go together\n";
      return kExitBadArguments;
    }
    options.filter = request;
  }
  options.settings.retry_once = !a.no_retry;
  options.settings.waiting_length = a.wait;
  options.settings.shutdown = a.shutdown;
  options.line = a.line;
  options.lines = a.lines;
  options.settings.channels = a.channels;
  options.settings.pace = a.pace;
  options.settings.key2_dnc = a.key2_dnc;
  options.settings.calling_hours = a.calling_hours;
  options.settings.retry_policy = a.retry_policy;
  options.fast = a.fast;
  if (!a.now.empty()) options.now = a.now;
  if (!a.log.empty()) options.log_file = a.log;
  options.record = !a.no_record;
  options.resume = resuming;
  if (resuming && !a.resume->empty()) {
    try {
      options.resume_id = std::stoll(*a.resume);
    } catch (const std::exception&) {
      context.streams.err << "orvexa run: --resume takes a campaign number\n";
      return kExitBadArguments;
    }
  }
  host::SystemShell shell;
  return campaign::run_headless_campaign(context.program_folder, options, context.streams.out,
                                         context.streams.err, shell);
}

}  // namespace

void register_run_command(CLI::App& app, CommandSet& commands) {
  auto a = std::make_shared<RunArguments>();
  CLI::App* cmd = commands.add(app, "run", "Run a campaign without windows, printing the status log",
                               [a](CliContext& context) { return run(*a, context); });
  auto* number = cmd->add_option("--number", a->number, "Call one telephone number");
  auto* group = cmd->add_option("--group", a->group, "Call every member of one group");
  auto* all = cmd->add_flag("--all-groups", a->all_groups, "Call every member of every group");
  number->excludes(group)->excludes(all);
  group->excludes(all);
  cmd->add_option("--opening", a->opening, "Opening message (default: First.wav of the program folder)")
      ->check(CLI::ExistingFile);
  cmd->add_option("--main", a->main_message, "Main message (default: Orginal.wav of the program folder)")
      ->check(CLI::ExistingFile);
  cmd->add_option("--filter", a->filter, "Limit to members whose date of this kind matches --date")
      ->check(CLI::IsMember({"birthday", "marriage", "contract", "instalments"}));
  cmd->add_option("--date", a->date, "The filter's Solar month and day, MM/DD");
  auto* retry = cmd->add_flag("--retry", a->retry, "Call a busy or unanswered number once more (default)");
  auto* no_retry = cmd->add_flag("--no-retry", a->no_retry, "Do not call a number twice");
  retry->excludes(no_retry);
  cmd->add_option("--wait", a->wait, "Plays of the opening message before a call ends unanswered")
      ->check(CLI::Range(1, 7));
  auto* line = cmd->add_option("--line", a->line, "Line device to use (default 0)")->check(CLI::NonNegativeNumber);
  cmd->add_option("--lines", a->lines, "Line devices to draw channels from, in order (e.g. 0,2)")
      ->delimiter(',')
      ->check(CLI::NonNegativeNumber)
      ->excludes(line);
  cmd->add_option("--channels", a->channels, "Calls at once (default 1)")
      ->check(CLI::Range(1, campaign::PreCallSettings::kMaximumChannels));
  cmd->add_option("--pace", a->pace, "Call set-ups per second at most, over every channel (default 5; 0: no limit)")
      ->check(CLI::Range(0.0, 1000.0));
  cmd->add_flag("--calling-hours", a->calling_hours,
                "Start calls only within the calling hours of orvexa.toml, never on holidays");
  auto* policy = cmd->add_flag("--retry-policy", a->retry_policy,
                               "Retry by outcome, as the [retry] table of orvexa.toml says, instead of once at once");
  policy->excludes(retry)->excludes(no_retry);
  cmd->add_flag("--key2-dnc", a->key2_dnc, "Key 2 puts the number on the do-not-call list");
  cmd->add_flag("--fast", a->fast, "Run on a manual clock: the waits take no real time");
  cmd->add_option("--now", a->now, "With --fast: the clock's start, \"YYYY-MM-DD HH:MM\" local time");
  cmd->add_flag("--shutdown", a->shutdown, "Power the computer off when the operation ends");
  cmd->add_option("--log", a->log, "Also write the status log to this file (code page 1256)");
  cmd->add_flag("--no-record", a->no_record, "Run without keeping the campaign in calls.db");
  auto* resume = cmd->add_option_function<std::string>(
      "--resume", [a](const std::string& id) { a->resume = id; },
      "Continue campaign ID, or the newest unfinished one (see `orvexa campaigns`)");
  resume->expected(0, 1)->default_str("")->check(CLI::PositiveNumber | CLI::IsMember({""}));
  resume->excludes(number)->excludes(group)->excludes(all);
}

}  // namespace orvexa::cli

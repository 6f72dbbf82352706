// `orvexa schedule add|list|remove|run-due|install`: reminders that start a campaign by themselves
// once a Solar day, kept in calls.db; a systemd user timer runs `run-due` every five minutes.
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>

#include "app/cli/cli.h"
#include "app/cli/headless_runner.h"
#include "app/cli/reminder_units.h"
#include "app/cli/schedule_runner.h"
#include "app/records/schedule_table.h"
#include "app/schedule/local_time.h"

namespace orvexa::cli {

namespace {

struct ScheduleArguments {
  std::string group, kind, at, opening, main_message, now;
  bool all_groups = false, no_calling_hours = false, fast = false;
  int ahead = 0, channels = 1;
  std::int64_t id = 0;
};

// Runs `use` with the schedules of the program folder's calls.db (created when missing).
int with_table(CliContext& c, const std::function<int(records::ScheduleTable&)>& use) {
  auto opened = records::CallsDatabase::open(c.program_folder / records::kCallsFile);
  if (!opened) {
    c.streams.err << opened.error() << '\n';
    return kExitFailed;
  }
  records::ScheduleTable table(*opened.db);
  return use(table);
}

// "1405/01/03 08:00": a wall time as the operator reads it.
std::string solar_time_text(messaging::WallTime t) {
  const auto day = schedule::local_solar_day(t);
  return (day ? day->text() : std::string("?")) + " " +
         schedule::time_of_day_text(schedule::local_moment(t).second / 60);
}

std::string describe(const schedule::DailySchedule& s, messaging::WallTime now) {
  std::string line = std::to_string(s.id) + "  " + schedule::members_text(s) + ", " +
                     schedule::date_kind_name(s.kind) + " in " + std::to_string(s.ahead) + " days, at " +
                     schedule::time_of_day_text(s.at_minute);
  if (s.channels != 1) line += ", " + std::to_string(s.channels) + " channels";
  if (!s.calling_hours) line += ", any hour";
  if (s.opening) line += ", opening " + *s.opening;
  if (s.main) line += ", main " + *s.main;
  line += "  last: " + (s.last_run ? s.last_run->text() : std::string("never"));
  if (s.last_campaign) line += " (campaign " + std::to_string(*s.last_campaign) + ")";
  const auto next = schedule::next_run(s, now);
  line += "  next: " + (next ? solar_time_text(*next) : std::string("disabled"));
  if (next && *next <= now) line += " (due now)";
  return line;
}

int add_schedule(CliContext& c, const ScheduleArguments& a) {
  const auto at = schedule::parse_time_of_day(a.at);
  if (!at) {
    c.streams.err << "orvexa schedule add: --at takes a time of day, HH:MM\n";
    return kExitBadArguments;
  }
  schedule::DailySchedule s;
  if (!a.all_groups) s.group = a.group;
  s.kind = data::date_kind_from_name(a.kind).value_or(data::DateKind::Birthday);
  s.ahead = a.ahead;
  s.at_minute = *at;
  if (!a.opening.empty()) s.opening = std::filesystem::absolute(a.opening).string();
  if (!a.main_message.empty()) s.main = std::filesystem::absolute(a.main_message).string();
  s.channels = a.channels;
  s.calling_hours = !a.no_calling_hours;
  if (s.group) {
    data::ContactStore contacts(c.program_folder);
    if (auto opened = contacts.open(); !opened.ok || !contacts.find_group(*s.group)) {
      c.streams.err << "orvexa schedule add: " << (opened.ok ? "there is no group " + *s.group : opened.message) << '\n';
      return kExitFailed;
    }
  }
  return with_table(c, [&](records::ScheduleTable& table) {
    const auto id = table.add(s);
    if (!id) {
      c.streams.err << "orvexa schedule add: the schedule could not be stored\n";
      return kExitFailed;
    }
    s.id = *id;
    c.streams.out << "schedule " << describe(s, std::chrono::system_clock::now()) << '\n';
    return kExitDone;
  });
}

int list_schedules(CliContext& c) {
  return with_table(c, [&](records::ScheduleTable& table) {
    const auto all = table.schedules();
    if (all.empty()) c.streams.out << "no schedules\n";
    const auto now = std::chrono::system_clock::now();
    for (const auto& s : all) c.streams.out << describe(s, now) << '\n';
    return kExitDone;
  });
}

int remove_schedule(CliContext& c, const ScheduleArguments& a) {
  return with_table(c, [&](records::ScheduleTable& table) {
    if (!table.remove(a.id)) {
      c.streams.err << "orvexa schedule remove: there is no schedule " << a.id << '\n';
      return kExitFailed;
    }
    c.streams.out << "schedule " << a.id << " removed\n";
    return kExitDone;
  });
}

int run_due_now(CliContext& c, const ScheduleArguments& a) {
  messaging::WallTime now = std::chrono::system_clock::now();
  ReminderRunOptions options{a.fast, std::nullopt};
  if (!a.now.empty()) {
    const auto parsed = campaign::parse_local_time(a.now);
    if (!parsed) {
      c.streams.err << "orvexa schedule run-due: --now: expected \"YYYY-MM-DD HH:MM\"\n";
      return kExitBadArguments;
    }
    now = *parsed;
    options.now = a.now;
  }
  return with_table(c, [&](records::ScheduleTable& table) {
    host::SystemShell shell;
    HeadlessReminders campaigns(c.program_folder, options, now, c.streams.err, shell);
    const auto summary = schedule::run_due(table, campaigns, now, c.streams.out);
    return summary.failed == 0 ? kExitDone : kExitFailed;
  });
}

int install_units(CliContext& c) {
  std::error_code ec;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    c.streams.err << "orvexa schedule install: this program's path is unknown: " << ec.message() << '\n';
    return kExitFailed;
  }
  const auto written = write_reminder_units(user_unit_folder(), program, std::filesystem::absolute(c.program_folder));
  if (!written.error.empty()) {
    c.streams.err << "orvexa schedule install: " << written.error << '\n';
    return kExitFailed;
  }
  c.streams.out << "wrote " << written.service.string() << "\nwrote " << written.timer.string()
                << "\nto start them: systemctl --user enable --now " << kReminderUnit << ".timer\n";
  return kExitDone;
}

void declare_add(CLI::App& add, ScheduleArguments& a) {
  auto* group = add.add_option("--group", a.group, "Call members of this group");
  auto* all = add.add_flag("--all-groups", a.all_groups, "Call members of every group");
  group->excludes(all);
  add.add_option("--kind", a.kind, "Which date of the members")
      ->check(CLI::IsMember({"birthday", "marriage", "contract", "instalments"}))
      ->required();
  add.add_option("--ahead", a.ahead, "Days from the run's day to the members' date (0: today)")
      ->check(CLI::Range(0, schedule::kMaxAhead));
  add.add_option("--at", a.at, "Local time of day from which it runs, HH:MM")->required();
  add.add_option("--opening", a.opening, "Opening message (default: First.wav of the program folder)")
      ->check(CLI::ExistingFile);
  add.add_option("--main", a.main_message, "Main message (default: Orginal.wav of the program folder)")
      ->check(CLI::ExistingFile);
  add.add_option("--channels", a.channels, "Calls at once (default 1)")
      ->check(CLI::Range(1, campaign::PreCallSettings::kMaximumChannels));
  add.add_flag("--no-calling-hours", a.no_calling_hours, "Call at any hour, holidays too");
}

}  // namespace

void register_schedule_command(CLI::App& app, CommandSet& commands) {
  CLI::App* cmd = app.add_subcommand("schedule", "Reminders that start a campaign by themselves every day");
  cmd->require_subcommand(1);
  auto a = std::make_shared<ScheduleArguments>();
  CLI::App* add = commands.add(*cmd, "add", "Add a daily reminder", [a](CliContext& c) {
    if (a->group.empty() && !a->all_groups) {
      c.streams.err << "orvexa schedule add: choose --group NAME or --all-groups\n";
      return kExitBadArguments;
    }
    return add_schedule(c, *a);
  });
  declare_add(*add, *a);
  commands.add(*cmd, "list", "Each reminder with its last and next run", [](CliContext& c) { return list_schedules(c); });
  CLI::App* remove = commands.add(*cmd, "remove", "Remove a reminder",
                                  [a](CliContext& c) { return remove_schedule(c, *a); });
  remove->add_option("id", a->id, "The reminder's number (see schedule list)")->required();
  CLI::App* due = commands.add(*cmd, "run-due", "Start every reminder that is due now (the timer's pass)",
                               [a](CliContext& c) { return run_due_now(c, *a); });
  due->add_flag("--fast", a->fast, "Run the campaigns on a manual clock: the waits take no real time");
  due->add_option("--now", a->now, "With --fast: now, \"YYYY-MM-DD HH:MM\" local time")->needs("--fast");
  commands.add(*cmd, "install", "Write the systemd user timer that runs run-due every five minutes",
               [](CliContext& c) { return install_units(c); });
}

}  // namespace orvexa::cli

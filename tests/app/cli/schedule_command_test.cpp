// Daily reminders through the real campaigns and calls.db, without spawning a process: 40
// mornings from 1404/12/10 to 1405/01/20 call each member on the right morning (birthdays the
// same day, instalments three days ahead across the year end, a finished instalment plan never),
// exactly once however often the pass runs or the clock goes back; a dropped group is recorded
// with no campaign. `schedule add|list|remove` and `install` through the command line, the
// units checked by systemd-analyze when it is there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "app/cli/cli.h"
#include "app/cli/headless_runner.h"
#include "app/cli/reminder_units.h"
#include "app/cli/schedule_runner.h"
#include "app/data/solar_days.h"
#include "app/records/calls_database.h"
#include "app/records/schedule_table.h"
#include "local_clock.h"
#include "simulated_campaign.h"

namespace orvexa::cli {
namespace {

namespace fs = std::filesystem;
using data::SolarDate;

std::string gregorian(const SolarDate& d) {
  const auto g = data::gregorian_from_solar(d);
  char out[16];
  std::snprintf(out, sizeof out, "%04d-%02u-%02u", static_cast<int>(g->year()), static_cast<unsigned>(g->month()),
                static_cast<unsigned>(g->day()));
  return out;
}

// Members of group "G" by number: a birthday, or one instalment date and the last instalment.
struct Member {
  std::string number, birthday, instalment, last;
};

void add_members(const fs::path& folder, const std::vector<Member>& members) {
  data::ContactStore store(folder);
  ASSERT_TRUE(store.open().ok);
  const auto group = store.find_group("G");
  ASSERT_TRUE(group);
  for (const auto& m : members) {
    data::MemberEntry e;
    e.name = "n";
    e.num = m.number;
    if (!m.birthday.empty()) e.birthday = {m.birthday.substr(3), m.birthday.substr(0, 2)};
    if (!m.instalment.empty()) e.instalments[0] = {m.instalment.substr(3), m.instalment.substr(0, 2)};
    if (!m.last.empty()) {
      e.last_instalment = {m.last.substr(8), m.last.substr(5, 2)};
      e.last_instalment_year = m.last.substr(0, 4);
    }
    ASSERT_TRUE(store.insert_member(*group, e).ok);
  }
}

class Reminders : public schedule::testing::TehranZone {
 protected:
  std::string pass(records::ScheduleTable& table, const std::string& now) {
    std::ostringstream out, err;
    host::RecordingShell shell;
    HeadlessReminders campaigns(folder.path, {true, now}, *campaign::parse_local_time(now), err, shell);
    const auto summary = schedule::run_due(table, campaigns, *campaign::parse_local_time(now), out);
    EXPECT_EQ(summary.failed, 0) << out.str() << err.str();
    return out.str();
  }
  campaign::CampaignFolder folder{"orvexa-reminders"};
};

TEST_F(Reminders, FortyMorningsCallEachMemberOnItsMorningOnce) {
  campaign::prepare(folder.path, {});
  add_members(folder.path, {{"100", "12/15", "", ""},
                            {"200", "01/01", "", ""},
                            {"400", "", "01/02", "1405/01/02"},    // due 1405/01/02: called 1404/12/28
                            {"600", "", "12/29", "1404/12/29"},    // due on the year's last day
                            {"500", "", "01/10", "1404/12/20"}});  // its plan ended: never called
  auto db = records::CallsDatabase::open(folder.path / records::kCallsFile);
  ASSERT_TRUE(db) << db.error();
  records::ScheduleTable table(*db.db);
  schedule::DailySchedule birthdays;
  birthdays.group = "G";
  birthdays.at_minute = 8 * 60;
  birthdays.calling_hours = false;
  schedule::DailySchedule instalments = birthdays;
  instalments.kind = data::DateKind::Instalments;
  instalments.ahead = 3;
  instalments.at_minute = 8 * 60 + 30;
  instalments.group.reset();
  ASSERT_EQ(table.add(birthdays), 1);
  ASSERT_EQ(table.add(instalments), 2);

  SolarDate day{1404, 12, 10};
  std::map<std::string, std::vector<std::string>> called;  // Solar day -> numbers called
  for (int n = 0; n < 40; ++n, day = *data::add_days(day, 1)) {
    SCOPED_TRACE(day.text());
    const std::string g = gregorian(day);
    for (const char* time : {"07:55", "08:05", "08:10", "08:35", "12:00"}) pass(table, g + " " + time);
    const std::string back = pass(table, gregorian(*data::add_days(day, -1)) + " 09:00");
    EXPECT_EQ(back, "schedule 1: already ran on " + day.text() + "\nschedule 2: already ran on " + day.text() + "\n");
    for (const auto& s : table.schedules()) EXPECT_EQ(s.last_run, day);
  }
  // Each campaign's members (a member may be called twice in one: its retry).
  std::multiset<std::string> numbers;
  for (const auto& c : db->campaigns()) {
    const auto on = data::solar_on(messaging::WallTime(std::chrono::milliseconds(c.started_ms))).text();
    std::set<std::string> members;
    for (const auto& a : db->attempts(c.id)) members.insert(a.number);
    for (const auto& m : members) {
      called[on].push_back(m);
      numbers.insert(m);
    }
  }
  const std::map<std::string, std::vector<std::string>> expected{
      {"1404/12/15", {"100"}}, {"1404/12/26", {"600"}}, {"1404/12/28", {"400"}}, {"1405/01/01", {"200"}}};
  EXPECT_EQ(called, expected);
  EXPECT_EQ(numbers, (std::multiset<std::string>{"100", "200", "400", "600"}));
  // The last run's campaign is the one the schedule names.
  const auto schedules = table.schedules();
  EXPECT_FALSE(schedules[0].last_campaign.has_value());  // nobody's birthday on 1405/01/20
  ASSERT_EQ(db->campaigns().size(), 4u);
}

TEST_F(Reminders, ADroppedGroupIsRecordedAndNobodyCalled) {
  campaign::prepare(folder.path, {{"100", "01/05"}});
  {
    data::ContactStore store(folder.path);
    ASSERT_TRUE(store.open().ok);
    ASSERT_TRUE(store.create_group("Gone").ok);
  }
  auto db = records::CallsDatabase::open(folder.path / records::kCallsFile);
  ASSERT_TRUE(db);
  records::ScheduleTable table(*db.db);
  schedule::DailySchedule gone;
  gone.group = "Gone";
  gone.at_minute = 8 * 60;
  gone.calling_hours = false;
  schedule::DailySchedule kept = gone;
  kept.group = "G";
  ASSERT_EQ(table.add(gone), 1);
  ASSERT_EQ(table.add(kept), 2);
  {
    data::ContactStore store(folder.path);
    ASSERT_TRUE(store.open().ok);
    ASSERT_TRUE(store.drop_group("Gone").ok);
  }
  const std::string out = pass(table, "2026-03-25 09:00");  // 1405/01/05
  EXPECT_EQ(out.substr(0, out.find('\n')),
            "schedule 1: group Gone no longer exists; 1405/01/05 recorded, nobody called");
  EXPECT_NE(out.find("schedule 2: birthday 1405/01/05, group G: 1 member, campaign 1 ended"), std::string::npos) << out;
  const auto schedules = table.schedules();
  EXPECT_EQ(schedules[0].last_run, (SolarDate{1405, 1, 5}));
  EXPECT_FALSE(schedules[0].last_campaign.has_value());
  EXPECT_EQ(schedules[1].last_campaign, 1);
  ASSERT_EQ(db->campaigns().size(), 1u);
  EXPECT_EQ(db->campaigns().front().chosen, "G");
}

TEST_F(Reminders, ClaimingADayIsOncePerDayAcrossConnections) {
  auto one = records::CallsDatabase::open(folder.path / records::kCallsFile);
  auto two = records::CallsDatabase::open(folder.path / records::kCallsFile);
  ASSERT_TRUE(one && two);
  records::ScheduleTable a(*one.db), b(*two.db);
  ASSERT_EQ(a.add({}), 1);
  struct Claim {
    records::ScheduleTable* table;
    SolarDate day;
    bool taken;
  };
  for (const Claim& c : std::vector<Claim>{{&a, {1405, 1, 5}, true},
                                           {&b, {1405, 1, 5}, false},
                                           {&a, {1405, 1, 4}, false},
                                           {&b, {1404, 12, 29}, false},
                                           {&b, {1405, 1, 6}, true},
                                           {&a, {1405, 1, 6}, false}}) {
    EXPECT_EQ(c.table->claim(1, c.day), c.taken) << c.day.text();
  }
  EXPECT_FALSE(a.claim(2, {1405, 1, 7}));  // no such schedule
  EXPECT_TRUE(b.set_campaign(1, 9));
  EXPECT_EQ(a.schedules().front().last_campaign, 9);
  EXPECT_TRUE(a.claim(1, {1405, 1, 7}));
  EXPECT_FALSE(a.schedules().front().last_campaign.has_value());  // the new day's campaign is not yet known
}

class ScheduleCli : public schedule::testing::TehranZone {
 protected:
  struct Run {
    int code;
    std::string out, err;
  };
  Run run(std::vector<std::string> args) {
    std::ostringstream out, err;
    std::istringstream in;
    args.insert(args.begin(), {"orvexa", "--home", folder.path.string()});
    const int code = run_cli(args, {out, err, in}).exit_code;
    return {code, out.str(), err.str()};
  }
  campaign::CampaignFolder folder{"orvexa-schedule-cli"};
};

TEST_F(ScheduleCli, AddListRemoveAndRunDue) {
  campaign::prepare(folder.path, {{"100", "01/05"}});
  struct Step {
    std::vector<std::string> args;
    int code;
    std::string out_has;  // in standard output, or in standard error when the step fails
  };
  const std::vector<Step> steps{
      {{"schedule", "list"}, kExitDone, "no schedules"},
      {{"schedule", "add", "--group", "G", "--kind", "birthday", "--at", "08:00", "--no-calling-hours"},
       kExitDone, "1  group G, birthday in 0 days, at 08:00, any hour  last: never  next: "},
      {{"schedule", "add", "--all-groups", "--kind", "instalments", "--ahead", "3", "--at", "9:15", "--channels", "2"},
       kExitDone, "2  every group, instalments in 3 days, at 09:15, 2 channels  last: never"},
      {{"schedule", "add", "--group", "Nobody", "--kind", "birthday", "--at", "08:00"}, kExitFailed, "there is no group Nobody"},
      {{"schedule", "add", "--kind", "birthday", "--at", "08:00"}, kExitBadArguments, "choose --group NAME or --all-groups"},
      {{"schedule", "add", "--group", "G", "--kind", "birthday", "--at", "8h"}, kExitBadArguments, "HH:MM"},
      {{"schedule", "add", "--group", "G", "--kind", "payday", "--at", "08:00"}, kExitBadArguments, "payday"},
      {{"schedule", "run-due", "--now", "2026-03-25 09:00"}, kExitBadArguments, "--fast"},
      {{"schedule", "run-due", "--now", "2026-03-25 09:00", "--fast"}, kExitDone,
       "schedule 1: birthday 1405/01/05, group G: 1 member, campaign 1 ended\n"
       "schedule 2: due at 09:15\n"},
      {{"schedule", "run-due", "--now", "2026-03-25 09:20", "--fast"}, kExitDone,
       "schedule 1: already ran on 1405/01/05\nschedule 2: instalments 1405/01/08, every group: nobody due\n"},
      {{"schedule", "list"}, kExitDone, "last: 1405/01/05 (campaign 1)"},
      {{"schedule", "remove", "1"}, kExitDone, "schedule 1 removed"},
      {{"schedule", "remove", "1"}, kExitFailed, "there is no schedule 1"},
  };
  for (const Step& s : steps) {
    const Run r = run(s.args);
    SCOPED_TRACE(s.args.back());
    EXPECT_EQ(r.code, s.code) << r.out << r.err;
    const std::string& text = s.code == kExitDone ? r.out : r.err;
    EXPECT_NE(text.find(s.out_has), std::string::npos) << text;
  }
  EXPECT_EQ(run({"schedule", "list"}).out.find("1  "), std::string::npos);
}

TEST_F(ScheduleCli, InstallWritesUnitsThatSystemdAccepts) {
  const fs::path config = folder.path / "config";
  const fs::path home = folder.path / "home with space";
  fs::create_directories(home);
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  std::ostringstream out, err;
  std::istringstream in;
  const int code = run_cli({"orvexa", "--home", home.string(), "schedule", "install"}, {out, err, in}).exit_code;
  ::unsetenv("XDG_CONFIG_HOME");
  ASSERT_EQ(code, kExitDone) << err.str();
  EXPECT_NE(out.str().find("systemctl --user enable --now orvexa-reminders.timer"), std::string::npos);
  const fs::path units = config / "systemd" / "user";
  std::ifstream service_file(units / "orvexa-reminders.service"), timer_file(units / "orvexa-reminders.timer");
  std::stringstream service, timer;
  service << service_file.rdbuf();
  timer << timer_file.rdbuf();
  const std::string exe = fs::read_symlink("/proc/self/exe").string();
  EXPECT_NE(service.str().find("ExecStart=\"" + exe + "\" --home \"" + home.string() + "\" schedule run-due\n"),
            std::string::npos)
      << service.str();
  EXPECT_NE(timer.str().find("OnCalendar=*:0/5\nPersistent=true\n"), std::string::npos) << timer.str();

  EXPECT_EQ(unit_word("/a b/100%\"$x\\"), "\"/a b/100%%\\\"$$x\\\\\"");
  if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0) GTEST_SKIP() << "no systemd-analyze";
  // verify reads the units as a user manager would (one needs a runtime folder); the service's
  // program must exist, and an unknown key is a warning, so the output must be empty too.
  const fs::path runtime = folder.path / "runtime";
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  const std::string verify = "cd '" + units.string() + "' && XDG_RUNTIME_DIR='" + runtime.string() +
                             "' systemd-analyze verify --user " +
                             "orvexa-reminders.service orvexa-reminders.timer > verify.log 2>&1";
  const int status = std::system(verify.c_str());
  std::ifstream log(units / "verify.log");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(status, 0) << text.str();
  EXPECT_EQ(text.str(), "");
}

}  // namespace
}  // namespace orvexa::cli

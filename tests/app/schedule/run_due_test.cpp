// The daily reminders' pass on the manual clock with a store and campaigns of its own: over 40
// mornings across the Esfand-Farvardin year end each schedule asks for the right day's members,
// once a day however often the pass runs or the clock goes back; the day is recorded before any
// call; a dropped group is recorded and nobody is called.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "app/data/solar_days.h"
#include "app/schedule/run_due.h"
#include "local_clock.h"

namespace orvexa::schedule {
namespace {

using data::SolarDate;
using testing::at;

class MemoryStore final : public ScheduleStore {
 public:
  std::vector<DailySchedule> rows;
  std::vector<DailySchedule> schedules() override { return rows; }
  bool claim(std::int64_t id, const SolarDate& day) override {
    auto& s = row(id);
    if (s.last_run && *s.last_run >= day) return false;
    s.last_run = day;
    s.last_campaign.reset();
    return true;
  }
  bool set_campaign(std::int64_t id, std::int64_t campaign) override {
    row(id).last_campaign = campaign;
    return true;
  }
  DailySchedule& row(std::int64_t id) {
    for (auto& s : rows)
      if (s.id == id) return s;
    throw std::out_of_range("no schedule");
  }
};

struct Started {
  std::int64_t schedule;
  std::string filter;  // "birthday 12/15"
};

class FakeCampaigns final : public ReminderCampaigns {
 public:
  explicit FakeCampaigns(MemoryStore& store) : store_(store) {}
  std::vector<std::string> groups{"G"};
  std::vector<Started> started;
  SolarDate today;

  bool group_exists(const std::string& name) override {
    return std::find(groups.begin(), groups.end(), name) != groups.end();
  }
  std::optional<long long> members_due(const DailySchedule&, const campaign::DateFilterRequest&) override {
    return 1;
  }
  int run(const DailySchedule& s, const campaign::DateFilterRequest& f,
          const std::function<void(std::int64_t)>& recorded) override {
    // The day must be in the store before the first call.
    EXPECT_EQ(store_.row(s.id).last_run, today) << "schedule " << s.id;
    started.push_back({s.id, f.kind + " " + f.month + "/" + f.day});
    recorded(100 + static_cast<std::int64_t>(started.size()));
    return 0;
  }

 private:
  MemoryStore& store_;
};

DailySchedule schedule(std::int64_t id, std::optional<std::string> group, data::DateKind kind, int ahead,
                       const char* at_time) {
  DailySchedule s;
  s.id = id;
  s.group = std::move(group);
  s.kind = kind;
  s.ahead = ahead;
  s.at_minute = *parse_time_of_day(at_time);
  return s;
}

std::string gregorian(const SolarDate& d) {
  const auto g = data::gregorian_from_solar(d);
  char out[16];
  std::snprintf(out, sizeof out, "%04d-%02u-%02u", static_cast<int>(g->year()), static_cast<unsigned>(g->month()),
                static_cast<unsigned>(g->day()));
  return out;
}

class RunDue : public testing::TehranZone {};

TEST_F(RunDue, FortyMorningsAcrossTheYearEndEachScheduleOnceADay) {
  MemoryStore store;
  store.rows = {schedule(1, "G", data::DateKind::Birthday, 0, "08:00"),
                schedule(2, std::nullopt, data::DateKind::Instalments, 3, "08:30"),
                schedule(3, "G", data::DateKind::Marriage, 1, "09:00")};
  store.rows[2].enabled = false;
  FakeCampaigns campaigns(store);
  // Days whose filters are checked one by one; every day is checked for count and order.
  const std::map<SolarDate, std::vector<std::string>> expected{
      {{1404, 12, 10}, {"birthday 12/10", "instalments 12/13"}},
      {{1404, 12, 26}, {"birthday 12/26", "instalments 12/29"}},
      {{1404, 12, 27}, {"birthday 12/27", "instalments 01/01"}},  // 1404 ends with Esfand 29
      {{1404, 12, 29}, {"birthday 12/29", "instalments 01/03"}},
      {{1405, 1, 1}, {"birthday 01/01", "instalments 01/04"}},
      {{1405, 1, 20}, {"birthday 01/20", "instalments 01/23"}},
  };
  SolarDate day{1404, 12, 10};
  for (int n = 0; n < 40; ++n, day = *data::add_days(day, 1)) {
    SCOPED_TRACE(day.text());
    campaigns.today = day;
    campaigns.started.clear();
    const std::string g = gregorian(day);
    std::ostringstream out;
    for (const char* time : {"07:59", "08:00", "08:10", "08:29", "08:30", "08:31", "23:59"})
      run_due(store, campaigns, at(g + " " + time), out);
    // The clock set back to yesterday evening and to this morning early: nothing runs again.
    const auto yesterday = *data::add_days(day, -1);
    run_due(store, campaigns, at(gregorian(yesterday) + " 22:00"), out);
    run_due(store, campaigns, at(g + " 08:45"), out);
    ASSERT_EQ(campaigns.started.size(), 2u) << out.str();
    EXPECT_EQ(campaigns.started[0].schedule, 1);
    EXPECT_EQ(campaigns.started[1].schedule, 2);
    EXPECT_EQ(campaigns.started[0].filter, "birthday " + day.month_text() + "/" + day.day_text());
    if (auto it = expected.find(day); it != expected.end()) {
      EXPECT_EQ(campaigns.started[0].filter, it->second[0]);
      EXPECT_EQ(campaigns.started[1].filter, it->second[1]);
    }
    EXPECT_EQ(store.row(1).last_run, day);
    EXPECT_EQ(store.row(2).last_campaign, 100 + 2);
    EXPECT_FALSE(store.row(3).last_run.has_value());
  }
  EXPECT_EQ(day, (SolarDate{1405, 1, 20 + 1}));
}

TEST_F(RunDue, EachPassSaysWhatItDidWithEverySchedule) {
  MemoryStore store;
  store.rows = {schedule(1, "G", data::DateKind::Birthday, 0, "08:00"),
                schedule(2, "Gone", data::DateKind::Contract, 0, "08:00"),
                schedule(3, "G", data::DateKind::Marriage, 0, "10:00")};
  store.rows.push_back(schedule(4, "G", data::DateKind::Birthday, 0, "08:00"));
  store.rows.back().enabled = false;
  FakeCampaigns campaigns(store);
  campaigns.today = {1405, 1, 5};
  struct Pass {
    const char* now;
    std::vector<std::string> lines;
    int taken;
  };
  const std::vector<Pass> passes{
      {"2026-03-25 07:00",
       {"schedule 1: due at 08:00", "schedule 2: due at 08:00", "schedule 3: due at 10:00", "schedule 4: disabled"},
       0},
      {"2026-03-25 08:00",
       {"schedule 1: birthday 1405/01/05, group G: 1 member, campaign 101 ended",
        "schedule 2: group Gone no longer exists; 1405/01/05 recorded, nobody called", "schedule 3: due at 10:00",
        "schedule 4: disabled"},
       2},
      {"2026-03-25 08:05",
       {"schedule 1: already ran on 1405/01/05", "schedule 2: already ran on 1405/01/05", "schedule 3: due at 10:00",
        "schedule 4: disabled"},
       0},
  };
  for (const auto& p : passes) {
    SCOPED_TRACE(p.now);
    std::ostringstream out;
    const auto summary = run_due(store, campaigns, at(p.now), out);
    std::string expected;
    for (const auto& l : p.lines) expected += l + "\n";
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(summary.taken, p.taken);
    EXPECT_EQ(summary.failed, 0);
  }
  // The dropped group's day is kept, and nothing was started for it.
  EXPECT_EQ(store.row(2).last_run, (SolarDate{1405, 1, 5}));
  EXPECT_FALSE(store.row(2).last_campaign.has_value());
  ASSERT_EQ(campaigns.started.size(), 1u);
  EXPECT_EQ(campaigns.started[0].schedule, 1);
}

TEST_F(RunDue, TimesOfDayAndNextRuns) {
  struct Case {
    const char* text;
    std::optional<int> minute;
  };
  for (const Case& c : std::vector<Case>{{"08:30", 510}, {"8:05", 485}, {"00:00", 0}, {"23:59", 1439},
                                         {"24:00", std::nullopt}, {"12:60", std::nullopt}, {"12:5", std::nullopt},
                                         {"123:00", std::nullopt}, {"", std::nullopt}, {"ab:cd", std::nullopt},
                                         {"-1:30", std::nullopt}, {"0830", std::nullopt}}) {
    EXPECT_EQ(parse_time_of_day(c.text), c.minute) << c.text;
  }
  DailySchedule s = schedule(1, "G", data::DateKind::Birthday, 0, "08:30");
  struct Next {
    std::optional<SolarDate> last_run;
    const char* now;
    const char* next;
  };
  // 1405/01/05 is 2026-03-25.
  for (const Next& n : std::vector<Next>{
           {std::nullopt, "2026-03-25 07:00", "2026-03-25 08:30"},
           {std::nullopt, "2026-03-25 09:00", "2026-03-25 08:30"},  // due now
           {SolarDate{1405, 1, 5}, "2026-03-25 09:00", "2026-03-26 08:30"},
           {SolarDate{1405, 1, 4}, "2026-03-25 07:00", "2026-03-25 08:30"},
           {SolarDate{1405, 1, 7}, "2026-03-25 09:00", "2026-03-28 08:30"},  // the clock went back
           {SolarDate{1404, 12, 29}, "2026-03-20 09:00", "2026-03-21 08:30"},
       }) {
    s.last_run = n.last_run;
    EXPECT_EQ(testing::text(next_run(s, at(n.now))), n.next) << n.now;
  }
  s.enabled = false;
  EXPECT_FALSE(next_run(s, at("2026-03-25 07:00")).has_value());
}

}  // namespace
}  // namespace orvexa::schedule

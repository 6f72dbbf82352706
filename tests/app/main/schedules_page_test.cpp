// The daily reminders page offscreen: schedules stored in calls.db listed with their last and
// next run, and added and removed through its buttons with queued answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>

#include <ctime>
#include <deque>

#include "page_test_support.h"
#include "../campaign/campaign_fakes.h"
#include "../data/temp_folder.h"
#include "app/main/schedules_page.h"
#include "app/records/schedule_table.h"

namespace orvexa::app {
namespace {

using testing::page_application;
using testing::QueuedAnswers;

using testing_support::TempFolder;

// 2025-06-14 10:00 local time, Solar 1404/03/24, whatever the zone.
messaging::WallTime ten_local() {
  std::tm tm{};
  tm.tm_year = 2025 - 1900;
  tm.tm_mon = 5;
  tm.tm_mday = 14;
  tm.tm_hour = 10;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

struct PageRig {
  TempFolder folder;
  messaging::ManualClock clock{ten_local()};
  QueuedAnswers ask;
  campaign::testing::RecordingDialogs boxes;
  std::unique_ptr<SchedulesPage> page;
  PageRig() {
    page_application();
    page = std::make_unique<SchedulesPage>(SchedulesPageDeps{folder.path(), clock, ask, boxes});
  }
  // Runs `use` on calls.db of the folder, as another program would.
  template <class F>
  void with_table(F use) {
    auto opened = records::CallsDatabase::open(folder.path() / records::kCallsFile);
    ASSERT_TRUE(opened) << opened.error();
    records::ScheduleTable table(*opened.db);
    use(table);
  }
  std::int64_t store(schedule::DailySchedule s, std::optional<data::SolarDate> ran = {}) {
    std::int64_t id = 0;
    with_table([&](records::ScheduleTable& t) {
      id = t.add(s).value_or(0);
      if (ran) {
        EXPECT_TRUE(t.claim(id, *ran));
      }
    });
    return id;
  }
  QTableWidget* grid() { return page->findChild<QTableWidget*>("ScheduleGrid"); }
  // Each row's cells after the id, joined by "|".
  std::vector<std::string> rows() {
    std::vector<std::string> out;
    for (int r = 0; r < grid()->rowCount(); ++r) {
      std::string line;
      for (int c = 1; c < grid()->columnCount(); ++c) line += (c > 1 ? "|" : "") + grid()->item(r, c)->text().toStdString();
      out.push_back(line);
    }
    return out;
  }
  void click(const char* name) { page->findChild<QPushButton*>(name)->click(); }
};

schedule::DailySchedule make(std::optional<std::string> group, data::DateKind kind, int ahead, int at_minute,
                             int channels = 1, bool calling_hours = true) {
  schedule::DailySchedule s;
  s.group = std::move(group);
  s.kind = kind;
  s.ahead = ahead;
  s.at_minute = at_minute;
  s.channels = channels;
  s.calling_hours = calling_hours;
  return s;
}

TEST(SchedulesPage, ListsEachScheduleWithItsLastAndNextRun) {
  PageRig rig;
  rig.page->refresh();
  EXPECT_EQ(rig.grid()->rowCount(), 0);
  // Ran today at 08:00: next tomorrow. Never ran, 11:00: later today. Never ran, 09:00: due now.
  rig.store(make("دوستان", data::DateKind::Instalments, 3, 8 * 60), data::SolarDate{1404, 3, 24});
  rig.store(make(std::nullopt, data::DateKind::Birthday, 0, 11 * 60, 4, false));
  auto off = make("G", data::DateKind::Contract, 366, 9 * 60);
  off.enabled = false;
  rig.store(off);
  rig.store(make("G", data::DateKind::Marriage, 1, 9 * 60));
  EXPECT_EQ(rig.grid()->rowCount(), 0) << "read on entering the page only";
  rig.page->refresh();
  EXPECT_EQ(rig.rows(), (std::vector<std::string>{
                            "دوستان|اقساط|3|08:00|1|بله|1404/03/24|1404/03/25 08:00",
                            "همه گروه ها|تولد|0|11:00|4|خير|هرگز|1404/03/24 11:00",
                            "G|قرارداد|366|09:00|1|بله|هرگز|غيرفعال",
                            "G|ازدواج|1|09:00|1|بله|هرگز|1404/03/24 09:00 (اکنون)",
                        }));
}

TEST(SchedulesPage, AddsAndRemovesThroughTheButtons) {
  PageRig rig;
  rig.page->refresh();
  struct Case {
    const char* name;
    std::deque<std::string> answers;
    bool stored;
    bool refused;  // a box says the answer was wrong
  };
  const Case cases[] = {
      {"cancelled at the kind", {"G"}, false, false},
      {"unknown kind", {"G", "عروسي"}, false, true},
      {"ahead past a year", {"G", "تولد", "367"}, false, true},
      {"ahead not a number", {"G", "تولد", "سه"}, false, true},
      {"not a time of day", {"G", "تولد", "2", "25:00"}, false, true},
      {"a group", {"G", "اقساط", "3", "08:30"}, true, false},
      {"every group, command-line kind", {"", "marriage", "0", "7:05"}, true, false},
  };
  std::size_t stored = 0;
  for (const auto& c : cases) {
    rig.ask.texts = c.answers;
    rig.boxes.boxes.clear();
    rig.click("ScheduleAddButton");
    stored += c.stored ? 1 : 0;
    EXPECT_EQ(static_cast<std::size_t>(rig.grid()->rowCount()), stored) << c.name;
    EXPECT_EQ(rig.boxes.boxes.size(), c.refused ? 1u : 0u) << c.name;
  }
  EXPECT_EQ(rig.rows(), (std::vector<std::string>{"G|اقساط|3|08:30|1|بله|هرگز|1404/03/24 08:30 (اکنون)",
                                                  "همه گروه ها|ازدواج|0|07:05|1|بله|هرگز|1404/03/24 07:05 (اکنون)"}));

  rig.boxes.boxes.clear();
  rig.grid()->setCurrentCell(-1, -1);
  rig.click("ScheduleRemoveButton");
  EXPECT_EQ(rig.boxes.boxes.size(), 1u) << "no row chosen";
  rig.grid()->setCurrentCell(0, 0);
  rig.ask.agree = false;
  rig.click("ScheduleRemoveButton");
  EXPECT_EQ(rig.grid()->rowCount(), 2) << "not confirmed";
  rig.ask.agree = true;
  rig.click("ScheduleRemoveButton");
  rig.with_table([](records::ScheduleTable& t) {
    const auto left = t.schedules();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].group) << "the group's schedule went, every group's stayed";
  });
  EXPECT_EQ(rig.grid()->rowCount(), 1);
}

}  // namespace
}  // namespace orvexa::app

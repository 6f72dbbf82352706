// The calling hours page offscreen: the hours of orvexa.toml per weekday, and this year's
// holidays edited through its buttons with queued answers, written to calls.db.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <deque>
#include <fstream>
#include <map>

#include "page_test_support.h"
#include "../campaign/campaign_fakes.h"
#include "../data/temp_folder.h"
#include "app/main/holidays_page.h"
#include "app/records/holiday_store.h"

namespace orvexa::app {
namespace {

using testing::page_application;
using testing::QueuedAnswers;

using testing_support::TempFolder;

struct PageRig {
  TempFolder folder;
  // Noon of 2025-06-14, Solar 1404/03/24, in any zone the tests run in.
  messaging::ManualClock clock{std::chrono::sys_days(std::chrono::year(2025) / 6 / 14) + std::chrono::hours(12)};
  QueuedAnswers ask;
  campaign::testing::RecordingDialogs boxes;
  std::unique_ptr<HolidaysPage> page;
  PageRig() {
    page_application();
    std::ofstream(folder.path() / "orvexa.toml") << "[calling_hours]\nsaturday = [\"08:00-12:00\", \"14:00-18:00\"]\n"
                                                    "friday = []\n[retry]\nbusy = { more = 1, after = \"2h\" }\n";
    page = std::make_unique<HolidaysPage>(HolidaysPageDeps{folder.path(), clock, ask, boxes});
    page->refresh();
  }
  QTableWidget* grid(const char* name) { return page->findChild<QTableWidget*>(name); }
  // "date weekday name kind" of the row of `date`; empty when the grid has none.
  std::string row_of(const std::string& date) {
    auto* g = grid("HolidayGrid");
    for (int r = 0; r < g->rowCount(); ++r) {
      if (g->item(r, 0)->text().toStdString() != date) continue;
      std::string out;
      for (int c = 0; c < g->columnCount(); ++c) out += (c ? " " : "") + g->item(r, c)->text().toStdString();
      return out;
    }
    return {};
  }
  void choose(const std::string& date) {
    auto* g = grid("HolidayGrid");
    for (int r = 0; r < g->rowCount(); ++r)
      if (g->item(r, 0)->text().toStdString() == date) g->setCurrentCell(r, 0);
  }
  void click(const char* name) { page->findChild<QPushButton*>(name)->click(); }
};

TEST(HolidaysPage, ShowsTheHoursOfTheFile) {
  PageRig rig;
  auto* hours = rig.grid("HoursGrid");
  ASSERT_EQ(hours->rowCount(), 7);
  EXPECT_EQ(hours->item(0, 0)->text().toStdString(), "شنبه");
  EXPECT_EQ(hours->item(0, 1)->text().toStdString(), "08:00-12:00  14:00-18:00");
  EXPECT_EQ(hours->item(1, 1)->text().toStdString(), "09:00-13:00  16:00-20:00");  // the default
  EXPECT_EQ(hours->item(6, 1)->text().toStdString(), "بدون تماس");
  EXPECT_TRUE(rig.page->findChild<QLabel*>("HoursNote")->text().isEmpty());
  // The retry policy beside them: the file's busy rule, the defaults for the rest.
  auto* retries = rig.grid("RetryGrid");
  std::map<std::string, std::string> rules;
  for (int r = 0; r < retries->rowCount(); ++r)
    rules[retries->item(r, 0)->text().toStdString()] =
        retries->item(r, 1)->text().toStdString() + " " + retries->item(r, 2)->text().toStdString();
  using campaign::Outcome;
  EXPECT_EQ(rules.at(std::string(campaign::outcome_label(Outcome::Busy))), "1 2 ساعت");
  EXPECT_EQ(rules.at(std::string(campaign::outcome_label(Outcome::NoKey))), "1 30 دقيقه");
  EXPECT_EQ(rules.at(std::string(campaign::outcome_label(Outcome::Unreachable))), "1 روز کاري بعد");
  EXPECT_EQ(rules.at(std::string(campaign::outcome_label(Outcome::HungUp))), "0 -");
  EXPECT_FALSE(rules.count(std::string(campaign::outcome_label(Outcome::HeardMain))));
}

TEST(HolidaysPage, ButtonsEditTheYearsHolidaysInCallsDb) {
  struct Step {
    const char* what;
    const char* chosen;                 // the row chosen before the click; "" for none
    std::vector<std::string> answers;   // queued texts
    const char* button;
    std::vector<std::string> rows;      // rows the grid then has
    std::vector<std::string> gone;      // dates it no longer has
    std::size_t boxes;                  // message boxes shown so far
  };
  const Step steps[] = {
      {"shipped list", "", {}, "", {"1404/01/13 چهارشنبه روز طبیعت رسمي", "1404/03/25 يکشنبه عید غدیر خم تخميني"},
       {"1404/05/12"}, 0},
      {"add", "", {"۱۴۰۴/۰۵/۱۲", "تعطیلی اداره"}, "HolidayAddButton", {"1404/05/12 يکشنبه تعطیلی اداره شما"}, {}, 0},
      {"remove a shipped one", "1404/01/13", {}, "HolidayRemoveButton", {}, {"1404/01/13"}, 0},
      {"move", "1404/03/25", {"1404/03/26"}, "HolidayMoveButton", {"1404/03/26 دوشنبه عید غدیر خم شما"},
       {"1404/03/25"}, 0},
      {"a day that does not exist", "", {"1404/12/30", "x"}, "HolidayAddButton", {}, {"1404/12/30"}, 1},
      {"remove with no row chosen", "", {}, "HolidayRemoveButton", {}, {}, 2},
  };
  PageRig rig;
  for (const Step& s : steps) {
    rig.grid("HolidayGrid")->setCurrentCell(-1, -1);
    if (*s.chosen) rig.choose(s.chosen);
    rig.ask.texts.assign(s.answers.begin(), s.answers.end());
    if (*s.button) rig.click(s.button);
    for (const auto& row : s.rows) EXPECT_EQ(rig.row_of(row.substr(0, 10)), row) << s.what;
    for (const auto& date : s.gone) EXPECT_EQ(rig.row_of(date), "") << s.what << ": " << date;
    EXPECT_EQ(rig.boxes.boxes.size(), s.boxes) << s.what;
  }
  EXPECT_TRUE(rig.boxes.errors.empty());
  // Written where campaigns read them.
  auto db = records::CallsDatabase::open(rig.folder.path() / records::kCallsFile);
  ASSERT_TRUE(db);
  const auto changes = records::HolidayStore(*db.db, rig.clock).changes();
  EXPECT_EQ(changes.added, (std::vector<data::HolidayAddition>{{{1404, 5, 12}, "تعطیلی اداره"}}));
  EXPECT_EQ(changes.removed, (std::vector<data::SolarDate>{{1404, 1, 13}}));
  ASSERT_EQ(changes.moved.size(), 1u);
  EXPECT_EQ(changes.moved[0].to, (data::SolarDate{1404, 3, 26}));
}

}  // namespace
}  // namespace orvexa::app

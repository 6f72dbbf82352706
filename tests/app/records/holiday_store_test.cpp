// The operator's holiday changes in calls.db: what each edit stores, read back as the calendar
// sees it, and kept across a reopened file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app/records/holiday_store.h"
#include "app/records/sqlite_statement.h"

namespace orvexa::records {
namespace {

namespace fs = std::filesystem;
using data::SolarDate;

struct StoreRig {
  fs::path folder = fs::temp_directory_path() / ("orvexa-holidays-" + std::to_string(::getpid()));
  messaging::ManualClock clock;
  std::unique_ptr<CallsDatabase> db;
  StoreRig() {
    fs::remove_all(folder);
    fs::create_directories(folder);
    reopen();
  }
  ~StoreRig() { fs::remove_all(folder); }
  void reopen() {
    db.reset();
    db = CallsDatabase::open(folder / kCallsFile).db;
  }
  HolidayStore store() { return HolidayStore(*db, clock); }
  // "name@date" of each holiday of 1404 that is not shipped as it was.
  std::vector<std::string> changed_1404() {
    std::vector<std::string> out;
    const auto shipped = data::official_holidays(1404);
    for (const auto& h : data::HolidayCalendar(1403, 1405, store().changes()).holidays_in(1404)) {
      if (std::find(shipped.begin(), shipped.end(), h) == shipped.end()) out.push_back(h.name + "@" + h.date.text());
    }
    const data::HolidayCalendar calendar(1403, 1405, store().changes());
    for (const auto& h : shipped) {
      if (!calendar.is_holiday(h.date)) out.push_back("-" + h.date.text());
    }
    return out;
  }
};

TEST(HolidayStore, EditsAreStoredAsTheCalendarReadsThem) {
  // 1404/01/13 and 1404/03/14 are shipped Solar holidays alone on their days; 1404/05/12, 03/16
  // and 03/18 are ordinary days.
  struct Step {
    const char* what;
    std::function<HolidayEdit(HolidayStore&)> edit;
    HolidayEdit want;
    std::vector<std::string> changed;  // after the step
  };
  const Step steps[] = {
      {"add an ordinary day",
       [](HolidayStore& s) { return s.add({{{1404, 5, 12}, "office"}}) ? HolidayEdit::Done : HolidayEdit::Failed; },
       HolidayEdit::Done, {"office@1404/05/12"}},
      {"move one's own",
       [](HolidayStore& s) { return s.move({1404, 5, 12}, {1404, 5, 13}); }, HolidayEdit::Done,
       {"office@1404/05/13"}},
      {"remove one's own: deleted, not a removal",
       [](HolidayStore& s) { return s.remove({1404, 5, 13}); }, HolidayEdit::Done, {}},
      {"remove a day that is no holiday",
       [](HolidayStore& s) { return s.remove({1404, 5, 13}); }, HolidayEdit::NotAHoliday, {}},
      {"remove a shipped one", [](HolidayStore& s) { return s.remove({1404, 1, 13}); }, HolidayEdit::Done,
       {"-1404/01/13"}},
      {"move a shipped one", [](HolidayStore& s) { return s.move({1404, 3, 14}, {1404, 3, 16}); },
       HolidayEdit::Done, {"رحلت امام خمینی@1404/03/16", "-1404/01/13", "-1404/03/14"}},
      {"move it again: still one move from its shipped day",
       [](HolidayStore& s) { return s.move({1404, 3, 16}, {1404, 3, 18}); }, HolidayEdit::Done,
       {"رحلت امام خمینی@1404/03/18", "-1404/01/13", "-1404/03/14"}},
      {"remove the moved one: its shipped day is removed",
       [](HolidayStore& s) { return s.remove({1404, 3, 18}); }, HolidayEdit::Done, {"-1404/01/13", "-1404/03/14"}},
      {"move a day that is no holiday", [](HolidayStore& s) { return s.move({1404, 3, 18}, {1404, 3, 19}); },
       HolidayEdit::NotAHoliday, {"-1404/01/13", "-1404/03/14"}},
      {"add on a removed shipped day: the operator's name",
       [](HolidayStore& s) { return s.add({{{1404, 1, 13}, "ours"}}) ? HolidayEdit::Done : HolidayEdit::Failed; },
       HolidayEdit::Done, {"ours@1404/01/13", "-1404/03/14"}},
  };
  StoreRig rig;
  ASSERT_TRUE(rig.db);
  for (const Step& s : steps) {
    auto store = rig.store();
    EXPECT_EQ(s.edit(store), s.want) << s.what;
    rig.reopen();  // every step read back from the file
    EXPECT_EQ(rig.changed_1404(), s.changed) << s.what;
  }
  const auto changes = rig.store().changes();
  EXPECT_EQ(changes.removed, (std::vector<SolarDate>{{1404, 1, 13}, {1404, 3, 14}}));
  EXPECT_TRUE(changes.moved.empty());
  EXPECT_EQ(changes.added, (std::vector<data::HolidayAddition>{{{1404, 1, 13}, "ours"}}));
}

TEST(HolidayStore, AMoveBackToItsShippedDayLeavesNoChange) {
  StoreRig rig;
  auto store = rig.store();
  ASSERT_EQ(store.move({1404, 11, 22}, {1404, 11, 23}), HolidayEdit::Done);
  ASSERT_EQ(store.changes().moved.size(), 1u);
  ASSERT_EQ(store.move({1404, 11, 23}, {1404, 11, 22}), HolidayEdit::Done);
  const auto changes = store.changes();
  EXPECT_TRUE(changes.moved.empty() && changes.removed.empty() && changes.added.empty());
  EXPECT_TRUE(data::HolidayCalendar(1404, 1404, changes).is_holiday({1404, 11, 22}));
}

TEST(HolidayStore, RowsWithUnreadableDatesArePassedOver) {
  StoreRig rig;
  ASSERT_TRUE(rig.store().add({{{1405, 2, 2}, "kept"}}));
  ASSERT_TRUE(execute(rig.db->handle(),
                      "INSERT INTO holiday_changes (kind, date, to_date, name, added_ms) VALUES "
                      "('add', '1404/12/30', '', 'no such day', 0), ('move', '1404/01/12', 'soon', '', 0), "
                      "('remove', 'x', '', '', 0)"));
  const auto changes = rig.store().changes();
  EXPECT_EQ(changes.added, (std::vector<data::HolidayAddition>{{{1405, 2, 2}, "kept"}}));
  EXPECT_TRUE(changes.moved.empty());
  EXPECT_TRUE(changes.removed.empty());
}

}  // namespace
}  // namespace orvexa::records

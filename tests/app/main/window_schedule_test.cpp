// The window's calling hours and retries as read once from orvexa.toml and the operator's
// holidays: a broken table falls back to the defaults and says why; a retry waits for the
// calling hours only through retries(), and past the operator's holidays through both.
#include <gtest/gtest.h>

#include <toml++/toml.h>

#include "app/data/solar_date.h"  // before local_clock.h, which uses it
#include "../schedule/local_clock.h"
#include "app/main/window_schedule.h"

namespace orvexa::app {
namespace {

using schedule::testing::at;
using schedule::testing::text;

class WindowScheduleTest : public schedule::testing::TehranZone {};

TEST_F(WindowScheduleTest, HoursAndRetriesOfTheFileOrTheDefaults) {
  // 2025-06-13 is a Friday (Solar 1404/03/23); the operator made Saturday 1404/03/24 a holiday
  // in the last row, and Sunday 1404/03/25 is an official one (Eid al-Ghadir, estimated).
  data::HolidayChanges saturday_off;
  saturday_off.added.push_back({data::SolarDate{1404, 3, 24}, "x"});
  struct Case {
    const char* name;
    const char* file;
    bool with_holiday;
    bool refused;
    const char* busy_ended;
    const char* opens;            // next_open from Friday 09:00
    const char* within_hours;     // retry of a busy call through retries()
    const char* any_hour;         // and through retries_any_hour()
  };
  const Case cases[] = {
      {"the file's tables",
       "[calling_hours]\nfriday = [\"10:00-11:00\"]\n[retry]\nbusy = { more = 1, after = \"5m\" }\n", false,
       false, "2025-06-13 10:58", "2025-06-13 10:00", "2025-06-14 09:00", "2025-06-13 11:03"},
      {"a broken retry table: the defaults, friday closed, busy after 10m",
       "[calling_hours]\nfriday = [\"10:00-11:00\"]\n[retry]\nbusy = { more = \"x\" }\n", false, true,
       "2025-06-13 12:00", "2025-06-14 09:00", "2025-06-14 09:00", "2025-06-13 12:10"},
      {"the operator's holiday holds both",
       "[retry]\nbusy = { more = 1, after = \"5m\" }\n", true, false, "2025-06-13 23:57", "2025-06-16 09:00",
       "2025-06-16 09:00", "2025-06-16 00:00"},
  };
  for (const auto& c : cases) {
    const WindowSchedule s(toml::parse(c.file), at("2025-06-13 09:00"), c.with_holiday ? saturday_off : data::HolidayChanges{});
    EXPECT_EQ(!s.error().empty(), c.refused) << c.name << ": " << s.error();
    EXPECT_EQ(text(s.hours().next_open(at("2025-06-13 09:00"))), c.opens) << c.name;
    const auto ended = at(c.busy_ended);
    EXPECT_EQ(text(s.retries().next_attempt(campaign::Outcome::Busy, 1, ended)), c.within_hours) << c.name;
    EXPECT_EQ(text(s.retries_any_hour().next_attempt(campaign::Outcome::Busy, 1, ended)), c.any_hour) << c.name;
  }
}

}  // namespace
}  // namespace orvexa::app

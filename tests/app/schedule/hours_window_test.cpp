// The campaign's calling window with the operator's holiday changes: an added day is not called
// on, a removed or moved shipped holiday is.
#include <gtest/gtest.h>

#include "app/schedule/hours_window.h"
#include "local_clock.h"

namespace orvexa::schedule {
namespace {

using testing::at;
using testing::text;

class HoursWindowTest : public testing::TehranZone {};

// 2025-06-14 is Saturday 1404/03/24, an ordinary day; Sunday 1404/03/25 is the (estimated) Eid
// al-Ghadir; Monday 1404/03/26 an ordinary day again. Office hours open at 09:00.
TEST_F(HoursWindowTest, TheOperatorsChangesDecideTheDays) {
  struct Case {
    const char* name;
    data::HolidayChanges changes;
    const char* when;
    const char* want;
  };
  const Case cases[] = {
      {"shipped list: Saturday open", {}, "2025-06-14 10:00", "2025-06-14 10:00"},
      {"shipped list: Ghadir closed", {}, "2025-06-15 10:00", "2025-06-16 09:00"},
      {"added Saturday: not called, nor on Ghadir", {.added = {{{1404, 3, 24}, "office"}}}, "2025-06-14 10:00",
       "2025-06-16 09:00"},
      {"removed Ghadir: called", {.removed = {{1404, 3, 25}}}, "2025-06-15 10:00", "2025-06-15 10:00"},
      {"Ghadir moved a day: Sunday open", {.moved = {{{1404, 3, 25}, {1404, 3, 26}}}}, "2025-06-15 10:00",
       "2025-06-15 10:00"},
      {"Ghadir moved a day: Monday closed", {.moved = {{{1404, 3, 25}, {1404, 3, 26}}}}, "2025-06-16 10:00",
       "2025-06-17 09:00"},
  };
  for (const Case& c : cases) {
    const HoursWindow window(CallingHours::office_defaults(), at("2025-06-14 08:00"), c.changes);
    EXPECT_EQ(text(window.next_open(at(c.when))), c.want) << c.name;
  }
}

}  // namespace
}  // namespace orvexa::schedule

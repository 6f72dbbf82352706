#include "app/data/holidays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/data/solar_days.h"
#include "app/data/tabular_hijri.h"

namespace orvexa::data {
namespace {

std::vector<Holiday> named(const std::vector<Holiday>& holidays, std::string_view name) {
  std::vector<Holiday> found;
  std::copy_if(holidays.begin(), holidays.end(), std::back_inserter(found),
               [&](const Holiday& h) { return h.name == name; });
  return found;
}

bool has(const std::vector<Holiday>& holidays, const SolarDate& date, std::string_view name) {
  return std::any_of(holidays.begin(), holidays.end(),
                     [&](const Holiday& h) { return h.date == date && h.name == name; });
}

// The lunar dates were converted by the Julian-day form of the tabular rule (civil epoch) and
// then to Solar dates, apart from this code.
TEST(Holidays, KnownHolidaysOf1404And1405) {
  struct Case {
    SolarDate date;
    std::string_view name;
    bool estimate;
  };
  const Case cases[] = {
      {{1404, 1, 1}, "عید نوروز", false},           {{1404, 1, 4}, "عید نوروز", false},
      {{1404, 1, 13}, "روز طبیعت", false},          {{1404, 11, 22}, "پیروزی انقلاب اسلامی", false},
      {{1404, 12, 29}, "ملی شدن صنعت نفت", false},  {{1405, 1, 1}, "عید نوروز", false},
      {{1405, 11, 22}, "پیروزی انقلاب اسلامی", false}, {{1405, 12, 29}, "ملی شدن صنعت نفت", false},
      {{1404, 4, 14}, "تاسوعای حسینی", true},       {{1404, 4, 15}, "عاشورای حسینی", true},  // 1447/01/10
      {{1405, 4, 5}, "عاشورای حسینی", true},        // 1448/01/10
      {{1404, 1, 11}, "عید فطر", true},             {{1404, 1, 12}, "تعطیل به مناسبت عید فطر", true},
      {{1404, 12, 29}, "عید فطر", true},            // 1447/10/01: a second Eid al-Fitr in 1404
      {{1405, 1, 1}, "تعطیل به مناسبت عید فطر", true}, {{1405, 12, 19}, "عید فطر", true},
      {{1404, 3, 17}, "عید قربان", true},           {{1405, 3, 6}, "عید قربان", true},
      {{1404, 6, 2}, "شهادت امام رضا", true},       {{1405, 5, 23}, "شهادت امام رضا", true},  // 29 Safar
  };
  const auto y1404 = official_holidays(1404), y1405 = official_holidays(1405);
  for (const Case& c : cases) {
    const auto& year = c.date.year == 1404 ? y1404 : y1405;
    const auto it = std::find_if(year.begin(), year.end(),
                                 [&](const Holiday& h) { return h.date == c.date && h.name == c.name; });
    ASSERT_NE(it, year.end()) << c.date.text() << " " << c.name;
    EXPECT_EQ(it->estimate, c.estimate) << c.date.text();
    EXPECT_EQ(it->source, HolidaySource::Shipped);
  }
  EXPECT_EQ(named(y1404, "عید فطر").size(), 2u);
  EXPECT_EQ(named(y1405, "عید فطر").size(), 1u);
  EXPECT_FALSE(has(y1405, {1405, 4, 15}, "عاشورای حسینی"));
}

TEST(Holidays, SolarHolidaysOnTheirDaysInLeapAndCommonYears) {
  for (int year : {1403, 1404}) {
    const auto list = official_holidays(year);
    for (const auto& [month, day] : {std::pair{1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 12}, {1, 13}, {3, 14}, {3, 15},
                                     {11, 22}, {12, 29}}) {
      const SolarDate date{year, month, day};
      EXPECT_TRUE(std::any_of(list.begin(), list.end(),
                              [&](const Holiday& h) { return h.date == date && !h.estimate && !h.name.empty(); }))
          << date.text();
    }
    EXPECT_TRUE(std::is_sorted(list.begin(), list.end(), [](auto& a, auto& b) { return a.date < b.date; }));
    EXPECT_TRUE(std::all_of(list.begin(), list.end(), [&](auto& h) { return h.date.year == year; }));
  }
  EXPECT_TRUE(official_holidays(kLastSolarYear + 1).empty());
}

// Each lunar holiday of a Solar year sits on its Hijri day, and over forty years no occurrence
// goes missing at a year's turn nor is counted twice: consecutive ones are a Hijri year apart.
TEST(Holidays, LunarHolidaysComeRoundOnceAHijriYear) {
  const std::map<std::string_view, HijriDate> lunar = {
      {"تاسوعای حسینی", {0, 1, 9}}, {"عاشورای حسینی", {0, 1, 10}}, {"اربعین حسینی", {0, 2, 20}},
      {"شهادت امام رضا", {0, 2, 29}}, {"ولادت امام علی", {0, 7, 13}}, {"عید فطر", {0, 10, 1}},
      {"عید قربان", {0, 12, 10}},     {"عید غدیر خم", {0, 12, 18}}};
  std::map<std::string_view, std::vector<int>> days;
  int estimates = 0;
  for (int year = 1400; year < 1440; ++year) {
    for (const Holiday& h : official_holidays(year)) {
      estimates += h.estimate;
      const auto it = lunar.find(h.name);
      if (it == lunar.end()) continue;
      const HijriDate hijri = tabular_hijri_from(std::chrono::sys_days(*gregorian_from_solar(h.date)));
      ASSERT_EQ(hijri.month, it->second.month) << h.date.text() << " " << h.name;
      ASSERT_EQ(hijri.day, it->second.day) << h.date.text() << " " << h.name;
      days[it->first].push_back(*day_number(h.date));
    }
  }
  EXPECT_GE(estimates, 40 * 17);
  ASSERT_EQ(days.size(), lunar.size());
  for (const auto& [name, numbers] : days) {
    for (std::size_t i = 1; i < numbers.size(); ++i) {
      const int gap = numbers[i] - numbers[i - 1];
      ASSERT_TRUE(gap == 354 || gap == 355) << name << " " << gap;
    }
  }
}

TEST(HolidayCalendar, OperatorChangesApplyOverTheShippedList) {
  HolidayChanges changes;
  changes.removed = {{1404, 12, 29}, {1404, 1, 13}};
  changes.moved = {{{1404, 4, 15}, {1404, 4, 16}},  // Ashura announced a day later
                   {{1404, 5, 5}, {1404, 5, 6}},    // nothing on 5 Mordad: no change
                   {{1404, 1, 1}, {1404, 12, 30}}}; // to a day that does not exist: no change
  changes.added = {{{1404, 5, 12}, "تعطیلی اداره"}, {{1404, 1, 13}, "روز طبیعت اداره"},
                   {{1404, 7, 31}, "ناموجود"}};
  const HolidayCalendar calendar(1404, 1405, changes);

  struct Case {
    const char* why;
    SolarDate date;
    std::optional<Holiday> want;
  };
  const Case cases[] = {
      {"removed", {1404, 12, 29}, std::nullopt},
      {"removed then added", {1404, 1, 13}, Holiday{{1404, 1, 13}, "روز طبیعت اداره", false, HolidaySource::Operator}},
      {"moved away", {1404, 4, 15}, std::nullopt},
      {"moved here", {1404, 4, 16}, Holiday{{1404, 4, 16}, "عاشورای حسینی", false, HolidaySource::Operator}},
      {"added", {1404, 5, 12}, Holiday{{1404, 5, 12}, "تعطیلی اداره", false, HolidaySource::Operator}},
      {"untouched", {1404, 1, 1}, Holiday{{1404, 1, 1}, "عید نوروز", false, HolidaySource::Shipped}},
      {"untouched estimate", {1404, 4, 14}, Holiday{{1404, 4, 14}, "تاسوعای حسینی", true, HolidaySource::Shipped}},
      {"an ordinary day", {1404, 5, 5}, std::nullopt},
      {"a Friday is no holiday", {1404, 1, 29}, std::nullopt},
      {"a year outside the range", {1406, 1, 1}, std::nullopt},
      {"two on one day: the Solar one first", {1405, 1, 1}, Holiday{{1405, 1, 1}, "عید نوروز", false, HolidaySource::Shipped}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(calendar.holiday(c.date), c.want) << c.why;
    EXPECT_EQ(calendar.is_holiday(c.date), c.want.has_value()) << c.why;
  }
  const auto in_1404 = calendar.holidays_in(1404);
  EXPECT_EQ(in_1404.size(), official_holidays(1404).size() - 3 + 2);  // 29 Esfand had two
  EXPECT_FALSE(has(in_1404, {1404, 7, 31}, "ناموجود"));
  EXPECT_TRUE(calendar.holidays_in(1406).empty());
}

TEST(HolidayCalendar, ChangesOutsideTheYearsAndOnSharedDays) {
  HolidayChanges changes;
  changes.added = {{{1410, 2, 2}, "روز اداره"}, {{1405, 1, 1}, "آغاز سال"}};
  changes.moved = {{{1405, 1, 1}, {1405, 1, 5}}};
  const HolidayCalendar calendar(1405, 1405, changes);
  EXPECT_TRUE(calendar.is_holiday({1410, 2, 2}));
  EXPECT_EQ(calendar.holidays_in(1410).size(), 1u);
  // Both holidays of 1 Farvardin 1405 moved; the operator's addition came after and stays.
  const auto moved = calendar.holidays_in(1405);
  EXPECT_TRUE(has(moved, {1405, 1, 5}, "عید نوروز"));
  EXPECT_TRUE(has(moved, {1405, 1, 5}, "تعطیل به مناسبت عید فطر"));
  EXPECT_EQ(calendar.holiday({1405, 1, 1})->name, "آغاز سال");
  EXPECT_EQ(calendar.holiday({1405, 1, 5}),
            (Holiday{{1405, 1, 5}, "عید نوروز", false, HolidaySource::Operator}));
  EXPECT_TRUE(std::is_sorted(moved.begin(), moved.end(), [](auto& a, auto& b) { return a.date < b.date; }));
}

}  // namespace
}  // namespace orvexa::data

#include "app/data/holidays.h"

#include <algorithm>
#include <string_view>

#include "app/data/solar_days.h"
#include "app/data/tabular_hijri.h"

namespace orvexa::data {
namespace {

struct SolarHoliday {
  int month;
  int day;
  std::string_view name;
};

constexpr SolarHoliday kSolarHolidays[] = {
    {1, 1, "عید نوروز"},
    {1, 2, "عید نوروز"},
    {1, 3, "عید نوروز"},
    {1, 4, "عید نوروز"},
    {1, 12, "روز جمهوری اسلامی"},
    {1, 13, "روز طبیعت"},
    {3, 14, "رحلت امام خمینی"},
    {3, 15, "قیام ۱۵ خرداد"},
    {11, 22, "پیروزی انقلاب اسلامی"},
    {12, 29, "ملی شدن صنعت نفت"},
};

// Day 0 stands for the last day of the month, which the tabular rule decides.
constexpr int kLastDay = 0;

struct LunarHoliday {
  int month;
  int day;
  std::string_view name;
};

constexpr LunarHoliday kLunarHolidays[] = {
    {1, 9, "تاسوعای حسینی"},
    {1, 10, "عاشورای حسینی"},
    {2, 20, "اربعین حسینی"},
    {2, 28, "رحلت پیامبر اکرم و شهادت امام حسن مجتبی"},
    // Safar has 29 days in the tabular calendar; a sighted Safar may have 30, hence the estimate.
    {2, kLastDay, "شهادت امام رضا"},
    {3, 8, "شهادت امام حسن عسکری"},
    {3, 17, "میلاد پیامبر اکرم و امام جعفر صادق"},
    {6, 3, "شهادت حضرت فاطمه زهرا"},
    {7, 13, "ولادت امام علی"},
    {7, 27, "مبعث پیامبر اکرم"},
    {8, 15, "ولادت حضرت قائم"},
    {9, 21, "شهادت امام علی"},
    {10, 1, "عید فطر"},
    {10, 2, "تعطیل به مناسبت عید فطر"},
    {10, 25, "شهادت امام جعفر صادق"},
    {12, 10, "عید قربان"},
    {12, 18, "عید غدیر خم"},
};

void add_solar_holidays(int year, std::vector<Holiday>& out) {
  for (const SolarHoliday& h : kSolarHolidays) {
    const SolarDate date{year, h.month, h.day};
    if (is_valid_solar_date(date)) out.push_back({date, std::string(h.name), false, HolidaySource::Shipped});
  }
}

// A Solar year is about 11 days longer than a tabular one, so it meets parts of two or three
// Hijri years, and a lunar holiday near its start may come round again before its end.
void add_lunar_holidays(int year, std::vector<Holiday>& out) {
  const auto first = day_number({year, 1, 1}), next = day_number({year + 1, 1, 1});
  if (!first || !next) return;
  const std::chrono::sys_days start{std::chrono::days(*first)}, end{std::chrono::days(*next)};
  const int first_hijri = tabular_hijri_from(start).year;
  const int last_hijri = tabular_hijri_from(end - std::chrono::days(1)).year;
  for (int hijri = first_hijri; hijri <= last_hijri; ++hijri) {
    for (const LunarHoliday& h : kLunarHolidays) {
      const int day = h.day == kLastDay ? tabular_month_length(hijri, h.month) : h.day;
      const auto when = from_tabular_hijri({hijri, h.month, day});
      if (when < start || when >= end) continue;
      const auto date = from_day_number(static_cast<int>(when.time_since_epoch().count()));
      if (date) out.push_back({*date, std::string(h.name), true, HolidaySource::Shipped});
    }
  }
}

bool earlier(const Holiday& a, const Holiday& b) { return a.date < b.date; }
bool before_day(const Holiday& h, const SolarDate& day) { return h.date < day; }

}  // namespace

std::vector<Holiday> official_holidays(int year) {
  std::vector<Holiday> holidays;
  add_solar_holidays(year, holidays);
  add_lunar_holidays(year, holidays);
  std::stable_sort(holidays.begin(), holidays.end(), earlier);
  return holidays;
}

HolidayCalendar::HolidayCalendar(int first_year, int last_year, const HolidayChanges& changes) {
  for (int year = first_year; year <= last_year; ++year) {
    auto shipped = official_holidays(year);
    holidays_.insert(holidays_.end(), shipped.begin(), shipped.end());
  }
  for (const SolarDate& date : changes.removed) remove(date);
  for (const HolidayMove& m : changes.moved) move(m);
  for (const HolidayAddition& a : changes.added) {
    if (is_valid_solar_date(a.date)) holidays_.push_back({a.date, a.name, false, HolidaySource::Operator});
  }
  sort();
}

void HolidayCalendar::remove(const SolarDate& date) {
  std::erase_if(holidays_, [&](const Holiday& h) { return h.date == date; });
}

void HolidayCalendar::move(const HolidayMove& m) {
  if (m.from == m.to || !is_valid_solar_date(m.to)) return;
  std::vector<Holiday> moved;
  std::erase_if(holidays_, [&](const Holiday& h) {
    if (h.date != m.from) return false;
    moved.push_back({m.to, h.name, false, HolidaySource::Operator});
    return true;
  });
  holidays_.insert(holidays_.end(), moved.begin(), moved.end());
}

// Stable, so that on one day the shipped holidays stay before the operator's.
void HolidayCalendar::sort() { std::stable_sort(holidays_.begin(), holidays_.end(), earlier); }

bool HolidayCalendar::is_holiday(const SolarDate& date) const { return holiday(date).has_value(); }

std::optional<Holiday> HolidayCalendar::holiday(const SolarDate& date) const {
  const auto at = std::lower_bound(holidays_.begin(), holidays_.end(), date, before_day);
  if (at == holidays_.end() || at->date != date) return std::nullopt;
  return *at;
}

std::vector<Holiday> HolidayCalendar::holidays_in(int year) const {
  const auto from = std::lower_bound(holidays_.begin(), holidays_.end(), SolarDate{year, 1, 1}, before_day);
  const auto to = std::lower_bound(from, holidays_.end(), SolarDate{year + 1, 1, 1}, before_day);
  return {from, to};
}

}  // namespace orvexa::data

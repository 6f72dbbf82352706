#include "app/data/tabular_hijri.h"

namespace orvexa::data {
namespace {

using std::chrono::days;
using std::chrono::sys_days;

// Floor division: years before the epoch are negative and must still count whole cycles.
constexpr long div_floor(long a, long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
constexpr long mod_floor(long a, long b) { return a - b * div_floor(a, b); }

// The day before 1 Muharram of year 1 (16 July 622 Julian is 19 July 622 Gregorian).
const sys_days kEpochEve = sys_days(std::chrono::year(622) / std::chrono::July / 18);

// Days from the epoch's eve to the day before 1 Muharram of `year`: 354 per year and one per
// leap year before it, which floor((3 + 11 y) / 30) counts for the 2, 5, 7, ... pattern.
long days_before_year(long year) { return (year - 1) * 354 + div_floor(3 + 11 * year, 30); }

// Days of the months before `month`: 30, 29, 30, ... alternating.
long days_before_month(long month) { return 29 * (month - 1) + div_floor(month, 2); }

}  // namespace

bool is_tabular_leap_year(int year) { return mod_floor(14 + 11L * year, 30) < 11; }

int tabular_month_length(int year, int month) {
  if (month < 1 || month > 12) return 0;
  if (month == 12) return is_tabular_leap_year(year) ? 30 : 29;
  return month % 2 == 1 ? 30 : 29;
}

sys_days from_tabular_hijri(const HijriDate& date) {
  const long offset = days_before_year(date.year) + days_before_month(date.month) + date.day;
  return kEpochEve + days(offset);
}

HijriDate tabular_hijri_from(sys_days day) {
  const long offset = (day - kEpochEve).count();  // 1 on 1 Muharram of year 1
  // 10631 days per 30 years; the +10646 makes the estimate exact, never one year too late.
  HijriDate date{static_cast<int>(div_floor(30 * (offset - 1) + 10646, 10631)), 1, 1};
  while (from_tabular_hijri({date.year + 1, 1, 1}) <= day) ++date.year;
  while (from_tabular_hijri(date) > day) --date.year;
  const long into_year = (day - from_tabular_hijri(date)).count();
  while (date.month < 12 && days_before_month(date.month + 1) <= into_year) ++date.month;
  date.day = static_cast<int>(into_year - days_before_month(date.month)) + 1;
  return date;
}

}  // namespace orvexa::data

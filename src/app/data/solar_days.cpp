#include "app/data/solar_days.h"

#include <chrono>

namespace orvexa::data {
namespace {

// The covered years span day numbers of about -520,000 to 670,000; past this bound nothing is
// looked up, so neither a sum nor the Gregorian conversion can overflow on the way.
constexpr int kSpan = 2'000'000;

}  // namespace

bool is_valid_solar_date(const SolarDate& date) { return gregorian_from_solar(date).has_value(); }

std::optional<int> day_number(const SolarDate& date) {
  const auto gregorian = gregorian_from_solar(date);
  if (!gregorian) return std::nullopt;
  return static_cast<int>(std::chrono::sys_days(*gregorian).time_since_epoch().count());
}

std::optional<SolarDate> from_day_number(int number) {
  if (number > kSpan || number < -kSpan) return std::nullopt;
  const std::chrono::sys_days day{std::chrono::days(number)};
  return solar_from_gregorian(std::chrono::year_month_day(day));
}

std::optional<SolarDate> add_days(const SolarDate& date, int days) {
  const auto number = day_number(date);
  if (!number) return std::nullopt;
  if (days > kSpan || days < -kSpan) return std::nullopt;
  return from_day_number(*number + days);
}

std::optional<int> days_between(const SolarDate& from, const SolarDate& to) {
  const auto first = day_number(from), second = day_number(to);
  if (!first || !second) return std::nullopt;
  return *second - *first;
}

std::optional<SolarWeekday> solar_weekday(const SolarDate& date) {
  const auto number = day_number(date);
  if (!number) return std::nullopt;
  // 1970-01-01 was a Thursday, the sixth day of a week that starts on Saturday.
  constexpr int kThursday = static_cast<int>(SolarWeekday::Thursday);
  const int index = ((*number + kThursday) % 7 + 7) % 7;
  return static_cast<SolarWeekday>(index);
}

}  // namespace orvexa::data

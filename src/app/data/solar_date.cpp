#include "app/data/solar_date.h"

#include <array>
#include <charconv>
#include <ctime>

namespace orvexa::data {
namespace {

// Years at which the 33-year leap pattern restarts (the break years of the cycle arithmetic).
constexpr std::array<int, 20> kBreaks = {-61,  9,    38,   199,  426,  686,  756,
                                         818,  1111, 1181, 1210, 1635, 2060, 2097,
                                         2192, 2262, 2324, 2394, 2456, 3178};

// Floor division: the cycle arithmetic needs it for the years before the first break.
constexpr int div_floor(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
constexpr int mod_floor(int a, int b) { return a - b * div_floor(a, b); }

struct YearFacts {
  bool leap = false;
  int march_day = 0;  // day in March (of year + 621) on which the year begins
};

std::optional<YearFacts> year_facts(int year) {
  if (year < kBreaks.front() || year >= kBreaks.back()) return std::nullopt;
  const int gregorian_year = year + 621;
  int leap_solar = -14;
  int previous = kBreaks.front();
  int jump = 0;
  for (std::size_t i = 1; i < kBreaks.size(); ++i) {
    const int next = kBreaks[i];
    jump = next - previous;
    if (year < next) break;
    leap_solar += div_floor(jump, 33) * 8 + div_floor(mod_floor(jump, 33), 4);
    previous = next;
  }
  int n = year - previous;
  leap_solar += div_floor(n, 33) * 8 + div_floor(mod_floor(n, 33) + 3, 4);
  if (mod_floor(jump, 33) == 4 && jump - n == 4) ++leap_solar;
  const int leap_gregorian =
      div_floor(gregorian_year, 4) - div_floor((div_floor(gregorian_year, 100) + 1) * 3, 4) - 150;
  YearFacts facts;
  facts.march_day = 20 + leap_solar - leap_gregorian;
  if (jump - n < 6) n = n - jump + div_floor(jump + 4, 33) * 33;
  int leap = mod_floor(mod_floor(n + 1, 33) - 1, 4);
  if (leap == -1) leap = 4;
  facts.leap = leap == 0;
  return facts;
}

std::string two_digits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

std::string SolarDate::text() const {
  return std::to_string(year) + "/" + month_text() + "/" + day_text();
}
std::string SolarDate::day_text() const { return two_digits(day); }
std::string SolarDate::month_text() const { return two_digits(month); }

bool is_solar_leap_year(int year) {
  auto facts = year_facts(year);
  return facts && facts->leap;
}

int solar_month_length(int year, int month) {
  if (month < 1 || month > 12) return 0;
  if (month <= 6) return 31;
  if (month <= 11) return 30;
  return is_solar_leap_year(year) ? 30 : 29;
}

std::optional<std::chrono::sys_days> nowruz(int year) {
  auto facts = year_facts(year);
  if (!facts) return std::nullopt;
  using namespace std::chrono;
  return sys_days(std::chrono::year(year + 621) / March / day(1)) + days(facts->march_day - 1);
}

std::optional<SolarDate> solar_from_gregorian(std::chrono::year_month_day date) {
  if (!date.ok()) return std::nullopt;
  const std::chrono::sys_days when(date);
  int year = static_cast<int>(date.year()) - 621;
  auto start = nowruz(year);
  if (start && when < *start) start = nowruz(--year);
  if (!start) return std::nullopt;
  int offset = static_cast<int>((when - *start).count());
  SolarDate result{year, 1, 1};
  while (offset >= solar_month_length(year, result.month)) {
    offset -= solar_month_length(year, result.month);
    if (++result.month > 12) return std::nullopt;  // beyond the last day: not a date of `year`
  }
  result.day = offset + 1;
  return result;
}

std::optional<std::chrono::year_month_day> gregorian_from_solar(const SolarDate& date) {
  if (date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > solar_month_length(date.year, date.month))
    return std::nullopt;
  auto start = nowruz(date.year);
  if (!start) return std::nullopt;
  int offset = date.day - 1;
  for (int m = 1; m < date.month; ++m) offset += solar_month_length(date.year, m);
  return std::chrono::year_month_day(*start + std::chrono::days(offset));
}

std::optional<std::chrono::year_month_day> parse_gregorian(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto number = [&](std::size_t from, std::size_t length) -> std::optional<int> {
    int value = 0;
    const char* first = text.data() + from;
    auto [end, error] = std::from_chars(first, first + length, value);
    if (error != std::errc() || end != first + length) return std::nullopt;
    return value;
  };
  auto y = number(0, 4), m = number(5, 2), d = number(8, 2);
  if (!y || !m || !d) return std::nullopt;
  std::chrono::year_month_day date{std::chrono::year(*y), std::chrono::month(static_cast<unsigned>(*m)),
                                   std::chrono::day(static_cast<unsigned>(*d))};
  if (!date.ok()) return std::nullopt;
  return date;
}

SolarDate solar_on(messaging::WallTime when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  std::chrono::year_month_day date{std::chrono::year(local.tm_year + 1900),
                                   std::chrono::month(static_cast<unsigned>(local.tm_mon + 1)),
                                   std::chrono::day(static_cast<unsigned>(local.tm_mday))};
  return solar_from_gregorian(date).value_or(SolarDate{});
}

SolarDate solar_today(const messaging::Clock& clock) { return solar_on(clock.wall_now()); }

}  // namespace orvexa::data

#include "app/schedule/schedule_text.h"

#include <cstdint>

namespace orvexa::schedule {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<int> parse_clock(std::string_view text, bool end_of_day) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon < 1 || colon > 2 || text.size() != colon + 3)
    return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != colon && !digit(text[i])) return std::nullopt;
  const int hour = colon == 1 ? text[0] - '0' : (text[0] - '0') * 10 + (text[1] - '0');
  const int minute = (text[colon + 1] - '0') * 10 + (text[colon + 2] - '0');
  if (minute > 59) return std::nullopt;
  if (hour == 24 && minute == 0 && end_of_day) return 24 * 3600;
  if (hour > 23) return std::nullopt;
  return hour * 3600 + minute * 60;
}

std::string clock_text(int second) {
  const int hour = second / 3600, minute = second / 60 % 60;
  std::string out(5, ':');
  out[0] = static_cast<char>('0' + hour / 10);
  out[1] = static_cast<char>('0' + hour % 10);
  out[3] = static_cast<char>('0' + minute / 10);
  out[4] = static_cast<char>('0' + minute % 10);
  return out;
}

std::string range_problem(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) return "expected \"HH:MM-HH:MM\"";
  const std::string_view from = text.substr(0, dash), to = text.substr(dash + 1);
  const auto start = parse_clock(from, false);
  if (!start) return "bad time \"" + std::string(from) + "\" (00:00 to 23:59)";
  const auto end = parse_clock(to, true);
  if (!end) return "bad time \"" + std::string(to) + "\" (00:00 to 24:00)";
  if (*end < *start) return "ends before it starts";
  if (*end == *start) return "ends where it starts";
  return {};
}

std::optional<DayRange> parse_clock_range(std::string_view text) {
  if (!range_problem(text).empty()) return std::nullopt;
  const std::size_t dash = text.find('-');
  return DayRange{*parse_clock(text.substr(0, dash), false), *parse_clock(text.substr(dash + 1), true)};
}

std::optional<std::chrono::seconds> parse_delay(std::string_view text) {
  constexpr std::string_view kUnits = "dhms";
  constexpr std::int64_t kSeconds[] = {86400, 3600, 60, 1};
  std::int64_t total = 0;
  std::size_t next_unit = 0, i = 0;
  if (text.empty()) return std::nullopt;
  while (i < text.size()) {
    std::int64_t number = 0;
    const std::size_t first = i;
    for (; i < text.size() && digit(text[i]); ++i) {
      number = number * 10 + (text[i] - '0');
      if (number > kLongestDelay.count()) return std::nullopt;
    }
    if (i == first || i == text.size()) return std::nullopt;
    const std::size_t unit = kUnits.find(text[i++]);
    if (unit == std::string_view::npos || unit < next_unit) return std::nullopt;
    next_unit = unit + 1;
    total += number * kSeconds[unit];
    if (total > kLongestDelay.count()) return std::nullopt;
  }
  return std::chrono::seconds(total);
}

}  // namespace orvexa::schedule

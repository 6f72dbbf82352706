#include "app/data/holiday_text.h"

#include <charconv>
#include <optional>

#include "app/data/member_csv.h"
#include "app/data/solar_days.h"

namespace orvexa::data {
namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The length of the well-formed UTF-8 sequence at `at` that is not a control character; 0 when
// there is none (a stray byte, an overlong form, a surrogate, past U+10FFFF, a control).
std::size_t clean_sequence(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return lead < 0x20 || lead == 0x7F ? 0 : 1;
  const std::size_t extra = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
  if (extra == 0 || at + extra >= text.size()) return 0;
  char32_t code = lead & (0x3F >> extra);
  for (std::size_t k = 1; k <= extra; ++k) {
    const auto next = static_cast<unsigned char>(text[at + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code >= 0x80 && code <= 0x9F) return 0;  // the C1 controls
  return extra + 1;
}

bool is_clean_text(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = clean_sequence(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

// "Y/M/D" in ASCII digits: up to four for the year, two for the month and the day.
std::optional<SolarDate> read_date(std::string_view text) {
  int parts[3] = {};
  constexpr std::size_t kWidest[3] = {4, 2, 2};
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (at == end || *at++ != '/')) return std::nullopt;
    if (at == end || *at < '0' || *at > '9') return std::nullopt;  // from_chars takes a '-'
    auto [next, error] = std::from_chars(at, end, parts[i]);
    if (error != std::errc() || static_cast<std::size_t>(next - at) > kWidest[i]) return std::nullopt;
    at = next;
  }
  if (at != end) return std::nullopt;
  return SolarDate{parts[0], parts[1], parts[2]};
}

// Empty when the date exists; otherwise what the operator should read.
std::string date_problem(const SolarDate& date) {
  if (date.year < kFirstSolarYear || date.year > kLastSolarYear)
    return "the year " + std::to_string(date.year) + " is past the calendar's last year, " +
           std::to_string(kLastSolarYear);
  const std::string missing = date.text() + " does not exist ";
  if (date.month < 1 || date.month > 12) return missing + "(a year has 12 months)";
  if (date.day < 1) return missing + "(days start at 1)";
  const int length = solar_month_length(date.year, date.month);
  if (date.day <= length) return {};
  if (date.month == 12 && date.day == 30)
    return missing + "(" + std::to_string(date.year) + " is not a leap year)";
  return missing + "(month " + std::to_string(date.month) + " has " + std::to_string(length) + " days)";
}

// One line that is neither blank nor a comment: the holiday, or why it is not one.
std::string read_line(std::string_view line, HolidayText& out) {
  const auto blank = line.find_first_of(" \t");
  const std::string date_text = ascii_digits(line.substr(0, blank));
  const auto date = read_date(date_text);
  if (!date) return "no date at the start (write YYYY/MM/DD, then the name)";
  if (std::string problem = date_problem(*date); !problem.empty()) return problem;
  const std::string_view name = blank == std::string_view::npos ? std::string_view{} : trimmed(line.substr(blank));
  if (name.empty()) return date->text() + " has no name";
  if (!is_clean_text(name)) return "the name is not UTF-8 text or holds a control character";
  out.holidays.push_back({*date, std::string(name)});
  return {};
}

}  // namespace

HolidayText parse_holiday_text(std::string_view text) {
  HolidayText out;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  int number = 0;
  while (!text.empty()) {
    const auto end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    if (line.empty() || line.front() == '#') continue;
    if (std::string problem = read_line(line, out); !problem.empty())
      out.errors.push_back("line " + std::to_string(number) + ": " + problem);
  }
  return out;
}

DateReading read_holiday_date(std::string_view text) {
  const auto date = read_date(ascii_digits(trimmed(text)));
  if (!date) return {std::nullopt, "not a date: " + std::string(text) + " (write YYYY/MM/DD)"};
  if (std::string problem = date_problem(*date); !problem.empty()) return {std::nullopt, problem};
  return {date, {}};
}

std::string holiday_text(const std::vector<HolidayAddition>& holidays) {
  std::string text;
  for (const HolidayAddition& h : holidays) text += h.date.text() + " " + h.name + "\n";
  return text;
}

}  // namespace orvexa::data

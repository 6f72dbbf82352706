#include "app/records/report_row.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "app/data/solar_date.h"
#include "platform/host/utf.h"

namespace orvexa::records {
namespace {

// Whole seconds of `ms`, rounded down, so that 10:20:30.900 shows as 10:20:30 on both sides of
// the epoch.
std::time_t seconds_of(std::int64_t ms) {
  return static_cast<std::time_t>(ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000));
}

std::tm local_time(std::int64_t ms) {
  const std::time_t seconds = seconds_of(ms);
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}

std::string clock_text(const std::tm& t) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string integer_text(std::int64_t value) { return std::to_string(value); }

bool in_range(std::string_view text, std::size_t i, unsigned char low, unsigned char high) {
  if (i >= text.size()) return false;
  const auto byte = static_cast<unsigned char>(text[i]);
  return byte >= low && byte <= high;
}

// The length of the well-formed sequence at `i` (Unicode table 3-7), 0 when there is none.
std::size_t sequence_at(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  if (lead < 0xC2 || lead > 0xF4) return 0;
  if (lead < 0xE0) return in_range(text, i + 1, 0x80, 0xBF) ? 2 : 0;
  if (lead < 0xF0) {
    const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    return in_range(text, i + 1, low, high) && in_range(text, i + 2, 0x80, 0xBF) ? 3 : 0;
  }
  const unsigned char low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
  return in_range(text, i + 1, low, high) && in_range(text, i + 2, 0x80, 0xBF) &&
                 in_range(text, i + 3, 0x80, 0xBF)
             ? 4
             : 0;
}

bool is_well_formed(std::string_view text) {
  for (std::size_t i = 0, length = 0; i < text.size(); i += length)
    if ((length = sequence_at(text, i)) == 0) return false;
  return true;
}

}  // namespace

std::string solar_time_text(std::int64_t ms) {
  const std::tm t = local_time(ms);
  std::chrono::year_month_day day{std::chrono::year(t.tm_year + 1900),
                                  std::chrono::month(static_cast<unsigned>(t.tm_mon + 1)),
                                  std::chrono::day(static_cast<unsigned>(t.tm_mday))};
  auto solar = data::solar_from_gregorian(day);
  if (!solar) return {};
  char date[32];
  std::snprintf(date, sizeof date, "%04d/%02d/%02d ", solar->year, solar->month, solar->day);
  return date + clock_text(t);
}

std::string iso_time_text(std::int64_t ms) {
  const std::tm t = local_time(ms);
  const long offset_minutes = t.tm_gmtoff / 60;
  const long magnitude = offset_minutes < 0 ? -offset_minutes : offset_minutes;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%s%c%02ld:%02ld", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, clock_text(t).c_str(), offset_minutes < 0 ? '-' : '+',
                magnitude / 60, magnitude % 60);
  return text;
}

std::string seconds_text(double seconds) {
  char text[32];
  auto [end, error] = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 1);
  if (error != std::errc{}) return {};
  std::string out(text, end);
  return out == "-0.0" ? "0.0" : out;
}

std::string well_formed_utf8(std::string_view text) {
  // The round trip through UTF-16 replaces each ill-formed sequence, as the standard advises.
  if (is_well_formed(text)) return std::string(text);
  return host::to_utf8(host::to_utf16(text));
}

std::string interval_text(std::optional<std::int64_t> from_ms, std::optional<std::int64_t> to_ms) {
  if (!from_ms || !to_ms) return {};
  return seconds_text(static_cast<double>(*to_ms - *from_ms) / 1000.0);
}

ReportRow report_row(const AttemptRow& a) {
  ReportRow row;
  row[column_of("campaign")] = integer_text(a.campaign);
  row[column_of("attempt")] = integer_text(a.attempt);
  row[column_of("group")] = a.group;
  if (a.member_id) row[column_of("member_id")] = integer_text(*a.member_id);
  row[column_of("name")] = a.name;
  row[column_of("family")] = a.family;
  row[column_of("number")] = a.number;
  row[column_of("line")] = integer_text(a.line);
  row[column_of("channel")] = integer_text(a.channel);
  row[column_of("started_jalali")] = solar_time_text(a.dialled_ms);
  row[column_of("started")] = iso_time_text(a.dialled_ms);
  row[column_of("answered_after_s")] = interval_text(a.dialled_ms, a.answered_ms);
  row[column_of("duration_s")] = interval_text(a.answered_ms, a.ended_ms);
  if (a.outcome) row[column_of("outcome")] = std::string(campaign::outcome_token(*a.outcome));
  row[column_of("keys")] = a.keys;
  row[column_of("opening_heard_s")] = seconds_text(a.opening_heard_s);
  row[column_of("main_heard_s")] = seconds_text(a.main_heard_s);
  row[column_of("cause")] = a.cause;
  return row;
}

}  // namespace orvexa::records

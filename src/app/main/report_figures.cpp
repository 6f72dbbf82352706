#include "app/main/report_figures.h"

#include <algorithm>
#include <charconv>
#include <ctime>

namespace orvexa::app {

using campaign::Outcome;
using records::AttemptRow;

namespace {

// Persian (U+06F0..) and Arabic-Indic (U+0660..) digits as Latin ones; other bytes unchanged.
std::string latin_digits(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (lead == 0xDB && next >= 0xB0 && next <= 0xB9) {
      out += static_cast<char>('0' + (next - 0xB0));
      ++i;
    } else if (lead == 0xD9 && next >= 0xA0 && next <= 0xA9) {
      out += static_cast<char>('0' + (next - 0xA0));
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The midnight after the day that opens at `start_ms`: found from the day after's small hours, so
// a 23- or 25-hour day (a clock change) still ends at its own midnight.
std::optional<std::int64_t> next_day_start_ms(std::int64_t start_ms) {
  return day_start_ms(solar_day_of(start_ms + 26 * 3600 * 1000LL));
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

int OutcomeTotals::of(Outcome outcome) const {
  auto it = per_outcome.find(outcome);
  return it == per_outcome.end() ? 0 : it->second;
}

OutcomeTotals outcome_totals(const std::vector<AttemptRow>& rows) {
  OutcomeTotals totals;
  totals.all = static_cast<int>(rows.size());
  for (const auto& row : rows) {
    if (row.outcome) ++totals.per_outcome[*row.outcome];
    else ++totals.in_progress;
  }
  return totals;
}

std::vector<DayCounts> counts_per_day(const std::vector<AttemptRow>& rows) {
  // Keyed by the compact date, which sorts as the calendar does. Rows come in dial order, so
  // the day of the last row is usually the day asked again: it is kept to skip the conversion.
  std::map<int, DayCounts> days;
  std::int64_t cached_from = 1, cached_until = 0;
  DayCounts* cached = nullptr;
  for (const auto& row : rows) {
    if (!row.outcome) continue;
    if (!cached || row.dialled_ms < cached_from || row.dialled_ms >= cached_until) {
      const data::SolarDate day = solar_day_of(row.dialled_ms);
      cached = &days[day.compact()];
      cached->day = day;
      cached_from = day_start_ms(day).value_or(row.dialled_ms);
      cached_until = next_day_start_ms(cached_from).value_or(row.dialled_ms + 1);
    }
    ++cached->per_outcome[*row.outcome];
  }
  std::vector<DayCounts> out;
  out.reserve(days.size());
  for (auto& [key, day] : days) out.push_back(std::move(day));
  return out;
}

std::vector<std::string> group_names(const std::vector<AttemptRow>& rows) {
  std::vector<std::string> names;
  for (const auto& row : rows) {
    // Rows come member by member, so most rows repeat the name just seen.
    if (row.group.empty() || (!names.empty() && names.back() == row.group)) continue;
    names.push_back(row.group);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::optional<data::SolarDate> parse_solar_date(std::string_view text) {
  const std::string latin = latin_digits(trimmed(text));
  int parts[3] = {};
  const char* at = latin.data();
  const char* end = latin.data() + latin.size();
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (at == end || (*at != '/' && *at != '-')) return std::nullopt;
      ++at;
    }
    auto [next, error] = std::from_chars(at, end, parts[i]);
    if (error != std::errc() || next == at || next - at > 4) return std::nullopt;
    at = next;
  }
  if (at != end) return std::nullopt;
  const data::SolarDate date{parts[0], parts[1], parts[2]};
  if (!data::gregorian_from_solar(date)) return std::nullopt;
  return date;
}

std::optional<std::int64_t> day_start_ms(const data::SolarDate& day) {
  const auto gregorian = data::gregorian_from_solar(day);
  if (!gregorian) return std::nullopt;
  std::tm tm{};
  tm.tm_year = static_cast<int>(gregorian->year()) - 1900;
  tm.tm_mon = static_cast<int>(static_cast<unsigned>(gregorian->month())) - 1;
  tm.tm_mday = static_cast<int>(static_cast<unsigned>(gregorian->day()));
  tm.tm_isdst = -1;  // the zone's own rule for that day
  const std::time_t seconds = std::mktime(&tm);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<std::int64_t>(seconds) * 1000;
}

data::SolarDate solar_day_of(std::int64_t ms) {
  return data::solar_on(messaging::WallTime(std::chrono::milliseconds(ms)));
}

std::optional<DialRange> dial_range(std::string_view from, std::string_view to) {
  DialRange range;
  if (!trimmed(from).empty()) {
    const auto day = parse_solar_date(from);
    if (!day) return std::nullopt;
    range.from_ms = day_start_ms(*day);
  }
  if (!trimmed(to).empty()) {
    const auto day = parse_solar_date(to);
    if (!day) return std::nullopt;
    const auto start = day_start_ms(*day);
    if (!start) return std::nullopt;
    range.until_ms = next_day_start_ms(*start);
  }
  if (range.from_ms && range.until_ms && *range.from_ms >= *range.until_ms) return std::nullopt;
  return range;
}

std::string_view state_label(campaign::CampaignState state) {
  switch (state) {
    case campaign::CampaignState::Running: return "در حال اجرا";
    case campaign::CampaignState::Finished: return "پایان یافته";
    case campaign::CampaignState::Stopped: return "متوقف شده";
    case campaign::CampaignState::Interrupted: return "نیمه‌کاره ماند";
  }
  return {};
}

}  // namespace orvexa::app

// The figures the report page shows over the attempts it lists: totals per outcome, counts per
// Solar day, and the Solar date range an operator types, turned into dial times. No Qt here.
//
//   const auto totals = outcome_totals(rows);          // totals.of(Outcome::Busy)
//   auto range = dial_range("1405/09/01", "1405/09/18");   // nullopt: a date that does not exist
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/data/solar_date.h"
#include "app/records/calls_database.h"

namespace orvexa::app {

struct OutcomeTotals {
  std::map<campaign::Outcome, int> per_outcome;  // only outcomes that occur
  int in_progress = 0;                           // attempts without an outcome yet
  int all = 0;
  int of(campaign::Outcome outcome) const;
};
OutcomeTotals outcome_totals(const std::vector<records::AttemptRow>& rows);

// Ended attempts of one Solar day (by dial time, local time), days in calendar order.
struct DayCounts {
  data::SolarDate day;
  std::map<campaign::Outcome, int> per_outcome;
};
std::vector<DayCounts> counts_per_day(const std::vector<records::AttemptRow>& rows);

// The groups the attempts called, sorted, without the empty name of a typed number.
std::vector<std::string> group_names(const std::vector<records::AttemptRow>& rows);

// "1405/09/18", in Latin or Persian digits; nullopt for a day that does not exist.
std::optional<data::SolarDate> parse_solar_date(std::string_view text);

// Milliseconds since the epoch at local midnight opening `day`.
std::optional<std::int64_t> day_start_ms(const data::SolarDate& day);
data::SolarDate solar_day_of(std::int64_t ms);

// The dial times of the days from `from` to `to`, both included; an empty text leaves that end
// open. Nullopt when a text is not a date or the range runs backwards.
struct DialRange {
  std::optional<std::int64_t> from_ms, until_ms;  // until exclusive, as AttemptFilter takes it
};
std::optional<DialRange> dial_range(std::string_view from, std::string_view to);

// The Persian word for a campaign's state.
std::string_view state_label(campaign::CampaignState state);

}  // namespace orvexa::app

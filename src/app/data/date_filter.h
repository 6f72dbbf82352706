// The campaign's date filter: checking and padding the typed month and day, and the row
// predicate for the chosen kind of date, as bound SQL and as the operator-facing expression.
//
//   FilterFields fields{"5", "3"};                       // day, month as typed
//   auto prepared = prepare_filter(true, fields, DateKind::Birthday, today);
//   if (prepared.refused) show(kFilterDateMessage);       // fields now hold "05" and "03"
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/data/solar_date.h"

namespace orvexa::data {

enum class DateKind { Birthday, Marriage, Contract, Instalments };

inline constexpr const char* kFilterDateMessage =
    "لطفا تاريخ مربوط به فيلتر تاريخ را به صورت کامل و صحيح وارد نماييد";

// A value bound to one placeholder of a filter's SQL.
struct BoundValue {
  std::string text;
  std::optional<int> number;  // set for the last-instalment comparison
};

// A filter in force on a member table.
struct MemberFilter {
  DateKind kind = DateKind::Birthday;
  std::string date;   // member date text "MM/DD"
  int today = 0;      // today's Solar date as YYYYMMDD, for the instalment rule

  // The expression in the documented form, e.g. "tart=03/05" (for logs and tests).
  std::string expression() const;
  // A WHERE clause with "?" placeholders; the typed date never enters the SQL text.
  std::string sql_where() const;
  std::vector<BoundValue> bindings() const;
};

// The day and month fields of the filter box; prepare_filter writes the padding back.
struct FilterFields {
  std::string day;
  std::string month;
};

struct FilterPreparation {
  bool refused = false;                // the start must stop with kFilterDateMessage
  std::optional<MemberFilter> filter;  // set when the tick box is ticked and the date is good
};

// The eight-character form YYYYMMDD: day 1..31, month 1..12, at most 30 days after month 6.
bool is_valid_filter_date(std::string_view yyyymmdd);

// One field padded to two characters with a leading "0" when it holds one.
std::string pad_field(std::string_view field);

FilterPreparation prepare_filter(bool ticked, FilterFields& fields, DateKind kind,
                                 const SolarDate& today);

// "birthday", "marriage", "contract", "instalments" (command-line names).
std::optional<DateKind> date_kind_from_name(std::string_view name);
// The member column a single-date kind compares ("tart", "tarezd", "targ").
const char* date_column(DateKind kind);

}  // namespace orvexa::data

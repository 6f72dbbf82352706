#include "app/data/date_filter.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace orvexa::data {
namespace {

std::optional<int> digits_value(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(),
                                   [](unsigned char c) { return std::isdigit(c) != 0; }))
    return std::nullopt;
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

const char* date_column(DateKind kind) {
  switch (kind) {
    case DateKind::Birthday: return "tart";
    case DateKind::Marriage: return "tarezd";
    case DateKind::Contract: return "targ";
    case DateKind::Instalments: break;
  }
  return "tar1";
}

std::string MemberFilter::expression() const {
  if (kind != DateKind::Instalments) return std::string(date_column(kind)) + "=" + date;
  std::string text;
  for (int i = 1; i <= 12; ++i) {
    if (i > 1) text += " or ";
    text += "(tar" + std::to_string(i) + "=" + date + " and (tare>=" + std::to_string(today) + "))";
  }
  return text;
}

std::string MemberFilter::sql_where() const {
  if (kind != DateKind::Instalments) return std::string(date_column(kind)) + " = ?";
  // tare is compared as a number: a text someone typed into the grid counts as 0, not as "large".
  std::string text;
  for (int i = 1; i <= 12; ++i) {
    if (i > 1) text += " OR ";
    text += "(tar" + std::to_string(i) + " = ? AND CAST(tare AS INTEGER) >= ?)";
  }
  return text;
}

std::vector<BoundValue> MemberFilter::bindings() const {
  if (kind != DateKind::Instalments) return {BoundValue{date, std::nullopt}};
  std::vector<BoundValue> values;
  for (int i = 1; i <= 12; ++i) {
    values.push_back({date, std::nullopt});
    values.push_back({std::to_string(today), today});
  }
  return values;
}

bool is_valid_filter_date(std::string_view yyyymmdd) {
  if (yyyymmdd.size() != 8) return false;
  auto month = digits_value(yyyymmdd.substr(4, 2));
  auto day = digits_value(yyyymmdd.substr(6, 2));
  if (!month || !day) return false;
  if (*day < 1 || *day > 31 || *month < 1 || *month > 12) return false;
  return !(*month > 6 && *day > 30);
}

std::string pad_field(std::string_view field) {
  if (field.size() == 1) return "0" + std::string(field);
  return std::string(field);
}

FilterPreparation prepare_filter(bool ticked, FilterFields& fields, DateKind kind,
                                 const SolarDate& today) {
  const bool complete = !fields.day.empty() && !fields.month.empty();
  fields.day = pad_field(fields.day);
  fields.month = pad_field(fields.month);
  const bool valid = complete && is_valid_filter_date("1300" + fields.month + fields.day);
  FilterPreparation result;
  if (!ticked) return result;
  if (!valid) {
    result.refused = true;
    return result;
  }
  result.filter = MemberFilter{kind, fields.month + "/" + fields.day, today.compact()};
  return result;
}

std::optional<DateKind> date_kind_from_name(std::string_view name) {
  if (name == "birthday") return DateKind::Birthday;
  if (name == "marriage") return DateKind::Marriage;
  if (name == "contract") return DateKind::Contract;
  if (name == "instalments") return DateKind::Instalments;
  return std::nullopt;
}

}  // namespace orvexa::data

#include "app/schedule/schedule_config.h"

#include <toml++/toml.h>

#include "app/schedule/schedule_text.h"

namespace orvexa::schedule {

namespace {

using campaign::Outcome;

// Carries the first problem found; every reader returns false once there is one.
struct Reader {
  std::string error;

  bool fail(std::string_view table, std::string_view key, std::string_view what) {
    if (error.empty())
      error = "[" + std::string(table) + "] key '" + std::string(key) + "': " + std::string(what);
    return false;
  }
};

std::optional<Weekday> weekday_from_key(std::string_view key) {
  for (int d = 0; d < kWeekdays; ++d)
    if (weekday_key(static_cast<Weekday>(d)) == key) return static_cast<Weekday>(d);
  return std::nullopt;
}

bool read_day(Reader& r, std::string_view key, const toml::node& value,
              std::vector<DayRange>& out) {
  const toml::array* list = value.as_array();
  if (!list) return r.fail("calling_hours", key, "must be a list of \"HH:MM-HH:MM\" ranges");
  for (const toml::node& item : *list) {
    const auto text = item.value_exact<std::string>();
    if (!text) return r.fail("calling_hours", key, "must be a list of \"HH:MM-HH:MM\" ranges");
    if (auto problem = range_problem(*text); !problem.empty())
      return r.fail("calling_hours", key, "\"" + *text + "\": " + problem);
    const DayRange range = *parse_clock_range(*text);
    for (const DayRange& other : out)
      if (range.start < other.end && other.start < range.end)
        return r.fail("calling_hours", key,
                      "\"" + *text + "\" overlaps \"" + clock_text(other.start) + "-" +
                          clock_text(other.end) + "\"");
    out.push_back(range);
  }
  return true;
}

bool read_hours(Reader& r, const toml::table& table, CallingHours& hours) {
  for (auto&& [k, v] : table) {
    const auto day = weekday_from_key(k.str());
    if (!day) return r.fail("calling_hours", k.str(), "unknown key (the days are saturday .. friday)");
    std::vector<DayRange> ranges;
    if (!read_day(r, k.str(), v, ranges)) return false;
    hours.set_day(*day, std::move(ranges));
  }
  return true;
}

bool read_rule(Reader& r, std::string_view key, const toml::table& table, RetryRule& rule) {
  for (auto&& [k, v] : table)
    if (k.str() != "more" && k.str() != "after")
      return r.fail("retry", key, "unknown key '" + std::string(k.str()) + "' (more, after)");
  const auto more = table["more"].value_exact<std::int64_t>();
  if (!more || *more < 0 || *more > 100)
    return r.fail("retry", key, "'more' must be a whole number from 0 to 100");
  rule = RetryRule{static_cast<int>(*more), RetryWait::After, std::chrono::seconds(0)};
  const toml::node* after = table.get("after");
  if (!after) return *more == 0 || r.fail("retry", key, "'after' is missing (\"10m\", \"next-day\")");
  const auto text = after->value_exact<std::string>();
  if (text && *text == "next-day") {
    rule.wait = RetryWait::NextCallingDay;
    return true;
  }
  const auto delay = text ? parse_delay(*text) : std::nullopt;
  if (!delay)
    return r.fail("retry", key, "'after' must be a delay such as \"90s\", \"10m\", \"1h30m\" (at most 30 days) or \"next-day\"");
  rule.after = *delay;
  return true;
}

bool read_retry(Reader& r, const toml::table& table, RetryPolicy& policy) {
  for (auto&& [k, v] : table) {
    const auto outcome = campaign::outcome_from_token(k.str());
    if (!outcome) return r.fail("retry", k.str(), "unknown outcome");
    if (!retry_configurable(*outcome))
      return r.fail("retry", k.str(), *outcome == Outcome::Interrupted  ? "is always called again and is not counted"
                                      : *outcome == Outcome::SkippedDnc ? "is never called: the number is on the do-not-call list"
                                                                        : "is final: the member was reached");
    const toml::table* rule_table = v.as_table();
    if (!rule_table) return r.fail("retry", k.str(), "must be a table such as { more = 2, after = \"10m\" }");
    RetryRule rule;
    if (!read_rule(r, k.str(), *rule_table, rule)) return false;
    policy.set(*outcome, rule);
  }
  return true;
}

}  // namespace

ScheduleConfigResult read_schedule_config(const toml::table& root) {
  ScheduleConfigResult result;
  Reader r;
  if (const toml::node* hours = root.get("calling_hours")) {
    if (!hours->is_table()) r.error = "[calling_hours] must be a table";
    else read_hours(r, *hours->as_table(), result.config.hours);
  }
  if (const toml::node* retry = root.get("retry"); retry && r.error.empty()) {
    if (!retry->is_table()) r.error = "[retry] must be a table";
    else read_retry(r, *retry->as_table(), result.config.retry);
  }
  if (!r.error.empty()) result = ScheduleConfigResult{ScheduleConfig{}, r.error};
  return result;
}

}  // namespace orvexa::schedule

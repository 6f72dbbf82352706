#include "app/schedule/schedule_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <toml++/toml.h>

#include "app/schedule/schedule_text.h"
#include "local_clock.h"
#include "schedule_config_harness.h"

namespace orvexa::schedule {
namespace {

using campaign::Outcome;
using namespace std::chrono_literals;
constexpr int kH = 3600;

ScheduleConfigResult read(std::string_view text) { return read_schedule_config(toml::parse(text)); }

void expect_same_hours(const CallingHours& a, const CallingHours& b) {
  for (int d = 0; d < kWeekdays; ++d)
    EXPECT_EQ(a.day(static_cast<Weekday>(d)), b.day(static_cast<Weekday>(d))) << d;
}

void expect_same_retries(const RetryPolicy& a, const RetryPolicy& b) {
  for (Outcome o : campaign::kAllOutcomes) EXPECT_EQ(a.rule(o), b.rule(o)) << campaign::outcome_token(o);
}

TEST(ScheduleText, ClocksAndDelays) {
  struct Clock { const char* in; bool end; std::optional<int> want; };
  const Clock clocks[] = {{"09:00", false, 9 * kH}, {"9:05", false, 9 * kH + 300},
                          {"23:59", false, 23 * kH + 59 * 60}, {"00:00", false, 0},
                          {"24:00", true, 24 * kH}, {"24:00", false, std::nullopt},
                          {"25:00", true, std::nullopt}, {"12:60", false, std::nullopt},
                          {"123:00", false, std::nullopt}, {"9:5", false, std::nullopt},
                          {"ab:cd", false, std::nullopt}, {"", false, std::nullopt},
                          {":00", false, std::nullopt}, {"۰۹:۰۰", false, std::nullopt}};
  for (const auto& c : clocks) EXPECT_EQ(parse_clock(c.in, c.end), c.want) << c.in;

  struct Delay { const char* in; std::optional<std::chrono::seconds> want; };
  const Delay delays[] = {{"10m", 10min}, {"90s", 90s}, {"2h", 2h}, {"1d", 24h}, {"0m", 0s},
                          {"1h30m", 90min}, {"1d2h3m4s", 93784s}, {"30d", 720h},
                          {"31d", std::nullopt}, {"30m1h", std::nullopt}, {"1h1h", std::nullopt},
                          {"10", std::nullopt}, {"m", std::nullopt}, {"-5m", std::nullopt},
                          {"10 m", std::nullopt}, {"10x", std::nullopt}, {"", std::nullopt},
                          {"99999999999999999999s", std::nullopt}};
  for (const auto& c : delays) EXPECT_EQ(parse_delay(c.in), c.want) << c.in;
}

TEST(ScheduleConfig, AbsentTablesGiveTheDefaults) {
  const ScheduleConfigResult r = read("[[line]]\nkind = \"sim\"\n");
  EXPECT_EQ(r.error, "");
  expect_same_hours(r.config.hours, CallingHours::office_defaults());
  expect_same_retries(r.config.retry, RetryPolicy::defaults());
}

TEST(ScheduleConfig, ReadsDaysAndRulesAndKeepsTheOthers) {
  const ScheduleConfigResult r = read(R"(
[calling_hours]
saturday = ["16:00-20:00", "08:30-12:00"]
thursday = []
friday = ["10:00-24:00"]
[retry]
busy = { more = 3, after = "1h30m" }
unreachable = { more = 2, after = "next-day" }
no-answer = { more = 0 }
hung-up = { after = "5m", more = 1 }
)");
  ASSERT_EQ(r.error, "");
  const CallingHours defaults = CallingHours::office_defaults();
  EXPECT_EQ(r.config.hours.day(Weekday::Saturday),
            (std::vector<DayRange>{{8 * kH + 1800, 12 * kH}, {16 * kH, 20 * kH}}));
  EXPECT_TRUE(r.config.hours.day(Weekday::Thursday).empty());
  EXPECT_EQ(r.config.hours.day(Weekday::Friday), (std::vector<DayRange>{{10 * kH, 24 * kH}}));
  EXPECT_EQ(r.config.hours.day(Weekday::Sunday), defaults.day(Weekday::Sunday));

  const RetryPolicy& retry = r.config.retry;
  EXPECT_EQ(retry.rule(Outcome::Busy), (RetryRule{3, RetryWait::After, 90min}));
  EXPECT_EQ(retry.rule(Outcome::Unreachable), (RetryRule{2, RetryWait::NextCallingDay, 0s}));
  EXPECT_EQ(retry.rule(Outcome::NoAnswer), (RetryRule{0, RetryWait::After, 0s}));
  EXPECT_EQ(retry.rule(Outcome::HungUp), (RetryRule{1, RetryWait::After, 5min}));
  EXPECT_EQ(retry.rule(Outcome::Failed), RetryPolicy::defaults().rule(Outcome::Failed));
}

TEST(ScheduleConfig, BadInputIsRefusedByName) {
  struct Case { const char* text; const char* error; };
  const Case cases[] = {
      {"[calling_hours]\nsaturday = [\"13:00-09:00\"]",
       "[calling_hours] key 'saturday': \"13:00-09:00\": ends before it starts"},
      {"[calling_hours]\nsunday = [\"09:00-09:00\"]",
       "[calling_hours] key 'sunday': \"09:00-09:00\": ends where it starts"},
      {"[calling_hours]\nmonday = [\"25:00-26:00\"]",
       "[calling_hours] key 'monday': \"25:00-26:00\": bad time \"25:00\" (00:00 to 23:59)"},
      {"[calling_hours]\nmonday = [\"09:00-24:30\"]",
       "[calling_hours] key 'monday': \"09:00-24:30\": bad time \"24:30\" (00:00 to 24:00)"},
      {"[calling_hours]\ntuesday = [\"0900\"]",
       "[calling_hours] key 'tuesday': \"0900\": expected \"HH:MM-HH:MM\""},
      {"[calling_hours]\nwednesday = [\"09:00-13:00\", \"12:00-14:00\"]",
       "[calling_hours] key 'wednesday': \"12:00-14:00\" overlaps \"09:00-13:00\""},
      {"[calling_hours]\nshanbe = []",
       "[calling_hours] key 'shanbe': unknown key (the days are saturday .. friday)"},
      {"[calling_hours]\nthursday = \"09:00-12:00\"",
       "[calling_hours] key 'thursday': must be a list of \"HH:MM-HH:MM\" ranges"},
      {"[calling_hours]\nfriday = [9]",
       "[calling_hours] key 'friday': must be a list of \"HH:MM-HH:MM\" ranges"},
      {"calling_hours = 3", "[calling_hours] must be a table"},
      {"retry = []", "[retry] must be a table"},
      {"[retry]\nbussy = { more = 1, after = \"1m\" }", "[retry] key 'bussy': unknown outcome"},
      {"[retry]\nbusy = { more = -1, after = \"10m\" }",
       "[retry] key 'busy': 'more' must be a whole number from 0 to 100"},
      {"[retry]\nbusy = { more = 1.5, after = \"10m\" }",
       "[retry] key 'busy': 'more' must be a whole number from 0 to 100"},
      {"[retry]\nbusy = { after = \"10m\" }",
       "[retry] key 'busy': 'more' must be a whole number from 0 to 100"},
      {"[retry]\nfailed = { more = 2, after = \"10x\" }",
       "[retry] key 'failed': 'after' must be a delay such as \"90s\", \"10m\", \"1h30m\" (at most 30 "
       "days) or \"next-day\""},
      {"[retry]\nfailed = { more = 2, after = 10 }",
       "[retry] key 'failed': 'after' must be a delay such as \"90s\", \"10m\", \"1h30m\" (at most 30 "
       "days) or \"next-day\""},
      {"[retry]\nno-key = { more = 2 }", "[retry] key 'no-key': 'after' is missing (\"10m\", \"next-day\")"},
      {"[retry]\nbusy = { more = 2, after = \"10m\", every = 1 }",
       "[retry] key 'busy': unknown key 'every' (more, after)"},
      {"[retry]\nbusy = 2", "[retry] key 'busy': must be a table such as { more = 2, after = \"10m\" }"},
      {"[retry]\nheard-main = { more = 1, after = \"1m\" }", "[retry] key 'heard-main': is final: the member was reached"},
      {"[retry]\ndeclined = { more = 0 }", "[retry] key 'declined': is final: the member was reached"},
      {"[retry]\ninterrupted = { more = 0 }",
       "[retry] key 'interrupted': is always called again and is not counted"},
  };
  for (const auto& c : cases) {
    const ScheduleConfigResult r = read(c.text);
    EXPECT_EQ(r.error, c.error) << c.text;
    // Nothing of a refused file is used: the whole configuration stays at its defaults.
    expect_same_hours(r.config.hours, CallingHours::office_defaults());
    expect_same_retries(r.config.retry, RetryPolicy::defaults());
  }
}

// The stored corpus and bounded random mutations of it keep the fuzz target's invariants.
TEST(ScheduleConfig, CorpusAndRandomInputsKeepTheRules) {
  const char* source = std::getenv("ORVEXA_SOURCE_DIR");
  const auto corpus = std::filesystem::path(source ? source : ".") / "fuzz/corpus/schedule_config";
  std::vector<std::string> seeds;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, ec)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    seeds.push_back(text.str());
    EXPECT_TRUE(fuzz::read_schedule_text(seeds.back())) << entry.path();
  }
  ASSERT_GE(seeds.size(), 5u) << corpus;
  std::mt19937 random(1404);
  const std::string alphabet = "[]{}=\"\n ,:-0123456789dhmsabcdefgnortuwxy";
  for (int round = 0; round < 3000; ++round) {
    std::string text = seeds[random() % seeds.size()];
    for (int e = 1 + static_cast<int>(random() % 6); e > 0 && !text.empty(); --e) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text[at] = alphabet[random() % alphabet.size()]; break;
        case 1: text.erase(at, 1 + random() % 8); break;
        default: text.insert(at, 1, alphabet[random() % alphabet.size()]);
      }
    }
    ASSERT_TRUE(fuzz::read_schedule_text(text)) << text;
  }
}

}  // namespace
}  // namespace orvexa::schedule

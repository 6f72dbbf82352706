// The cells every export shares: Solar and ISO times in local time, lengths in seconds, the
// empty cells of what did not happen.
#include "app/records/report_row.h"

#include <gtest/gtest.h>

#include "report_samples.h"

namespace orvexa::records {
namespace {

using testing::TimeZone;
using testing::utc_ms;

TEST(ReportRowTest, TimesInLocalTimeAndTheSolarCalendar) {
  struct Case {
    const char* name;
    const char* zone;
    std::int64_t ms;
    const char* solar;
    const char* iso;
  };
  const Case cases[] = {
      {"Tehran", testing::kTehran, utc_ms(2026, 12, 10, 6, 50, 30, 900), "1405/09/19 10:20:30",
       "2026-12-10T10:20:30+03:30"},
      {"local day is the day after UTC's", testing::kTehran, utc_ms(2024, 3, 19, 21, 0, 0),
       "1403/01/01 00:30:00", "2024-03-20T00:30:00+03:30"},
      {"UTC, last day of a year", "UTC0", utc_ms(2024, 3, 19, 23, 59, 59), "1402/12/29 23:59:59",
       "2024-03-19T23:59:59+00:00"},
      {"west of UTC, day before UTC's", "EST5", utc_ms(2025, 3, 21, 3, 0, 0),
       "1403/12/30 22:00:00", "2025-03-20T22:00:00-05:00"},
      {"before the epoch rounds down", "UTC0", utc_ms(1969, 12, 31, 23, 59, 59, 500),
       "1348/10/10 23:59:59", "1969-12-31T23:59:59+00:00"},
  };
  for (const Case& c : cases) {
    TimeZone zone(c.zone);
    EXPECT_EQ(solar_time_text(c.ms), c.solar) << c.name;
    EXPECT_EQ(iso_time_text(c.ms), c.iso) << c.name;
  }
}

TEST(ReportRowTest, LengthsHaveOneDecimalAndAreEmptyWhenUnknown) {
  struct Case {
    std::optional<std::int64_t> from, to;
    const char* want;
  };
  const Case cases[] = {{0, 1260, "1.3"},     {0, 59999, "60.0"}, {1000, 1000, "0.0"},
                        {0, 3600000, "3600.0"}, {std::nullopt, 5, ""}, {5, std::nullopt, ""},
                        {1000, 960, "0.0"}};
  for (const Case& c : cases)
    EXPECT_EQ(interval_text(c.from, c.to), c.want) << c.from.value_or(-1) << ".." << c.to.value_or(-1);
}

TEST(ReportRowTest, IllFormedUtf8IsReplacedWellFormedIsKept) {
  constexpr std::string_view kWellFormed[] = {
      "", "ascii", "رضایی", "\xE0\xA0\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80",
      "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"};
  for (std::string_view text : kWellFormed) EXPECT_EQ(well_formed_utf8(text), text) << text;
  struct Case {
    std::string_view in, want;
  };
  constexpr Case kIllFormed[] = {
      {"a\xFF" "b", "a\uFFFDb"},                    // a byte that begins nothing
      {"\xC0\xAF", "\uFFFD\uFFFD"},                // overlong
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},     // an encoded surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xE2\x82", "\uFFFD"},                      // cut short at the end
      {"\xE2\x82x", "\uFFFDx"},                    // cut short, the next byte kept
      {"\xF0\x9F\x98", "\uFFFD"},
  };
  for (const Case& c : kIllFormed) EXPECT_EQ(well_formed_utf8(c.in), c.want) << c.in;
}

TEST(ReportRowTest, CellsOfAnsweredAndUnansweredAttempts) {
  TimeZone zone(testing::kTehran);
  const ReportRow answered = report_row(testing::answered_attempt());
  const ReportRow busy = report_row(testing::busy_attempt());
  struct Case {
    std::size_t column;
    const char* answered;
    const char* busy;
  };
  const Case cases[] = {
      {column_of("campaign"), "7", "7"},
      {column_of("attempt"), "1", "2"},
      {column_of("member_id"), "12", ""},
      {column_of("number"), "09121234567", "+98 912 000 1111"},
      {column_of("started_jalali"), "1405/09/19 10:20:30", "1405/09/19 10:21:30"},
      {column_of("started"), "2026-12-10T10:20:30+03:30", "2026-12-10T10:21:30+03:30"},
      {column_of("answered_after_s"), "3.5", ""},
      {column_of("duration_s"), "42.3", ""},
      {column_of("outcome"), "heard-main", "busy"},
      {column_of("keys"), "01", ""},
      {column_of("opening_heard_s"), "4.0", "0.0"},
      {column_of("main_heard_s"), "31.0", "0.0"},
      {column_of("cause"), "", "486 Busy Here"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(answered[c.column], c.answered) << kReportColumns[c.column].key;
    EXPECT_EQ(busy[c.column], c.busy) << kReportColumns[c.column].key;
  }
  AttemptRow in_progress = testing::answered_attempt();
  in_progress.outcome.reset();
  in_progress.ended_ms.reset();
  const ReportRow open = report_row(in_progress);
  EXPECT_EQ(open[column_of("outcome")], "");
  EXPECT_EQ(open[column_of("duration_s")], "");
}

}  // namespace
}  // namespace orvexa::records

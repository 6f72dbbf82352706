// The report page's figures: Solar dates as an operator types them, the dial times of a range of
// days (a 25-hour day included), totals and per-day counts, and the chart drawn from them.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QStackedBarSeries>

#include "page_test_support.h"
#include "app/main/outcome_chart.h"
#include "app/main/report_figures.h"

namespace orvexa::app {
namespace {

using testing::page_application;

using campaign::Outcome;
using data::SolarDate;
using records::AttemptRow;

std::int64_t local_ms(int y, int mo, int d, int h = 0, int mi = 0) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm)) * 1000;
}

// Runs a test in another time zone and puts the machine's back afterwards.
class ZoneGuard {
 public:
  explicit ZoneGuard(const char* zone) {
    if (const char* old = ::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneGuard() {
    if (old_) ::setenv("TZ", old_->c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

AttemptRow attempt(std::int64_t dialled_ms, std::optional<Outcome> outcome) {
  AttemptRow row;
  row.dialled_ms = dialled_ms;
  row.outcome = outcome;
  return row;
}

TEST(ReportFigures, SolarDatesAsTyped) {
  struct Case {
    const char* name;
    std::string_view text;
    std::optional<SolarDate> want;
  };
  const Case cases[] = {
      {"latin digits", "1405/09/18", SolarDate{1405, 9, 18}},
      {"persian digits", "۱۴۰۵/۰۹/۱۸", SolarDate{1405, 9, 18}},
      {"arabic-indic digits", "١٤٠٥/٠٩/١٨", SolarDate{1405, 9, 18}},
      {"dashes, one digit, blanks", " 1405-9-1 ", SolarDate{1405, 9, 1}},
      {"last day of a leap year", "1403/12/30", SolarDate{1403, 12, 30}},
      {"30 Esfand of a common year", "1404/12/30", std::nullopt},
      {"31 Mehr", "1405/07/31", std::nullopt},
      {"month 13", "1405/13/01", std::nullopt},
      {"day 0", "1405/01/00", std::nullopt},
      {"no day", "1405/09", std::nullopt},
      {"a fourth part", "1405/09/18/1", std::nullopt},
      {"trailing letter", "1405/09/18x", std::nullopt},
      {"five-digit year", "14050/01/01", std::nullopt},
      {"empty", "", std::nullopt},
      {"words", "دیروز", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_solar_date(c.text), c.want) << c.name;
}

TEST(ReportFigures, DialRangeCoversWholeLocalDays) {
  struct Day {
    int y, mo, d;
  };
  struct Case {
    const char* name;
    const char* zone;
    std::string_view from, to;
    bool valid;
    std::optional<Day> from_day, until_day;  // local midnights, read in the case's zone
  };
  // 1405/09/18 is 2026-12-09; 1405/08/03 is 2026-10-25, when Berlin's clocks go back an hour.
  const Case cases[] = {
      {"one day", "Asia/Tehran", "1405/09/18", "1405/09/18", true, Day{2026, 12, 9}, Day{2026, 12, 10}},
      {"open start", "Asia/Tehran", "", "1405/09/18", true, std::nullopt, Day{2026, 12, 10}},
      {"open end", "Asia/Tehran", "1405/09/01", " ", true, Day{2026, 11, 22}, std::nullopt},
      {"both open", "Asia/Tehran", "", "", true, std::nullopt, std::nullopt},
      {"across the year's end", "Asia/Tehran", "1404/12/29", "1405/01/01", true, Day{2026, 3, 20},
       Day{2026, 3, 22}},
      {"25-hour day", "Europe/Berlin", "1405/08/03", "1405/08/03", true, Day{2026, 10, 25},
       Day{2026, 10, 26}},
      {"day in UTC", "UTC", "1405/09/18", "1405/09/18", true, Day{2026, 12, 9}, Day{2026, 12, 10}},
      {"backwards", "Asia/Tehran", "1405/09/18", "1405/09/17", false, {}, {}},
      {"not a date", "Asia/Tehran", "1405/09/18", "1405/09/40", false, {}, {}},
      {"not a date, open start", "Asia/Tehran", "", "1405/9", false, {}, {}},
  };
  auto midnight = [](const std::optional<Day>& day) -> std::optional<std::int64_t> {
    if (!day) return std::nullopt;
    return local_ms(day->y, day->mo, day->d);
  };
  for (const auto& c : cases) {
    ZoneGuard zone(c.zone);
    const auto range = dial_range(c.from, c.to);
    ASSERT_EQ(range.has_value(), c.valid) << c.name;
    if (!range) continue;
    EXPECT_EQ(range->from_ms, midnight(c.from_day)) << c.name;
    EXPECT_EQ(range->until_ms, midnight(c.until_day)) << c.name;
  }
  ZoneGuard berlin("Europe/Berlin");
  const auto long_day = dial_range("1405/08/03", "1405/08/03");
  ASSERT_TRUE(long_day);
  EXPECT_EQ(*long_day->until_ms - *long_day->from_ms, 25 * 3600 * 1000LL);
}

TEST(ReportFigures, TotalsAndDaysOfEndedAttempts) {
  ZoneGuard zone("Asia/Tehran");
  // Out of dial order on purpose: a resumed campaign's rows, or rows filtered by outcome.
  const std::vector<AttemptRow> rows = {
      attempt(local_ms(2026, 12, 9, 23, 59), Outcome::Busy),
      attempt(local_ms(2026, 12, 10, 0, 0), Outcome::Busy),
      attempt(local_ms(2026, 12, 9, 9, 0), Outcome::HeardMain),
      attempt(local_ms(2026, 12, 10, 8, 0), Outcome::HeardMain),
      attempt(local_ms(2026, 12, 9, 10, 0), Outcome::Busy),
      attempt(local_ms(2026, 12, 12, 10, 0), std::nullopt),  // still in progress
      attempt(local_ms(2026, 12, 8, 12, 0), Outcome::NoAnswer),
  };
  const auto totals = outcome_totals(rows);
  EXPECT_EQ(totals.all, 7);
  EXPECT_EQ(totals.in_progress, 1);
  EXPECT_EQ(totals.of(Outcome::Busy), 3);
  EXPECT_EQ(totals.of(Outcome::HeardMain), 2);
  EXPECT_EQ(totals.of(Outcome::NoAnswer), 1);
  EXPECT_EQ(totals.of(Outcome::Declined), 0);

  const auto days = counts_per_day(rows);
  ASSERT_EQ(days.size(), 3u) << "the day with only a call in progress has no bar";
  EXPECT_EQ(days[0].day, (SolarDate{1405, 9, 17}));
  EXPECT_EQ(days[1].day, (SolarDate{1405, 9, 18}));
  EXPECT_EQ(days[2].day, (SolarDate{1405, 9, 19}));
  using Counts = std::map<Outcome, int>;
  EXPECT_EQ(days[0].per_outcome, (Counts{{Outcome::NoAnswer, 1}}));
  EXPECT_EQ(days[1].per_outcome, (Counts{{Outcome::Busy, 2}, {Outcome::HeardMain, 1}}));
  EXPECT_EQ(days[2].per_outcome, (Counts{{Outcome::Busy, 1}, {Outcome::HeardMain, 1}}));
  EXPECT_TRUE(counts_per_day({}).empty());
}

TEST(ReportFigures, GroupNamesSortedOnceWithoutTypedNumbers) {
  std::vector<AttemptRow> rows(6);
  const char* groups[] = {"ب", "ب", "الف", "", "ب", "الف"};
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].group = groups[i];
  EXPECT_EQ(group_names(rows), (std::vector<std::string>{"الف", "ب"}));
  EXPECT_TRUE(group_names({}).empty());
}

// Sums each bar set of the chart by the outcome its label names.
std::map<Outcome, int> chart_sums(QChart& chart, int& categories) {
  std::map<Outcome, int> sums;
  categories = 0;
  for (QAbstractSeries* s : chart.series()) {
    for (QBarSet* set : static_cast<QAbstractBarSeries*>(s)->barSets()) {
      const auto outcome = outcome_of_set_label(set->label());
      EXPECT_TRUE(outcome) << set->label().toStdString();
      if (!outcome) continue;
      categories = static_cast<int>(set->count());
      for (int i = 0; i < set->count(); ++i) sums[*outcome] += static_cast<int>(set->at(i));
    }
  }
  return sums;
}

TEST(OutcomeChart, StackedPerDayOrOneBarPerOutcome) {
  page_application();
  ZoneGuard zone("Asia/Tehran");
  QChart chart;
  struct Case {
    const char* name;
    std::vector<AttemptRow> rows;
    ChartKind kind;
    QStringList days;  // the axis's categories
  };
  const std::int64_t day1 = local_ms(2026, 12, 9, 10), day2 = local_ms(2026, 12, 11, 10);
  const std::int64_t last_day = local_ms(2027, 3, 20, 10);  // 1405/12/29
  const std::int64_t new_year = local_ms(2027, 3, 21, 10);  // 1406/01/01
  const Case cases[] = {
      {"several days", {attempt(day1, Outcome::Busy), attempt(day1, Outcome::HeardMain),
                        attempt(day2, Outcome::Busy), attempt(day2, std::nullopt)},
       ChartKind::PerDay, {"09/18", "09/20"}},
      {"across the new year", {attempt(last_day, Outcome::Busy), attempt(new_year, Outcome::Busy)},
       ChartKind::PerDay, {"1405/12/29", "1406/01/01"}},
      {"one day", {attempt(day1, Outcome::Busy), attempt(day1 + 1000, Outcome::Busy),
                   attempt(day1, Outcome::Rejected)},
       ChartKind::PerOutcome, {"09/18"}},
      {"nothing ended", {attempt(day1, std::nullopt)}, ChartKind::Empty, {}},
      {"no rows", {}, ChartKind::Empty, {}},
  };
  for (const auto& c : cases) {
    const ChartKind kind = fill_outcome_chart(chart, counts_per_day(c.rows));
    EXPECT_EQ(kind, c.kind) << c.name;
    const bool stacked = !chart.series().empty() &&
                         chart.series().front()->type() == QAbstractSeries::SeriesTypeStackedBar;
    EXPECT_EQ(stacked, c.kind == ChartKind::PerDay) << c.name;
    EXPECT_EQ(chart.series().size(), c.kind == ChartKind::Empty ? 0 : 1) << c.name;
    int categories = 0;
    const auto sums = chart_sums(chart, categories);
    EXPECT_EQ(sums, outcome_totals(c.rows).per_outcome) << c.name;
    EXPECT_EQ(categories, c.days.size()) << c.name;
    QStringList days;
    for (QAbstractAxis* axis : chart.axes(Qt::Horizontal))
      if (auto* category = qobject_cast<QBarCategoryAxis*>(axis)) days = category->categories();
    EXPECT_EQ(days, c.days) << c.name;
    EXPECT_EQ(chart.axes().size(), c.kind == ChartKind::Empty ? 0 : 2) << c.name << ": old axes left";
  }
}

}  // namespace
}  // namespace orvexa::app

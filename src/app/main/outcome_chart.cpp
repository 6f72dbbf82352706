#include "app/main/outcome_chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>

namespace orvexa::app {

using campaign::Outcome;

namespace {

QString label_of(Outcome outcome) {
  const auto text = campaign::outcome_label(outcome);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Reached people in greens and blues, the line's refusals in warm colours, our own failures grey.
QColor colour_of(Outcome outcome) {
  switch (outcome) {
    case Outcome::HeardMain: return {30, 140, 60};
    case Outcome::MainCut: return {120, 180, 80};
    case Outcome::Declined: return {60, 110, 190};
    case Outcome::NoKey: return {110, 160, 220};
    case Outcome::HungUp: return {150, 120, 200};
    case Outcome::Busy: return {230, 150, 30};
    case Outcome::NoAnswer: return {240, 200, 60};
    case Outcome::Rejected: return {200, 60, 50};
    case Outcome::Unreachable: return {170, 90, 60};
    case Outcome::Failed: return {120, 120, 120};
    case Outcome::Interrupted: return {180, 180, 180};
    case Outcome::SkippedDnc: return {90, 90, 90};
  }
  return Qt::black;
}

void clear_chart(QChart& chart) {
  chart.removeAllSeries();
  for (QAbstractAxis* axis : chart.axes()) {
    chart.removeAxis(axis);
    delete axis;
  }
}

std::vector<Outcome> outcomes_present(const std::vector<DayCounts>& days) {
  std::vector<Outcome> present;
  for (Outcome outcome : campaign::kAllOutcomes) {
    const bool any = std::any_of(days.begin(), days.end(),
                                 [&](const DayCounts& d) { return d.per_outcome.count(outcome) > 0; });
    if (any) present.push_back(outcome);
  }
  return present;
}

// "09/18" while every day is in one year, "1405/09/18" otherwise: the bars are narrow.
QString day_label(const data::SolarDate& day, bool one_year) {
  const std::string text = day.text();
  return QString::fromStdString(one_year ? text.substr(text.size() - 5) : text);
}

int count_on(const DayCounts& day, Outcome outcome) {
  auto it = day.per_outcome.find(outcome);
  return it == day.per_outcome.end() ? 0 : it->second;
}

}  // namespace

ChartKind fill_outcome_chart(QChart& chart, const std::vector<DayCounts>& days) {
  clear_chart(chart);
  const auto outcomes = outcomes_present(days);
  if (outcomes.empty()) return ChartKind::Empty;
  const bool per_day = days.size() > 1;
  QAbstractBarSeries* series = per_day ? static_cast<QAbstractBarSeries*>(new QStackedBarSeries)
                                       : static_cast<QAbstractBarSeries*>(new QBarSeries);
  int highest = 0;
  for (Outcome outcome : outcomes) {
    auto* set = new QBarSet(label_of(outcome));
    set->setColor(colour_of(outcome));
    for (const auto& day : days) *set << count_on(day, outcome);
    if (!per_day) highest = std::max(highest, count_on(days.front(), outcome));
    series->append(set);
  }
  if (per_day) {
    for (const auto& day : days) {
      int sum = 0;
      for (const auto& [outcome, n] : day.per_outcome) sum += n;
      highest = std::max(highest, sum);
    }
  }
  chart.addSeries(series);
  auto* days_axis = new QBarCategoryAxis;
  for (const auto& day : days) days_axis->append(day_label(day.day, days.front().day.year == days.back().day.year));
  chart.addAxis(days_axis, Qt::AlignBottom);
  series->attachAxis(days_axis);
  auto* counts = new QValueAxis;
  counts->setRange(0, std::max(highest, 1));
  counts->applyNiceNumbers();
  counts->setLabelFormat("%d");
  chart.addAxis(counts, Qt::AlignLeft);
  series->attachAxis(counts);
  return per_day ? ChartKind::PerDay : ChartKind::PerOutcome;
}

std::optional<Outcome> outcome_of_set_label(const QString& label) {
  for (Outcome outcome : campaign::kAllOutcomes)
    if (label_of(outcome) == label) return outcome;
  return std::nullopt;
}

}  // namespace orvexa::app

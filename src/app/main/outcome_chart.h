// The chart of outcomes on the report page (Qt Charts): stacked bars per Solar day when the shown
// attempts span several days, one bar per outcome otherwise. Each bar set is one outcome, named
// by its Persian label and drawn in the same colour in both forms.
//
//   auto kind = fill_outcome_chart(*chart, counts_per_day(rows));
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "app/main/report_figures.h"

class QChart;

namespace orvexa::app {

enum class ChartKind { Empty, PerOutcome, PerDay };

// Replaces the chart's series and axes.
ChartKind fill_outcome_chart(QChart& chart, const std::vector<DayCounts>& days);

// The outcome a bar set of that chart stands for (by its label).
std::optional<campaign::Outcome> outcome_of_set_label(const QString& label);

}  // namespace orvexa::app

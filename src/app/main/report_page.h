// The report page of the main window: the campaigns of "calls.db", newest first; for the chosen
// one its attempts in a grid, filtered by Solar dates, outcome, group and number; totals per
// outcome, a chart of them, and the shown rows exported to CSV or XLSX.
//
// The file is read on a thread of its own (ReportReader); the page shows each answer when it
// comes, and only the answer to its latest request.
//
//   auto* page = new ReportPage({folder, files, dialogs});
//   page->refresh();   // on entering the page: reads the file again
//   page->release();   // on leaving it: the file is closed
#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/campaign/ports.h"
#include "app/main/attempt_table_model.h"
#include "app/main/gui_services.h"
#include "app/main/outcome_chart.h"
#include "app/main/report_figures.h"
#include "app/main/report_reader.h"
#include "app/main/report_texts.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTableWidget;

namespace orvexa::app {

struct ReportPageDeps {
  std::filesystem::path program_folder;  // where calls.db lives
  FileChooser& files;
  campaign::OperatorDialogs& dialogs;
};

class ReportPage final : public QWidget {
 public:
  explicit ReportPage(ReportPageDeps deps, QWidget* parent = nullptr);
  ~ReportPage() override;

  // Opens calls.db and lists its campaigns, choosing the newest. A missing or unreadable file
  // leaves the page empty with a message that says why.
  void refresh();
  // Whether an answer is still awaited.
  bool reading() const { return reading_; }
  // Closes the file, so nothing holds it while the page is not shown.
  void release();

  // Row of the campaign list, newest first. Resets the filters.
  void choose_campaign(int row);
  // Reads the chosen campaign's attempts through the filter fields; false without a campaign,
  // and (with a message) when a date is not a Solar date or the range runs backwards.
  bool apply_filter();
  void export_rows(ReportFormat format);

  const std::vector<records::CampaignRow>& campaigns() const { return campaigns_; }
  const AttemptTableModel& attempts() const { return model_; }
  const OutcomeTotals& totals() const { return totals_; }
  ChartKind chart_kind() const { return chart_kind_; }
  QChart* chart() const;
  QString message() const;

 private:
  QWidget* build_filters();
  QWidget* build_figures();
  enum class Tone { Problem, Done };
  void show_message(const QString& text, Tone tone = Tone::Problem);
  void show_campaigns();
  void fill_group_chooser(const std::vector<std::string>& groups);
  void show_figures(const OutcomeTotals& totals, const std::vector<DayCounts>& days);
  void ask(ReportRequest request);
  void take(ReportAnswer answer);
  const records::CampaignRow* chosen() const;

  ReportPageDeps deps_;
  std::unique_ptr<ReportReader> reader_;
  std::uint64_t serial_ = 0;  // of the latest request: older answers are dropped
  bool reading_ = false;
  bool fill_groups_ = false;  // the awaited rows are a campaign's whole list
  std::vector<records::CampaignRow> campaigns_;
  int chosen_ = -1;
  AttemptTableModel model_;
  OutcomeTotals totals_;
  ChartKind chart_kind_ = ChartKind::Empty;

  QLabel* message_ = nullptr;
  QTableWidget* campaign_list_ = nullptr;
  QLineEdit *from_ = nullptr, *until_ = nullptr, *number_ = nullptr;
  QComboBox *outcome_ = nullptr, *group_ = nullptr;
  QTableView* grid_ = nullptr;
  QTableWidget* totals_table_ = nullptr;
  QChartView* chart_view_ = nullptr;
  QLabel* count_ = nullptr;
};

}  // namespace orvexa::app

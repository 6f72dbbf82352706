#include "app/main/report_page.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/records/csv_report.h"
#include "app/records/report_row.h"
#include "app/records/xlsx_report.h"

namespace orvexa::app {

namespace fs = std::filesystem;
using campaign::Outcome;

namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <class W, class... Args>
W* named(const char* name, QWidget* parent, Args&&... args) {
  auto* w = new W(std::forward<Args>(args)..., parent);
  w->setObjectName(name);
  return w;
}


constexpr const char* kCampaignTitles[] = {"شماره", "آغاز",     "وضعیت",  "مخاطب",
                                           "اعضا",  "انجام شده", "تماس‌ها"};

QString chosen_text(const records::CampaignRow& c) {
  if (c.choice == campaign::CampaignChoice::AllGroups) return q(report_text::kAllGroups);
  return q(c.chosen);
}

QTableWidgetItem* cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

// A read-only list whose rows are picked whole.
void list_style(QTableView* view) {
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setWordWrap(false);
}

// Every row as high as the first: the grid never measures rows, whatever their number.
void uniform_rows(QTableView* view) {
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->verticalHeader()->hide();
  view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  view->horizontalHeader()->setStretchLastSection(true);
}

}  // namespace

ReportPage::ReportPage(ReportPageDeps deps, QWidget* parent)
    : QWidget(parent), deps_(std::move(deps)), model_(this) {
  setObjectName("ReportPage");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(2, 2, 2, 2);
  message_ = named<QLabel>("ReportMessage", this);
  message_->setWordWrap(true);
  message_->setVisible(false);
  column->addWidget(message_);

  campaign_list_ = named<QTableWidget>("CampaignList", this, 0, int(std::size(kCampaignTitles)));
  QStringList titles;
  for (const char* t : kCampaignTitles) titles << QString::fromUtf8(t);
  campaign_list_->setHorizontalHeaderLabels(titles);
  list_style(campaign_list_);
  uniform_rows(campaign_list_);
  campaign_list_->setFixedHeight(104);
  for (auto [column, width] : {std::pair{0, 50}, {1, 140}, {2, 90}, {3, 130}})
    campaign_list_->horizontalHeader()->resizeSection(column, width);
  connect(campaign_list_, &QTableWidget::currentCellChanged, this,
          [this](int row) { if (row >= 0 && row != chosen_) choose_campaign(row); });
  column->addWidget(campaign_list_);
  column->addWidget(build_filters());

  grid_ = named<QTableView>("AttemptGrid", this);
  grid_->setModel(&model_);
  list_style(grid_);
  uniform_rows(grid_);
  using Column = AttemptTableModel::Column;
  for (auto [column, width] : {std::pair{Column::Id, 55}, {Column::Dialled, 140}, {Column::Group, 90},
                               {Column::Number, 110}, {Column::Attempt, 40}, {Column::Line, 40},
                               {Column::Outcome, 170}})
    grid_->horizontalHeader()->resizeSection(static_cast<int>(column), width);
  column->addWidget(grid_, 1);
  column->addWidget(build_figures());

  // Answers come on the reader's thread; the page takes them on its own.
  reader_ = std::make_unique<ReportReader>([this](ReportAnswer answer) {
    auto shared = std::make_shared<ReportAnswer>(std::move(answer));
    QMetaObject::invokeMethod(this, [this, shared] { take(std::move(*shared)); }, Qt::QueuedConnection);
  });
}

// The reader goes first: nothing may be delivered to a page being taken apart.
ReportPage::~ReportPage() { reader_.reset(); }

QWidget* ReportPage::build_filters() {
  auto* bar = new QWidget(this);
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 0, 0);
  from_ = named<QLineEdit>("ReportFrom", bar);
  until_ = named<QLineEdit>("ReportUntil", bar);
  for (auto* date : {from_, until_}) {
    date->setPlaceholderText("1405/09/18");
    date->setMaxLength(10);
    date->setFixedWidth(84);
    date->setLayoutDirection(Qt::LeftToRight);
  }
  outcome_ = named<QComboBox>("ReportOutcome", bar);
  outcome_->addItem(q(report_text::kAllOutcomes), -1);
  for (std::size_t i = 0; i < campaign::kAllOutcomes.size(); ++i)
    outcome_->addItem(q(campaign::outcome_label(campaign::kAllOutcomes[i])), int(i));
  group_ = named<QComboBox>("ReportGroup", bar);
  number_ = named<QLineEdit>("ReportNumber", bar);
  number_->setLayoutDirection(Qt::LeftToRight);
  auto* show = named<QPushButton>("ReportApply", bar, q("نمایش"));
  row->addWidget(new QLabel(q("از تاریخ"), bar));
  row->addWidget(from_);
  row->addWidget(new QLabel(q("تا"), bar));
  row->addWidget(until_);
  row->addWidget(outcome_, 1);
  row->addWidget(group_, 1);
  row->addWidget(new QLabel(q("شماره"), bar));
  row->addWidget(number_, 1);
  row->addWidget(show);
  connect(show, &QPushButton::clicked, this, [this] { apply_filter(); });
  for (auto* edit : {from_, until_, number_})
    connect(edit, &QLineEdit::returnPressed, this, [this] { apply_filter(); });
  return bar;
}

QWidget* ReportPage::build_figures() {
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  auto* side = new QVBoxLayout;
  totals_table_ = named<QTableWidget>("OutcomeTotals", box, int(campaign::kAllOutcomes.size()) + 2, 2);
  totals_table_->horizontalHeader()->hide();
  list_style(totals_table_);
  uniform_rows(totals_table_);
  totals_table_->setFixedWidth(280);
  totals_table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  totals_table_->horizontalHeader()->setStretchLastSection(false);
  totals_table_->horizontalHeader()->resizeSection(1, 60);
  side->addWidget(totals_table_, 1);
  count_ = named<QLabel>("ReportCount", box);
  side->addWidget(count_);
  auto* exports = new QHBoxLayout;
  auto* csv = named<QPushButton>("ReportCsv", box, q("خروجی CSV"));
  auto* xlsx = named<QPushButton>("ReportXlsx", box, q("خروجی Excel"));
  exports->addWidget(csv);
  exports->addWidget(xlsx);
  side->addLayout(exports);
  connect(csv, &QPushButton::clicked, this, [this] { export_rows(ReportFormat::Csv); });
  connect(xlsx, &QPushButton::clicked, this, [this] { export_rows(ReportFormat::Xlsx); });
  row->addLayout(side);

  auto* chart = new QChart;
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->setMargins(QMargins(2, 2, 2, 2));
  chart_view_ = named<QChartView>("OutcomeChart", box, chart);
  chart_view_->setRenderHint(QPainter::Antialiasing);
  row->addWidget(chart_view_, 1);
  box->setFixedHeight(190);
  return box;
}

QChart* ReportPage::chart() const { return chart_view_->chart(); }

QString ReportPage::message() const { return message_->isHidden() ? QString() : message_->text(); }

void ReportPage::show_message(const QString& text, Tone tone) {
  message_->setStyleSheet(tone == Tone::Problem ? "color: rgb(160, 20, 20);" : "color: rgb(0, 100, 40);");
  message_->setText(text);
  message_->setVisible(!text.isEmpty());
}

void ReportPage::refresh() {
  release();
  ask({.kind = ReportAsk::Open, .file = deps_.program_folder / records::kCallsFile});
}

// Reading until the reader has let the file go, so an answer still on its way is dropped.
void ReportPage::release() {
  ask({.kind = ReportAsk::Close});
  campaigns_.clear();
  chosen_ = -1;
  show_campaigns();
  model_.clear();
  group_->clear();
  show_message({});
  show_figures({}, {});
}

void ReportPage::ask(ReportRequest request) {
  request.serial = ++serial_;
  reading_ = true;
  count_->setText(q(report_text::kReading));
  reader_->ask(std::move(request));
}

void ReportPage::take(ReportAnswer answer) {
  if (answer.serial != serial_) return;  // a newer request is on its way
  reading_ = false;
  switch (answer.problem) {
    case ReportProblem::Missing: show_message(q(report_text::kMissing)); break;
    case ReportProblem::Unreadable: show_message(q(report_text::kUnreadable) + q(answer.error)); break;
    case ReportProblem::None: break;
  }
  if (answer.campaigns) {
    // The list is shown at once; the newest campaign's attempts are asked for next.
    campaigns_ = std::move(*answer.campaigns);
    show_campaigns();
    show_message(campaigns_.empty() ? q(report_text::kNoCampaigns) : QString());
    if (!campaigns_.empty()) {
      choose_campaign(0);
      return;
    }
  }
  model_.set_rows(std::move(answer.attempts));
  if (fill_groups_ && answer.groups) {
    fill_group_chooser(*answer.groups);
    fill_groups_ = false;
  }
  show_figures(answer.totals, answer.days);
}

void ReportPage::show_campaigns() {
  const QSignalBlocker quiet(campaign_list_);
  campaign_list_->clearSelection();
  campaign_list_->setRowCount(int(campaigns_.size()));
  for (int r = 0; r < int(campaigns_.size()); ++r) {
    const auto& c = campaigns_[std::size_t(r)];
    const QString cells[] = {QString::number(c.id), q(records::solar_time_text(c.started_ms)),
                             q(state_label(c.state)), chosen_text(c), QString::number(c.members),
                             QString::number(c.members_done), QString::number(c.attempts)};
    for (int k = 0; k < int(std::size(cells)); ++k) campaign_list_->setItem(r, k, cell(cells[k]));
  }
  if (chosen_ >= 0) campaign_list_->selectRow(chosen_);
}

const records::CampaignRow* ReportPage::chosen() const {
  if (chosen_ < 0 || chosen_ >= int(campaigns_.size())) return nullptr;
  return &campaigns_[std::size_t(chosen_)];
}

void ReportPage::choose_campaign(int row) {
  if (row < 0 || row >= int(campaigns_.size())) return;
  chosen_ = row;
  {
    const QSignalBlocker quiet(campaign_list_);
    campaign_list_->selectRow(row);
  }
  for (auto* edit : {from_, until_, number_}) edit->clear();
  outcome_->setCurrentIndex(0);
  group_->clear();
  ask({.kind = ReportAsk::Attempts, .campaign = campaigns_[std::size_t(row)].id});
  fill_groups_ = true;
}

// The groups this campaign called, from its whole list of attempts.
void ReportPage::fill_group_chooser(const std::vector<std::string>& groups) {
  group_->clear();
  group_->addItem(q(report_text::kAllGroups));
  for (const auto& name : groups) group_->addItem(q(name));
}

bool ReportPage::apply_filter() {
  if (!chosen()) return false;  // the page's message says why there is nothing
  const auto range = dial_range(from_->text().toStdString(), until_->text().toStdString());
  if (!range) {
    show_message(q(report_text::kBadDates));
    return false;
  }
  records::AttemptFilter filter;
  filter.from_ms = range->from_ms;
  filter.until_ms = range->until_ms;
  if (const int i = outcome_->currentData().toInt(); i >= 0)
    filter.outcome = campaign::kAllOutcomes[std::size_t(i)];
  if (group_->currentIndex() > 0) filter.group = group_->currentText().toStdString();
  if (const QString n = number_->text().trimmed(); !n.isEmpty()) filter.number = n.toStdString();
  show_message({});
  ask({.kind = ReportAsk::Attempts, .campaign = chosen()->id, .filter = filter});
  return true;
}

void ReportPage::show_figures(const OutcomeTotals& totals, const std::vector<DayCounts>& days) {
  totals_ = totals;
  int r = 0;
  auto put = [&](QString label, int n) {
    totals_table_->setItem(r, 0, cell(label));
    totals_table_->setItem(r, 1, cell(QString::number(n)));
    ++r;
  };
  for (Outcome outcome : campaign::kAllOutcomes) put(q(campaign::outcome_label(outcome)), totals_.of(outcome));
  put(q(report_text::kInProgress), totals_.in_progress);
  put(q(report_text::kSum), totals_.all);
  chart_kind_ = fill_outcome_chart(*chart(), days);
  if (!reading_) count_->setText(q(report_text::kShown) + QString::number(totals_.all));
}

void ReportPage::export_rows(ReportFormat format) {
  const auto* campaign = chosen();
  if (!campaign || reading_) return;  // the rows shown may not be this campaign's yet
  const auto path = deps_.files.save_report(format);
  if (!path) return;
  const auto problem = format == ReportFormat::Csv
                           ? records::write_csv_report(*path, model_.rows())
                           : records::write_xlsx_report(*path, *campaign, model_.rows());
  if (problem) {
    deps_.dialogs.error_box(std::string(report_text::kNotSaved) + *problem);
    return;
  }
  show_message(q(report_text::kSaved) + QString::fromStdString(*path), Tone::Done);
}

}  // namespace orvexa::app

// The report page offscreen over a calls.db written by the campaign's own recorder: campaigns
// newest first, filters that change the rows, the totals and the chart, exports read back, and
// files that are missing or broken.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTableWidget>
#include <sqlite3.h>

#include <ctime>
#include <functional>
#include <thread>

#include "page_test_support.h"
#include "../campaign/campaign_fakes.h"
#include "../data/temp_folder.h"
#include "app/main/outcome_chart.h"
#include "app/main/report_page.h"
#include "app/records/csv_report.h"
#include "app/records/report_row.h"
#include "app/records/store_recorder.h"

// Failures show the text, not its UTF-16 units.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }

namespace orvexa::app {
namespace {

using testing::page_application;

using campaign::CampaignMember;
using campaign::Outcome;
using testing_support::TempFolder;
namespace fs = std::filesystem;

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

messaging::WallTime local(int y, int mo, int d, int h, int mi) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

class ScriptedFiles final : public FileChooser {
 public:
  std::optional<std::string> next;
  std::vector<ReportFormat> asked;
  std::optional<std::string> open_log() override { return next; }
  std::optional<std::string> save_log() override { return next; }
  std::optional<std::string> open_wave() override { return next; }
  std::optional<std::string> save_report(ReportFormat format) override {
    asked.push_back(format);
    return next;
  }
};

struct Call {
  std::size_t member;
  int attempt;
  messaging::WallTime dialled;
  std::optional<Outcome> outcome;  // none: still in progress
};

struct RecordedCampaign {
  messaging::WallTime started;
  campaign::CampaignChoice choice;
  std::string chosen;
  std::vector<CampaignMember> members;
  std::vector<Call> calls;
  std::optional<campaign::CampaignState> end;  // none: still running
};

// Writes a campaign the way the engine does, through the recorder.
void record(const fs::path& folder, const RecordedCampaign& recorded) {
  auto opened = records::CallsDatabase::open(folder / records::kCallsFile);
  ASSERT_TRUE(opened) << opened.error();
  messaging::ManualClock clock(recorded.started);
  records::StoreRecorder recorder(*opened.db, clock);
  campaign::CampaignDescription description;
  description.choice = recorded.choice;
  description.chosen = recorded.chosen;
  ASSERT_TRUE(recorder.begin(description, recorded.members)) << recorder.problem();
  for (const Call& call : recorded.calls) {
    ASSERT_TRUE(recorder.attempt_started({call.member, call.attempt, 0, 0, call.dialled}));
    if (!call.outcome) continue;
    campaign::AttemptEnd end;
    end.outcome = *call.outcome;
    end.ended = call.dialled + std::chrono::seconds(20);
    ASSERT_TRUE(recorder.attempt_ended(end, campaign::MemberProgress::Done)) << recorder.problem();
  }
  if (recorded.end) recorder.finish(*recorded.end);
}

const std::vector<CampaignMember> kMembers = {
    {"الف", "1", 11, "علی", "رضایی", "09121110001"},
    {"الف", "1", 12, "مریم", "احمدی", "09121110002"},
    {"ب", "2", 21, "حسن", "کریمی", "09351110003"},
    {"ب", "2", 22, "زهرا", "موسوی", "09351110004"},
};

// An older campaign to one number on 1405/09/10, and the newest to every group from 1405/09/18
// 10:30 over two days (1405/09/18 and 1405/09/19), with one call still going.
void record_two_campaigns(const fs::path& folder) {
  record(folder, {local(2026, 12, 1, 9, 0), campaign::CampaignChoice::OneNumber, "09121110001",
                  {kMembers[0]}, {{0, 1, local(2026, 12, 1, 9, 0), Outcome::HeardMain}},
                  campaign::CampaignState::Finished});
  record(folder, {local(2026, 12, 9, 10, 30), campaign::CampaignChoice::AllGroups, "", kMembers,
                  {{0, 1, local(2026, 12, 9, 10, 31), Outcome::HeardMain},
                   {1, 1, local(2026, 12, 9, 10, 32), Outcome::Busy},
                   {2, 1, local(2026, 12, 9, 10, 33), Outcome::NoAnswer},
                   {3, 1, local(2026, 12, 9, 10, 34), Outcome::Declined},
                   {1, 2, local(2026, 12, 10, 9, 0), Outcome::HeardMain},
                   {2, 2, local(2026, 12, 10, 9, 1), Outcome::Busy},
                   {3, 2, local(2026, 12, 10, 9, 2), std::nullopt}},
                  std::nullopt});
}

struct PageRig {
  TempFolder folder;
  ScriptedFiles files;
  campaign::testing::RecordingDialogs dialogs;
  std::unique_ptr<ReportPage> page;

  PageRig() {
    page_application();
    page = std::make_unique<ReportPage>(ReportPageDeps{folder.path(), files, dialogs});
    page->resize(700, 520);
  }
  template <class W>
  W* find(const char* name) {
    auto* w = page->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // Lets Qt deliver the reader's answer; bounded, so a lost answer fails instead of hanging.
  void settle() {
    for (int i = 0; i < 20000 && page->reading(); ++i) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(page->reading()) << "no answer from the reader";
    QCoreApplication::processEvents();
  }
  void refresh() {
    page->refresh();
    settle();
  }
  void click(const char* button) {
    find<QPushButton>(button)->click();
    settle();
  }
  void choose(int row) {
    find<QTableWidget>("CampaignList")->setCurrentCell(row, 0);
    settle();
  }
  bool apply() {
    const bool applied = page->apply_filter();
    settle();
    return applied;
  }
  int shown() { return page->attempts().rowCount(); }
  QString list_cell(int row, int column) {
    auto* item = find<QTableWidget>("CampaignList")->item(row, column);
    return item ? item->text() : QString();
  }
  // The totals table's count beside `label`.
  int total_shown(std::string_view label) {
    auto* table = find<QTableWidget>("OutcomeTotals");
    for (int r = 0; r < table->rowCount(); ++r)
      if (table->item(r, 0) && table->item(r, 0)->text() == q(label)) return table->item(r, 1)->text().toInt();
    ADD_FAILURE() << "no total for " << label;
    return -1;
  }
  // The chart's bars summed per outcome.
  std::map<Outcome, int> chart_sums() {
    std::map<Outcome, int> sums;
    for (QAbstractSeries* s : page->chart()->series()) {
      for (QBarSet* set : static_cast<QAbstractBarSeries*>(s)->barSets()) {
        auto outcome = outcome_of_set_label(set->label());
        if (!outcome) {
          ADD_FAILURE() << set->label().toStdString();
          continue;
        }
        for (int i = 0; i < set->count(); ++i) sums[*outcome] += static_cast<int>(set->at(i));
      }
    }
    return sums;
  }
};

TEST(ReportPage, CampaignsNewestFirstWithSolarStartStateAndCounts) {
  PageRig rig;
  record_two_campaigns(rig.folder.path());
  rig.refresh();
  EXPECT_EQ(rig.page->message(), "");
  ASSERT_EQ(rig.find<QTableWidget>("CampaignList")->rowCount(), 2);
  EXPECT_EQ(rig.list_cell(0, 0), "2");
  EXPECT_EQ(rig.list_cell(0, 1), "1405/09/18 10:30:00");
  EXPECT_EQ(rig.list_cell(0, 2), q(state_label(campaign::CampaignState::Running)));
  EXPECT_EQ(rig.list_cell(0, 3), q(report_text::kAllGroups));
  EXPECT_EQ(rig.list_cell(0, 4), "4");
  EXPECT_EQ(rig.list_cell(0, 6), "7");
  EXPECT_EQ(rig.list_cell(1, 0), "1");
  EXPECT_EQ(rig.list_cell(1, 1), "1405/09/10 09:00:00");
  EXPECT_EQ(rig.list_cell(1, 2), q(state_label(campaign::CampaignState::Finished)));
  EXPECT_EQ(rig.list_cell(1, 3), "09121110001");

  // The newest is shown at once, in dial order, with its Solar dial times.
  ASSERT_EQ(rig.shown(), 7);
  const auto& model = rig.page->attempts();
  auto cell = [&](int row, AttemptTableModel::Column c) {
    return model.data(model.index(row, static_cast<int>(c)), Qt::DisplayRole).toString();
  };
  EXPECT_EQ(cell(0, AttemptTableModel::Column::Dialled), "1405/09/18 10:31:00");
  EXPECT_EQ(cell(0, AttemptTableModel::Column::Name), q("علی"));
  EXPECT_EQ(cell(1, AttemptTableModel::Column::Outcome), q(campaign::outcome_label(Outcome::Busy)));
  EXPECT_EQ(cell(6, AttemptTableModel::Column::Outcome), q(report_text::kInProgress));
  EXPECT_EQ(cell(4, AttemptTableModel::Column::Attempt), "2");
  EXPECT_EQ(rig.total_shown(report_text::kSum), 7);
  EXPECT_EQ(rig.total_shown(report_text::kInProgress), 1);
  EXPECT_EQ(rig.page->chart_kind(), ChartKind::PerDay);

  // The group chooser offers the groups this campaign called.
  auto* groups = rig.find<QComboBox>("ReportGroup");
  ASSERT_EQ(groups->count(), 3);
  EXPECT_EQ(groups->itemText(1), q("الف"));
  EXPECT_EQ(groups->itemText(2), q("ب"));

  // The older campaign, chosen in the list.
  rig.choose(1);
  ASSERT_EQ(rig.shown(), 1);
  EXPECT_EQ(rig.page->chart_kind(), ChartKind::PerOutcome);
  EXPECT_EQ(rig.chart_sums(), (std::map<Outcome, int>{{Outcome::HeardMain, 1}}));
}

TEST(ReportPage, FiltersChangeTheRowsTotalsAndChart) {
  PageRig rig;
  record_two_campaigns(rig.folder.path());
  rig.refresh();
  struct Case {
    const char* name;
    const char* from;
    const char* until;
    std::optional<Outcome> outcome;
    const char* group;  // empty: every group
    const char* number;
    int rows;
    int in_progress;
    std::map<Outcome, int> ended;
    ChartKind chart;
  };
  const Case cases[] = {
      {"nothing", "", "", {}, "", "", 7, 1,
       {{Outcome::HeardMain, 2}, {Outcome::Busy, 2}, {Outcome::NoAnswer, 1}, {Outcome::Declined, 1}},
       ChartKind::PerDay},
      {"from the second day", "1405/09/19", "", {}, "", "", 3, 1,
       {{Outcome::HeardMain, 1}, {Outcome::Busy, 1}}, ChartKind::PerOutcome},
      {"until the first day, Persian digits", "", "۱۴۰۵/۰۹/۱۸", {}, "", "", 4, 0,
       {{Outcome::HeardMain, 1}, {Outcome::Busy, 1}, {Outcome::NoAnswer, 1}, {Outcome::Declined, 1}},
       ChartKind::PerOutcome},
      {"a day without calls", "1405/09/20", "1405/09/25", {}, "", "", 0, 0, {}, ChartKind::Empty},
      {"one outcome", "", "", Outcome::Busy, "", "", 2, 0, {{Outcome::Busy, 2}}, ChartKind::PerDay},
      {"one group", "", "", {}, "ب", "", 4, 1,
       {{Outcome::NoAnswer, 1}, {Outcome::Declined, 1}, {Outcome::Busy, 1}}, ChartKind::PerDay},
      {"part of a number", "", "", {}, "", "1110002", 2, 0,
       {{Outcome::Busy, 1}, {Outcome::HeardMain, 1}}, ChartKind::PerDay},
      {"group and outcome", "", "", Outcome::Busy, "الف", "", 1, 0, {{Outcome::Busy, 1}},
       ChartKind::PerOutcome},
      {"no such number", "", "", {}, "", "0999", 0, 0, {}, ChartKind::Empty},
  };
  auto* outcome = rig.find<QComboBox>("ReportOutcome");
  auto* group = rig.find<QComboBox>("ReportGroup");
  for (const auto& c : cases) {
    rig.find<QLineEdit>("ReportFrom")->setText(QString::fromUtf8(c.from));
    rig.find<QLineEdit>("ReportUntil")->setText(QString::fromUtf8(c.until));
    rig.find<QLineEdit>("ReportNumber")->setText(QString::fromUtf8(c.number));
    outcome->setCurrentIndex(c.outcome ? outcome->findText(q(campaign::outcome_label(*c.outcome))) : 0);
    group->setCurrentIndex(*c.group ? group->findText(QString::fromUtf8(c.group)) : 0);
    rig.click("ReportApply");
    EXPECT_EQ(rig.page->message(), "") << c.name;
    EXPECT_EQ(rig.shown(), c.rows) << c.name;
    EXPECT_EQ(rig.page->totals().all, c.rows) << c.name;
    EXPECT_EQ(rig.page->totals().in_progress, c.in_progress) << c.name;
    EXPECT_EQ(rig.page->totals().per_outcome, c.ended) << c.name;
    for (Outcome o : campaign::kAllOutcomes)
      EXPECT_EQ(rig.total_shown(campaign::outcome_label(o)), rig.page->totals().of(o)) << c.name;
    EXPECT_EQ(rig.total_shown(report_text::kSum), c.rows) << c.name;
    EXPECT_EQ(rig.find<QLabel>("ReportCount")->text().endsWith(" " + QString::number(c.rows)), true)
        << c.name;
    EXPECT_EQ(rig.chart_sums(), c.ended) << c.name << ": the chart shows the totals";
    EXPECT_EQ(rig.page->chart_kind(), c.chart) << c.name;
  }
}

TEST(ReportPage, DatesThatAreNotDatesKeepTheRowsAndSayWhy) {
  PageRig rig;
  record_two_campaigns(rig.folder.path());
  rig.refresh();
  rig.find<QComboBox>("ReportOutcome")->setCurrentIndex(1);  // heard the main message
  ASSERT_TRUE(rig.apply());
  ASSERT_EQ(rig.shown(), 2);
  for (const char* from : {"1405/13/01", "1405/09/19", "yesterday"}) {
    rig.find<QLineEdit>("ReportFrom")->setText(QString::fromUtf8(from));
    rig.find<QLineEdit>("ReportUntil")->setText("1405/09/18");
    EXPECT_FALSE(rig.apply()) << from;
    EXPECT_EQ(rig.page->message(), q(report_text::kBadDates)) << from;
    EXPECT_EQ(rig.shown(), 2) << from;
  }
  // Choosing a campaign clears the filters.
  rig.choose(1);
  rig.choose(0);
  EXPECT_EQ(rig.shown(), 7);
  EXPECT_EQ(rig.find<QLineEdit>("ReportFrom")->text(), "");
  EXPECT_EQ(rig.find<QComboBox>("ReportOutcome")->currentIndex(), 0);
}

TEST(ReportPage, AnswersToEarlierRequestsAreDropped) {
  PageRig rig;
  record_two_campaigns(rig.folder.path());
  rig.page->refresh();
  rig.page->release();  // left before the file was read
  rig.settle();
  EXPECT_EQ(rig.find<QTableWidget>("CampaignList")->rowCount(), 0);
  EXPECT_EQ(rig.shown(), 0);
  EXPECT_EQ(rig.page->chart_kind(), ChartKind::Empty);

  // Two filters in a row: the rows are the second's.
  rig.refresh();
  auto* outcome = rig.find<QComboBox>("ReportOutcome");
  outcome->setCurrentIndex(outcome->findText(q(campaign::outcome_label(Outcome::NoAnswer))));
  rig.page->apply_filter();
  outcome->setCurrentIndex(outcome->findText(q(campaign::outcome_label(Outcome::Busy))));
  rig.page->apply_filter();
  rig.settle();
  EXPECT_EQ(rig.shown(), 2);
  EXPECT_EQ(rig.page->totals().per_outcome, (std::map<Outcome, int>{{Outcome::Busy, 2}}));
}

// The CSV's records (after the byte-order mark and the header), split into cells.
std::vector<std::vector<std::string>> csv_records(const fs::path& file) {
  std::string text = testing_support::read_all(file);
  EXPECT_EQ(text.substr(0, records::kUtf8Bom.size()), records::kUtf8Bom);
  text.erase(0, records::kUtf8Bom.size());
  std::vector<std::vector<std::string>> out;
  std::size_t at = 0;
  bool header = true;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    const std::string line = text.substr(at, end - at);
    at = end == std::string::npos ? text.size() : end + 2;
    std::vector<std::string> cells;
    std::size_t from = 0;
    for (std::size_t comma; (comma = line.find(',', from)) != std::string::npos; from = comma + 1)
      cells.push_back(line.substr(from, comma - from));
    cells.push_back(line.substr(from));
    if (!header) out.push_back(cells);
    header = false;
  }
  return out;
}

TEST(ReportPage, ExportsWriteTheShownRows) {
  PageRig rig;
  record_two_campaigns(rig.folder.path());
  rig.refresh();
  rig.find<QComboBox>("ReportGroup")->setCurrentIndex(1);  // الف
  ASSERT_TRUE(rig.apply());
  ASSERT_EQ(rig.shown(), 3);

  const fs::path csv = rig.folder.path() / "report.csv";
  rig.files.next = csv.string();
  rig.find<QPushButton>("ReportCsv")->click();
  EXPECT_EQ(rig.files.asked, std::vector<ReportFormat>{ReportFormat::Csv});
  const auto rows = csv_records(csv);
  ASSERT_EQ(rows.size(), 3u);
  std::vector<std::string> numbers, outcomes;
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), records::kReportColumnCount);
    numbers.push_back(r[records::column_of("number")]);
    outcomes.push_back(r[records::column_of("outcome")]);
  }
  EXPECT_EQ(numbers, (std::vector<std::string>{"09121110001", "09121110002", "09121110002"}));
  EXPECT_EQ(outcomes, (std::vector<std::string>{"heard-main", "busy", "heard-main"}));
  EXPECT_EQ(rig.page->message(), q(report_text::kSaved) + QString::fromStdString(csv.string()));

  const fs::path xlsx = rig.folder.path() / "report.xlsx";
  rig.files.next = xlsx.string();
  rig.find<QPushButton>("ReportXlsx")->click();
  EXPECT_EQ(rig.files.asked.back(), ReportFormat::Xlsx);
  EXPECT_EQ(testing_support::read_all(xlsx).substr(0, 4), std::string("PK\x03\x04", 4)) << "a zip";

  // Cancelled: nothing written, nothing said.
  rig.files.next.reset();
  rig.page->export_rows(ReportFormat::Csv);
  EXPECT_TRUE(rig.dialogs.errors.empty());
  // A folder that does not exist: the operator is told.
  rig.files.next = (rig.folder.path() / "gone" / "report.csv").string();
  rig.page->export_rows(ReportFormat::Csv);
  ASSERT_EQ(rig.dialogs.errors.size(), 1u);
  EXPECT_EQ(rig.dialogs.errors[0].rfind(report_text::kNotSaved, 0), 0u) << rig.dialogs.errors[0];
}

TEST(ReportPage, MissingOrBrokenFilesLeaveAnEmptyPageWithAMessage) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> make;
    std::string_view says;  // the message starts so
  };
  const Case cases[] = {
      {"missing", [](const fs::path&) {}, report_text::kMissing},
      {"not a database",
       [](const fs::path& f) { testing_support::write_all(f, std::string(4096, 'x')); },
       report_text::kUnreadable},
      {"a folder", [](const fs::path& f) { fs::create_directories(f); }, report_text::kUnreadable},
      {"a newer schema",
       [](const fs::path& f) {
         sqlite3* db = nullptr;
         sqlite3_open(f.c_str(), &db);
         sqlite3_exec(db, "PRAGMA user_version=99", nullptr, nullptr, nullptr);
         sqlite3_close(db);
       },
       report_text::kUnreadable},
      {"no campaigns", [](const fs::path& f) { ASSERT_TRUE(records::CallsDatabase::open(f)); },
       report_text::kNoCampaigns},
  };
  for (const auto& c : cases) {
    PageRig rig;
    const fs::path file = rig.folder.path() / records::kCallsFile;
    c.make(file);
    const bool existed = fs::exists(file);
    rig.refresh();
    EXPECT_TRUE(rig.page->message().startsWith(q(c.says))) << c.name << ": " << rig.page->message().toStdString();
    EXPECT_EQ(rig.find<QTableWidget>("CampaignList")->rowCount(), 0) << c.name;
    EXPECT_EQ(rig.shown(), 0) << c.name;
    EXPECT_EQ(rig.page->chart_kind(), ChartKind::Empty) << c.name;
    EXPECT_EQ(fs::exists(file), existed) << c.name << ": the page creates no file";
    // The buttons stay harmless.
    rig.files.next = (rig.folder.path() / "r.csv").string();
    rig.find<QPushButton>("ReportCsv")->click();
    EXPECT_TRUE(rig.files.asked.empty()) << c.name;
    const QString said = rig.page->message();
    EXPECT_FALSE(rig.apply()) << c.name;
    EXPECT_EQ(rig.page->message(), said) << c.name << ": the reason stays";
    rig.page->release();
  }
}

}  // namespace
}  // namespace orvexa::app

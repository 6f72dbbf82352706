// The report page over a calls.db of 100,000 attempts, offscreen: the time from entering the page
// to its first paint, to the campaign list painted, and to the newest campaign's attempts painted
// in the grid and the chart (read on the page's reader thread); and a filter to its next paint.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QTableView>
#include <QTableWidget>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>

#include "offscreen_application.h"
#include "resident_memory.h"
#include "app/main/report_page.h"
#include "app/records/store_recorder.h"

namespace {

using namespace orvexa;
namespace fs = std::filesystem;
using campaign::Outcome;

constexpr int kAttempts = 100000;
constexpr int kDays = 3;

class NoFiles final : public app::FileChooser {
 public:
  std::optional<std::string> open_log() override { return std::nullopt; }
  std::optional<std::string> save_log() override { return std::nullopt; }
  std::optional<std::string> open_wave() override { return std::nullopt; }
  std::optional<std::string> save_report(app::ReportFormat) override { return std::nullopt; }
};

class QuietDialogs final : public campaign::OperatorDialogs {
 public:
  void message_box(std::string_view) override {}
  void error_box(std::string_view) override {}
};

messaging::WallTime morning(int day) {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 9 + day;
  tm.tm_hour = 8;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

// One campaign of 100,000 members in ten groups, one attempt each, over three days, written
// through the campaign's recorder.
struct BigCampaign {
  fs::path folder = fs::temp_directory_path() / ("orvexa-report-bench-" + std::to_string(::getpid()));
  BigCampaign() {
    bench::offscreen_application();
    fs::remove_all(folder);
    fs::create_directories(folder);
    auto opened = records::CallsDatabase::open(folder / records::kCallsFile);
    if (!opened) throw std::runtime_error(opened.error());
    // Only the fixture's writing is hurried; the page reads as it would.
    sqlite3_exec(opened->handle(), "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    std::vector<campaign::CampaignMember> members(kAttempts);
    for (int i = 0; i < kAttempts; ++i) {
      auto& m = members[std::size_t(i)];
      m.group_name = "گروه " + std::to_string(i % 10);
      m.name = "نام " + std::to_string(i);
      m.family = "خانواده";
      m.number = "0912" + std::to_string(1000000 + i);
      m.member_row = i + 1;
    }
    messaging::ManualClock clock(morning(0));
    records::StoreRecorder recorder(*opened.db, clock);
    recorder.begin({campaign::CampaignChoice::AllGroups, "", {}, "", {}, {}, {}}, members);
    for (int i = 0; i < kAttempts; ++i) {
      const auto dialled = morning(i * kDays / kAttempts) + std::chrono::seconds(i % 30000);
      recorder.attempt_started({std::size_t(i), 1, 0, 0, dialled});
      campaign::AttemptEnd end;
      end.outcome = campaign::kAllOutcomes[std::size_t(i * 7 % 11)];
      end.ended = dialled + std::chrono::seconds(30);
      end.keys = i % 3 == 0 ? "1" : "";
      recorder.attempt_ended(end, campaign::MemberProgress::Done);
    }
    recorder.finish(campaign::CampaignState::Finished);
  }
  ~BigCampaign() { fs::remove_all(folder); }
};

BigCampaign& big() {
  static BigCampaign c;
  return c;
}

// Counts the paints of a view, and those made once `ready` held.
class PaintSpy final : public QObject {
 public:
  explicit PaintSpy(std::function<bool()> ready) : ready_(std::move(ready)) {}
  int painted = 0;
  int painted_ready = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Paint) return false;
    ++painted;
    if (ready_()) ++painted_ready;
    return false;
  }

 private:
  std::function<bool()> ready_;
};

struct PageUnderTest {
  NoFiles files;
  QuietDialogs dialogs;
  app::ReportPage page{{big().folder, files, dialogs}};
  std::function<bool()> has_rows = [this] { return !page.reading() && page.attempts().rowCount() > 0; };
  PaintSpy list{[this] { return !page.campaigns().empty(); }}, grid{has_rows}, chart{has_rows};
  PageUnderTest() {
    page.resize(700, 520);
    page.findChild<QTableWidget*>("CampaignList")->viewport()->installEventFilter(&list);
    page.findChild<QTableView*>("AttemptGrid")->viewport()->installEventFilter(&grid);
    page.findChild<QChartView*>("OutcomeChart")->viewport()->installEventFilter(&chart);
  }
  // Runs Qt's events until `done` (at most about 10 s); the reader's answers come from its
  // thread meanwhile.
  template <class Done>
  void run_until(Done done) {
    for (int i = 0; i < 100000 && !done(); ++i) {
      QCoreApplication::processEvents();
      if (!done()) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }
};

// Entering the page and running until `painted`; the page is taken apart untimed.
template <class Painted>
void enter_page(benchmark::State& state, Painted painted) {
  big();
  for (auto _ : state) {
    auto t = std::make_unique<PageUnderTest>();
    t->page.refresh();
    t->page.show();
    t->run_until([&] { return painted(*t); });
    state.PauseTiming();
    t->run_until([&] { return !t->page.reading(); });  // the reader is done before the page goes
    state.counters["rows"] = t->page.attempts().rowCount();
    state.counters["resident_MB"] = bench::resident_mb();
    t.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}

// The page paints at once, while calls.db is still being read.
void BM_ReportPageToFirstPaint(benchmark::State& state) {
  enter_page(state, [](PageUnderTest& t) { return t.grid.painted > 0 && t.chart.painted > 0; });
}
BENCHMARK(BM_ReportPageToFirstPaint)->Unit(benchmark::kMillisecond);

// The list of campaigns painted (calls.db opened and its campaigns read).
void BM_ReportPageToCampaignsPainted(benchmark::State& state) {
  enter_page(state, [](PageUnderTest& t) { return t.list.painted_ready > 0; });
}
BENCHMARK(BM_ReportPageToCampaignsPainted)->Unit(benchmark::kMillisecond);

// The grid and the chart painted with the newest campaign's 100,000 attempts.
void BM_ReportPageToRowsPainted(benchmark::State& state) {
  enter_page(state, [](PageUnderTest& t) { return t.grid.painted_ready > 0 && t.chart.painted_ready > 0; });
}
BENCHMARK(BM_ReportPageToRowsPainted)->Unit(benchmark::kMillisecond);

// One outcome of eleven chosen: about 9,000 rows read again, totals and chart redrawn, painted.
void BM_ReportFilterToPaint(benchmark::State& state) {
  big();
  PageUnderTest t;
  t.page.refresh();
  t.page.show();
  t.run_until([&] { return t.grid.painted_ready > 0; });
  auto* outcome = t.page.findChild<QComboBox*>("ReportOutcome");
  int choice = 0;
  for (auto _ : state) {
    outcome->setCurrentIndex(1 + choice++ % 11);
    t.grid.painted_ready = t.chart.painted_ready = 0;
    t.page.apply_filter();
    t.run_until([&] { return t.grid.painted_ready > 0 && t.chart.painted_ready > 0; });
  }
  state.counters["shown"] = t.page.attempts().rowCount();
}
BENCHMARK(BM_ReportFilterToPaint)->Unit(benchmark::kMillisecond);

}  // namespace

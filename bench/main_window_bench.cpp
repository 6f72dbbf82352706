// Start-up of the main window (all nine windows) to its first paint, offscreen, against a bare
// Qt Widgets window of the same size. Resident memory is the process's with the window alive;
// run each benchmark in a process of its own (--benchmark_filter) to compare the two.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <fstream>

#include "offscreen_application.h"
#include "resident_memory.h"
#include "app/main/application_windows.h"
#include "platform/messaging/clock.h"

namespace {

using namespace orvexa;

class PaintSpy final : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return false;
  }
};

void wait_for_paint(QWidget& widget) {
  PaintSpy spy;
  widget.installEventFilter(&spy);
  widget.show();
  for (int i = 0; i < 1000 && !spy.painted; ++i) QCoreApplication::processEvents();
  widget.removeEventFilter(&spy);
}

class NoMembers final : public campaign::MemberSource {
 public:
  std::vector<campaign::GroupRow> groups() override { return {}; }
  std::optional<std::vector<campaign::MemberToCall>> open_members(const std::string&, std::string&) override {
    return std::vector<campaign::MemberToCall>{};
  }
  bool set_filter(const campaign::DateFilterRequest&) override { return true; }
  void clear_filter() override {}
};

class QuietDialogs final : public campaign::OperatorDialogs {
 public:
  void message_box(std::string_view) override {}
  void error_box(std::string_view) override {}
};

class NoFiles final : public app::FileChooser {
 public:
  std::optional<std::string> open_log() override { return std::nullopt; }
  std::optional<std::string> save_log() override { return std::nullopt; }
  std::optional<std::string> open_wave() override { return std::nullopt; }
  std::optional<std::string> save_report(app::ReportFormat) override { return std::nullopt; }
};

void BM_MainWindowToFirstPaint(benchmark::State& state) {
  bench::offscreen_application();
  messaging::ManualClock clock;
  messaging::Loop loop(clock);
  campaign::NoLine line;
  campaign::NoVoice voice;
  NoMembers members;
  QuietDialogs dialogs;
  NoFiles files;
  host::RecordingShell shell;
  const auto folder = std::filesystem::temp_directory_path();
  for (auto _ : state) {
    auto windows = std::make_unique<app::ApplicationWindows>(
        app::MainWindowDeps{loop, line, voice, members, dialogs, files, shell, folder});
    windows->main().set_show_splash(false);
    wait_for_paint(windows->main());
    state.PauseTiming();
    state.counters["resident_MB"] = bench::resident_mb();
    windows->main().hide();
    windows.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MainWindowToFirstPaint)->Unit(benchmark::kMillisecond);

void BM_BareWindowToFirstPaint(benchmark::State& state) {
  bench::offscreen_application();
  for (auto _ : state) {
    auto window = std::make_unique<QWidget>();
    window->setFixedSize(913, 615);
    wait_for_paint(*window);
    state.PauseTiming();
    state.counters["resident_MB"] = bench::resident_mb();
    window.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_BareWindowToFirstPaint)->Unit(benchmark::kMillisecond);

}  // namespace

// Choosing a group of 100,000 members in the member grid, offscreen: the time until the grid has
// painted its first rows, and resident memory after scrolling to the last row.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <filesystem>
#include <fstream>

#include "offscreen_application.h"
#include "resident_memory.h"
#include "app/main/member_table_model.h"

namespace {

using namespace orvexa;
namespace fs = std::filesystem;

constexpr int kMembers = 100000;

// One database of 100,000 members for the whole run.
struct BigGroup {
  fs::path folder = fs::temp_directory_path() / ("orvexa-grid-bench-" + std::to_string(::getpid()));
  std::unique_ptr<data::ContactStore> store;
  data::Group group;
  BigGroup() {
    bench::offscreen_application();
    fs::remove_all(folder);
    fs::create_directories(folder);
    store = std::make_unique<data::ContactStore>(folder);
    store->open();
    group = *store->create_group("Big").group;
    std::vector<data::Member> rows(kMembers);
    for (int i = 0; i < kMembers; ++i) {
      auto& r = rows[static_cast<std::size_t>(i)];
      r.name = "نام " + std::to_string(i);
      r.family = "خانواده";
      r.num = "0912" + std::to_string(1000000 + i);
      r.tart = r.tarezd = r.targ = "05/12";
      r.tare = "88888888";
    }
    store->insert_rows(group, rows);
  }
  ~BigGroup() {
    store.reset();
    fs::remove_all(folder);
  }
};

BigGroup& big() {
  static BigGroup g;
  return g;
}

void BM_ChooseGroupFirstRowsPainted(benchmark::State& state) {
  auto& g = big();
  QTableView view;
  view.resize(900, 500);
  view.setLayoutDirection(Qt::RightToLeft);
  view.show();
  for (auto _ : state) {
    app::MemberTableModel model(*g.store, true);
    model.open(g.group);
    view.setModel(&model);
    benchmark::DoNotOptimize(view.viewport()->grab());
    view.setModel(nullptr);
  }
  state.counters["rows"] = kMembers;
}
BENCHMARK(BM_ChooseGroupFirstRowsPainted)->Unit(benchmark::kMillisecond);

void BM_ScrollToTheEndResidentMemory(benchmark::State& state) {
  auto& g = big();
  const double before = bench::resident_mb();
  QTableView view;
  view.resize(900, 500);
  view.show();
  app::MemberTableModel model(*g.store, true);
  model.open(g.group);
  view.setModel(&model);
  for (auto _ : state) {
    auto* bar = view.verticalScrollBar();
    for (int at = 0; at <= bar->maximum(); at += bar->pageStep() * 40) {
      bar->setValue(at);
      benchmark::DoNotOptimize(view.viewport()->grab());
    }
    view.scrollToBottom();
    benchmark::DoNotOptimize(view.viewport()->grab());
  }
  state.counters["resident_mb"] = bench::resident_mb();
  state.counters["grown_mb"] = bench::resident_mb() - before;
}
BENCHMARK(BM_ScrollToTheEndResidentMemory)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// Message-loop costs: posting and dispatching, timer bookkeeping, an idle pass.
#include <benchmark/benchmark.h>

#include "platform/messaging/hidden_window.h"

using namespace orvexa::messaging;
using namespace std::chrono_literals;

namespace {

struct Counter final : HiddenWindow {
  using HiddenWindow::HiddenWindow;
  std::uint64_t count = 0;
  LRESULT window_proc(UINT, WPARAM, LPARAM) override { return static_cast<LRESULT>(++count); }
};

void BM_PostAndDispatch(benchmark::State& state) {
  ManualClock clock;
  Loop loop(clock);
  Counter window(loop);
  const auto batch = state.range(0);
  for (auto _ : state) {
    for (std::int64_t i = 0; i < batch; ++i) window.post(WM_USER, static_cast<WPARAM>(i));
    loop.process_pending();
  }
  state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostAndDispatch)->Range(1, 1 << 16);

void BM_TimersStartAndKill(benchmark::State& state) {
  ManualClock clock;
  Loop loop(clock);
  Counter window(loop);
  const auto count = state.range(0);
  for (auto _ : state) {
    for (std::int64_t id = 0; id < count; ++id)
      window.set_timer(static_cast<std::uintptr_t>(id), std::chrono::milliseconds(10 + id % 5000));
    for (std::int64_t id = 0; id < count; ++id) window.kill_timer(static_cast<std::uintptr_t>(id));
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_TimersStartAndKill)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ProcessPendingIdle(benchmark::State& state) {
  ManualClock clock;
  Loop loop(clock);
  Counter window(loop);
  window.set_timer(1, 2000ms);
  for (auto _ : state) loop.process_pending();
}
BENCHMARK(BM_ProcessPendingIdle);

void BM_ManualDayOfTwoSecondTimers(benchmark::State& state) {
  for (auto _ : state) {
    ManualClock clock;
    Loop loop(clock);
    Counter window(loop);
    window.set_timer(1, 2000ms);
    loop.run_for(24h);
    benchmark::DoNotOptimize(window.count);
  }
}
BENCHMARK(BM_ManualDayOfTwoSecondTimers)->Unit(benchmark::kMillisecond);

}  // namespace

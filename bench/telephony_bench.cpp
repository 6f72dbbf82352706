// Simulated calls in a row on the manual clock, and the dispatch of notifications into events.
//
//   build-phone/bench/telephony_bench --benchmark_filter=SimulatedCalls
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <unistd.h>

#include "resident_memory.h"
#include "components/phone/kdphone.h"
#include "fake_telephony.h"
#include "platform/telephony/telephony_rig.h"

namespace {

using namespace orvexa;
using namespace std::chrono_literals;

// Each call is dialled, answered after one ring, hung up on connection, and gone idle.
void BM_SimulatedCallsInARow(benchmark::State& state) {
  const int calls = static_cast<int>(state.range(0));
  long rss_at_100 = 0, rss_at_1000 = 0, rss_end = 0;
  std::size_t leftovers = 0;
  for (auto _ : state) {
    telephony::TelephonyRig rig(telephony::default_sim_config(), true);
    components::KDPhone phone(rig.loop(), rig.lines());
    int ended = 0;
    phone.OnCallState = [&](components::KDPhone& p, components::TCallState s, int, int, int) {
      if (s == components::csConnected) p.Hangup();
      if (s == components::csDisconnected) ++ended;
    };
    if (phone.LineActive(0, true) != 0) state.SkipWithError("line did not open");
    for (int i = 0; i < calls; ++i) {
      if (phone.DialNumber("09121234567", i) != 0) state.SkipWithError("dial refused");
      rig.loop().run_until([&] { return ended > i; }, 10min);
      if (i == 99) rss_at_100 = bench::resident_kb();
      if (i == 999) rss_at_1000 = bench::resident_kb();
    }
    rss_end = bench::resident_kb();
    if (ended != calls) state.SkipWithError("a call did not end");
    leftovers = phone.NumberOfActiveCalls() + phone.PendingRequestCount() +
                phone.PickedUpCount() + phone.OrphanCellCount() + rig.lines().open_calls() +
                rig.lines().pending_requests() + rig.lines().queued_notifications() +
                rig.sim().live_calls() + rig.sim().scheduled_actions();
  }
  state.counters["calls"] = calls;
  state.counters["rss_growth_kb_100_to_end"] = static_cast<double>(rss_end - rss_at_100);
  state.counters["rss_growth_kb_1000_to_end"] =
      calls >= 1000 ? static_cast<double>(rss_end - rss_at_1000) : 0;
  state.counters["entries_left"] = static_cast<double>(leftovers);
}
BENCHMARK(BM_SimulatedCallsInARow)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Digits and call states delivered by the service's callback, each raised as an event.
void BM_NotificationDispatch(benchmark::State& state) {
  messaging::ManualClock clock;
  messaging::Loop loop(clock);
  components::testing::FakeTelephony api;
  components::KDPhone phone(loop, api);
  long events = 0;
  phone.OnDigitDetected = [&](components::KDPhone&, char, int) { ++events; };
  phone.OnCallState = [&](components::KDPhone&, components::TCallState, int, int, int) { ++events; };
  phone.AutoDisconnect = false;
  if (phone.LineActive(0, true) != 0) state.SkipWithError("line did not open");
  api.State(40, telephony::LINECALLSTATE_CONNECTED);
  for (auto _ : state) {
    api.Notify(40, telephony::LINE_MONITORDIGITS, '1', telephony::LINEDIGITMODE_DTMF);
    api.State(40, telephony::LINECALLSTATE_PROCEEDING);
  }
  state.SetItemsProcessed(state.iterations() * 2);
  state.counters["events"] = static_cast<double>(events);
}
BENCHMARK(BM_NotificationDispatch);

}  // namespace

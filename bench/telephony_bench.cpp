// Simulated calls in a row and many at once on one line on the manual clock, and the dispatch of
// notifications into events.
//
//   build-phone/bench/telephony_bench --benchmark_filter=SimulatedCalls
//   build-phone/bench/telephony_bench --benchmark_filter=SimulatedChannels
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

// N calls at once on one simulated line of N channels, each far end speaking while a message
// plays into its own call, for 10 s of the manual clock. What one call costs per simulated
// second should not grow with N.
void BM_SimulatedChannelsPlaying(benchmark::State& state) {
  using namespace telephony;
  const auto channels = static_cast<std::size_t>(state.range(0));
  const std::string text = "[[line]]\nchannels = " + std::to_string(channels) +
                           "\n[timing]\nringback = 0\n[default_far_end]\nrings = 0\ntone = 700\n";
  const SimConfig config = parse_sim_config(text).config.value();
  std::vector<std::uint8_t> sound(10 * 16000, 0x10);
  double heard = 0;
  for (auto _ : state) {
    state.PauseTiming();
    TelephonyRig rig(config, true);
    HLINEAPP app = 0;
    HLINE line = 0;
    DWORD devices = 0, version = kApiVersion20002;
    std::size_t connected = 0;
    auto callback = [&](DWORD, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
      if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_CONNECTED) ++connected;
    };
    rig.lines().lineInitializeExW(&app, callback, &devices, &version, nullptr);
    rig.lines().lineOpen(app, 0, &line, kApiVersion20002, 0, 0, LINECALLPRIVILEGE_OWNER,
                         LINEMEDIAMODE_AUTOMATEDVOICE, nullptr);
    std::vector<HCALL> calls(channels);
    for (HCALL& call : calls) rig.lines().lineMakeCall(line, &call, "300", 0, nullptr);
    rig.loop().run_until([&] { return connected == channels; }, 1min);
    std::vector<audio::HWAVEOUT> outputs(channels);
    std::vector<audio::WAVEHDR> blocks(channels);
    const audio::WAVEFORMATEX format = audio::pcm_format();
    for (std::size_t i = 0; i < channels; ++i) {
      const SimAudioDevices* own = rig.line_audio(0, rig.sim().slot_of(calls[i]).value_or(0));
      const auto device = static_cast<std::uint32_t>(own->wave_out());
      rig.audio().waveOutOpen(&outputs[i], device, &format, messaging::kNoWindow, 0,
                              audio::CALLBACK_NULL);
      blocks[i].lpData = reinterpret_cast<char*>(sound.data());
      blocks[i].dwBufferLength = static_cast<audio::DWORD>(sound.size());
      rig.audio().waveOutPrepareHeader(outputs[i], &blocks[i], sizeof blocks[i]);
      rig.audio().waveOutWrite(outputs[i], &blocks[i], sizeof blocks[i]);
    }
    state.ResumeTiming();
    rig.loop().run_for(10s);
    state.PauseTiming();
    heard = 0;
    for (const auto& r : rig.sim().records()) heard += r.heard_seconds;
    for (std::size_t i = 0; i < channels; ++i) {
      rig.audio().waveOutReset(outputs[i]);
      rig.audio().waveOutUnprepareHeader(outputs[i], &blocks[i], sizeof blocks[i]);
      rig.audio().waveOutClose(outputs[i]);
    }
    state.ResumeTiming();
  }
  if (heard + 1e-6 < 10.0 * static_cast<double>(channels))
    state.SkipWithError("a far end did not hear its whole message");
  state.counters["heard_seconds"] = heard;
  state.counters["per_call_second"] = benchmark::Counter(
      10.0 * static_cast<double>(channels),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SimulatedChannelsPlaying)
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(500)
    ->Unit(benchmark::kMillisecond);

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

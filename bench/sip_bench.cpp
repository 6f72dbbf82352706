// Concurrent SIP calls through the provider into sipp (-rtp_echo) on the loopback: the spacing
// of each call's 20 ms frames (p50/p99/max), CPU per call, and the call set-up rate.
//
//   build/bench/sip_bench --benchmark_filter=Concurrent
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/audio/audio_service.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"
#include "platform/sip/sip_provider.h"
#include "sipp_process.h"

namespace {

using namespace orvexa;
using sip::testing::SippProcess;

class CountingEvents : public telephony::ProviderEvents {
 public:
  int connected = 0, ended = 0;
  void reply(telephony::RequestId, telephony::LONG) override {}
  void call_state(telephony::HCALL, telephony::DWORD s, telephony::DWORD) override {
    if (s == telephony::LINECALLSTATE_CONNECTED) ++connected;
    if (s == telephony::LINECALLSTATE_IDLE || s == telephony::LINECALLSTATE_DISCONNECTED ||
        s == telephony::LINECALLSTATE_BUSY)
      ++ended;
  }
  telephony::HCALL incoming_call(const telephony::LineProvider&, std::size_t,
                                 const telephony::CallDetails&) override { return 0; }
  void ringing(const telephony::LineProvider&, std::size_t) override {}
  void call_info_changed(telephony::HCALL, telephony::DWORD) override {}
  void digit(telephony::HCALL, char, telephony::DWORD) override {}
  void tone(telephony::HCALL, telephony::DWORD_PTR) override {}
  void media(telephony::HCALL, telephony::DWORD) override {}
};

double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_ConcurrentCalls(benchmark::State& state) {
  const int calls = static_cast<int>(state.range(0));
  // One core for our process, as the figure asks; sipp runs on whatever is left.
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(0, &one);
  sched_setaffinity(0, sizeof one, &one);

  for (auto _ : state) {
    auto peer = SippProcess::start(
        "callee_answer.xml",
        {"-rtp_echo", "-mp", std::to_string(SippProcess::free_udp_port()), "-m",
         std::to_string(calls), "-l", std::to_string(calls), "-max_socket", "4096"},
        120);
    if (!peer) {
      state.SkipWithError("sipp is not installed");
      return;
    }
    messaging::SteadyClock clock;
    messaging::Loop loop(clock);
    audio::AudioService audio(loop);
    std::mutex mutex;
    std::vector<std::int64_t> spacing;
    bool measuring = false;
    sip::SipProvider::Options options;
    options.on_send_spacing = [&](std::int64_t us) {
      std::lock_guard lock(mutex);
      if (measuring) spacing.push_back(us);
    };
    sip::SipLineConfig line;
    line.name = "Bench";
    line.registrar = {"127.0.0.1", peer->port()};
    line.domain = "127.0.0.1";
    line.user = line.auth_user = "201";
    line.do_register = false;
    line.rtp_timeout_s = 0;
    sip::SipProvider provider(loop, audio, {line}, options);
    CountingEvents events;
    provider.open(0, events);

    const auto setup_start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
      provider.make_call(0, static_cast<telephony::HCALL>(i + 1), i + 1, "201");
    loop.run_until([&] { return events.connected + events.ended >= calls; }, std::chrono::seconds(60));
    const double setup_s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - setup_start).count();
    const int connected = events.connected;

    {
      std::lock_guard lock(mutex);
      measuring = true;
    }
    const double cpu0 = cpu_seconds();
    loop.run_for(std::chrono::seconds(5));
    const double cpu = cpu_seconds() - cpu0;
    {
      std::lock_guard lock(mutex);
      measuring = false;
    }
    for (int i = 0; i < calls; ++i) provider.drop(static_cast<telephony::HCALL>(i + 1), 100000 + i);
    loop.run_until([&] { return events.ended >= calls; }, std::chrono::seconds(30));
    for (int i = 0; i < calls; ++i) provider.deallocate(static_cast<telephony::HCALL>(i + 1));

    std::vector<std::int64_t> s;
    {
      std::lock_guard lock(mutex);
      s = spacing;
    }
    std::sort(s.begin(), s.end());
    auto pct = [&](double p) {
      return s.empty() ? 0.0 : static_cast<double>(s[static_cast<std::size_t>(p * (s.size() - 1))]) / 1000.0;
    };
    state.counters["connected"] = connected;
    state.counters["setup_calls_per_s"] = connected / setup_s;
    state.counters["spacing_p50_ms"] = pct(0.50);
    state.counters["spacing_p99_ms"] = pct(0.99);
    state.counters["spacing_max_ms"] = pct(1.0);
    state.counters["p99_dev_from_20ms"] = std::max(pct(0.99) - 20.0, 20.0 - pct(0.01));
    state.counters["cpu_pct_per_call"] = connected > 0 ? 100.0 * cpu / 5.0 / connected : 0;
    state.counters["frames"] = static_cast<double>(s.size());
  }
}
BENCHMARK(BM_ConcurrentCalls)->Arg(50)->Arg(200)->Arg(500)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

// SIP calls through the provider into sipp on the loopback. Our process runs on CPU 0 and sipp
// on the other CPUs, so the figures are ours and not sipp's.
//
// Concurrent/N/rt: N calls into sipp -rtp_echo, then 5 s of media: the spacing of each call's
//   20 ms frames (p50/p99/p99.9/max), our CPU per call, frames that went out. rt:0 returns the
//   SIP thread to normal scheduling, as on a system that refuses it real-time priority.
// SetupRate/N: N calls dialled at once; calls connected per second until the last one is up,
//   and the set-up time of one call (dial to connected) p50/p99.
// udp_drops is the machine's UDP receive-buffer overflow count during the run (sipp's included).
//
//   build/bench/sip_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "process_usage.h"
#include "platform/audio/audio_service.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"
#include "platform/sip/sip_provider.h"
#include "sipp_process.h"

namespace {

using orvexa::bench::cpu_seconds;
using orvexa::bench::percentile;

using namespace orvexa;
using sip::testing::SippProcess;
using Steady = std::chrono::steady_clock;

class CountingEvents : public telephony::ProviderEvents {
 public:
  int connected = 0, ended = 0;
  std::map<telephony::HCALL, Steady::time_point> connected_at;
  void reply(telephony::RequestId, telephony::LONG) override {}
  void call_state(telephony::HCALL call, telephony::DWORD s, telephony::DWORD) override {
    if (s == telephony::LINECALLSTATE_CONNECTED) {
      ++connected;
      connected_at[call] = Steady::now();
    }
    if (s == telephony::LINECALLSTATE_IDLE || s == telephony::LINECALLSTATE_DISCONNECTED ||
        s == telephony::LINECALLSTATE_BUSY)
      ++ended;
  }
  telephony::HCALL incoming_call(const telephony::LineProvider&, std::size_t,
                                 const telephony::CallDetails&) override { return 0; }
  void ringing(const telephony::LineProvider&, std::size_t) override {}
  void call_info_changed(telephony::HCALL, telephony::DWORD) override {}
  void digit(telephony::HCALL, char, telephony::DWORD) override {}
  void received_audio(telephony::HCALL, std::span<const std::int16_t>) override {}
  void media(telephony::HCALL, telephony::DWORD) override {}
};

double udp_receive_drops() {
  std::ifstream snmp("/proc/net/snmp");
  std::string header, values;
  while (std::getline(snmp, header) && std::getline(snmp, values)) {
    if (header.rfind("Udp:", 0) != 0) continue;
    std::istringstream names(header), numbers(values);
    std::string name, number;
    while (names >> name && numbers >> number)
      if (name == "RcvbufErrors") return std::stod(number);
  }
  return 0;
}

void run_on(int first_cpu, int last_cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int c = first_cpu; c <= last_cpu; ++c) CPU_SET(c, &set);
  sched_setaffinity(0, sizeof set, &set);
}

// sipp on the CPUs after the first (it inherits the mask it is started with), then this
// thread, and every thread it starts later, on CPU 0 alone.
std::unique_ptr<SippProcess> start_sipp(int calls) {
  const int cpus = get_nprocs();
  if (cpus > 1) run_on(1, cpus - 1);
  auto peer = SippProcess::start(
      "callee_answer.xml",
      {"-rtp_echo", "-mp", std::to_string(SippProcess::free_udp_port()), "-m",
       std::to_string(calls), "-l", std::to_string(calls), "-max_socket", "4096", "-buff_size",
       "4194304"},
      120);
  run_on(0, 0);
  return peer;
}

// This process's real-time threads; with `demote`, they are first returned to normal
// scheduling (and not counted).
int realtime_threads(bool demote) {
  int n = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    const pid_t tid = std::stoi(task.path().filename().string());
    if (sched_getscheduler(tid) != SCHED_FIFO) continue;
    sched_param normal{};
    if (demote && sched_setscheduler(tid, SCHED_OTHER, &normal) == 0) continue;
    ++n;
  }
  return n;
}

// One line into sipp with a channel for each of the N calls dialled at once, kept up until
// `hang_up()`.
class Rig {
 public:
  Rig(SippProcess& peer, int channels, std::function<void(std::int64_t)> on_spacing = nullptr)
      : loop_(clock_),
        audio_(loop_),
        provider_(loop_, audio_, {line(peer, channels)}, options(on_spacing)) {
    provider_.open(0, events_);
  }
  // Dials `calls` at once; waits (bounded) until each is connected or ended. Seconds taken.
  double dial(int calls) {
    calls_ = calls;
    const auto start = Steady::now();
    for (int i = 0; i < calls; ++i) {
      dialled_at_[static_cast<telephony::HCALL>(i + 1)] = Steady::now();
      provider_.make_call(0, static_cast<telephony::HCALL>(i + 1), i + 1, "201");
    }
    loop_.run_until([&] { return events_.connected + events_.ended >= calls; },
                    std::chrono::seconds(60));
    return std::chrono::duration<double>(last_connected() - start).count();
  }
  void run_for(std::chrono::seconds d) { loop_.run_for(d); }
  void hang_up() {
    for (int i = 0; i < calls_; ++i) provider_.drop(static_cast<telephony::HCALL>(i + 1), 100000 + i);
    loop_.run_until([&] { return events_.ended >= calls_; }, std::chrono::seconds(30));
    for (int i = 0; i < calls_; ++i) provider_.deallocate(static_cast<telephony::HCALL>(i + 1));
  }
  int connected() const { return events_.connected; }
  std::vector<double> setup_ms() const {
    std::vector<double> ms;
    for (const auto& [call, at] : events_.connected_at)
      ms.push_back(std::chrono::duration<double, std::milli>(at - dialled_at_.at(call)).count());
    return ms;
  }

 private:
  static sip::SipLineConfig line(const SippProcess& peer, int channels) {
    sip::SipLineConfig line;
    line.name = "Bench";
    line.registrar = {"127.0.0.1", peer.port()};
    line.domain = "127.0.0.1";
    line.user = line.auth_user = "201";
    line.do_register = false;
    line.rtp_timeout_s = 0;
    line.channels = static_cast<std::uint32_t>(channels);
    return line;
  }
  static sip::SipProvider::Options options(std::function<void(std::int64_t)> on_spacing) {
    sip::SipProvider::Options o;
    o.on_send_spacing = std::move(on_spacing);
    return o;
  }
  Steady::time_point last_connected() const {
    Steady::time_point last{};
    for (const auto& [call, at] : events_.connected_at) last = std::max(last, at);
    return last;
  }

  messaging::SteadyClock clock_;
  messaging::Loop loop_;
  audio::AudioService audio_;
  CountingEvents events_;
  sip::SipProvider provider_;
  std::map<telephony::HCALL, Steady::time_point> dialled_at_;
  int calls_ = 0;
};

void BM_Concurrent(benchmark::State& state) {
  const int calls = static_cast<int>(state.range(0));
  constexpr auto kMeasure = std::chrono::seconds(5);
  for (auto _ : state) {
    auto peer = start_sipp(calls);
    if (!peer) {
      state.SkipWithError("sipp is not installed");
      return;
    }
    std::mutex mutex;
    std::vector<double> spacing_ms;
    spacing_ms.reserve(static_cast<std::size_t>(calls) * 300);
    std::atomic<bool> measuring{false};
    Rig rig(*peer, calls, [&](std::int64_t us) {
      if (!measuring.load(std::memory_order_relaxed)) return;
      std::lock_guard lock(mutex);
      spacing_ms.push_back(static_cast<double>(us) / 1000.0);
    });
    if (state.range(1) == 0) realtime_threads(true);
    const int realtime = realtime_threads(false);
    rig.dial(calls);
    rig.run_for(std::chrono::seconds(1));  // let every call's media settle
    const double drops0 = udp_receive_drops();
    const double cpu0 = cpu_seconds();
    measuring = true;
    rig.run_for(kMeasure);
    measuring = false;
    const double cpu = cpu_seconds() - cpu0;
    const double drops = udp_receive_drops() - drops0;
    const int connected = rig.connected();
    rig.hang_up();

    std::lock_guard lock(mutex);
    state.counters["connected"] = connected;
    state.counters["rt_threads"] = realtime;
    state.counters["frames"] = static_cast<double>(spacing_ms.size());
    state.counters["spacing_p50_ms"] = percentile(spacing_ms, 0.50);
    state.counters["spacing_p99_ms"] = percentile(spacing_ms, 0.99);
    state.counters["spacing_p99.9_ms"] = percentile(spacing_ms, 0.999);
    state.counters["spacing_max_ms"] = percentile(spacing_ms, 1.0);
    state.counters["late_p99_ms"] = std::max(0.0, percentile(spacing_ms, 0.99) - 20.0);
    state.counters["cpu_pct_per_call"] =
        connected > 0 ? 100.0 * cpu / static_cast<double>(kMeasure.count()) / connected : 0;
    state.counters["cpu_pct_total"] = 100.0 * cpu / static_cast<double>(kMeasure.count());
    state.counters["udp_drops"] = drops;
  }
}
BENCHMARK(BM_Concurrent)
    ->ArgsProduct({{50, 200, 500}, {1, 0}})
    ->ArgNames({"calls", "rt"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void BM_SetupRate(benchmark::State& state) {
  const int calls = static_cast<int>(state.range(0));
  for (auto _ : state) {
    auto peer = start_sipp(calls);
    if (!peer) {
      state.SkipWithError("sipp is not installed");
      return;
    }
    Rig rig(*peer, calls);
    const double drops0 = udp_receive_drops();
    const double seconds = rig.dial(calls);
    const double drops = udp_receive_drops() - drops0;
    auto setup = rig.setup_ms();
    state.counters["connected"] = rig.connected();
    state.counters["calls_per_s"] = seconds > 0 ? rig.connected() / seconds : 0;
    state.counters["setup_p50_ms"] = percentile(setup, 0.50);
    state.counters["setup_p99_ms"] = percentile(setup, 0.99);
    state.counters["udp_drops"] = drops;
    rig.hang_up();
  }
}
BENCHMARK(BM_SetupRate)->Arg(100)->Arg(500)->ArgName("calls")->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

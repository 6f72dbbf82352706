// A whole campaign over many channels of one sip line into sipp on the loopback, on the real
// clock, through run_headless_campaign as `orvexa run --channels 100 --pace 20` runs it. Every
// callee answers at once and presses 1 at 3.5 s; the opening message is 1 s, the main one 6 s,
// so a call lasts about 10 s. Our process runs on CPU 0, sipp on the others.
//
// Reported: wall time against the ideal (members x mean call length / channels, the call length
// measured in calls.db from dial to end), the spacing of every call's 20 ms frames during the
// campaign (late_p99_ms: the p99 less 20 ms), our CPU per call, and the outcomes (heard_main of
// members; anything else counts in not_heard).
//
//   build/bench/sip_campaign_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "process_usage.h"
#include "app/cli/headless_runner.h"
#include "app/data/contact_store.h"
#include "app/records/calls_database.h"
#include "message_files.h"
#include "sipp_process.h"

namespace {

using orvexa::bench::cpu_seconds;
using orvexa::bench::percentile;

namespace fs = std::filesystem;
using namespace orvexa;
using sip::testing::SippProcess;

void run_on(int first_cpu, int last_cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int c = first_cpu; c <= last_cpu; ++c) CPU_SET(c, &set);
  sched_setaffinity(0, sizeof set, &set);
}

// sipp on the CPUs after the first (it inherits the mask it is started with), then this thread,
// and every thread it starts later (the SIP thread among them), on CPU 0 alone.
std::unique_ptr<SippProcess> start_callees(int members) {
  ::setenv("ORVEXA_SOURCE_DIR", ORVEXA_SOURCE_DIR, 0);  // where the scenarios are
  const auto scenario = SippProcess::filled_scenario(
      "callee_presses_1.xml", {{"KEY1", (SippProcess::scenario_dir() / "dtmf_1.pcap").string()},
                               {"KEY_AFTER", "3500"}});
  const int cpus = get_nprocs();
  if (cpus > 1) run_on(1, cpus - 1);
  auto peer = SippProcess::start(
      scenario.string(),
      {"-mp", std::to_string(SippProcess::free_udp_port()), "-m", std::to_string(members),
       "-max_socket", "4096", "-buff_size", "4194304"},
      900);
  run_on(0, 0);
  return peer;
}

fs::path prepare(const SippProcess& peer, int members, int channels) {
  const fs::path folder = fs::temp_directory_path() / ("orvexa-sip-campaign-bench-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path toml = folder / "orvexa.toml";
  std::ofstream(toml) << "[[line]]\nkind = \"sip\"\nname = \"Bench\"\nregistrar = \"" << peer.address()
                      << "\"\nuser = \"201\"\npassword = \"secret\"\nregister = false\nchannels = "
                      << channels << "\n";
  fs::permissions(toml, fs::perms::owner_read | fs::perms::owner_write);
  test_support::write_tone_wave(folder / "First.wav", 1.0);
  test_support::write_tone_wave(folder / "Orginal.wav", 6.0);
  data::ContactStore store(folder);
  store.open();
  auto group = store.create_group("Bench");
  std::vector<data::Member> rows(static_cast<std::size_t>(members));
  for (int i = 0; i < members; ++i) rows[static_cast<std::size_t>(i)].num = std::to_string(100000 + i);
  store.insert_rows(*group.group, rows);
  return folder;
}

struct NullBuffer : std::streambuf {
  int overflow(int c) override { return c; }
};

void BM_CampaignOverSipChannels(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  const int channels = static_cast<int>(state.range(1));
  for (auto _ : state) {
    auto peer = start_callees(members);
    if (!peer) {
      state.SkipWithError("sipp is not installed");
      return;
    }
    const fs::path folder = prepare(*peer, members, channels);
    std::mutex mutex;
    std::vector<double> spacing_ms;
    spacing_ms.reserve(static_cast<std::size_t>(members) * 600);
    campaign::HeadlessOptions options;
    options.choice = campaign::CampaignChoice::OneGroup;
    options.group = "Bench";
    options.settings.channels = channels;
    options.settings.pace = 20;
    options.sip_send_spacing = [&](std::int64_t us) {
      std::lock_guard lock(mutex);
      spacing_ms.push_back(static_cast<double>(us) / 1000.0);
    };
    NullBuffer null;
    std::ostream out(&null);
    std::ostringstream err;
    host::RecordingShell shell;
    const double cpu0 = cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    const int code = campaign::run_headless_campaign(folder, options, out, err, shell);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpu_seconds() - cpu0;

    int heard = 0, attempts = 0;
    double call_s = 0;
    if (auto db = records::CallsDatabase::open(folder / records::kCallsFile); db && !db->campaigns().empty()) {
      for (const auto& a : db->attempts(db->campaigns().front().id)) {
        ++attempts;
        if (a.outcome == campaign::Outcome::HeardMain) ++heard;
        if (a.ended_ms) call_s += static_cast<double>(*a.ended_ms - a.dialled_ms) / 1000.0;
      }
    }
    call_s = attempts > 0 ? call_s / attempts : 0;
    const double ideal = members * call_s / channels;
    std::lock_guard lock(mutex);
    if (code != 0) state.SkipWithError(("the campaign failed: " + err.str()).c_str());
    state.counters["wall_s"] = wall;
    state.counters["call_s"] = call_s;
    state.counters["ideal_s"] = ideal;
    state.counters["wall_vs_ideal"] = ideal > 0 ? wall / ideal : 0;
    state.counters["heard_main"] = heard;
    state.counters["not_heard"] = attempts - heard;
    state.counters["frames"] = static_cast<double>(spacing_ms.size());
    state.counters["spacing_p50_ms"] = percentile(spacing_ms, 0.50);
    state.counters["spacing_p99_ms"] = percentile(spacing_ms, 0.99);
    state.counters["spacing_p99.9_ms"] = percentile(spacing_ms, 0.999);
    state.counters["spacing_max_ms"] = percentile(spacing_ms, 1.0);
    state.counters["late_p99_ms"] = std::max(0.0, percentile(spacing_ms, 0.99) - 20.0);
    state.counters["cpu_s"] = cpu;
    state.counters["cpu_ms_per_call"] = attempts > 0 ? 1000.0 * cpu / attempts : 0;
    state.counters["cpu_pct"] = 100.0 * cpu / wall;
    fs::remove_all(folder);
  }
}
BENCHMARK(BM_CampaignOverSipChannels)
    ->Args({1000, 100})
    ->ArgNames({"members", "channels"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

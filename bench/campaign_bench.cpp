// A whole group campaign headless on the manual clock: the real components, the simulated line,
// the contact database; members cycle through five far-end outcomes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "process_usage.h"
#include "app/cli/headless_runner.h"
#include "app/data/contact_store.h"
#include "app/records/calls_database.h"
#include "message_files.h"
#include "resident_memory.h"

namespace {

using orvexa::bench::cpu_seconds;

namespace fs = std::filesystem;
using namespace orvexa;

constexpr const char* kFarEnds = R"(
[[line]]
name = "Bench line"
ring_timeout = 20000
[[far_end]]
number = "100"
outcome = "answer"
keys = [{ key = "1", at = 3500 }]
[[far_end]]
number = "200"
outcome = "answer"
keys = [{ key = "2", at = 3500 }]
[[far_end]]
number = "300"
outcome = "busy"
[[far_end]]
number = "400"
outcome = "answer"
[[far_end]]
number = "500"
outcome = "no-answer"
)";

fs::path prepare(int members, double opening_seconds = 1.0, double main_seconds = 2.0) {
  const fs::path folder = fs::temp_directory_path() /
                          ("orvexa-bench-" + std::to_string(::getpid()) + "-" +
                           std::to_string(members) + "-" + std::to_string(int(main_seconds)));
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "orvexa.toml") << kFarEnds;
  test_support::write_tone_wave(folder / "First.wav", opening_seconds);
  test_support::write_tone_wave(folder / "Orginal.wav", main_seconds);
  data::ContactStore store(folder);
  store.open();
  auto group = store.create_group("Bench");
  std::vector<data::Member> rows(static_cast<std::size_t>(members));
  for (int i = 0; i < members; ++i) rows[static_cast<std::size_t>(i)].num = std::to_string(100 * (1 + i % 5));
  store.insert_rows(*group.group, rows);
  return folder;
}

struct NullBuffer : std::streambuf {
  int overflow(int c) override { return c; }
};

// The bench group on the manual clock, two plays of the opening before a call ends unanswered.
campaign::HeadlessOptions bench_group_options() {
  campaign::HeadlessOptions options;
  options.choice = campaign::CampaignChoice::OneGroup;
  options.group = "Bench";
  options.fast = true;
  options.settings.waiting_length = 2;
  return options;
}

void BM_GroupCampaignHeadless(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  const fs::path folder = prepare(members);
  NullBuffer null;
  std::ostream sink(&null);
  campaign::HeadlessOptions options = bench_group_options();
  int code = 0;
  for (auto _ : state) {
    host::RecordingShell shell;
    code = campaign::run_headless_campaign(folder, options, sink, sink, shell);
  }
  if (code != 0) state.SkipWithError("the campaign did not end");
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["members"] = members;
  state.counters["per_member_us"] = benchmark::Counter(
      static_cast<double>(members) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["max_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  fs::remove_all(folder);
}
BENCHMARK(BM_GroupCampaignHeadless)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

void remove_calls_db(const fs::path& folder) {
  for (const char* suffix : {"", "-wal", "-shm"})
    fs::remove(folder / (std::string(records::kCallsFile) + suffix));
}

// The store's size on disk: the database and whatever its WAL still holds (nothing once the last
// connection has closed and checkpointed it).
std::uintmax_t calls_db_bytes(const fs::path& folder) {
  std::uintmax_t bytes = 0;
  for (const char* suffix : {"", "-wal"}) {
    std::error_code ec;
    const auto size = fs::file_size(folder / (std::string(records::kCallsFile) + suffix), ec);
    if (!ec) bytes += size;
  }
  return bytes;
}

// What keeping calls.db costs a campaign: the same group, the same folder, with and without the
// record. The two kinds of run alternate, and swap order each repetition, so the machine's drift
// and the page cache's warmth fall on both alike. Each recorded run starts from no calls.db, so
// the file's growth over the repetitions does not slow the later ones.
void BM_CampaignRecordingOverhead(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  const fs::path folder = prepare(members);
  NullBuffer null;
  std::ostream sink(&null);
  campaign::HeadlessOptions options = bench_group_options();
  int failures = 0;
  std::uintmax_t db_bytes = 0;
  double seconds[2] = {0, 0};  // without, with the record
  auto run = [&](bool record) {
    remove_calls_db(folder);
    options.record = record;
    host::RecordingShell shell;
    const auto start = std::chrono::steady_clock::now();
    failures += campaign::run_headless_campaign(folder, options, sink, sink, shell) != 0;
    seconds[record] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (record) db_bytes = calls_db_bytes(folder);
  };
  bool recorded_first = false;
  for (auto _ : state) {
    run(recorded_first);
    run(!recorded_first);
    recorded_first = !recorded_first;
  }
  if (failures != 0) state.SkipWithError("a campaign did not end");
  const auto runs = static_cast<double>(state.iterations());
  state.counters["members"] = members;
  state.counters["plain_s"] = seconds[0] / runs;
  state.counters["recorded_s"] = seconds[1] / runs;
  state.counters["ratio"] = seconds[1] / seconds[0];
  state.counters["calls_db_MB"] = static_cast<double>(db_bytes) / (1024.0 * 1024.0);
  fs::remove_all(folder);
}
BENCHMARK(BM_CampaignRecordingOverhead)->Arg(10000)->Unit(benchmark::kSecond)->Iterations(4);

// The process's peak resident set since the last reset (VmHWM); writing 5 to clear_refs
// resets it, so each case reports its own peak rather than the largest so far.
void reset_peak_resident() { std::ofstream("/proc/self/clear_refs") << "5"; }

double peak_resident_mb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) != 0) continue;
    std::istringstream fields(line.substr(6));
    long kb = 0;
    fields >> kb;
    return static_cast<double>(kb) / 1024.0;
  }
  return 0;
}

// Peak memory of one campaign against its size: members, and the length of both messages.
// Far ends keep measurements of what they heard, not the sound, so neither should matter.
void BM_CampaignPeakMemory(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  const double seconds = static_cast<double>(state.range(1));
  const fs::path folder = prepare(members, seconds, seconds);
  NullBuffer null;
  std::ostream sink(&null);
  campaign::HeadlessOptions options = bench_group_options();
  int code = 0;
  const double start_mb = bench::resident_mb();
  reset_peak_resident();
  for (auto _ : state) {
    host::RecordingShell shell;
    code = campaign::run_headless_campaign(folder, options, sink, sink, shell);
  }
  if (code != 0) state.SkipWithError("the campaign did not end");
  state.counters["members"] = members;
  state.counters["message_s"] = seconds;
  state.counters["start_rss_MB"] = start_mb;
  state.counters["peak_rss_MB"] = peak_resident_mb();
  state.counters["end_rss_MB"] = bench::resident_mb();
  fs::remove_all(folder);
}
BENCHMARK(BM_CampaignPeakMemory)
    ->ArgNames({"members", "message_s"})
    ->Args({100, 5})
    ->Args({100, 60})
    ->Args({10000, 5})
    ->Args({10000, 60})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// 10,000 members who answer and press 1, on one simulated line of 100 channels, over 1, 10 and
// 100 of them: wall time, CPU per member, and the process's peak memory during the campaign.
fs::path prepare_channels(int members) {
  const fs::path folder = fs::temp_directory_path() /
                          ("orvexa-bench-channels-" + std::to_string(::getpid()) + "-" + std::to_string(members));
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::ofstream(folder / "orvexa.toml") << "[[line]]\nname = \"Bench line\"\nchannels = 100\n"
                                           "[[far_end]]\nnumber = \"100\"\noutcome = \"answer\"\n"
                                           "keys = [{ key = \"1\", at = 3500 }]\n";
  test_support::write_tone_wave(folder / "First.wav", 1.0);
  test_support::write_tone_wave(folder / "Orginal.wav", 2.0);
  data::ContactStore store(folder);
  store.open();
  auto group = store.create_group("Bench");
  std::vector<data::Member> rows(static_cast<std::size_t>(members));
  for (auto& row : rows) row.num = "100";
  store.insert_rows(*group.group, rows);
  return folder;
}

void BM_ChannelsFast(benchmark::State& state) {
  const int members = 10000;
  const int channels = static_cast<int>(state.range(0));
  const fs::path folder = prepare_channels(members);
  NullBuffer null;
  std::ostream sink(&null);
  campaign::HeadlessOptions options = bench_group_options();
  options.settings.channels = channels;
  options.settings.pace = 0;
  int code = 0;
  double cpu = 0;
  reset_peak_resident();
  for (auto _ : state) {
    remove_calls_db(folder);
    host::RecordingShell shell;
    const double cpu0 = cpu_seconds();
    code = campaign::run_headless_campaign(folder, options, sink, sink, shell);
    cpu += cpu_seconds() - cpu0;
  }
  if (code != 0) state.SkipWithError("the campaign did not end");
  state.counters["channels"] = channels;
  state.counters["cpu_per_member_us"] = 1e6 * cpu / members / static_cast<double>(state.iterations());
  state.counters["peak_rss_MB"] = peak_resident_mb();
  fs::remove_all(folder);
}
BENCHMARK(BM_ChannelsFast)->ArgName("channels")->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

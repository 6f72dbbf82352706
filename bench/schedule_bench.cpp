// Deciding when members with pending retries are called next: random outcomes, attempt counts
// and end times over a week, with the office's default hours, one holiday and the default rules.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "app/schedule/retry_policy.h"

namespace {

using namespace orvexa;

struct Pending {
  campaign::Outcome outcome;
  int attempts;
  messaging::WallTime ended;
};

std::vector<Pending> pending_members(std::size_t count) {
  std::mt19937 random(1404);
  const messaging::WallTime week_start{std::chrono::seconds(1'749'600'000)};  // 2025-06-11
  std::vector<Pending> out(count);
  for (auto& p : out) {
    p.outcome = campaign::kAllOutcomes[random() % campaign::kAllOutcomes.size()];
    p.attempts = 1 + static_cast<int>(random() % 3);
    p.ended = week_start + std::chrono::seconds(random() % (7 * 86400));
  }
  return out;
}

void BM_NextAttempt(benchmark::State& state) {
  const auto members = pending_members(static_cast<std::size_t>(state.range(0)));
  schedule::CallingHours hours = schedule::CallingHours::office_defaults();
  const auto holiday = data::solar_from_gregorian(std::chrono::year(2025) / 6 / 14);
  hours.set_holidays([holiday](const data::SolarDate& d) { return holiday && d == *holiday; });
  const schedule::RetryPolicy policy = schedule::RetryPolicy::defaults();
  std::size_t due = 0;
  for (auto _ : state) {
    for (const Pending& p : members) {
      auto next = policy.next_attempt(p.outcome, p.attempts, p.ended, hours);
      due += next.has_value();
      benchmark::DoNotOptimize(next);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(members.size()));
  state.counters["due"] = static_cast<double>(due) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_NextAttempt)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

#include "app/schedule/retry_policy.h"

#include <algorithm>

namespace orvexa::schedule {

using campaign::Outcome;
using namespace std::chrono_literals;

bool retry_configurable(Outcome outcome) {
  switch (outcome) {
    case Outcome::HeardMain:
    case Outcome::MainCut:
    case Outcome::Declined:
    case Outcome::Interrupted:
    case Outcome::SkippedDnc: return false;
    default: return true;
  }
}

RetryPolicy RetryPolicy::defaults() {
  RetryPolicy policy;
  policy.set(Outcome::Busy, {2, RetryWait::After, 10min});
  policy.set(Outcome::NoAnswer, {2, RetryWait::After, 60min});
  policy.set(Outcome::NoKey, {1, RetryWait::After, 30min});
  policy.set(Outcome::Unreachable, {1, RetryWait::NextCallingDay, 0s});
  policy.set(Outcome::Failed, {1, RetryWait::After, 5min});
  return policy;
}

bool RetryPolicy::set(Outcome outcome, RetryRule rule) {
  if (!retry_configurable(outcome)) return false;
  rules_[static_cast<std::size_t>(outcome)] = rule;
  return true;
}

const RetryRule& RetryPolicy::rule(Outcome outcome) const {
  return rules_[static_cast<std::size_t>(outcome)];
}

std::optional<messaging::WallTime> RetryPolicy::next_attempt(Outcome outcome, int attempts_made,
                                                             messaging::WallTime ended_at,
                                                             const CallingHours& hours) const {
  if (outcome == Outcome::Interrupted) return hours.next_open(ended_at);
  const RetryRule& r = rule(outcome);
  if (std::max(attempts_made, 1) > r.more) return std::nullopt;
  if (r.wait == RetryWait::NextCallingDay) return hours.next_calling_day(ended_at);
  return hours.next_open(ended_at + r.after);
}

}  // namespace orvexa::schedule

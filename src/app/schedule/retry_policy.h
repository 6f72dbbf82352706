// When a member is called again after an attempt, by the attempt's outcome.
//
//   RetryPolicy policy = RetryPolicy::defaults();
//   auto again = policy.next_attempt(Outcome::Busy, member.attempts, ended, hours);
//   if (again) queue(member, *again);   // nullopt: the member is done
//
// Attempts are counted per member, over all outcomes: `attempts_made` is every attempt of the
// member that reached an end, the one just ended included (as CampaignMember::attempts counts
// them). An outcome's `more` allows up to 1 + more attempts in all, so "busy: 2 more" means at
// most three calls when every one is busy. When outcomes differ, the latest decides against the
// total: busy, busy, then no-answer (2 more) is three attempts, so no fourth; busy then
// unreachable (1 more) is two, so none after it. A member is thus called at most 1 + the largest
// `more` times.
#pragma once

#include <array>
#include <chrono>
#include <optional>

#include "app/campaign/call_record.h"
#include "app/schedule/calling_hours.h"
#include "platform/messaging/clock.h"

namespace orvexa::schedule {

enum class RetryWait {
  After,           // the rule's delay after the end of the attempt
  NextCallingDay,  // the first range of the next open day
};

struct RetryRule {
  int more = 0;  // attempts allowed after the first; 0: never again
  RetryWait wait = RetryWait::After;
  std::chrono::seconds after{0};  // for RetryWait::After
  friend bool operator==(const RetryRule&, const RetryRule&) = default;
};

// Outcomes whose handling is fixed: heard-main, main-cut and declined reached the member, who
// heard or refused the message; interrupted is the program's own failure, not the member's, so
// it is always called again at once (in calling hours) and does not count as an attempt.
bool retry_configurable(campaign::Outcome outcome);

class RetryPolicy {
 public:
  // Never again for any outcome (interrupted still is).
  RetryPolicy() = default;
  // busy 2 more after 10 minutes, no-answer 2 after 60 minutes, no-key 1 after 30 minutes,
  // unreachable 1 on the next calling day, failed 1 after 5 minutes. hung-up (answered, then
  // put down before any key) and rejected (the callee's own refusal) are never called again.
  static RetryPolicy defaults();

  // False, with nothing changed, for an outcome that is not configurable.
  bool set(campaign::Outcome outcome, RetryRule rule);
  const RetryRule& rule(campaign::Outcome outcome) const;

  // When to call the member next, moved into calling hours; nullopt when no more attempts are
  // due or the hours never open. An attempts_made below 1 is read as 1: an attempt just ended.
  std::optional<messaging::WallTime> next_attempt(campaign::Outcome outcome, int attempts_made,
                                                  messaging::WallTime ended_at,
                                                  const CallingHours& hours) const;

 private:
  std::array<RetryRule, campaign::kAllOutcomes.size()> rules_{};
};

}  // namespace orvexa::schedule

#include "app/schedule/retry_policy.h"

#include <gtest/gtest.h>

#include "local_clock.h"

namespace orvexa::schedule {
namespace {

using campaign::Outcome;
using testing::at;
using testing::text;
using namespace std::chrono_literals;

class RetryPolicyTest : public testing::TehranZone {};

TEST_F(RetryPolicyTest, DefaultsByOutcomeAndAttempt) {
  CallingHours hours = CallingHours::office_defaults();
  hours.set_holidays(testing::is_saturday_14_june);
  const RetryPolicy policy = RetryPolicy::defaults();
  struct Case { Outcome outcome; int attempts; const char* ended; const char* next; };
  const Case cases[] = {
      {Outcome::Busy, 1, "2025-06-11 10:00", "2025-06-11 10:10"},
      {Outcome::Busy, 2, "2025-06-11 10:00", "2025-06-11 10:10"},
      {Outcome::Busy, 3, "2025-06-11 10:00", "never"},             // three calls, all busy
      {Outcome::Busy, 1, "2025-06-11 19:55", "2025-06-12 09:00"},  // 20:05 is closed
      {Outcome::Busy, 1, "2025-06-11 12:55", "2025-06-11 16:00"},
      {Outcome::Busy, 0, "2025-06-11 10:00", "2025-06-11 10:10"},  // read as one
      {Outcome::NoAnswer, 1, "2025-06-11 10:00", "2025-06-11 11:00"},
      {Outcome::NoAnswer, 2, "2025-06-11 12:30", "2025-06-11 16:00"},
      {Outcome::NoAnswer, 3, "2025-06-11 10:00", "never"},
      {Outcome::NoAnswer, 1, "2025-06-12 11:30", "2025-06-15 09:00"},  // Friday, the holiday
      {Outcome::NoKey, 1, "2025-06-11 10:00", "2025-06-11 10:30"},
      {Outcome::NoKey, 2, "2025-06-11 10:00", "never"},
      {Outcome::Unreachable, 1, "2025-06-11 10:00", "2025-06-12 09:00"},  // the next calling day
      {Outcome::Unreachable, 1, "2025-06-12 09:30", "2025-06-15 09:00"},
      {Outcome::Unreachable, 2, "2025-06-11 10:00", "never"},
      {Outcome::Failed, 1, "2025-06-11 10:00", "2025-06-11 10:05"},
      {Outcome::Failed, 2, "2025-06-11 10:00", "never"},
      {Outcome::HeardMain, 1, "2025-06-11 10:00", "never"},
      {Outcome::MainCut, 1, "2025-06-11 10:00", "never"},
      {Outcome::Declined, 1, "2025-06-11 10:00", "never"},
      {Outcome::HungUp, 1, "2025-06-11 10:00", "never"},
      {Outcome::Rejected, 1, "2025-06-11 10:00", "never"},
      // The program's fault: called again at once whatever the count, in calling hours.
      {Outcome::Interrupted, 9, "2025-06-11 10:00", "2025-06-11 10:00"},
      {Outcome::Interrupted, 1, "2025-06-13 10:00", "2025-06-15 09:00"},
      // Outcomes that differ: the latest one's limit against all attempts so far.
      {Outcome::NoAnswer, 3, "2025-06-11 10:00", "never"},     // busy, busy, no-answer
      {Outcome::Busy, 2, "2025-06-11 10:00", "2025-06-11 10:10"},  // no-key, busy
      {Outcome::Unreachable, 2, "2025-06-11 10:00", "never"},  // busy, unreachable
  };
  for (const auto& c : cases)
    EXPECT_EQ(text(policy.next_attempt(c.outcome, c.attempts, at(c.ended), hours)), c.next)
        << campaign::outcome_token(c.outcome) << " x" << c.attempts << " at " << c.ended;
}

TEST_F(RetryPolicyTest, FixedOutcomesCannotBeChanged) {
  RetryPolicy policy;
  for (Outcome o : campaign::kAllOutcomes) {
    const bool fixed = o == Outcome::HeardMain || o == Outcome::MainCut || o == Outcome::Declined ||
                       o == Outcome::Interrupted || o == Outcome::SkippedDnc;
    EXPECT_EQ(policy.set(o, {5, RetryWait::After, 1min}), !fixed) << campaign::outcome_token(o);
    EXPECT_EQ(policy.rule(o).more, fixed ? 0 : 5) << campaign::outcome_token(o);
  }
}

TEST_F(RetryPolicyTest, NeverPolicyAndClosedHours) {
  const auto ended = at("2025-06-11 10:00");
  const CallingHours office = CallingHours::office_defaults();
  const CallingHours closed;
  for (Outcome o : campaign::kAllOutcomes) {
    EXPECT_EQ(RetryPolicy().next_attempt(o, 1, ended, office).has_value(), o == Outcome::Interrupted)
        << campaign::outcome_token(o);
    EXPECT_FALSE(RetryPolicy::defaults().next_attempt(o, 1, ended, closed)) << campaign::outcome_token(o);
  }
}

TEST_F(RetryPolicyTest, ADelayLongerThanTheGapSkipsToTheWindowAfter) {
  RetryPolicy policy;
  policy.set(Outcome::Busy, {1, RetryWait::After, 26h});
  const CallingHours hours = CallingHours::office_defaults();
  // Wednesday 10:00 + 26 h is Thursday 12:00, the end of Thursday's range: next Saturday.
  EXPECT_EQ(text(policy.next_attempt(Outcome::Busy, 1, at("2025-06-11 10:00"), hours)), "2025-06-14 09:00");
  EXPECT_EQ(text(policy.next_attempt(Outcome::Busy, 1, at("2025-06-11 09:30"), hours)), "2025-06-12 11:30");
}

}  // namespace
}  // namespace orvexa::schedule

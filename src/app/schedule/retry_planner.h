// The campaign's retries by outcome on the retry policy: the next call after an attempt, moved
// into the calling hours it is given (open all day when the campaign keeps no calling hours).
//
//   PolicyPlanner planner(config.retry, window.hours());
//   CampaignDeps deps{..., &window, &planner};   // with PreCallSettings::retry_policy on
#pragma once

#include "app/campaign/campaign_engine.h"
#include "app/schedule/calling_hours.h"
#include "app/schedule/retry_policy.h"

namespace orvexa::schedule {

class PolicyPlanner final : public campaign::RetryPlanner {
 public:
  PolicyPlanner(RetryPolicy policy, const CallingHours& hours) : policy_(std::move(policy)), hours_(hours) {}
  std::optional<messaging::WallTime> next_attempt(campaign::Outcome outcome, int attempts,
                                                  messaging::WallTime ended) const override {
    return policy_.next_attempt(outcome, attempts, ended, hours_);
  }

 private:
  RetryPolicy policy_;
  const CallingHours& hours_;
};

}  // namespace orvexa::schedule

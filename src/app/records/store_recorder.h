// The campaign's recorder on the calls database: the campaign and its members at the start, an
// attempt row before each dial, completed with the member's progress when the call ends.
//
//   StoreRecorder recorder(*db, loop.clock());
//   CampaignDeps deps{..., &recorder};
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/campaign/call_record.h"
#include "app/records/calls_database.h"
#include "platform/messaging/clock.h"

namespace orvexa::records {

class Statement;

class StoreRecorder final : public campaign::CampaignRecorder {
 public:
  StoreRecorder(CallsDatabase& db, const messaging::Clock& clock);
  ~StoreRecorder() override;

  // Continues campaign `id` under this program (after CallsDatabase::resume_plan).
  bool reopen(std::int64_t id);
  std::optional<std::int64_t> campaign_id() const { return campaign_; }
  // Told the campaign's number as soon as it is recorded, before its first call.
  void on_begun(std::function<void(std::int64_t)> listener) { on_begun_ = std::move(listener); }

  bool begin(const campaign::CampaignDescription& description,
             const std::vector<campaign::CampaignMember>& members) override;
  bool attempt_started(const campaign::AttemptStart& start) override;
  bool attempt_ended(const campaign::AttemptEnd& end, campaign::MemberProgress progress) override;
  void attempt_withdrawn(int channel) override;
  void finish(campaign::CampaignState state) override;
  std::string problem() const override { return problem_; }

 private:
  bool fail();
  bool insert_members(const std::vector<campaign::CampaignMember>& members);

  CallsDatabase& db_;
  const messaging::Clock& clock_;
  std::optional<std::int64_t> campaign_;
  std::map<int, std::int64_t> open_;  // each channel's call in progress
  std::int64_t last_attempt_ = 0;  // attempts are numbered within their campaign
  std::unique_ptr<Statement> insert_attempt_, end_attempt_;
  std::string problem_;
  std::function<void(std::int64_t)> on_begun_;
};

// Duration and SHA-256 of a message file; zero and empty when it cannot be read.
campaign::MessageFacts message_facts(const std::string& path);

}  // namespace orvexa::records

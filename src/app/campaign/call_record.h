// What a campaign leaves behind: the members it was started with, one record per attempt and
// the outcome of each, handed to a recorder (the calls database, or nothing).
//
//   recorder.begin(description, members);           // once, before the first dial
//   recorder.attempt_started(start);                 // before every dial
//   recorder.attempt_ended(end, progress_after);     // when the call is over (same channel)
//   recorder.finish(CampaignState::Finished);
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/campaign/ports.h"
#include "platform/messaging/clock.h"

namespace orvexa::campaign {

// How one attempt ended; each has a stable token that files and other programs read.
enum class Outcome {
  HeardMain,    // key 1, the main message played to its end
  MainCut,      // key 1, hung up during the main message
  Declined,     // key 2
  NoKey,        // answered, no key within the waiting length
  HungUp,       // answered, hung up before any key
  Busy,
  NoAnswer,     // rang out, or 408/480
  Rejected,     // 403, 603
  Unreachable,  // bad address, no answer at all from the network, a lost registration
  Failed,       // the dial was refused, a line error, or a message could not be played
  Interrupted,  // the program stopped during the call
  SkippedDnc,   // not called: the number is on the do-not-call list
};

inline constexpr std::array kAllOutcomes{
    Outcome::HeardMain, Outcome::MainCut, Outcome::Declined,    Outcome::NoKey,
    Outcome::HungUp,    Outcome::Busy,    Outcome::NoAnswer,    Outcome::Rejected,
    Outcome::Unreachable, Outcome::Failed, Outcome::Interrupted, Outcome::SkippedDnc};

std::string_view outcome_token(Outcome outcome);
std::optional<Outcome> outcome_from_token(std::string_view token);
// The Persian label reports show.
std::string_view outcome_label(Outcome outcome);
// The callee was reached: someone answered.
bool outcome_answered(Outcome outcome);

enum class CampaignState { Running, Finished, Stopped, Interrupted };
std::string_view state_token(CampaignState state);
std::optional<CampaignState> state_from_token(std::string_view token);

// Where a member stands in its campaign.
enum class MemberProgress { Pending, RetryDue, Done };
std::string_view progress_token(MemberProgress progress);
// An unknown token reads as Pending: the member is called.
MemberProgress progress_from_token(std::string_view token);

// A member as the campaign was started: copied, so a report stays true after edits.
struct CampaignMember {
  std::string group_name;
  std::string gcode;
  std::optional<std::int64_t> member_row;  // none for a typed number
  std::string name, family;
  std::string number;  // as dialled
  MemberProgress progress = MemberProgress::Pending;
  int attempts = 0;  // attempts made that reached an end (interrupted ones do not count)
  std::optional<messaging::WallTime> retry_at;  // with retries by outcome: when it is due again
};

// A group of the campaign's plan with its members, or the error its table gave.
struct PlannedGroup {
  GroupRow row;
  std::vector<CampaignMember> members;
  std::optional<std::string> open_error;
};

struct MessageFacts {
  std::string path;
  double seconds = 0;   // 0 when the file is not a readable wave file
  std::string sha256;   // hex; empty when it cannot be read
};

enum class CampaignChoice { OneNumber, OneGroup, AllGroups };
std::string_view choice_token(CampaignChoice choice);
std::optional<CampaignChoice> choice_from_token(std::string_view token);

struct CampaignDescription {
  CampaignChoice choice = CampaignChoice::OneNumber;
  std::string chosen;  // the number or the group's name; empty for every group
  std::optional<DateFilterRequest> filter;
  std::string settings;  // "retry_once=1 waiting_length=4 shutdown=0"
  MessageFacts opening, main;
  std::vector<std::string> lines;  // "0 Simulated line 1"
};

struct AttemptStart {
  std::size_t member = 0;  // index into the campaign's members
  int number = 1;          // 1, then 2 for the retry
  int line = 0;
  int channel = 0;  // 1, 2, ... of the campaign's channels
  messaging::WallTime dialled{};
};

struct AttemptEnd {
  Outcome outcome = Outcome::Failed;
  std::optional<messaging::WallTime> answered;
  messaging::WallTime ended{};
  std::string keys;
  double opening_heard_s = 0;
  double main_heard_s = 0;
  CallCause cause;
  int channel = 0;  // as its start said
  std::optional<messaging::WallTime> retry_at;  // with retries by outcome: the member's next call
};

// Results of the recorder's writes: false with `problem()` set when the record could not be
// kept (a full disk); the campaign then pauses rather than call on without records. Each channel
// has at most one attempt open; its end and withdrawal name the channel.
class CampaignRecorder {
 public:
  virtual ~CampaignRecorder() = default;
  virtual bool begin(const CampaignDescription& description,
                     const std::vector<CampaignMember>& members) = 0;
  virtual bool attempt_started(const AttemptStart& start) = 0;
  virtual bool attempt_ended(const AttemptEnd& end, MemberProgress progress_after) = 0;
  // The dial was not made after all (the line was at its channels' limit): no attempt.
  virtual void attempt_withdrawn(int channel) = 0;
  virtual void finish(CampaignState state) = 0;
  virtual std::string problem() const = 0;
};

// Keeps nothing: the campaign as it always was.
class NoRecorder final : public CampaignRecorder {
 public:
  bool begin(const CampaignDescription&, const std::vector<CampaignMember>&) override { return true; }
  bool attempt_started(const AttemptStart&) override { return true; }
  bool attempt_ended(const AttemptEnd&, MemberProgress) override { return true; }
  void attempt_withdrawn(int) override {}
  void finish(CampaignState) override {}
  std::string problem() const override { return {}; }
};

}  // namespace orvexa::campaign

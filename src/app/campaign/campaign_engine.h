// The campaign: one number, one group or every group, one call at a time through the call
// flow, three seconds between calls, one retry of a busy or unanswered number, the end of the
// operation and the optional power-off.
//
//   CampaignEngine engine(loop, deps);
//   if (engine.start({CampaignChoice::OneGroup, "", "Friends"}) == StartResult::Started) ...
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/campaign/call_flow.h"
#include "app/campaign/call_record.h"
#include "platform/host/host_services.h"

namespace orvexa::campaign {

struct CampaignRequest {
  CampaignChoice choice = CampaignChoice::OneNumber;
  std::string number;      // shomare
  std::string group_name;  // the group chooser's text
  std::optional<DateFilterRequest> filter;
};

enum class StartResult { Started, Refused };

struct CampaignDeps {
  LinePort& line;
  VoicePort& voice;
  MemberSource& members;
  StatusLog& log;
  CampaignView& view;
  OperatorDialogs& dialogs;
  host::Shell& shell;
  const PreCallSettings& settings;
  const MessagePaths& paths;
  CampaignRecorder* recorder = nullptr;  // none: nothing is kept
};

// A recorded campaign to continue: its choice and its members with their progress.
struct ResumeRequest {
  std::int64_t campaign = 0;
  CampaignChoice choice = CampaignChoice::OneNumber;
  std::vector<PlannedGroup> plan;
};

class CampaignEngine {
 public:
  static constexpr std::uintptr_t kTimer12 = 1;  // next-step decision
  static constexpr std::uintptr_t kTimer14 = 2;  // power-off
  static constexpr std::chrono::milliseconds kBetweenCalls{3000};
  static constexpr std::chrono::milliseconds kBeforePowerOff{3000};

  CampaignEngine(messaging::Loop& loop, CampaignDeps deps);
  // A call still in progress is recorded as interrupted, the campaign too.
  ~CampaignEngine();

  // The start button (BitBtn6).
  StartResult start(const CampaignRequest& request);
  // Continues a recorded campaign: members with a final outcome are not called again, a retry
  // still due is made. The log starts with a line that says so.
  StartResult resume(const ResumeRequest& request);
  // The stop button (BitBtn7): idle at once; the dropped call's end still ends the operation.
  void stop();
  // The records could not be written: the campaign stopped without ending its operation.
  bool paused() const { return paused_; }

  CallFlow& call_flow() { return flow_; }
  bool running() const { return running_; }
  // Set by a start that passed its checks, cleared when the operation has ended.
  bool operation_open() const { return operation_open_; }
  // Runs after the end-of-operation box was closed (and before any power-off wait).
  void on_operation_ended(std::function<void()> handler) { ended_ = std::move(handler); }
  const std::string& current_number() const { return num_; }

 private:
  enum class Step { Handled, Exhausted };

  messaging::LRESULT window_proc(messaging::UINT message, messaging::WPARAM id);
  void begin_activity();
  void lock_window();
  void stop_voice();
  void dial_one_number();
  Step next_member(bool& members_left);
  void next_group();
  std::optional<PlannedGroup> read_group(const GroupRow& group);
  void set_plan(std::vector<PlannedGroup> plan);
  void enter_group(std::size_t index);
  bool has_members_to_call() const;
  CampaignMember& current_member();
  void dial_current_member();
  void dial(const std::string& number);
  bool begin_record(const CampaignRequest& request);
  void close_attempt(CallCause cause);
  void pause_for_records();
  CampaignRecorder& recorder() { return d_.recorder ? *d_.recorder : no_recorder_; }
  void next_step_decision();
  void end_operation(bool as_end);
  void power_off();
  StartResult refuse(std::string_view text, bool activity_started);
  StartResult start_one_number(const CampaignRequest& request);
  StartResult start_one_group(const CampaignRequest& request);
  StartResult start_all_groups(const CampaignRequest& request);
  StartResult resume_one_number();
  void log_group_header(std::string_view header);
  CampaignMember& plan_member(std::size_t index);
  void show_group_progress();

  messaging::FunctionWindow window_;
  CampaignDeps d_;
  CallFlow flow_;
  std::function<void()> ended_;

  bool running_ = false;  // the start button is disabled
  bool operation_open_ = false;
  bool mode_single_ = false;
  bool mode_group_ = false;
  bool mode_all_groups_ = false;
  bool group_has_more_ = false;
  std::vector<PlannedGroup> plan_;        // every group's members, read at the start
  std::vector<std::size_t> group_offsets_;  // index of each group's first member
  std::size_t group_position_ = 0;  // 1-based
  std::string group_name_;
  std::size_t current_group_ = 0;
  int member_total_ = 0;
  int member_position_ = 0;
  std::string num_;

  NoRecorder no_recorder_;
  bool resuming_ = false;
  bool paused_ = false;
  bool stopped_by_operator_ = false;
  bool attempt_open_ = false;
  AttemptStart attempt_;
};

}  // namespace orvexa::campaign

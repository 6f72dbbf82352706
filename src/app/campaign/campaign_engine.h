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
};

class CampaignEngine {
 public:
  static constexpr std::uintptr_t kTimer12 = 1;  // next-step decision
  static constexpr std::uintptr_t kTimer14 = 2;  // power-off
  static constexpr std::chrono::milliseconds kBetweenCalls{3000};
  static constexpr std::chrono::milliseconds kBeforePowerOff{3000};

  CampaignEngine(messaging::Loop& loop, CampaignDeps deps);

  // The start button (BitBtn6).
  StartResult start(const CampaignRequest& request);
  // The stop button (BitBtn7): idle at once; the dropped call's end still ends the operation.
  void stop() { end_operation(false); }

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
  bool open_group(const GroupRow& group, bool in_all_groups);
  void dial_current_member();
  void dial(const std::string& number);
  void next_step_decision();
  void end_operation(bool as_end);
  void power_off();
  StartResult refuse(std::string_view text, bool activity_started);
  StartResult start_one_number(const CampaignRequest& request);
  StartResult start_one_group(const CampaignRequest& request);
  StartResult start_all_groups();
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
  std::vector<GroupRow> group_list_;
  std::size_t group_position_ = 0;  // 1-based
  std::string group_name_;
  std::vector<std::string> entry_table_;
  int member_total_ = 0;
  int member_position_ = 0;
  std::string num_;
};

}  // namespace orvexa::campaign

// The campaign: one number, one group or every group through the call flow, three seconds
// between a channel's calls, one retry of a busy or unanswered number, the end of the operation
// and the optional power-off. With one channel (the default) it calls one member at a time, as
// it always has; with several, every channel takes the next member from the plan as it comes
// free, at most `pace` call set-ups a second, and the lines of each call carry its channel.
//
//   CampaignEngine engine(loop, deps);
//   if (engine.start({CampaignChoice::OneGroup, "", "Friends"}) == StartResult::Started) ...
#pragma once

#include <deque>
#include <queue>
#include <functional>
#include <memory>
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

// A channel beyond the window's own line: a line component and a voice component of its own.
struct ChannelPorts {
  LinePort* line = nullptr;
  VoicePort* voice = nullptr;
};

// The lines a campaign may draw channels from, in order, the window's active line first.
class ChannelSource {
 public:
  virtual ~ChannelSource() = default;
  // The calls the chosen lines carry at once in all.
  virtual int offered() = 0;
  // Channels 2..count on the chosen lines, each activated on its line; empty with `problem` set
  // when they cannot all be opened. Earlier channels are closed first.
  virtual std::vector<ChannelPorts> open(int count, std::string& problem) = 0;
  // Delivers the events of channel `index` (0 is the window's line: 1 is the second channel).
  virtual void bind(std::size_t index, CallFlow& flow) = 0;
  // Unbinds and closes the channels it opened.
  virtual void close() = 0;
};

// When calls may start (calling hours and holidays).
class CallingWindow {
 public:
  virtual ~CallingWindow() = default;
  // `when` itself when a call may start then; else the next moment one may; nullopt: never.
  virtual std::optional<messaging::WallTime> next_open(messaging::WallTime when) const = 0;
  // "1405/09/22 09:00": a moment as the status log shows it.
  virtual std::string describe(messaging::WallTime when) const = 0;
};

// Retries by outcome: when a member is called again after an attempt.
class RetryPlanner {
 public:
  virtual ~RetryPlanner() = default;
  // After an attempt that ended as `outcome` at `ended`, the member having had `attempts` calls
  // (this one included): when to call it again; nullopt for no more.
  virtual std::optional<messaging::WallTime> next_attempt(Outcome outcome, int attempts,
                                                          messaging::WallTime ended) const = 0;
};

// What the operations page shows of a channel while a campaign runs on several.
// Between: a member in hand, waiting for its retry or for its turn under the pace.
enum class ChannelStage { Idle, Between, Dialing, Opening, WaitingForKey, Main, Failed };
struct ChannelStatus {
  int channel = 1;
  std::string number;  // dialled; empty when idle
  ChannelStage stage = ChannelStage::Idle;
  double seconds = 0;  // since the dial
};

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
  ChannelSource* channels = nullptr;     // none: one channel, the window's line
  DoNotCall* dnc = nullptr;              // none: every number is called
  const CallingWindow* hours = nullptr;  // asked only with the calling-hours setting
  const RetryPlanner* retries = nullptr;  // asked only with the retry-policy setting
};

// A recorded campaign to continue: its choice and its members with their progress.
struct ResumeRequest {
  std::int64_t campaign = 0;
  CampaignChoice choice = CampaignChoice::OneNumber;
  std::vector<PlannedGroup> plan;
};

class CampaignEngine {
 public:
  static constexpr std::uintptr_t kTimer12 = 1;  // next-step decision (the first channel's)
  static constexpr std::uintptr_t kTimer14 = 2;  // power-off
  static constexpr std::uintptr_t kChannelTimers = 100;  // + index: the other channels' steps
  static constexpr std::chrono::milliseconds kBetweenCalls{3000};
  // Several channels: a channel that moves on to a new member only lets its line settle; the
  // pace spaces the set-ups. A retry still waits kBetweenCalls.
  static constexpr std::chrono::milliseconds kChannelTurnaround{200};
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

  // The first channel's call flow: the window's line and voice components.
  CallFlow& call_flow() { return flow_; }
  // Every channel's calls together.
  CallTally tally() const;
  // The channels of the campaign now (one when it runs on one).
  std::vector<ChannelStatus> channel_status() const;
  // Members with a final outcome, of all the campaign's members.
  std::size_t members_done() const { return members_done_; }
  std::size_t member_count() const { return member_count_; }
  bool running() const { return running_; }
  // Set by a start that passed its checks, cleared when the operation has ended.
  bool operation_open() const { return operation_open_; }
  // Runs after the end-of-operation box was closed (and before any power-off wait).
  void on_operation_ended(std::function<void()> handler) { ended_ = std::move(handler); }
  const std::string& current_number() const { return channels_.front().num; }

 private:
  enum class Step { Handled, Exhausted };
  // One call at a time on one line: the call in hand and the member it is for.
  struct Channel {
    int number = 1;  // 1-based, as the log and the records show it
    LinePort* line = nullptr;
    CallFlow* flow = nullptr;
    std::unique_ptr<CallFlow> own_flow;  // all but the first channel
    std::uintptr_t timer = kTimer12;
    std::optional<std::size_t> member;  // plan index of the member in hand
    std::string num;                    // the number in hand
    bool attempt_open = false;
    AttemptStart attempt;
    bool dial_waiting = false;  // for its turn under the pace, or for the calling hours
    bool waiting_for_hours = false;
    bool failed = false;        // its line failed: it takes no more members
  };

  messaging::LRESULT window_proc(messaging::UINT message, messaging::WPARAM id);
  void begin_activity();
  void lock_window();
  void stop_voice();
  void dial_one_number();
  Step next_member(Channel& ch, bool& members_left);
  bool next_group(Channel& ch);
  std::optional<PlannedGroup> read_group(const GroupRow& group);
  void set_plan(std::vector<PlannedGroup> plan);
  void enter_group(std::size_t index);
  bool has_members_to_call() const;
  void dial_member(Channel& ch, std::size_t index);
  void dial(Channel& ch, const std::string& number);
  // The member's number is on the do-not-call list: recorded as skipped, the channel moves on.
  bool skip_listed(Channel& ch, std::size_t index);
  void list_if_declined(const Channel& ch, const AttemptEnd& end, const CampaignMember& member);
  void place_call(Channel& ch);
  // Outside the calling hours: the channel waits for the next window; false when it may call.
  bool wait_for_hours(Channel& ch);
  void dial_refused(Channel& ch, int result);
  bool begin_record(const CampaignRequest& request);
  void close_attempt(Channel& ch, CallCause cause);
  void pause_for_records();
  CampaignRecorder& recorder() { return d_.recorder ? *d_.recorder : no_recorder_; }
  void log_call(const Channel& ch, std::string_view line);
  void next_step_decision(Channel& ch);
  // Several channels: the next member for a free channel, or the channel goes idle.
  void channel_step(Channel& ch);
  bool retry_in_hand(Channel& ch);
  // Retries by outcome: a member whose time has come, the earliest first.
  bool take_due(Channel& ch);
  bool by_policy() const { return d_.settings.retry_policy && d_.retries; }
  void plan_retry(CampaignMember& member, std::size_t index, AttemptEnd& end);
  void wake_for_due(Channel& ch);
  void seed_dues();
  bool take_returned(Channel& ch);
  void channel_idle(Channel& ch);
  void return_member(Channel& ch);
  void wake_idle_channels();
  std::chrono::milliseconds wait_after_call(const Channel& ch) const;
  bool several() const { return channels_.size() > 1; }
  bool last_channel(const Channel& ch) const;
  bool open_channels(CampaignChoice choice, std::string& problem);
  void close_channels();
  void setup_channel(Channel& ch, std::size_t index);
  Channel* channel_of_timer(std::uintptr_t id);
  void end_operation(bool as_end);
  void power_off();
  StartResult refuse(std::string_view text, bool activity_started);
  StartResult start_one_number(const CampaignRequest& request);
  StartResult start_one_group(const CampaignRequest& request);
  StartResult start_all_groups(const CampaignRequest& request);
  StartResult resume_one_number();
  void log_group_header(std::string_view header);
  CampaignMember& plan_member(std::size_t index);
  std::size_t plan_index(std::size_t group, int position) const;
  void show_group_progress();
  void count_done(const CampaignMember& member);

  messaging::FunctionWindow window_;
  CampaignDeps d_;
  CallFlow flow_;
  std::function<void()> ended_;
  std::vector<Channel> channels_;  // the first is the window's line and flow_
  std::vector<ChannelPorts> extra_ports_;
  std::deque<std::size_t> returned_;  // members a channel could not call, first in line
  // Members due again under the retry policy, the earliest on top.
  using Due = std::pair<messaging::WallTime, std::size_t>;
  std::priority_queue<Due, std::vector<Due>, std::greater<Due>> due_;
  std::optional<messaging::TimePoint> next_setup_;  // the pace's next free slot
  std::optional<messaging::WallTime> announced_wait_;  // the window the log last said it waits for
  std::size_t members_done_ = 0, member_count_ = 0;

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

  NoRecorder no_recorder_;
  bool resuming_ = false;
  bool paused_ = false;
  bool stopped_by_operator_ = false;
};

}  // namespace orvexa::campaign

// The call flow of one call: reacts to the line's call states and the callee's keys, plays the
// opening message, waits for a key, plays the main message on key 1, ends the call on key 2 or
// when nobody responds, and tells the campaign when the call is over.
//
//   CallFlow flow(loop, line, voice, log, settings, paths, dialogs);
//   flow.on_disconnected([&] { campaign.call_ended(); });
//   // line events -> flow.on_call_state(...), flow.on_digit(...); voice -> on_sound_state(...)
#pragma once

#include <functional>
#include <string>

#include "app/campaign/attempt_outcome.h"
#include "app/campaign/ports.h"
#include "app/campaign/pre_call_settings.h"
#include "app/campaign/status_log.h"
#include "platform/messaging/hidden_window.h"

namespace orvexa::campaign {

// The paths of the two messages as the operations page shows them; read at every playback.
struct MessagePaths {
  std::string opening;  // Edit9
  std::string main;     // Edit8
};

// The current number's outcome marks, read by the campaign's next-step decision.
struct OutcomeMarks {
  bool first_attempt = true;
  bool retry_due = true;
  int callee_choice = 1;
  int wait_count = 0;

  bool retry_wanted() const { return !first_attempt && retry_due && callee_choice == 1; }
  void reset_for_new_number() { *this = OutcomeMarks{}; }
};

// What happened to the calls of a run, for the summary line.
struct CallTally {
  int attempts = 0;
  int answered = 0;
  int key1 = 0;
  int key2 = 0;
  int busy = 0;
  int unanswered = 0;
  int failed = 0;
};

enum class CallStage { Idle = 0, Opening = 1, WaitingForKey = 2, StartingMain = 3, Main = 4 };

class CallFlow {
 public:
  // Timer ids; the names are the window's timers.
  static constexpr std::uintptr_t kTimerWaitForResponse = 1;
  static constexpr std::uintptr_t kTimer13 = 2;  // drops an answered incoming call
  static constexpr std::uintptr_t kTimer15 = 3;  // starts accepting the callee's keys
  static constexpr std::chrono::milliseconds kWaitForResponse{2000};
  static constexpr std::chrono::milliseconds kIncomingDrop{3000};
  static constexpr std::chrono::milliseconds kKeyGuard{3000};

  CallFlow(messaging::Loop& loop, LinePort& line, VoicePort& voice, StatusLog& log,
           const PreCallSettings& settings, const MessagePaths& paths, OperatorDialogs& dialogs);

  // Line component events (KDPhone1CallState, KDPhone1BeforeDisconnect, KDPhone1DigitDetected).
  void on_call_state(CallEvent state);
  void on_before_disconnect();
  void on_digit(char digit);
  // Voice component event (KDVoice1SoundState).
  void on_sound_state(SoundEvent state, int error = 0);

  // Runs after every disconnected state has been handled: the campaign's 3-s decision.
  void on_disconnected(std::function<void()> handler) { disconnected_ = std::move(handler); }

  // Busy or no response: decides whether the number gets its one retry.
  void record_failed_attempt();

  OutcomeMarks& marks() { return marks_; }
  // What the current attempt has shown so far; the campaign clears it before each dial.
  AttemptFacts& facts() { return facts_; }
  void reset_facts() {
    facts_ = AttemptFacts{};
    playing_ = Playing::Nothing;
  }
  CallTally& tally() { return tally_; }
  CallStage stage() const { return stage_; }
  bool digits_accepted() const { return digits_accepted_; }
  // Previews of the messages log their start and end too.
  void set_log_playback(bool on) { log_playback_ = on; }
  // Written in front of each line of the call ("[3] " for the third channel of several).
  void set_log_prefix(std::string prefix) { prefix_ = std::move(prefix); }
  // A line of this call into the status log, behind the prefix.
  void say(std::string_view line);

 private:
  messaging::LRESULT window_proc(messaging::UINT message, messaging::WPARAM id);
  void connected();
  void wait_expired();
  void key_one();
  void end_call_flow();
  bool play_opening();
  // The message clock: how long each message has been playing into the call.
  enum class Playing { Nothing, Opening, Main };
  void start_playing(Playing what);
  void stop_playing();

  messaging::FunctionWindow window_;
  messaging::Loop& loop_;
  LinePort& line_;
  VoicePort& voice_;
  StatusLog& log_;
  const PreCallSettings& settings_;
  const MessagePaths& paths_;
  OperatorDialogs& dialogs_;
  std::function<void()> disconnected_;

  CallStage stage_ = CallStage::Idle;
  bool digits_accepted_ = false;
  bool log_playback_ = false;
  std::string prefix_;
  OutcomeMarks marks_;
  CallTally tally_;
  AttemptFacts facts_;
  Playing playing_ = Playing::Nothing;
  messaging::TimePoint playing_since_{};
};

}  // namespace orvexa::campaign

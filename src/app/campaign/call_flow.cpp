#include "app/campaign/call_flow.h"

#include "app/campaign/campaign_texts.h"

namespace orvexa::campaign {

using messaging::WM_TIMER;

CallFlow::CallFlow(messaging::Loop& loop, LinePort& line, VoicePort& voice, StatusLog& log,
                   const PreCallSettings& settings, const MessagePaths& paths,
                   OperatorDialogs& dialogs)
    : window_(loop, [this](messaging::UINT m, messaging::WPARAM w, messaging::LPARAM) {
        return window_proc(m, w);
      }),
      loop_(loop),
      line_(line),
      voice_(voice),
      log_(log),
      settings_(settings),
      paths_(paths),
      dialogs_(dialogs) {}

messaging::LRESULT CallFlow::window_proc(messaging::UINT message, messaging::WPARAM id) {
  if (message != WM_TIMER) return 0;
  window_.kill_timer(id);  // every timer here is one-shot
  switch (id) {
    case kTimerWaitForResponse:
      wait_expired();
      break;
    case kTimer15:
      digits_accepted_ = true;
      break;
    case kTimer13:
      line_.hangup();
      say(text::kIncomingRejected);
      break;
    default:
      break;
  }
  return 0;
}

void CallFlow::on_call_state(CallEvent state) {
  switch (state) {
    case CallEvent::Disconnected:
      // A call can go idle without a hang-up of ours; nothing of it may run into the next call.
      end_call_flow();
      window_.kill_timer(kTimer13);
      window_.kill_timer(kTimer15);
      say(text::kDisconnected);
      if (disconnected_) disconnected_();
      break;
    case CallEvent::Connected:
      connected();
      break;
    case CallEvent::Dialing:
      say(text::kDialing);
      break;
    case CallEvent::RemoteDisconnected:
      say(text::kRemoteDisconnected);
      break;
    case CallEvent::Busy:
      facts_.busy = true;
      ++tally_.busy;
      record_failed_attempt();
      say(text::kBusy);
      break;
    case CallEvent::Ring:
      say(text::kRing);
      line_.answer();
      window_.set_timer(kTimer13, kIncomingDrop);
      break;
    case CallEvent::Error:
      facts_.line_error = true;
      say(text::kUnknownError);
      break;
    case CallEvent::Other:
      break;
  }
}

void CallFlow::connected() {
  ++tally_.answered;
  facts_.answered = loop_.clock().wall_now();
  digits_accepted_ = false;
  window_.set_timer(kTimer15, kKeyGuard);
  say(text::kWaitingForCallee);
  log_playback_ = false;
  if (!play_opening()) {
    line_.hangup();
    say(text::kOpeningPlayFailed);
    return;
  }
  stage_ = CallStage::Opening;
}

bool CallFlow::play_opening() {
  if (voice_.play(line_.wave_play_id(), paths_.opening) != 0) {
    facts_.play_failed = true;
    return false;
  }
  start_playing(Playing::Opening);
  return true;
}

void CallFlow::start_playing(Playing what) {
  stop_playing();
  playing_ = what;
  playing_since_ = loop_.now();
}

void CallFlow::stop_playing() {
  const double seconds = std::chrono::duration<double>(loop_.now() - playing_since_).count();
  if (playing_ == Playing::Opening) facts_.opening_heard_s += seconds;
  if (playing_ == Playing::Main) facts_.main_heard_s += seconds;
  playing_ = Playing::Nothing;
}

void CallFlow::end_call_flow() {
  stop_playing();
  window_.kill_timer(kTimerWaitForResponse);
  // The stage is cleared first, so the PlayDone that the stop reports triggers nothing.
  stage_ = CallStage::Idle;
  voice_.play_stop();
}

void CallFlow::on_before_disconnect() { end_call_flow(); }

void CallFlow::on_digit(char digit) {
  facts_.keys += digit;
  marks_.callee_choice = 1;
  if (digit == '1') {
    if ((stage_ == CallStage::Opening || stage_ == CallStage::WaitingForKey) && digits_accepted_) {
      key_one();
    }
  } else if (digit == '2') {
    if (!digits_accepted_) return;
    ++tally_.key2;
    facts_.declined = true;
    marks_.callee_choice = 2;
    say(text::kPlaybackRefused);
    line_.hangup();
  }
}

void CallFlow::key_one() {
  ++tally_.key1;
  facts_.main_requested = true;
  window_.kill_timer(kTimerWaitForResponse);
  stage_ = CallStage::StartingMain;
  stop_playing();
  voice_.play_stop();
  // The stop lets the loop run: the call may have ended meanwhile.
  if (stage_ != CallStage::StartingMain) return;
  say(text::kPlaybackRequested);
  log_playback_ = true;
  if (voice_.play(line_.wave_play_id(), paths_.main) != 0) {
    facts_.play_failed = true;
    line_.hangup();
    say(text::kPlayFailed);
    return;
  }
  start_playing(Playing::Main);
  stage_ = CallStage::Main;
}

void CallFlow::on_sound_state(SoundEvent state, int error) {
  switch (state) {
    case SoundEvent::PlayBegin:
      if (log_playback_) say(text::kPlayBegin);
      break;
    case SoundEvent::PlayDone:
      if (log_playback_) say(text::kPlayDone);
      if (stage_ == CallStage::Opening) {
        stop_playing();
        window_.set_timer(kTimerWaitForResponse, kWaitForResponse);
        stage_ = CallStage::WaitingForKey;
      } else if (stage_ == CallStage::Main) {
        stop_playing();
        facts_.main_done = true;
        line_.hangup();
      }
      break;
    case SoundEvent::RecBegin:
      say(text::kRecBegin);
      break;
    case SoundEvent::RecDone:
      say(text::kRecDone);
      break;
    case SoundEvent::Error: {
      std::string box(text::kErrorPrefix);
      box += voice_.error_text(error);
      dialogs_.message_box(box);
      break;
    }
    case SoundEvent::Other:
      break;
  }
}

void CallFlow::wait_expired() {
  ++marks_.wait_count;
  if (marks_.wait_count >= settings_.waiting_length) {
    facts_.no_key = true;
    ++tally_.unanswered;
    say(text::kNoResponse);
    record_failed_attempt();
    line_.hangup();
    return;
  }
  log_playback_ = false;
  if (!play_opening()) {
    say(text::kOpeningPlayFailed);
    line_.hangup();
    return;
  }
  stage_ = CallStage::Opening;
}

void CallFlow::say(std::string_view line) {
  if (prefix_.empty()) {
    log_.append(line);
    return;
  }
  std::string prefixed = prefix_;
  prefixed += line;
  log_.append(prefixed);
}

void CallFlow::record_failed_attempt() {
  if (!settings_.retry_once) marks_.first_attempt = false;
  if (!marks_.first_attempt) marks_.retry_due = false;
  marks_.first_attempt = false;
}

}  // namespace orvexa::campaign

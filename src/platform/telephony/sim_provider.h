// Simulated lines: calls whose far ends follow the scenarios of SimConfig on the loop's clock,
// and a record of every call (what its far end pressed and heard, and when). The sound a far
// end heard is measured; the sound itself is kept only when asked for, within a byte budget.
//
//   SimProvider sim(loop, parse_sim_config(text, folder).config.value());
//   service.add_provider(sim);
//   sim.keep_audio_up_to(4 << 20);   // tests that look at the sound itself
//   ... sim.call_record(1)->heard_seconds ...
//
// A line with several channels carries that many calls at once, each on the audio of its own
// channel (its slot); a call beyond them is refused, an incoming one is busy for its caller.
// A one-channel line puts every call on its one channel and refuses none.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>

#include "platform/audio/wave_types.h"
#include "platform/dsp/dtmf.h"
#include "platform/messaging/hidden_window.h"
#include "platform/telephony/line_provider.h"
#include "platform/telephony/sim_config.h"

namespace orvexa::telephony {

// The audio side of one channel of a simulated line (the devices live in the audio service).
class SimLineAudio {
 public:
  using HeardListener = std::function<void(messaging::TimePoint at, messaging::Duration length,
                                           std::span<const std::uint8_t> bytes)>;
  virtual ~SimLineAudio() = default;
  // Current audio-service numbers; -1 when absent.
  virtual std::int32_t wave_in() const = 0;
  virtual std::int32_t wave_out() const = 0;
  // Called for every stretch the line's output played to the far end.
  virtual void set_heard_listener(HeardListener listener) = 0;
  // The far end's sound into the line's input: 8 kHz 16-bit mono.
  virtual void push_far_end(std::span<const std::int16_t> samples) = 0;
  // The format the line's output plays in (what the heard bytes are).
  virtual audio::WAVEFORMATEX output_format() const { return audio::pcm_format(); }
  // How far the line's output has played since it was opened, in bytes of that format: the
  // far ends' steady voices speak while it plays.
  virtual std::uint64_t played_bytes() const { return 0; }
  // Whether anybody records the line's input now (sound pushed meanwhile would pile up).
  virtual bool input_open() const { return true; }
};

class SimProvider final : public LineProvider {
 public:
  struct HeardStretch {
    messaging::TimePoint at;
    messaging::Duration length;
    std::uint64_t offset, size;  // into CallRecord::audio
  };
  struct CallRecord {
    std::size_t number = 0;  // 1, 2, ... in the order calls began on any line
    std::size_t line = 0;
    HCALL handle = 0;
    bool outgoing = true;
    std::string dialled;
    FarEndOutcome outcome = FarEndOutcome::Answer;
    messaging::TimePoint started{};
    std::optional<messaging::TimePoint> connected, ended;
    std::string keys_pressed;   // by the far end, in order
    std::string keys_received;  // generated toward the far end
    // What the far end heard, measured: how long, in how many stretches, from when.
    double heard_seconds = 0;
    std::size_t heard_stretches = 0;
    std::optional<messaging::TimePoint> first_heard;
    audio::WAVEFORMATEX format = audio::pcm_format();  // of what it heard
    // The sound itself while raw audio is kept (keep_audio_up_to): whole stretches, in order.
    std::vector<HeardStretch> heard;
    std::vector<std::uint8_t> audio;
    bool audio_whole = true;  // false once a stretch heard is missing from `audio`
    int holds = 0;               // times the call was put on hold
    std::string transferred_to;  // the party the far end was handed over to
    bool consultation = false;   // set up from another call
    bool conferenced = false;    // was in a conference
  };

  SimProvider(messaging::Loop& loop, SimConfig config);
  ~SimProvider() override;

  // The audio of channel `slot` of a line. Slot 0 is the line's own (the device's wave/in and
  // wave/out); the others serve the calls that take them.
  void attach_audio(std::size_t line, std::unique_ptr<SimLineAudio> audio) {
    attach_audio(line, 0, std::move(audio));
  }
  void attach_audio(std::size_t line, std::size_t slot, std::unique_ptr<SimLineAudio> audio);
  // Calls the line carries at once (0 for no such line).
  std::size_t channels(std::size_t line) const;
  // Old records are dropped beyond this many.
  void set_record_limit(std::size_t limit) { record_limit_ = limit; }
  // Keeps raw sound, up to `bytes` in all: what each far end heard (CallRecord::audio) and
  // what the far ends sent into each line (line_input). When the budget is spent the oldest
  // records give theirs up first. 0 (the default) keeps none.
  void keep_audio_up_to(std::size_t bytes) { audio_budget_ = bytes; }
  std::size_t audio_kept() const { return audio_kept_; }

  const CallRecord* call_record(std::size_t number) const;
  const std::deque<CallRecord>& records() const { return records_; }
  std::size_t live_calls() const { return calls_.size(); }
  std::size_t scheduled_actions() const { return schedule_.size(); }
  const SimConfig& config() const { return config_; }
  // The phone device beside a line (null without one), for tests and tools.
  const PhoneDevice* phone_device(std::size_t line) const;
  // What the far ends sent into a channel's input (8 kHz 16-bit mono; kept with the raw audio).
  const std::vector<std::int16_t>& line_input(std::size_t line, std::size_t slot = 0) const;
  // The channel a call's audio runs on; none for an unknown call.
  std::optional<std::size_t> slot_of(HCALL call) const;
  // From now on, requests on the line are accepted and never answered (or answered again).
  void set_never_reply(std::size_t line, bool never);

  // LineProvider
  std::string_view name() const override { return "sim"; }
  std::size_t device_count() const override { return lines_.size(); }
  const LineDeviceDescription& device(std::size_t index) const override;
  LONG open(std::size_t device, ProviderEvents& events) override;
  void close(std::size_t device) override;
  LONG make_call(std::size_t device, HCALL call, RequestId request,
                 std::string_view number) override;
  LONG dial(HCALL call, RequestId request, std::string_view number) override;
  LONG answer(HCALL call, RequestId request) override;
  LONG drop(HCALL call, RequestId request) override;
  LONG hold(HCALL call, RequestId request, bool on_hold) override;
  LONG blind_transfer(HCALL call, RequestId request, std::string_view number) override;
  LONG setup_transfer(HCALL call, HCALL consult, RequestId request) override;
  LONG setup_conference(HCALL call, HCALL conference, HCALL consult, RequestId request) override;
  LONG complete_transfer(HCALL call, HCALL consult, HCALL conference, DWORD mode,
                         RequestId request) override;
  LONG add_to_conference(HCALL conference, HCALL consult, RequestId request) override;
  PhoneDevice* phone(std::size_t device) override;
  LONG set_call_params(HCALL call, RequestId request, DWORD bearer_mode) override;
  void deallocate(HCALL call) override;
  CallDetails details(HCALL call) const override;
  void monitor_digits(HCALL call, DWORD modes) override;
  void monitor_media(HCALL call, DWORD modes) override;
  LONG receive_audio(HCALL call, bool on) override;
  LONG generate_digits(HCALL call, std::string_view digits) override;
  std::vector<std::uint8_t> device_config(std::size_t device) const override;
  LONG set_device_config(std::size_t device, std::vector<std::uint8_t> config) override;
  LONG config_dialog(std::size_t) override { return 0; }

 private:
  // A held call hears nothing (or the line's hold music): only Connected calls and the parties
  // of a connected conference take the line's audio.
  enum class Phase { DialTone, Dialing, Proceeding, Ringback, Offering, Connected, Held,
                     Conferenced, Ended, Idle };
  // One channel of a line: its audio and the calls on it, so that what is played, heard and
  // sent on it never reaches the calls of another channel.
  struct Slot {
    std::unique_ptr<SimLineAudio> audio;
    std::vector<HCALL> calls;  // on this channel until deallocated, idle ones included
    std::vector<std::int16_t> input;  // what the far ends sent into it (when kept)
    std::vector<std::int16_t> keys_sound;  // in-band keys still to sound into it
    std::size_t keys_sounded = 0;
    std::uint64_t played = 0;  // the output's position at the last voice step
    double owed = 0;           // samples the output played that the voices have not matched
    bool was_playing = false;
  };
  struct Line {
    SimLine config;
    mutable LineDeviceDescription description;
    std::vector<Slot> slots;  // one per channel; slot 0 is the line's own audio
    std::vector<std::uint8_t> dev_config;
    ProviderEvents* events = nullptr;
    std::unique_ptr<PhoneDevice> phone;
  };
  struct Call {
    std::size_t line;
    std::size_t slot = 0;  // a consultation or conference shares the slot of its primary
    FarEnd far;
    Phase phase = Phase::Dialing;
    std::size_t record;  // CallRecord::number
    DWORD digit_modes = 0;
    CallDetails details;
    int rings_left = 0;
    std::size_t next_key = 0;  // for keys given in seconds heard
    DWORD held_state = LINECALLSTATE_ONHOLD;  // what a held call reports
    HCALL primary = 0;      // a consultation call: the call it was set up from
    HCALL conference = 0;   // the conference the call belongs to or waits for
    bool is_conference = false;
    ToneVoice to_line, to_peers;  // the far end's voice, into the line and to other parties
    std::uint64_t music_at = 0;   // position in the hold music
    messaging::TimePoint connected_at{};  // the far end's tones are timed from here
    bool receiving = false;  // the service takes what the call receives
  };
  // Two far ends a transfer joined: they talk to each other off the line for a while.
  struct Bridge {
    std::size_t a, b;  // record numbers
    ToneVoice voice_a, voice_b;
    messaging::TimePoint until;
  };
  using Action = std::function<void()>;
  struct Scheduled {
    std::uint64_t owner;  // call handle, or a line's key
    Action action;
  };

  void at(messaging::Duration delay, std::uint64_t owner, Action action);
  void cancel(std::uint64_t owner);
  void arm();
  void run_due();
  Call* find(HCALL call);
  Slot& slot_of(const Call& call) { return lines_[call.line].slots[call.slot]; }
  void add_call(HCALL handle, Call call);
  // The lowest channel of the line without a call in progress; none when all are taken
  // (always slot 0 on a one-channel line).
  std::optional<std::size_t> free_slot(std::size_t line) const;
  void move_to_slot(HCALL call, std::size_t slot);
  CallRecord* record_of(const Call& call) { return record_number(call.record); }
  ProviderEvents& events_of(const Call& call) { return *lines_[call.line].events; }
  void state(HCALL call, DWORD state, DWORD mode = 0);
  void start_dialing(HCALL call, std::string_view number);
  void after_proceeding(HCALL call);
  void connect(HCALL call);
  void far_end_hangs_up(HCALL call);
  void press(HCALL call, char key);
  void schedule_incoming(std::size_t line, const IncomingCall& incoming);
  void ring_incoming(HCALL call);
  void on_heard(std::size_t line, std::size_t slot, messaging::TimePoint at,
                messaging::Duration length, std::span<const std::uint8_t> bytes);
  void after_heard(HCALL call);
  std::vector<HCALL> listeners(const Slot& slot);
  void hear(CallRecord& record, messaging::TimePoint at, messaging::Duration length,
            std::span<const std::uint8_t> bytes, const audio::WAVEFORMATEX& format);
  CallRecord* record_number(std::size_t number);
  // Hold music and bridged far ends are rendered in steps of their own.
  void ensure_media_ticks();
  void media_tick();
  bool bridge_step(Bridge& bridge, messaging::Duration step);
  // What the far ends send into their lines, in 20 ms steps while any of them speaks or a
  // call's received sound is asked for.
  void ensure_voice_ticks();
  bool voice_needed() const;
  void voice_tick();
  void voice_frame(std::size_t line, Slot& slot, messaging::TimePoint from);
  std::size_t played_samples(Slot& slot);
  void add_tones(const Call& call, messaging::TimePoint from, std::span<std::int16_t> frame,
                 std::size_t& first, std::size_t& last) const;
  // Raw sound within the budget: false when `bytes` more cannot be kept.
  bool make_room(std::size_t bytes, const CallRecord* keeping);
  void release_audio(CallRecord& record);
  void join(HCALL a, HCALL b);
  void end_on_line(HCALL call, const std::string& handed_to);
  void end_conference_if_empty(HCALL conference);
  void consultation_ended(HCALL consult);
  HCALL new_consultation(HCALL primary, HCALL consult);
  bool never_replies(const Call& call) const { return lines_[call.line].config.never_reply; }
  CallRecord& new_record(std::size_t line, HCALL call, bool outgoing, std::string dialled,
                         FarEndOutcome outcome);
  // The far end the next attempt to a number meets; counts the attempt.
  FarEnd reach(std::string_view number);

  messaging::Loop& loop_;
  SimConfig config_;
  std::vector<Line> lines_;
  std::map<HCALL, Call> calls_;
  std::multimap<messaging::TimePoint, Scheduled> schedule_;
  std::deque<CallRecord> records_;
  std::map<std::string, std::size_t> attempts_;  // by dialled number without blanks
  std::vector<Bridge> bridges_;
  bool ticking_ = false;
  bool voice_ticking_ = false;
  std::size_t next_record_ = 1;
  std::size_t record_limit_ = 1000;
  std::size_t audio_budget_ = 0, audio_kept_ = 0;
  dsp::DtmfGenerator dtmf_out_;
  messaging::FunctionWindow timer_window_;
};

}  // namespace orvexa::telephony

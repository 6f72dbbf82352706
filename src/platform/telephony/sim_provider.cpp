// The simulated lines' call state machine, on the loop's clock.
#include "platform/telephony/sim_provider.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace orvexa::telephony {

namespace {

constexpr messaging::UINT kRunDue = messaging::WM_USER + 2;
constexpr std::uintptr_t kTimerId = 1;
constexpr std::uint64_t kLineOwner = 1ull << 40;

}  // namespace

SimProvider::SimProvider(messaging::Loop& loop, SimConfig config)
    : loop_(loop),
      config_(std::move(config)),
      timer_window_(loop, [this](messaging::UINT m, messaging::WPARAM, messaging::LPARAM) {
        if (m == kRunDue || m == messaging::WM_TIMER) run_due();
        return messaging::LRESULT{0};
      }) {
  for (const SimLine& l : config_.lines) {
    Line line;
    line.config = l;
    line.description.name = l.name;
    line.description.address = l.number;
    line.description.channels = static_cast<DWORD>(std::max(l.channels, 1));
    line.slots.resize(line.description.channels);
    // A modem-style configuration block the service can read and write back.
    line.dev_config.assign(64, 0);
    if (l.phone) {
      line.phone = std::make_unique<PhoneDevice>(l.name + " phone");
      line.phone->answers = !l.never_reply;
    }
    lines_.push_back(std::move(line));
  }
}

SimProvider::~SimProvider() = default;

void SimProvider::attach_audio(std::size_t line, std::size_t slot,
                               std::unique_ptr<SimLineAudio> audio) {
  if (line >= lines_.size() || slot >= lines_[line].slots.size()) return;
  SimLineAudio* attached = (lines_[line].slots[slot].audio = std::move(audio)).get();
  if (!attached) return;
  attached->set_heard_listener([this, line, slot](messaging::TimePoint t, messaging::Duration d,
                                                  std::span<const std::uint8_t> bytes) {
    on_heard(line, slot, t, d, bytes);
  });
}

std::size_t SimProvider::channels(std::size_t line) const {
  return line < lines_.size() ? lines_[line].slots.size() : 0;
}

const LineDeviceDescription& SimProvider::device(std::size_t index) const {
  const Line& line = lines_.at(index);
  // Audio numbers follow the audio service's current list.
  const SimLineAudio* audio = line.slots.front().audio.get();
  line.description.wave_in = audio ? audio->wave_in() : -1;
  line.description.wave_out = audio ? audio->wave_out() : -1;
  return line.description;
}

PhoneDevice* SimProvider::phone(std::size_t device) {
  return device < lines_.size() ? lines_[device].phone.get() : nullptr;
}

const PhoneDevice* SimProvider::phone_device(std::size_t line) const {
  return line < lines_.size() ? lines_[line].phone.get() : nullptr;
}

const std::vector<std::int16_t>& SimProvider::line_input(std::size_t line,
                                                         std::size_t slot) const {
  static const std::vector<std::int16_t> kNone;
  return line < lines_.size() && slot < lines_[line].slots.size()
             ? lines_[line].slots[slot].input
             : kNone;
}

std::optional<std::size_t> SimProvider::slot_of(HCALL call) const {
  auto it = calls_.find(call);
  return it == calls_.end() ? std::nullopt : std::optional(it->second.slot);
}

void SimProvider::set_never_reply(std::size_t line, bool never) {
  if (line >= lines_.size()) return;
  lines_[line].config.never_reply = never;
  if (lines_[line].phone) lines_[line].phone->answers = !never;
}

// Records are numbered without gaps (added at the back, dropped from the front), so a number
// is its place: what every heard stretch of every channel looks up stays one step.
const SimProvider::CallRecord* SimProvider::call_record(std::size_t number) const {
  if (records_.empty() || number < records_.front().number) return nullptr;
  const std::size_t at = number - records_.front().number;
  return at < records_.size() ? &records_[at] : nullptr;
}

SimProvider::CallRecord* SimProvider::record_number(std::size_t number) {
  return const_cast<CallRecord*>(std::as_const(*this).call_record(number));
}

// --- scheduling ---

void SimProvider::at(messaging::Duration delay, std::uint64_t owner, Action action) {
  schedule_.emplace(loop_.now() + delay, Scheduled{owner, std::move(action)});
  arm();
}

void SimProvider::cancel(std::uint64_t owner) {
  for (auto it = schedule_.begin(); it != schedule_.end();)
    it = it->second.owner == owner ? schedule_.erase(it) : std::next(it);
  arm();
}

void SimProvider::arm() {
  if (schedule_.empty()) {
    timer_window_.kill_timer(kTimerId);
    return;
  }
  const auto delay = schedule_.begin()->first - loop_.now();
  if (delay <= messaging::Duration::zero()) {
    timer_window_.kill_timer(kTimerId);
    timer_window_.post(kRunDue);
    return;
  }
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(delay);
  timer_window_.set_timer(kTimerId, ms);
}

void SimProvider::run_due() {
  const auto now = loop_.now();
  while (!schedule_.empty() && schedule_.begin()->first <= now) {
    Action action = std::move(schedule_.begin()->second.action);
    schedule_.erase(schedule_.begin());
    action();
  }
  arm();
}

// --- lines ---

LONG SimProvider::open(std::size_t device, ProviderEvents& events) {
  if (device >= lines_.size()) return LINEERR_BADDEVICEID;
  lines_[device].events = &events;
  for (const IncomingCall& incoming : lines_[device].config.incoming)
    schedule_incoming(device, incoming);
  return 0;
}

void SimProvider::close(std::size_t device) {
  if (device >= lines_.size()) return;
  cancel(kLineOwner | device);
  std::vector<HCALL> gone;
  for (const Slot& slot : lines_[device].slots)
    gone.insert(gone.end(), slot.calls.begin(), slot.calls.end());
  for (HCALL h : gone) deallocate(h);
  lines_[device].events = nullptr;
}

std::vector<std::uint8_t> SimProvider::device_config(std::size_t device) const {
  return device < lines_.size() ? lines_[device].dev_config : std::vector<std::uint8_t>{};
}

LONG SimProvider::set_device_config(std::size_t device, std::vector<std::uint8_t> config) {
  if (device >= lines_.size()) return LINEERR_BADDEVICEID;
  if (config.size() > 4096) return LINEERR_INVALPARAM;
  lines_[device].dev_config = std::move(config);
  return 0;
}

// --- calls ---

SimProvider::Call* SimProvider::find(HCALL call) {
  auto it = calls_.find(call);
  return it == calls_.end() ? nullptr : &it->second;
}

void SimProvider::add_call(HCALL handle, Call call) {
  lines_[call.line].slots[call.slot].calls.push_back(handle);
  calls_[handle] = std::move(call);
}

std::optional<std::size_t> SimProvider::free_slot(std::size_t line) const {
  const std::vector<Slot>& slots = lines_[line].slots;
  // A one-channel line takes every call on its one channel, as it always did: an operator may
  // hold a call and dial another by hand, then join the two.
  if (slots.size() == 1) return 0;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const bool taken = std::ranges::any_of(
        slots[i].calls, [this](HCALL h) { return calls_.at(h).phase != Phase::Idle; });
    if (!taken) return i;
  }
  return std::nullopt;
}

// Parties joined from different channels meet on one: what it plays is what they all hear.
void SimProvider::move_to_slot(HCALL call, std::size_t slot) {
  Call* c = find(call);
  if (!c || c->slot == slot) return;
  std::erase(slot_of(*c).calls, call);
  c->slot = slot;
  slot_of(*c).calls.push_back(call);
}

SimProvider::CallRecord& SimProvider::new_record(std::size_t line, HCALL call, bool outgoing,
                                                 std::string dialled, FarEndOutcome outcome) {
  if (records_.size() >= record_limit_ && !records_.empty()) {
    audio_kept_ -= records_.front().audio.size();
    records_.pop_front();
  }
  CallRecord r;
  r.number = next_record_++;
  r.line = line;
  r.handle = call;
  r.outgoing = outgoing;
  r.dialled = std::move(dialled);
  r.outcome = outcome;
  r.started = loop_.now();
  records_.push_back(std::move(r));
  return records_.back();
}

void SimProvider::state(HCALL call, DWORD s, DWORD mode) {
  Call* c = find(call);
  if (!c || !lines_[c->line].events) return;
  events_of(*c).call_state(call, s, mode);
}

FarEnd SimProvider::reach(std::string_view number) {
  // Only far ends whose outcome changes from attempt to attempt need the count, so a campaign
  // of many numbers does not leave one entry per number behind.
  if (config_.far_end_for(number).outcomes.empty()) return config_.far_end_for(number);
  std::string plain;
  for (char c : number)
    if (c != ' ') plain.push_back(c);
  return config_.far_end_for_attempt(number, attempts_[plain]++);
}

LONG SimProvider::make_call(std::size_t device, HCALL call, RequestId request,
                            std::string_view number) {
  if (device >= lines_.size() || !lines_[device].events) return LINEERR_INVALLINEHANDLE;
  const std::optional<std::size_t> slot = free_slot(device);
  if (!slot) return LINEERR_RESOURCEUNAVAIL;
  Call c;
  c.line = device;
  c.slot = *slot;
  c.far = number.empty() ? config_.far_end_for(number) : reach(number);
  c.phase = number.empty() ? Phase::DialTone : Phase::Dialing;
  c.details.called_number = std::string(number);
  c.details.called_id_flags = number.empty() ? LINECALLPARTYID_UNKNOWN : LINECALLPARTYID_ADDRESS;
  c.record = new_record(device, call, true, std::string(number), c.far.outcome).number;
  add_call(call, std::move(c));
  if (lines_[device].config.never_reply) return 0;
  at(messaging::Duration::zero(), call, [this, call, request, n = std::string(number)] {
    Call* self = find(call);
    if (!self) return;
    events_of(*self).reply(request, 0);
    if (n.empty()) {
      state(call, LINECALLSTATE_DIALTONE);
    } else {
      start_dialing(call, n);
    }
  });
  return 0;
}

void SimProvider::start_dialing(HCALL call, std::string_view) {
  Call* c = find(call);
  if (!c) return;
  c->phase = Phase::Dialing;
  state(call, LINECALLSTATE_DIALING);
  at(config_.timing.dialing, call, [this, call] {
    Call* self = find(call);
    if (!self) return;
    if (self->far.outcome == FarEndOutcome::Unreachable) {
      self->phase = Phase::Ended;
      self->details.end_status = self->far.status;
      state(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE);
      return;
    }
    self->phase = Phase::Proceeding;
    state(call, LINECALLSTATE_PROCEEDING);
    at(config_.timing.proceeding, call, [this, call] { after_proceeding(call); });
  });
}

void SimProvider::after_proceeding(HCALL call) {
  Call* c = find(call);
  if (!c) return;
  switch (c->far.outcome) {
    case FarEndOutcome::Busy:
      c->phase = Phase::Ended;
      c->details.end_status = c->far.status;
      state(call, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
      return;
    case FarEndOutcome::Reject:
      c->phase = Phase::Ended;
      c->details.end_status = c->far.status;
      state(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT);
      return;
    default: break;
  }
  c->phase = Phase::Ringback;
  state(call, LINECALLSTATE_RINGBACK);
  const auto timeout = lines_[c->line].config.ring_timeout;
  const auto answer_after = config_.timing.ringback + c->far.rings * config_.timing.ring;
  if (c->far.outcome == FarEndOutcome::Answer && answer_after < timeout) {
    at(answer_after, call, [this, call] { connect(call); });
  } else {
    // Nobody answers: the line gives up ringing and the call goes idle.
    at(timeout, call, [this, call] {
      if (Call* self = find(call)) {
        self->phase = Phase::Idle;
        if (CallRecord* r = record_of(*self)) r->ended = loop_.now();
        state(call, LINECALLSTATE_IDLE);
      }
    });
  }
}

void SimProvider::connect(HCALL call) {
  Call* c = find(call);
  if (!c) return;
  c->phase = Phase::Connected;
  c->to_line = ToneVoice(c->far.tone_hz);
  c->to_peers = ToneVoice(c->far.tone_hz);
  c->connected_at = loop_.now();
  if (CallRecord* r = record_of(*c)) r->connected = loop_.now();
  state(call, LINECALLSTATE_CONNECTED);
  ensure_voice_ticks();
  for (const FarEndKey& key : c->far.keys)
    if (key.at) at(*key.at, call, [this, call, k = key.key] { press(call, k); });
  if (c->far.hangup_at) at(*c->far.hangup_at, call, [this, call] { far_end_hangs_up(call); });
}

void SimProvider::far_end_hangs_up(HCALL call) {
  Call* c = find(call);
  if (!c || (c->phase != Phase::Connected && c->phase != Phase::Conferenced &&
             c->phase != Phase::Held))
    return;
  c->phase = Phase::Ended;
  cancel(call);
  if (CallRecord* r = record_of(*c)) r->ended = loop_.now();
  state(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
}

void SimProvider::press(HCALL call, char key) {
  Call* c = find(call);
  if (!c || c->phase != Phase::Connected) return;
  if (CallRecord* r = record_of(*c)) r->keys_pressed.push_back(key);
  if (c->far.digits == DigitPath::Notification) {
    if (c->digit_modes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND))
      events_of(*c).digit(call, key, LINEDIGITMODE_DTMF);
    return;
  }
  // In-band: the key is sound on the line; the line's own detector finds it in that sound.
  const std::vector<std::int16_t> pcm = dtmf_out_.render(std::string(1, key));
  Slot& slot = slot_of(*c);
  slot.keys_sound.insert(slot.keys_sound.end(), pcm.begin(), pcm.end());
  ensure_voice_ticks();
  dsp::DtmfDetector detector;
  constexpr std::size_t kBlock = dsp::kDtmfSampleRate / 100;
  for (std::size_t done = 0; done < pcm.size(); done += kBlock) {
    const std::size_t n = std::min(kBlock, pcm.size() - done);
    const std::string found = detector.feed(std::span(pcm).subspan(done, n));
    if (found.empty()) continue;
    const auto latency = std::chrono::milliseconds((done + n) * 1000 / dsp::kDtmfSampleRate);
    at(latency, call, [this, call, found] {
      Call* self = find(call);
      if (!self || !(self->digit_modes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND))) return;
      for (char k : found) events_of(*self).digit(call, k, LINEDIGITMODE_DTMF);
    });
    return;
  }
}

LONG SimProvider::dial(HCALL call, RequestId request, std::string_view number) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (lines_[c->line].config.never_reply) return 0;
  if (c->phase != Phase::DialTone && c->phase != Phase::Connected) return LINEERR_INVALCALLSTATE;
  at(messaging::Duration::zero(), call, [this, call, request, n = std::string(number)] {
    Call* self = find(call);
    if (!self) return;
    events_of(*self).reply(request, 0);
    if (self->phase != Phase::DialTone) return;
    if (n.empty()) {
      // Off hook without a number: the line is connected to nobody in particular.
      self->far = FarEnd{};
      self->far.keys.clear();
      self->phase = Phase::Connected;
      self->connected_at = loop_.now();
      if (CallRecord* r = record_of(*self)) r->connected = loop_.now();
      state(call, LINECALLSTATE_CONNECTED);
      return;
    }
    self->far = reach(n);
    if (CallRecord* r = record_of(*self)) {
      r->dialled = n;
      r->outcome = self->far.outcome;
    }
    start_dialing(call, n);
  });
  return 0;
}

LONG SimProvider::answer(HCALL call, RequestId request) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (c->phase != Phase::Offering) return LINEERR_INVALCALLSTATE;
  if (lines_[c->line].config.never_reply) return 0;
  cancel(call);
  at(messaging::Duration::zero(), call, [this, call, request] {
    Call* self = find(call);
    if (!self) return;
    events_of(*self).reply(request, 0);
    connect(call);
  });
  return 0;
}

LONG SimProvider::drop(HCALL call, RequestId request) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (lines_[c->line].config.never_reply) return 0;
  cancel(call);
  at(messaging::Duration::zero(), call, [this, call, request] {
    Call* self = find(call);
    if (!self) return;
    self->phase = Phase::Idle;
    if (CallRecord* r = record_of(*self); r && !r->ended) r->ended = loop_.now();
    const HCALL conference = self->is_conference ? call : self->conference;
    events_of(*self).reply(request, 0);
    state(call, LINECALLSTATE_IDLE);
    consultation_ended(call);
    end_conference_if_empty(conference);
  });
  return 0;
}

LONG SimProvider::set_call_params(HCALL call, RequestId request, DWORD) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (lines_[c->line].config.never_reply) return 0;
  at(messaging::Duration::zero(), call, [this, call, request] {
    if (Call* self = find(call)) events_of(*self).reply(request, 0);
  });
  return 0;
}

void SimProvider::deallocate(HCALL call) {
  Call* c = find(call);
  if (!c) return;
  if (CallRecord* r = record_of(*c); r && !r->ended) r->ended = loop_.now();
  cancel(call);
  std::erase(slot_of(*c).calls, call);
  calls_.erase(call);
}

CallDetails SimProvider::details(HCALL call) const {
  auto it = calls_.find(call);
  if (it == calls_.end()) return CallDetails{};
  CallDetails out = it->second.details;
  // A one-channel line's calls use the line's own devices, as they always did.
  const Line& line = lines_[it->second.line];
  const SimLineAudio* audio = line.slots[it->second.slot].audio.get();
  if (line.slots.size() > 1 && audio) {
    out.wave_in = audio->wave_in();
    out.wave_out = audio->wave_out();
  }
  return out;
}

void SimProvider::monitor_digits(HCALL call, DWORD modes) {
  if (Call* c = find(call)) c->digit_modes = modes;
}

void SimProvider::monitor_media(HCALL, DWORD) {}

LONG SimProvider::receive_audio(HCALL call, bool on) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  // What a call receives is what its channel's wave input carries: no input, no audio path.
  const SimLineAudio* audio = slot_of(*c).audio.get();
  if (on && (!audio || audio->wave_in() < 0)) return LINEERR_OPERATIONUNAVAIL;
  c->receiving = on;
  ensure_voice_ticks();
  return 0;
}

LONG SimProvider::generate_digits(HCALL call, std::string_view digits) {
  Call* c = find(call);
  if (!c) return LINEERR_INVALCALLHANDLE;
  if (CallRecord* r = record_of(*c)) r->keys_received.append(digits);
  return 0;
}

// --- incoming calls ---

void SimProvider::schedule_incoming(std::size_t line, const IncomingCall& incoming) {
  at(incoming.at, kLineOwner | line, [this, line, incoming] {
    ProviderEvents* events = lines_[line].events;
    if (!events) return;
    const std::optional<std::size_t> slot = free_slot(line);
    if (!slot) {
      // Every channel holds a call: the caller hears busy and the line is offered nothing.
      new_record(line, 0, false, incoming.number, FarEndOutcome::Busy).ended = loop_.now();
      return;
    }
    CallDetails details;
    details.origin = LINECALLORIGIN_EXTERNAL;
    details.caller_id_flags = LINECALLPARTYID_ADDRESS | (incoming.name.empty() ? 0 : LINECALLPARTYID_NAME);
    if (incoming.number.empty()) details.caller_id_flags = LINECALLPARTYID_BLOCKED;
    details.caller_number = incoming.number;
    details.caller_name = incoming.name;
    const HCALL call = events->incoming_call(*this, line, details);
    if (!call) return;
    Call c;
    c.line = line;
    c.slot = *slot;
    c.far = incoming.behaviour;
    c.phase = Phase::Offering;
    c.details = details;
    c.rings_left = incoming.rings;
    c.record = new_record(line, call, false, incoming.number, FarEndOutcome::Answer).number;
    add_call(call, std::move(c));
    state(call, LINECALLSTATE_OFFERING);
    events->call_info_changed(call, LINECALLINFOSTATE_CALLERID);
    ring_incoming(call);
  });
}

void SimProvider::ring_incoming(HCALL call) {
  Call* c = find(call);
  if (!c || c->phase != Phase::Offering) return;
  if (c->rings_left <= 0) {
    // The caller gives up.
    c->phase = Phase::Idle;
    if (CallRecord* r = record_of(*c)) r->ended = loop_.now();
    state(call, LINECALLSTATE_IDLE);
    return;
  }
  --c->rings_left;
  events_of(*c).ringing(*this, c->line);
  at(config_.timing.ring, call, [this, call] { ring_incoming(call); });
}

}  // namespace orvexa::telephony

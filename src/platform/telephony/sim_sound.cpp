// What the simulated far ends hear: the line's output while connected, each other's voices in
// a conference, hold music while held, and each other after a transfer joined them. Each
// record measures it; the sound itself is kept only within the raw-audio budget.
#include "platform/telephony/sim_provider.h"

namespace orvexa::telephony {

namespace {

constexpr std::uint64_t kMediaOwner = 1ull << 41;
constexpr messaging::Duration kMediaStep = std::chrono::milliseconds(100);

}  // namespace

void SimProvider::hear(CallRecord& r, messaging::TimePoint t, messaging::Duration length,
                       std::span<const std::uint8_t> bytes, const audio::WAVEFORMATEX& format) {
  if (r.heard_stretches++ == 0) {
    r.format = format;
    r.first_heard = t;
  }
  r.heard_seconds += std::chrono::duration<double>(length).count();
  // Whole stretches only, and none after one was left out: `audio` is what was heard first.
  if (!r.audio_whole || !make_room(bytes.size(), &r)) {
    r.audio_whole = false;
    return;
  }
  r.heard.push_back({t, length, r.audio.size(), bytes.size()});
  r.audio.insert(r.audio.end(), bytes.begin(), bytes.end());
  audio_kept_ += bytes.size();
}

bool SimProvider::make_room(std::size_t bytes, const CallRecord* keeping) {
  if (bytes > audio_budget_) return false;
  for (CallRecord& r : records_) {
    if (audio_kept_ + bytes <= audio_budget_) break;
    if (&r != keeping) release_audio(r);
  }
  return audio_kept_ + bytes <= audio_budget_;
}

void SimProvider::release_audio(CallRecord& r) {
  if (r.heard_stretches > 0) r.audio_whole = false;
  audio_kept_ -= r.audio.size();
  std::vector<std::uint8_t>().swap(r.audio);
  std::vector<HeardStretch>().swap(r.heard);
}

// The parties who hear a channel's output: only the calls on it.
std::vector<HCALL> SimProvider::listeners(const Slot& slot) {
  std::vector<HCALL> out;
  for (HCALL handle : slot.calls) {
    const Call& c = calls_.at(handle);
    if (c.phase == Phase::Connected && !c.is_conference) out.push_back(handle);
    if (c.phase == Phase::Conferenced) {
      const Call* room = find(c.conference);
      if (room && room->phase == Phase::Connected) out.push_back(handle);
    }
  }
  return out;
}

void SimProvider::on_heard(std::size_t line, std::size_t slot, messaging::TimePoint t,
                           messaging::Duration length, std::span<const std::uint8_t> bytes) {
  const Slot& channel = lines_[line].slots[slot];
  const std::vector<HCALL> parties = listeners(channel);
  if (parties.empty()) return;
  SimLineAudio* audio = channel.audio.get();
  const audio::WAVEFORMATEX format = audio ? audio->output_format() : audio::pcm_format();
  const std::size_t frames = frame_count(bytes.size(), format);
  // Each party hears the channel's output and the voices of the other parties.
  std::vector<std::vector<std::int16_t>> voices(parties.size());
  for (std::size_t i = 0; i < parties.size(); ++i) {
    Call& c = calls_.at(parties[i]);
    if (c.to_peers.silent()) continue;
    voices[i].assign(frames, 0);
    c.to_peers.add_to(voices[i], format.nSamplesPerSec);
  }
  for (std::size_t i = 0; i < parties.size(); ++i) {
    CallRecord* r = record_of(calls_.at(parties[i]));
    if (!r) continue;
    std::vector<std::int16_t> mixed;
    for (std::size_t j = 0; j < parties.size(); ++j) {
      if (j == i || voices[j].empty()) continue;
      if (mixed.empty()) mixed = decode_pcm(bytes, format);
      mix_into(mixed, voices[j]);
    }
    if (mixed.empty()) hear(*r, t, length, bytes, format);
    else hear(*r, t, length, encode_pcm(mixed, format), format);
    after_heard(parties[i]);
  }
}

// Keys and hang-ups given in seconds of sound heard.
void SimProvider::after_heard(HCALL call) {
  Call* c = find(call);
  CallRecord* r = c ? record_of(*c) : nullptr;
  if (!r) return;
  const double heard = r->heard_seconds;
  std::vector<char> due;
  for (std::size_t i = 0; i < c->far.keys.size(); ++i) {
    const FarEndKey& k = c->far.keys[i];
    if (k.after_heard_seconds && i >= c->next_key && heard + 1e-9 >= *k.after_heard_seconds) {
      due.push_back(k.key);
      c->next_key = i + 1;
    }
  }
  const bool hang_up =
      c->far.hangup_after_heard_seconds && heard + 1e-9 >= *c->far.hangup_after_heard_seconds;
  for (char k : due) at(messaging::Duration::zero(), call, [this, call, k] { press(call, k); });
  if (hang_up) at(messaging::Duration::zero(), call, [this, call] { far_end_hangs_up(call); });
}

// --- sound in steps of its own ---

void SimProvider::ensure_media_ticks() {
  if (ticking_) return;
  bool needed = !bridges_.empty();
  for (auto& [handle, c] : calls_)
    if (c.phase == Phase::Held && !c.is_conference && lines_[c.line].config.hold_music_sound)
      needed = true;
  if (!needed) return;
  ticking_ = true;
  at(kMediaStep, kMediaOwner, [this] { media_tick(); });
}

void SimProvider::media_tick() {
  ticking_ = false;
  const messaging::TimePoint began = loop_.now() - kMediaStep;
  for (auto& [handle, c] : calls_) {
    const LoopSound* music = lines_[c.line].config.hold_music_sound.get();
    if (c.phase != Phase::Held || c.is_conference || !music) continue;
    CallRecord* r = record_of(c);
    if (!r) continue;
    const SimLineAudio* audio = slot_of(c).audio.get();
    const audio::WAVEFORMATEX format = r->heard_stretches ? r->format
                                       : audio         ? audio->output_format()
                                                       : audio::pcm_format();
    std::vector<std::int16_t> pcm(format.nSamplesPerSec / 10);
    add_looped(*music, c.music_at, pcm, format.nSamplesPerSec);
    hear(*r, began, kMediaStep, encode_pcm(pcm, format), format);
  }
  std::erase_if(bridges_, [this](Bridge& b) { return !bridge_step(b, kMediaStep); });
  ensure_media_ticks();
}

// One step of two joined far ends hearing each other; false once they have finished.
bool SimProvider::bridge_step(Bridge& b, messaging::Duration step) {
  CallRecord* ra = record_number(b.a);
  CallRecord* rb = record_number(b.b);
  if (!ra || !rb) return false;
  const messaging::TimePoint began = loop_.now() - step;
  auto speak = [&](ToneVoice& voice, CallRecord& to) {
    std::vector<std::int16_t> pcm(to.format.nSamplesPerSec / 10);
    voice.add_to(pcm, to.format.nSamplesPerSec);
    hear(to, began, step, encode_pcm(pcm, to.format), to.format);
  };
  speak(b.voice_b, *ra);
  speak(b.voice_a, *rb);
  if (loop_.now() < b.until) return true;
  if (!rb->ended) rb->ended = loop_.now();
  return false;
}

}  // namespace orvexa::telephony

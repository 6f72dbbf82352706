// What the simulated far ends send into their lines: steady voices while the line plays to
// them, tones at given times after the answer, and in-band keys. It is made in 20 ms frames on
// the loop's clock, one per channel, pushed into the channel's wave input, and handed to the
// service for the channel's calls whose received sound it asked for (tone monitoring), so both
// see the same sound.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/telephony/sim_provider.h"

namespace orvexa::telephony {

namespace {

constexpr std::uint64_t kVoiceOwner = 1ull << 42;
constexpr messaging::Duration kVoiceStep = std::chrono::milliseconds(20);
constexpr std::uint32_t kLineRate = 8000;
constexpr std::size_t kFrame = kLineRate / 50;
constexpr double kToneAmplitude = 6000;

// Samples at the line's rate from `from` to `to` (negative when `to` comes first).
std::int64_t samples_between(messaging::TimePoint from, messaging::TimePoint to) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count() * kLineRate /
         1'000'000'000;
}

}  // namespace

void SimProvider::ensure_voice_ticks() {
  if (voice_ticking_ || !voice_needed()) return;
  voice_ticking_ = true;
  // The output's position counts from here: what it played before was heard by nobody.
  for (Line& line : lines_) {
    for (Slot& slot : line.slots) {
      slot.played = slot.audio ? slot.audio->played_bytes() : 0;
      slot.owed = 0;
      slot.was_playing = false;
    }
  }
  at(kVoiceStep, kVoiceOwner, [this] { voice_tick(); });
}

bool SimProvider::voice_needed() const {
  const messaging::TimePoint now = loop_.now();
  for (const auto& [handle, c] : calls_) {
    if (c.receiving) return true;
    if (c.phase != Phase::Connected && c.phase != Phase::Held && c.phase != Phase::Conferenced)
      continue;
    if (c.far.tone_hz > 0) return true;
    for (const FarEndTone& t : c.far.tones)
      if (c.connected_at + t.at + t.length > now) return true;
  }
  for (const Line& line : lines_)
    for (const Slot& slot : line.slots)
      if (slot.keys_sounded < slot.keys_sound.size()) return true;
  return false;
}

void SimProvider::voice_tick() {
  voice_ticking_ = false;
  const messaging::TimePoint from = loop_.now() - kVoiceStep;
  for (std::size_t line = 0; line < lines_.size(); ++line)
    for (Slot& slot : lines_[line].slots) voice_frame(line, slot, from);
  if (voice_needed()) {
    voice_ticking_ = true;
    at(kVoiceStep, kVoiceOwner, [this] { voice_tick(); });
  }
}

// How many samples of this frame the channel's output played (steady voices answer it).
std::size_t SimProvider::played_samples(Slot& slot) {
  if (!slot.audio) return 0;
  const std::uint64_t now = slot.audio->played_bytes();
  // A reopened output counts from 0 again.
  const std::uint64_t played = now >= slot.played ? now - slot.played : now;
  slot.played = now;
  const auto rate = slot.audio->output_format().nAvgBytesPerSec;
  if (rate) slot.owed += static_cast<double>(played) * kLineRate / rate;
  const auto n = static_cast<std::size_t>(std::min<double>(kFrame, std::floor(slot.owed + 1e-6)));
  slot.owed = std::min<double>(slot.owed - static_cast<double>(n), kFrame);
  return n;
}

void SimProvider::add_tones(const Call& c, messaging::TimePoint from, std::span<std::int16_t> frame,
                            std::size_t& first, std::size_t& last) const {
  const std::int64_t frame_at = samples_between(c.connected_at, from);
  for (const FarEndTone& t : c.far.tones) {
    const std::int64_t begin = t.at.count() * kLineRate / 1000;
    const std::int64_t end = begin + t.length.count() * kLineRate / 1000;
    const std::int64_t lo = std::max<std::int64_t>(begin - frame_at, 0);
    const std::int64_t hi = std::min<std::int64_t>(end - frame_at, std::ssize(frame));
    if (lo >= hi) continue;
    for (std::int64_t i = lo; i < hi; ++i) {
      // Timed from the tone's own start, so each frame carries on its phase.
      const double seconds = static_cast<double>(frame_at + i - begin) / kLineRate;
      double v = frame[static_cast<std::size_t>(i)];
      for (double hz : t.hz) v += kToneAmplitude * std::sin(2 * std::numbers::pi * hz * seconds);
      frame[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
          std::clamp<long>(std::lround(v), -32768, 32767));
    }
    first = std::min(first, static_cast<std::size_t>(lo));
    last = std::max(last, static_cast<std::size_t>(hi));
  }
}

void SimProvider::voice_frame(std::size_t index, Slot& slot, messaging::TimePoint from) {
  // Steady voices speak while the channel plays: at the frame's start if it was already
  // playing, at its end if it has just begun.
  const std::size_t playing = played_samples(slot);
  const std::size_t voice_at = slot.was_playing ? 0 : kFrame - playing;
  slot.was_playing = playing > 0;
  // A channel without calls has nothing to send (idle channels of a wide line cost no frame).
  if (slot.calls.empty() && slot.keys_sound.empty()) return;
  std::vector<std::int16_t> frame(kFrame, 0);
  std::size_t first = kFrame, last = 0;  // the part of the frame that carries sound
  for (HCALL h : listeners(slot)) {
    Call& c = calls_.at(h);
    if (playing > 0 && !c.to_line.silent()) {
      c.to_line.add_to(std::span(frame).subspan(voice_at, playing), kLineRate);
      first = std::min(first, voice_at);
      last = std::max(last, voice_at + playing);
    }
    add_tones(c, from, frame, first, last);
  }
  if (slot.keys_sounded < slot.keys_sound.size()) {
    const std::size_t n = std::min(kFrame, slot.keys_sound.size() - slot.keys_sounded);
    mix_into(std::span(frame).first(n), std::span(slot.keys_sound).subspan(slot.keys_sounded, n));
    slot.keys_sounded += n;
    if (slot.keys_sounded == slot.keys_sound.size()) {
      slot.keys_sound.clear();
      slot.keys_sounded = 0;
    }
    first = 0;
    last = std::max(last, n);
  }
  if (first < last) {
    const std::span<const std::int16_t> sound = std::span(frame).subspan(first, last - first);
    if (slot.audio && slot.audio->input_open()) slot.audio->push_far_end(sound);
    if (make_room(sound.size_bytes(), nullptr)) {
      slot.input.insert(slot.input.end(), sound.begin(), sound.end());
      audio_kept_ += sound.size_bytes();
    }
  }
  // The service hears the whole frame, silence included, so that its tone timing holds.
  ProviderEvents* events = lines_[index].events;
  if (!events) return;
  for (HCALL h : slot.calls) {
    const Call& c = calls_.at(h);
    if (c.receiving && (c.phase == Phase::Connected || c.phase == Phase::Conferenced))
      events->received_audio(h, frame);
  }
}

}  // namespace orvexa::telephony

// What the simulated far ends send into their lines: steady voices while the line plays to
// them, tones at given times after the answer, and in-band keys. It is made in 20 ms frames on
// the loop's clock, pushed into the line's wave input, and handed to the service for the calls
// whose received sound it asked for (tone monitoring), so both see the same sound.
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
    line.played = line.audio ? line.audio->played_bytes() : 0;
    line.owed = 0;
    line.was_playing = false;
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
    if (line.keys_sounded < line.keys_sound.size()) return true;
  return false;
}

void SimProvider::voice_tick() {
  voice_ticking_ = false;
  const messaging::TimePoint from = loop_.now() - kVoiceStep;
  for (std::size_t line = 0; line < lines_.size(); ++line) voice_frame(line, from);
  if (voice_needed()) {
    voice_ticking_ = true;
    at(kVoiceStep, kVoiceOwner, [this] { voice_tick(); });
  }
}

// How many samples of this frame the line's output played (steady voices answer it).
std::size_t SimProvider::played_samples(Line& line) {
  if (!line.audio) return 0;
  const std::uint64_t now = line.audio->played_bytes();
  // A reopened output counts from 0 again.
  const std::uint64_t played = now >= line.played ? now - line.played : now;
  line.played = now;
  const auto rate = line.audio->output_format().nAvgBytesPerSec;
  if (rate) line.owed += static_cast<double>(played) * kLineRate / rate;
  const auto n = static_cast<std::size_t>(std::min<double>(kFrame, std::floor(line.owed + 1e-6)));
  line.owed = std::min<double>(line.owed - static_cast<double>(n), kFrame);
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

void SimProvider::voice_frame(std::size_t index, messaging::TimePoint from) {
  Line& line = lines_[index];
  std::vector<std::int16_t> frame(kFrame, 0);
  std::size_t first = kFrame, last = 0;  // the part of the frame that carries sound
  // Steady voices speak while the line plays: at the frame's start if it was already
  // playing, at its end if it has just begun.
  const std::size_t playing = played_samples(line);
  const std::size_t voice_at = line.was_playing ? 0 : kFrame - playing;
  line.was_playing = playing > 0;
  for (HCALL h : listeners(index)) {
    Call& c = calls_.at(h);
    if (playing > 0 && !c.to_line.silent()) {
      c.to_line.add_to(std::span(frame).subspan(voice_at, playing), kLineRate);
      first = std::min(first, voice_at);
      last = std::max(last, voice_at + playing);
    }
    add_tones(c, from, frame, first, last);
  }
  if (line.keys_sounded < line.keys_sound.size()) {
    const std::size_t n = std::min(kFrame, line.keys_sound.size() - line.keys_sounded);
    mix_into(std::span(frame).first(n), std::span(line.keys_sound).subspan(line.keys_sounded, n));
    line.keys_sounded += n;
    if (line.keys_sounded == line.keys_sound.size()) {
      line.keys_sound.clear();
      line.keys_sounded = 0;
    }
    first = 0;
    last = std::max(last, n);
  }
  if (first < last) {
    const std::span<const std::int16_t> sound = std::span(frame).subspan(first, last - first);
    if (line.audio && line.audio->input_open()) line.audio->push_far_end(sound);
    if (make_room(sound.size_bytes(), nullptr)) {
      line.input.insert(line.input.end(), sound.begin(), sound.end());
      audio_kept_ += sound.size_bytes();
    }
  }
  // The service hears the whole frame, silence included, so that its tone timing holds.
  if (!line.events) return;
  for (auto& [h, c] : calls_)
    if (c.line == index && c.receiving &&
        (c.phase == Phase::Connected || c.phase == Phase::Conferenced))
      line.events->received_audio(h, frame);
}

}  // namespace orvexa::telephony

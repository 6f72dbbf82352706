#include "platform/dsp/tone_monitor.h"

#include <spandsp.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvexa::dsp {

namespace {

constexpr std::uint32_t kRate = 8000;
constexpr std::size_t kHalf = ToneMonitor::kWindow / 2;
// Each 20 ms half of the window must hold sound of at least this mean square (about -50 dBm0),
// and the quieter half at least half the louder one's energy: the tone fills the window.
constexpr double kFloor = 50.0 * 50.0 * kHalf;
constexpr double kSteady = 0.5;
// The tone's frequencies must carry this share of the window's energy between them, and each
// of them this much: a 440 Hz tone is not a 350 + 440 Hz one, nor is speech either.
constexpr double kToneShare = 0.7;
constexpr double kPartShare = 0.1;

}  // namespace

ToneProblem check_tone(const WantedTone& tone) {
  // Frequencies fill the slots from the first: 0 marks the rest as unused.
  if (tone.hz[0] == 0 || (tone.hz[1] == 0 && tone.hz[2] != 0)) return ToneProblem::NoFrequency;
  std::vector<std::uint32_t> used;
  for (std::uint32_t hz : tone.hz)
    if (hz != 0) used.push_back(hz);
  for (std::uint32_t hz : used)
    if (hz < kMinToneHz || hz > kMaxToneHz) return ToneProblem::FrequencyOutOfRange;
  for (std::size_t i = 0; i < used.size(); ++i)
    for (std::size_t j = i + 1; j < used.size(); ++j)
      if ((used[i] > used[j] ? used[i] - used[j] : used[j] - used[i]) < kMinToneSpacingHz)
        return ToneProblem::FrequenciesTooClose;
  if (tone.duration <= std::chrono::milliseconds::zero()) return ToneProblem::NoDuration;
  return ToneProblem::None;
}

// A Hann window over 40 ms keeps a tone's energy out of filters 40 Hz or more away, so that
// 440 + 480 Hz is told from 440 Hz alone; its gain turns a filter's output into a share.
struct ToneMonitor::Bank {
  std::vector<std::uint32_t> hz;
  std::vector<goertzel_descriptor_t> filters;
  std::array<float, kWindow> window{};
  double gain = 0;  // a filter's output for a pure tone at its frequency, per unit of energy

  Bank() {
    double sum = 0, squares = 0;
    for (std::size_t i = 0; i < kWindow; ++i) {
      window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / kWindow));
      sum += window[i];
      squares += window[i] * window[i];
    }
    gain = sum * sum / squares;
  }

  std::size_t filter_for(std::uint32_t f) {
    for (std::size_t i = 0; i < hz.size(); ++i)
      if (hz[i] == f) return i;
    goertzel_descriptor_t d{};
    make_goertzel_descriptor(&d, static_cast<float>(f), static_cast<int>(kWindow));
    hz.push_back(f);
    filters.push_back(d);
    return hz.size() - 1;
  }
};

ToneMonitor::ToneMonitor(std::vector<WantedTone> tones) : bank_(std::make_unique<Bank>()) {
  for (const WantedTone& t : tones) {
    Watch w{t, {}};
    for (std::uint32_t hz : t.hz)
      if (hz != 0) w.filters.push_back(bank_->filter_for(hz));
    watches_.push_back(std::move(w));
  }
}

ToneMonitor::~ToneMonitor() = default;

std::vector<std::uintptr_t> ToneMonitor::feed(std::span<const std::int16_t> samples) {
  std::vector<std::uintptr_t> found;
  for (std::int16_t s : samples) {
    ring_[seen_ % kWindow] = s;
    ++seen_;
    if (seen_ % kStep == 0 && seen_ >= kWindow) judge(found);
  }
  return found;
}

void ToneMonitor::judge(std::vector<std::uintptr_t>& found) {
  std::array<std::int16_t, kWindow> x{};
  for (std::size_t i = 0; i < kWindow; ++i) x[i] = ring_[(seen_ + i) % kWindow];
  double halves[2] = {0, 0};
  for (std::size_t i = 0; i < kWindow; ++i) halves[i / kHalf] += double(x[i]) * x[i];
  const bool steady = std::min(halves[0], halves[1]) >= kFloor &&
                      std::min(halves[0], halves[1]) >= kSteady * std::max(halves[0], halves[1]);
  std::vector<double> share(bank_->hz.size(), 0);
  if (steady) {
    double energy = 0;
    for (std::size_t i = 0; i < kWindow; ++i) {
      x[i] = static_cast<std::int16_t>(std::lround(bank_->window[i] * x[i]));
      energy += double(x[i]) * x[i];
    }
    for (std::size_t f = 0; f < share.size(); ++f) {
      goertzel_state_t state{};
      goertzel_init(&state, &bank_->filters[f]);
      goertzel_update(&state, x.data(), static_cast<int>(kWindow));
      share[f] = energy > 0 ? goertzel_result(&state) / (bank_->gain * energy) : 0;
    }
  }
  const std::uint64_t per_ms = kRate / 1000;
  for (Watch& w : watches_) {
    double total = 0, least = 1;
    for (std::size_t f : w.filters) {
      total += share[f];
      least = std::min(least, share[f]);
    }
    if (!steady || total < kToneShare || least < kPartShare) {
      w.sounding = w.reported = false;
      continue;
    }
    if (!w.sounding) {
      w.sounding = true;
      w.since = seen_ - kWindow;
    }
    const auto needed = static_cast<std::uint64_t>(w.tone.duration.count()) * per_ms;
    if (!w.reported && seen_ - w.since >= needed) {
      w.reported = true;
      found.push_back(w.tone.tag);
    }
  }
}

}  // namespace orvexa::dsp

// Tones of one, two or three frequencies sounding together for a given time, found in 8 kHz
// 16-bit mono audio (what a call receives), each reported once per time it sounds.
//
//   ToneMonitor monitor({{.tag = 7, .duration = 1000ms, .hz = {350, 440, 0}}});
//   for (std::uintptr_t tag : monitor.feed(frame)) report(tag);
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orvexa::dsp {

struct WantedTone {
  std::uintptr_t tag = 0;                  // handed back when the tone is found
  std::chrono::milliseconds duration{0};   // how long its frequencies must sound together
  std::array<std::uint32_t, 3> hz{};       // filled from the first on; unused ones are 0
};

enum class ToneProblem {
  None,
  NoFrequency,          // the first frequency is 0 (or a later one follows a 0)
  FrequencyOutOfRange,  // below kMinToneHz or above kMaxToneHz
  FrequenciesTooClose,  // two of the tone's frequencies closer than kMinToneSpacingHz
  NoDuration,
};

// What 8 kHz audio and a 40 ms analysis can tell apart.
inline constexpr std::uint32_t kMinToneHz = 20;
inline constexpr std::uint32_t kMaxToneHz = 3980;
inline constexpr std::uint32_t kMinToneSpacingHz = 40;

ToneProblem check_tone(const WantedTone& tone);

class ToneMonitor {
 public:
  static constexpr std::size_t kStep = 160;    // 20 ms: how often the tones are judged
  static constexpr std::size_t kWindow = 320;  // 40 ms: the sound each judgement looks at

  // Every tone must pass check_tone.
  explicit ToneMonitor(std::vector<WantedTone> tones);
  ~ToneMonitor();
  ToneMonitor(const ToneMonitor&) = delete;
  ToneMonitor& operator=(const ToneMonitor&) = delete;

  // Feeds samples in order; returns the tags of the tones whose duration was reached in them.
  std::vector<std::uintptr_t> feed(std::span<const std::int16_t> samples);

 private:
  struct Bank;  // spandsp's Goertzel filters, one per distinct frequency
  struct Watch {
    WantedTone tone;
    std::vector<std::size_t> filters;  // into the bank
    std::uint64_t since = 0;           // first sample of the current sounding
    bool sounding = false, reported = false;
  };
  void judge(std::vector<std::uintptr_t>& found);

  std::unique_ptr<Bank> bank_;
  std::vector<Watch> watches_;
  std::array<std::int16_t, kWindow> ring_{};
  std::uint64_t seen_ = 0;  // samples fed so far
};

}  // namespace orvexa::dsp

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "platform/dsp/tone_monitor.h"

namespace orvexa::dsp {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMs = 8;  // samples per millisecond

// `ms` of silence, then the frequencies together for `tone_ms`, then `after_ms` of silence.
std::vector<std::int16_t> Sound(std::vector<double> hz, int ms, int tone_ms, int after_ms,
                                double amplitude = 6000) {
  std::vector<std::int16_t> out(kMs * static_cast<std::size_t>(ms + tone_ms + after_ms), 0);
  for (std::size_t i = 0; i < kMs * static_cast<std::size_t>(tone_ms); ++i) {
    double v = 0;
    for (double f : hz) v += amplitude * std::sin(2 * std::numbers::pi * f * i / 8000.0 + f);
    out[kMs * static_cast<std::size_t>(ms) + i] = static_cast<std::int16_t>(std::lround(v));
  }
  return out;
}

struct Found {
  std::uintptr_t tag;
  std::size_t at_ms;  // end of the block in which it was reported
  bool operator==(const Found&) const = default;
};

// Fed in blocks of `block` samples; each report is timed at the end of its block.
std::vector<Found> Monitor(const std::vector<WantedTone>& tones, std::span<const std::int16_t> pcm,
                       std::size_t block = 160) {
  ToneMonitor monitor(tones);
  std::vector<Found> out;
  for (std::size_t i = 0; i < pcm.size(); i += block) {
    const std::size_t n = std::min(block, pcm.size() - i);
    for (std::uintptr_t tag : monitor.feed(pcm.subspan(i, n))) out.push_back({tag, (i + n) / kMs});
  }
  return out;
}

TEST(WantedTone, RefusesWhatTheMonitorCannotTell) {
  struct Case {
    const char* name;
    WantedTone tone;
    ToneProblem want;
  };
  const Case kCases[] = {
      {"one", {1, 100ms, {440, 0, 0}}, ToneProblem::None},
      {"three", {1, 100ms, {350, 440, 620}}, ToneProblem::None},
      {"edges", {1, 1ms, {kMinToneHz, kMaxToneHz, 0}}, ToneProblem::None},
      {"silence", {1, 100ms, {0, 0, 0}}, ToneProblem::NoFrequency},
      {"first unused", {1, 100ms, {0, 440, 0}}, ToneProblem::NoFrequency},
      {"gap", {1, 100ms, {440, 0, 620}}, ToneProblem::NoFrequency},
      {"too low", {1, 100ms, {kMinToneHz - 1, 0, 0}}, ToneProblem::FrequencyOutOfRange},
      {"past 8 kHz audio", {1, 100ms, {4000, 0, 0}}, ToneProblem::FrequencyOutOfRange},
      {"second too high", {1, 100ms, {440, 5000, 0}}, ToneProblem::FrequencyOutOfRange},
      {"too close", {1, 100ms, {440, 470, 0}}, ToneProblem::FrequenciesTooClose},
      {"twice", {1, 100ms, {440, 350, 440}}, ToneProblem::FrequenciesTooClose},
      {"no duration", {1, 0ms, {440, 0, 0}}, ToneProblem::NoDuration},
  };
  for (const Case& c : kCases) EXPECT_EQ(check_tone(c.tone), c.want) << c.name;
}

TEST(ToneMonitor, ReportsAToneOnceItHasSoundedForItsDuration) {
  struct Case {
    const char* name;
    std::vector<double> sent;
    int tone_ms;
    std::array<std::uint32_t, 3> watched;
    std::chrono::milliseconds duration;
    bool found;
  };
  const Case kCases[] = {
      {"single", {440}, 1000, {440, 0, 0}, 1000ms, true},
      {"one frame short", {440}, 980, {440, 0, 0}, 1000ms, false},
      {"well short", {440}, 600, {440, 0, 0}, 1000ms, false},
      {"shorter than the window", {440}, 60, {440, 0, 0}, 20ms, true},
      {"dial tone", {350, 440}, 500, {350, 440, 0}, 400ms, true},
      {"one of the two", {350, 440}, 500, {440, 0, 0}, 400ms, false},
      {"close pair", {440, 480}, 500, {440, 480, 0}, 400ms, true},
      {"one of the close pair", {440, 480}, 500, {480, 0, 0}, 400ms, false},
      {"two of three", {350, 440}, 500, {350, 440, 620}, 400ms, false},
      {"three", {350, 440, 620}, 500, {350, 440, 620}, 400ms, true},
      {"slightly off", {444}, 500, {440, 0, 0}, 400ms, true},
      {"another tone", {620}, 500, {440, 0, 0}, 400ms, false},
      {"high", {3900}, 300, {3900, 0, 0}, 200ms, true},
  };
  constexpr int kLead = 1000;
  for (const Case& c : kCases) {
    const auto pcm = Sound(c.sent, kLead, c.tone_ms, 500);
    const auto found = Monitor({{7, c.duration, c.watched}}, pcm);
    if (!c.found) {
      EXPECT_TRUE(found.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(found.size(), 1u) << c.name;
    // At the end of the 20 ms block in which the rule was met, never before, and no sooner
    // than the analysis window allows.
    const auto due = static_cast<std::size_t>(kLead + std::max<long>(c.duration.count(), 40));
    EXPECT_GE(found[0].at_ms, due) << c.name;
    EXPECT_LT(found[0].at_ms, due + 20) << c.name;
  }
}

TEST(ToneMonitor, EachSoundingIsReportedOnceWhateverTheBlockSize) {
  // Two 300 ms soundings of a tone 100 ms apart, then a long one.
  std::vector<std::int16_t> pcm;
  for (const auto& part : {Sound({440}, 100, 300, 100), Sound({440}, 0, 300, 0),
                           Sound({440}, 200, 2000, 200)})
    pcm.insert(pcm.end(), part.begin(), part.end());
  const std::vector<Found> want = {{1, 300}, {1, 700}, {1, 1200}};
  EXPECT_EQ(Monitor({{1, 200ms, {440, 0, 0}}}, pcm), want);
  // Blocks of any size find the same soundings, each reported in the block holding its time.
  for (std::size_t block : {37u, 1000u, 8000u}) {
    const auto found = Monitor({{1, 200ms, {440, 0, 0}}}, pcm, block);
    ASSERT_EQ(found.size(), want.size()) << block;
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_GE(found[i].at_ms, want[i].at_ms) << block;
      EXPECT_LT(found[i].at_ms, want[i].at_ms + block / kMs + 1) << block;
    }
  }
}

TEST(ToneMonitor, TellsTonesOfAListApartAndIgnoresNoiseAndWhispers) {
  std::vector<std::int16_t> pcm = Sound({350, 440}, 0, 500, 0);
  const auto single = Sound({1000}, 100, 500, 100);
  const auto whisper = Sound({1000}, 0, 500, 100, 30);
  pcm.insert(pcm.end(), single.begin(), single.end());
  pcm.insert(pcm.end(), whisper.begin(), whisper.end());
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0, 3000);
  for (int i = 0; i < 8000; ++i) pcm.push_back(static_cast<std::int16_t>(noise(random)));
  const std::vector<WantedTone> tones = {
      {11, 300ms, {350, 440, 0}}, {12, 300ms, {1000, 0, 0}}, {13, 300ms, {440, 0, 0}}};
  const auto found = Monitor(tones, pcm);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], (Found{11, 300}));
  EXPECT_EQ(found[1], (Found{12, 900}));
}

}  // namespace
}  // namespace orvexa::dsp

// Whole buffers through the mixer: the SIMD main loop, its scalar tail, and a sound mixed with
// itself, against the exact rational result sample by sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "components/voice/mixer.h"

namespace orvexa::components::testing {
namespace {

std::int16_t exact_mix(std::int16_t s, std::int16_t b, int volume) {
  const long double exact =
      (static_cast<long double>(volume) * b + static_cast<long double>(100 - volume) * s) / 100;
  return static_cast<std::int16_t>(std::clamp(std::nearbyint(exact), -32768.0L, 32767.0L));
}

std::vector<std::int16_t> random_samples(std::size_t n, std::mt19937& random) {
  std::vector<std::int16_t> out(n);
  for (auto& s : out) s = static_cast<std::int16_t>(random());
  // The extremes and a run of ties (an odd sum at volume 50) land inside the vector body.
  const std::int16_t planted[] = {-32768, 32767, -32768, -32768, 32767, 32767, 1, 2, -3, 0};
  for (std::size_t i = 0; i < std::size(planted) && i < n; ++i) out[i * 7 % n] = planted[i];
  return out;
}

TEST(Mixer, WholeBuffersMatchTheExactResult) {
  struct Case {
    const char* name;
    int volume;
    std::size_t samples;
  };
  const Case cases[] = {
      {"one sample", 30, 1},          {"shorter than a vector", 50, 7},
      {"one vector", 50, 8},          {"a vector and a tail", 67, 9},
      {"silent background", 0, 1023}, {"background only", 100, 1024},
      {"a third", 33, 4097},          {"just above zero", 1, 2048},
      {"just below all", 99, 2049},   {"above 100 clips", 150, 1031},
      {"below 0 clips", -150, 1031},  {"far beyond", 20000, 515},
  };
  std::mt19937 random(17);
  for (const Case& c : cases) {
    const auto sound = random_samples(c.samples, random);
    const auto back = random_samples(c.samples, random);
    // One byte more than the samples: an odd last byte must be left alone.
    std::vector<char> work(c.samples * 2 + 1, '\x5A');
    std::vector<char> background(c.samples * 2 + 1, '\x11');
    std::memcpy(work.data(), sound.data(), c.samples * 2);
    std::memcpy(background.data(), back.data(), c.samples * 2);
    mix_samples(work.data(), background.data(), static_cast<std::uint32_t>(work.size()), 16,
                c.volume);
    for (std::size_t i = 0; i < c.samples; ++i) {
      std::int16_t got;
      std::memcpy(&got, work.data() + 2 * i, 2);
      ASSERT_EQ(got, exact_mix(sound[i], back[i], c.volume))
          << c.name << ": sample " << i << " of " << sound[i] << " and " << back[i];
    }
    EXPECT_EQ(work.back(), '\x5A') << c.name;
  }
}

TEST(Mixer, ASoundMixedWithItselfIsUnchanged) {
  std::mt19937 random(5);
  for (const int volume : {0, 30, 50, 100}) {
    const auto sound = random_samples(1001, random);
    std::vector<char> work(sound.size() * 2);
    std::memcpy(work.data(), sound.data(), work.size());
    mix_samples(work.data(), work.data(), static_cast<std::uint32_t>(work.size()), 16, volume);
    EXPECT_EQ(std::memcmp(work.data(), sound.data(), work.size()), 0) << volume;
  }
}


// At volume 1 the weighted sum b + 99 x s takes every value a convex mix can produce, so one
// buffer checks the rounding of all of them.
TEST(Mixer, EveryConvexSumRoundsToNearestEven) {
  constexpr std::int32_t kLowest = -3276800, kHighest = 3276700;  // 100 x the sample range
  std::vector<std::int16_t> sound, back;
  for (std::int32_t x = kLowest; x <= kHighest; ++x) {
    const std::int32_t s = std::clamp<std::int32_t>((x + 49 * (x < 0 ? -1 : 1)) / 99, -32768, 32767);
    sound.push_back(static_cast<std::int16_t>(s));
    back.push_back(static_cast<std::int16_t>(x - 99 * s));
  }
  std::vector<char> work(sound.size() * 2), background(back.size() * 2);
  std::memcpy(work.data(), sound.data(), work.size());
  std::memcpy(background.data(), back.data(), background.size());
  mix_samples(work.data(), background.data(), static_cast<std::uint32_t>(work.size()), 16, 1);
  for (std::size_t i = 0; i < sound.size(); ++i) {
    const std::int32_t x = back[i] + 99 * sound[i];
    std::int32_t q = (x - (x < 0 ? 99 : 0)) / 100;  // floor
    const std::int32_t r = x - 100 * q;
    q += (r > 50 || (r == 50 && (q & 1))) ? 1 : 0;
    std::int16_t got;
    std::memcpy(&got, work.data() + 2 * i, 2);
    ASSERT_EQ(got, q) << "sum " << x;
  }
}

}  // namespace
}  // namespace orvexa::components::testing

#include "components/voice/mixer.h"

#include <algorithm>
#include <cstring>

namespace orvexa::components {

namespace {

// n / 100 rounded to nearest, ties to even, for any sign of n.
inline std::int64_t div100_even(std::int64_t n) {
  std::int64_t q = n / 100;
  std::int64_t r = n % 100;
  if (r < 0) {  // make the remainder 0..99 with q = floor(n / 100)
    r += 100;
    --q;
  }
  if (r > 50 || (r == 50 && (q & 1))) ++q;
  return q;
}

// Volumes 0 to 100 (the ones the component is given in practice) in single precision, which the
// compiler turns into SIMD lanes. It is exact: v x b + w x s is an integer below 2^22 in
// magnitude, so it and both products are exact floats; the quotient by 100 is either exactly
// k + 1/2 (a tie, representable) or within 2^-9 of the true value while at least 1/100 away from
// any k + 1/2; adding and removing 1.5 x 2^23 then rounds it to nearest, ties to even. A convex
// mix never leaves the 16-bit range, so nothing needs clipping.
void mix16_convex(char* sound, const char* background, std::size_t n, std::int32_t v) {
  const auto vf = static_cast<float>(v);
  const auto wf = static_cast<float>(100 - v);
  constexpr float kRoundToInteger = 12582912.0f;
  for (std::size_t i = 0; i < n; ++i) {
    std::int16_t s, b;
    std::memcpy(&s, sound + 2 * i, 2);
    std::memcpy(&b, background + 2 * i, 2);
    const float quotient = (vf * b + wf * s) / 100.0f;
    const float rounded = (quotient + kRoundToInteger) - kRoundToInteger;
    const auto out = static_cast<std::int16_t>(static_cast<std::int32_t>(rounded));
    std::memcpy(sound + 2 * i, &out, 2);
  }
}

// Other volumes in 32-bit lanes without branches; exact for |volume| up to 10000, where
// v x sample stays far inside 32 bits.
void mix16_narrow(char* sound, const char* background, std::size_t n, std::int32_t v) {
  const std::int32_t w = 100 - v;
  for (std::size_t i = 0; i < n; ++i) {
    std::int16_t s, b;
    std::memcpy(&s, sound + 2 * i, 2);
    std::memcpy(&b, background + 2 * i, 2);
    // A bias of 100 x 2^23 makes the sum positive, so an unsigned division (a multiply) does;
    // 2^23 is even, so the parity used for ties is unchanged.
    const auto x = static_cast<std::uint32_t>(v * b + w * s + 100 * (1 << 23));
    std::uint32_t q = x / 100;
    const std::uint32_t r = x - q * 100;
    q += (r > 50) | ((r == 50) & (q & 1));
    const std::int32_t mixed = static_cast<std::int32_t>(q) - (1 << 23);
    const auto out = static_cast<std::int16_t>(std::clamp<std::int32_t>(mixed, -32768, 32767));
    std::memcpy(sound + 2 * i, &out, 2);
  }
}

}  // namespace

void mix_samples(char* sound, const char* background, std::uint32_t bytes, int bits, int volume) {
  const std::int64_t v = volume;
  const std::int64_t w = 100 - v;
  if (bits == 16 && volume >= 0 && volume <= 100) {
    mix16_convex(sound, background, bytes / 2, volume);
    return;
  }
  if (bits == 16 && volume >= -10000 && volume <= 10000) {
    mix16_narrow(sound, background, bytes / 2, volume);
    return;
  }
  if (bits == 16) {
    const std::uint32_t n = bytes / 2;
    for (std::uint32_t i = 0; i < n; ++i) {
      std::int16_t s, b;
      std::memcpy(&s, sound + 2 * i, 2);
      std::memcpy(&b, background + 2 * i, 2);
      const std::int64_t mixed = div100_even(v * b + w * s);
      const auto out = static_cast<std::int16_t>(std::clamp<std::int64_t>(mixed, -32768, 32767));
      std::memcpy(sound + 2 * i, &out, 2);
    }
    return;
  }
  for (std::uint32_t i = 0; i < bytes; ++i) {
    const std::int64_t s = static_cast<std::uint8_t>(sound[i]);
    const std::int64_t b = static_cast<std::uint8_t>(background[i]);
    sound[i] = static_cast<char>(std::clamp<std::int64_t>(div100_even(v * b + w * s), 0, 255));
  }
}

}  // namespace orvexa::components

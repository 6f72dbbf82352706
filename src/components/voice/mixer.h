// The background mixer's arithmetic: each sample becomes v x background + (1 - v) x sound with
// v = volume / 100, rounded to the nearest integer with ties to even, cut to the sample width.
// The weights stay whole percentages (0.3 has no exact binary form), so ties are decided exactly.
//
//   mix_samples(play_buffer, background_buffer, bytes, 16, 50);
#pragma once

#include <cstdint>

namespace orvexa::components {

// `bytes` of `sound` are mixed in place; 16-bit samples are signed little-endian (an odd last
// byte is left alone), any other width is mixed byte by byte as unsigned values.
void mix_samples(char* sound, const char* background, std::uint32_t bytes, int bits, int volume);

}  // namespace orvexa::components

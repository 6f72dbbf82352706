// The sound of simulated far ends: PCM in a line's output format, steady tones as voices, hold
// music looped from a WAVE file, and saturating mixes, so that a far end's record holds what a
// real party would have heard.
//
//   ToneVoice voice(1000);                     // a far end that speaks a 1 kHz tone
//   std::vector<std::int16_t> pcm(800);
//   voice.add_to(pcm, 8000);                   // 100 ms of it mixed in
//   std::vector<std::uint8_t> bytes = encode_pcm(pcm, audio::pcm_format());
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/wave_types.h"

namespace orvexa::telephony {

// Integer PCM of 8 to 32 bits: the first channel as 16-bit samples, and back into every channel.
std::vector<std::int16_t> decode_pcm(std::span<const std::uint8_t> bytes,
                                     const audio::WAVEFORMATEX& format);
std::vector<std::uint8_t> encode_pcm(std::span<const std::int16_t> samples,
                                     const audio::WAVEFORMATEX& format);
// Whole frames in `bytes` of the format (0 for a format without a frame size).
std::size_t frame_count(std::size_t bytes, const audio::WAVEFORMATEX& format);

// A steady sine tone whose phase carries on from one stretch to the next.
class ToneVoice {
 public:
  explicit ToneVoice(double hz = 0) : hz_(hz) {}
  bool silent() const { return hz_ <= 0; }
  void add_to(std::span<std::int16_t> samples, std::uint32_t rate);

 private:
  double hz_;
  double phase_ = 0;  // in cycles
};

// Sound to loop (hold music), as 16-bit mono at its own rate.
struct LoopSound {
  std::vector<std::int16_t> samples;
  std::uint32_t rate = 8000;
};

// Reads a PCM WAVE file; on failure `problem` says why.
std::shared_ptr<const LoopSound> load_loop_sound(const std::filesystem::path& file,
                                                 std::string& problem);

// The next samples of a looped sound at another rate (nearest sample), from position `at`
// (counted in the sound's own samples, times 2^16), which moves on.
void add_looped(const LoopSound& sound, std::uint64_t& at, std::span<std::int16_t> samples,
                std::uint32_t rate);

void mix_into(std::span<std::int16_t> into, std::span<const std::int16_t> add);

}  // namespace orvexa::telephony

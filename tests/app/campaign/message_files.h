// Message files for campaign tests and benchmarks: a quiet square tone as an 8 kHz 16-bit mono
// PCM WAVE file, the format the program records its messages in.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/audio/wave_file.h"

namespace orvexa::test_support {

inline void write_tone_wave(const std::filesystem::path& path, double seconds) {
  const auto samples = static_cast<std::uint32_t>(8000 * seconds);
  std::vector<std::uint8_t> bytes = audio::wave_header(audio::pcm_format(), samples * 2);
  for (std::uint32_t i = 0; i < samples; ++i) {
    const auto sample = static_cast<std::uint16_t>(i % 16 < 8 ? 1000 : -1000);
    bytes.push_back(static_cast<std::uint8_t>(sample & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(sample >> 8));
  }
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace orvexa::test_support

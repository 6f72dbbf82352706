// A strict reader of PCM WAVE files for tools and devices (the voice component reads through the
// mmio functions instead): finds the format and the sound data and says exactly what is wrong.
//
//   WaveFileInfo info;
//   if (read_wave_file("First.wav", info) == WaveProblem::None) seconds = info.seconds();
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "platform/audio/wave_types.h"

namespace orvexa::audio {

enum class WaveProblem {
  None,
  CannotOpen,
  IsDirectory,
  Empty,
  NotRiffWave,
  ChunkBeyondFile,
  NoFormat,
  DataBeforeFormat,
  FormatTooShort,
  NotPcm,
  ZeroChannels,
  ZeroRate,
  BadBitsPerSample,
  BadBlockAlign,
  BadAverageBytes,
  NoData,
  EmptyData,
};

std::string_view wave_problem_text(WaveProblem problem);

struct WaveFileInfo {
  WAVEFORMATEX format{};
  std::uint64_t file_size = 0;
  std::uint64_t data_offset = 0;  // absolute offset of the first sound byte
  std::uint64_t data_size = 0;
  double seconds() const {
    return format.nAvgBytesPerSec ? static_cast<double>(data_size) / format.nAvgBytesPerSec : 0;
  }
};

// Reads the chunks of a file in memory.
WaveProblem parse_wave(std::span<const std::uint8_t> bytes, WaveFileInfo& info);
// Reads only the chunk headers from disk; `data` (when given) receives the sound bytes.
WaveProblem read_wave_file(const std::filesystem::path& file, WaveFileInfo& info,
                           std::vector<std::uint8_t>* data = nullptr);

// The 44-byte canonical header for `data_size` bytes of sound (used by tools and tests).
std::vector<std::uint8_t> wave_header(const WAVEFORMATEX& format, std::uint32_t data_size);

}  // namespace orvexa::audio

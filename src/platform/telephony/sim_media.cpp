#include "platform/telephony/sim_media.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/audio/wave_file.h"

namespace orvexa::telephony {

namespace {

constexpr double kVoiceAmplitude = 6000;
constexpr std::uintmax_t kMaxLoopBytes = 64u << 20;

std::int16_t clamp16(int value) {
  return static_cast<std::int16_t>(std::clamp(value, -32768, 32767));
}

std::size_t sample_bytes(const audio::WAVEFORMATEX& f) { return f.wBitsPerSample / 8u; }

}  // namespace

std::size_t frame_count(std::size_t bytes, const audio::WAVEFORMATEX& format) {
  const std::size_t frame = sample_bytes(format) * format.nChannels;
  return frame ? bytes / frame : 0;
}

std::vector<std::int16_t> decode_pcm(std::span<const std::uint8_t> bytes,
                                     const audio::WAVEFORMATEX& format) {
  const std::size_t width = sample_bytes(format);
  const std::size_t frames = frame_count(bytes.size(), format);
  std::vector<std::int16_t> out(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    const std::uint8_t* s = bytes.data() + i * width * format.nChannels;
    // 8-bit PCM is unsigned; wider samples are signed little-endian, the top 16 bits kept.
    out[i] = width == 1 ? static_cast<std::int16_t>((s[0] - 128) * 256)
                        : static_cast<std::int16_t>(s[width - 2] | s[width - 1] << 8);
  }
  return out;
}

std::vector<std::uint8_t> encode_pcm(std::span<const std::int16_t> samples,
                                     const audio::WAVEFORMATEX& format) {
  const std::size_t width = sample_bytes(format);
  std::vector<std::uint8_t> out;
  if (width == 0) return out;
  out.reserve(samples.size() * width * format.nChannels);
  for (std::int16_t s : samples) {
    for (std::size_t c = 0; c < format.nChannels; ++c) {
      if (width == 1) {
        out.push_back(static_cast<std::uint8_t>((s >> 8) + 128));
        continue;
      }
      out.insert(out.end(), width - 2, 0);
      out.push_back(static_cast<std::uint8_t>(s & 0xFF));
      out.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
  }
  return out;
}

void ToneVoice::add_to(std::span<std::int16_t> samples, std::uint32_t rate) {
  if (silent() || rate == 0) return;
  const double step = hz_ / rate;
  for (std::int16_t& s : samples) {
    const double v = kVoiceAmplitude * std::sin(2 * std::numbers::pi * phase_);
    s = clamp16(s + static_cast<int>(std::lround(v)));
    phase_ += step;
    if (phase_ >= 1) phase_ -= 1;
  }
}

std::shared_ptr<const LoopSound> load_loop_sound(const std::filesystem::path& file,
                                                 std::string& problem) {
  // Only a regular file of sensible size: a device or pipe named here could block the reader.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    problem = std::filesystem::exists(file, ec) ? "is not a regular file" : "cannot be opened";
    return nullptr;
  }
  if (std::filesystem::file_size(file, ec) > kMaxLoopBytes || ec) {
    problem = "is larger than 64 MB";
    return nullptr;
  }
  audio::WaveFileInfo info;
  std::vector<std::uint8_t> data;
  const audio::WaveProblem p = audio::read_wave_file(file, info, &data);
  if (p != audio::WaveProblem::None) {
    problem = std::string(audio::wave_problem_text(p));
    return nullptr;
  }
  if (info.format.wFormatTag != audio::WAVE_FORMAT_PCM || info.format.wBitsPerSample % 8 != 0) {
    problem = "must be integer PCM";
    return nullptr;
  }
  auto sound = std::make_shared<LoopSound>();
  sound->samples = decode_pcm(data, info.format);
  sound->rate = info.format.nSamplesPerSec;
  if (sound->samples.empty()) {
    problem = "holds no whole sample";
    return nullptr;
  }
  return sound;
}

void add_looped(const LoopSound& sound, std::uint64_t& at, std::span<std::int16_t> samples,
                std::uint32_t rate) {
  if (sound.samples.empty() || rate == 0) return;
  const std::uint64_t length = std::uint64_t{sound.samples.size()} << 16;
  const std::uint64_t step = (std::uint64_t{sound.rate} << 16) / rate;
  for (std::int16_t& s : samples) {
    s = clamp16(s + sound.samples[at >> 16]);
    at = (at + step) % length;
  }
}

void mix_into(std::span<std::int16_t> into, std::span<const std::int16_t> add) {
  const std::size_t n = std::min(into.size(), add.size());
  for (std::size_t i = 0; i < n; ++i) into[i] = clamp16(into[i] + add[i]);
}

}  // namespace orvexa::telephony

#include "platform/audio/wave_file.h"

#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <system_error>

namespace orvexa::audio {

std::string_view wave_problem_text(WaveProblem problem) {
  switch (problem) {
    case WaveProblem::None: return "no problem";
    case WaveProblem::CannotOpen: return "the file cannot be opened";
    case WaveProblem::IsDirectory: return "a directory, not a file";
    case WaveProblem::Empty: return "the file is empty";
    case WaveProblem::NotRiffWave: return "not a RIFF WAVE file";
    case WaveProblem::ChunkBeyondFile: return "a chunk runs past the end of the file";
    case WaveProblem::NoFormat: return "no format chunk";
    case WaveProblem::DataBeforeFormat: return "the data chunk comes before the format chunk";
    case WaveProblem::FormatTooShort: return "the format chunk is shorter than 16 bytes";
    case WaveProblem::NotPcm: return "not PCM (compressed, floating point or extensible)";
    case WaveProblem::ZeroChannels: return "zero channels";
    case WaveProblem::ZeroRate: return "zero sample rate";
    case WaveProblem::BadBitsPerSample: return "bits per sample is not 8 or 16";
    case WaveProblem::BadBlockAlign: return "block align does not match channels and bits";
    case WaveProblem::BadAverageBytes: return "average bytes per second does not match the rate";
    case WaveProblem::NoData: return "no data chunk";
    case WaveProblem::EmptyData: return "the data chunk is empty";
  }
  return "unknown problem";
}

namespace {

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool looks_like_id(const std::uint8_t* p) {
  for (int i = 0; i < 4; ++i)
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  return true;
}

// Reads `n` bytes at `offset`; false when the source has fewer.
using ReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t n)>;

WaveProblem walk(const ReadAt& read, std::uint64_t size, WaveFileInfo& info) {
  info = WaveFileInfo{};
  info.file_size = size;
  if (size == 0) return WaveProblem::Empty;
  std::array<std::uint8_t, 12> riff{};
  if (size < 12 || !read(0, riff.data(), 12)) return WaveProblem::NotRiffWave;
  if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0)
    return WaveProblem::NotRiffWave;
  const std::uint64_t riff_end = 8 + std::uint64_t{le32(riff.data() + 4)};
  if (riff_end > size) return WaveProblem::ChunkBeyondFile;

  bool have_format = false;
  std::uint64_t pos = 12;
  while (pos + 8 <= riff_end) {
    std::array<std::uint8_t, 8> head{};
    if (!read(pos, head.data(), 8)) return WaveProblem::ChunkBeyondFile;
    if (!looks_like_id(head.data())) return have_format ? WaveProblem::NoData : WaveProblem::NoFormat;
    const std::uint64_t body = pos + 8;
    const std::uint64_t length = le32(head.data() + 4);
    if (body + length > riff_end) return WaveProblem::ChunkBeyondFile;
    if (std::memcmp(head.data(), "fmt ", 4) == 0 && !have_format) {
      if (length < 16) return WaveProblem::FormatTooShort;
      std::array<std::uint8_t, 16> f{};
      if (!read(body, f.data(), 16)) return WaveProblem::ChunkBeyondFile;
      WAVEFORMATEX& w = info.format;
      w.wFormatTag = le16(f.data());
      w.nChannels = le16(f.data() + 2);
      w.nSamplesPerSec = le32(f.data() + 4);
      w.nAvgBytesPerSec = le32(f.data() + 8);
      w.nBlockAlign = le16(f.data() + 12);
      w.wBitsPerSample = le16(f.data() + 14);
      if (w.wFormatTag != WAVE_FORMAT_PCM) return WaveProblem::NotPcm;
      if (w.nChannels == 0) return WaveProblem::ZeroChannels;
      if (w.nSamplesPerSec == 0) return WaveProblem::ZeroRate;
      if (w.wBitsPerSample != 8 && w.wBitsPerSample != 16) return WaveProblem::BadBitsPerSample;
      if (w.nBlockAlign != w.nChannels * w.wBitsPerSample / 8) return WaveProblem::BadBlockAlign;
      if (w.nAvgBytesPerSec != std::uint64_t{w.nSamplesPerSec} * w.nBlockAlign)
        return WaveProblem::BadAverageBytes;
      have_format = true;
    } else if (std::memcmp(head.data(), "data", 4) == 0) {
      if (!have_format) return WaveProblem::DataBeforeFormat;
      if (length == 0) return WaveProblem::EmptyData;
      info.data_offset = body;
      info.data_size = length;
      return WaveProblem::None;
    }
    std::uint64_t next = body + length;
    // Chunks are padded to even sizes; some writers forget, so take the unpadded place when
    // only it holds a chunk header.
    if (length % 2 == 1 && next + 1 + 8 <= riff_end) {
      std::array<std::uint8_t, 8> padded{};
      std::array<std::uint8_t, 8> bare{};
      const bool p_ok = read(next + 1, padded.data(), 8) && looks_like_id(padded.data());
      const bool b_ok = read(next, bare.data(), 8) && looks_like_id(bare.data());
      if (p_ok || !b_ok) next += 1;
    } else if (length % 2 == 1) {
      next += 1;
    }
    pos = next;
  }
  return have_format ? WaveProblem::NoData : WaveProblem::NoFormat;
}

}  // namespace

WaveProblem parse_wave(std::span<const std::uint8_t> bytes, WaveFileInfo& info) {
  const ReadAt read = [&](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset > bytes.size() || n > bytes.size() - offset) return false;
    std::memcpy(out, bytes.data() + offset, n);
    return true;
  };
  return walk(read, bytes.size(), info);
}

WaveProblem read_wave_file(const std::filesystem::path& file, WaveFileInfo& info,
                           std::vector<std::uint8_t>* data) {
  info = WaveFileInfo{};
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) return WaveProblem::IsDirectory;
  std::ifstream in(file, std::ios::binary);
  if (!in) return WaveProblem::CannotOpen;
  in.seekg(0, std::ios::end);
  const auto end = in.tellg();
  if (end < 0) return WaveProblem::CannotOpen;
  const ReadAt read = [&](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
    return in.gcount() == static_cast<std::streamsize>(n);
  };
  const WaveProblem p = walk(read, static_cast<std::uint64_t>(end), info);
  if (p == WaveProblem::None && data != nullptr) {
    data->resize(info.data_size);
    if (!read(info.data_offset, data->data(), data->size())) return WaveProblem::ChunkBeyondFile;
  }
  return p;
}

std::vector<std::uint8_t> wave_header(const WAVEFORMATEX& f, std::uint32_t data_size) {
  std::vector<std::uint8_t> h;
  h.reserve(44);
  auto put32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&](std::uint16_t v) {
    h.push_back(static_cast<std::uint8_t>(v));
    h.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) h.push_back(static_cast<std::uint8_t>(t[i]));
  };
  tag("RIFF");
  put32(36 + data_size + (data_size & 1));
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(f.wFormatTag);
  put16(f.nChannels);
  put32(f.nSamplesPerSec);
  put32(f.nAvgBytesPerSec);
  put16(f.nBlockAlign);
  put16(f.wBitsPerSample);
  tag("data");
  put32(data_size);
  return h;
}

}  // namespace orvexa::audio

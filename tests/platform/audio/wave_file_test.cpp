#include "platform/audio/wave_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/audio/mmio.h"
#include "platform/host/utf.h"

namespace orvexa::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes good(std::uint32_t data = 100) {
  Bytes b = wave_header(pcm_format(), data);
  b.resize(b.size() + data, 7);
  return b;
}

Bytes chunk(const char* id, const Bytes& body) {
  Bytes b;
  b.reserve(8 + body.size());
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(id[i]));
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(body.size() >> (8 * i)));
  for (auto x : body) b.push_back(x);
  return b;
}

Bytes riff(std::initializer_list<Bytes> chunks) {
  Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& c : chunks)
    for (auto x : c) b.push_back(x);
  put32(b, 4, static_cast<std::uint32_t>(b.size() - 8));
  return b;
}

Bytes fmt_body() {
  const Bytes g = good();
  return Bytes(g.begin() + 20, g.begin() + 36);
}

TEST(WaveFile, ParseTable) {
  struct Case {
    const char* name;
    Bytes bytes;
    WaveProblem want;
  };
  auto edit = [](Bytes b, std::size_t at, std::uint32_t v, int width = 4) {
    for (int i = 0; i < width; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return b;
  };
  Bytes odd_unpadded = riff({chunk("LIST", Bytes(3, 'x')), chunk("fmt ", fmt_body()),
                             chunk("data", Bytes(10, 1))});
  Bytes odd_padded = riff({chunk("LIST", Bytes{'x', 'x', 'x', 0}), chunk("fmt ", fmt_body()),
                           chunk("data", Bytes(10, 1))});
  put32(odd_padded, 16, 3);  // the LIST chunk says 3 bytes, and a pad byte follows
  const std::vector<Case> cases = {
      {"good", good(), WaveProblem::None},
      {"empty", {}, WaveProblem::Empty},
      {"text", Bytes(64, 'a'), WaveProblem::NotRiffWave},
      {"riff size beyond the file", edit(good(), 4, 0xFFFFFFFFu), WaveProblem::ChunkBeyondFile},
      {"data size beyond the file", edit(good(), 40, 1000), WaveProblem::ChunkBeyondFile},
      {"float", edit(good(), 20, 3, 2), WaveProblem::NotPcm},
      {"extensible", edit(good(), 20, 0xFFFE, 2), WaveProblem::NotPcm},
      {"zero channels", edit(good(), 22, 0, 2), WaveProblem::ZeroChannels},
      {"zero rate", edit(good(), 24, 0), WaveProblem::ZeroRate},
      {"24 bits", edit(good(), 34, 24, 2), WaveProblem::BadBitsPerSample},
      {"block align", edit(good(), 32, 4, 2), WaveProblem::BadBlockAlign},
      {"average bytes", edit(good(), 28, 12345), WaveProblem::BadAverageBytes},
      {"empty data", riff({chunk("fmt ", fmt_body()), chunk("data", {})}), WaveProblem::EmptyData},
      {"no format", riff({chunk("data", Bytes(10, 1))}), WaveProblem::DataBeforeFormat},
      {"only a list", riff({chunk("LIST", Bytes(10, 1))}), WaveProblem::NoFormat},
      {"no data", riff({chunk("fmt ", fmt_body())}), WaveProblem::NoData},
      {"short format", riff({chunk("fmt ", Bytes(14, 1))}), WaveProblem::FormatTooShort},
      {"odd chunk without its pad", odd_unpadded, WaveProblem::None},
      {"odd chunk with its pad", odd_padded, WaveProblem::None},
  };
  for (const Case& c : cases) {
    WaveFileInfo info;
    EXPECT_EQ(parse_wave(c.bytes, info), c.want) << c.name;
    if (c.want == WaveProblem::None) {
      EXPECT_GT(info.data_size, 0u) << c.name;
    }
  }
}

TEST(WaveFile, ReadsOnlyTheHeaderFromDisk) {
  const auto dir = std::filesystem::temp_directory_path() / "orvexa-wave-file-test";
  std::filesystem::create_directories(dir);
  const auto path = dir / "a.wav";
  {
    std::ofstream out(path, std::ios::binary);
    const Bytes b = good(16000);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  WaveFileInfo info;
  Bytes data;
  ASSERT_EQ(read_wave_file(path, info, &data), WaveProblem::None);
  EXPECT_EQ(info.data_offset, 44u);
  EXPECT_EQ(info.data_size, 16000u);
  EXPECT_DOUBLE_EQ(info.seconds(), 1.0);
  EXPECT_EQ(data, Bytes(16000, 7));
  EXPECT_EQ(read_wave_file(dir, info), WaveProblem::IsDirectory);
  EXPECT_EQ(read_wave_file(dir / "missing.wav", info), WaveProblem::CannotOpen);
  std::filesystem::remove_all(dir);
}

TEST(Mmio, ChunksAreCreatedWithSizesAndPadding) {
  const auto dir = std::filesystem::temp_directory_path() / "orvexa-mmio-test";
  std::filesystem::create_directories(dir);
  const std::u16string name = host::to_utf16((dir / "x.wav").string());
  MMRESULT e = 0;
  HMMIO f = mmioOpen(name, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE, e);
  ASSERT_TRUE(f) << e;
  MMRESULT second = 0;
  EXPECT_FALSE(mmioOpen(name, MMIO_READ, second));
  EXPECT_EQ(second, MMIOERR_SHARINGVIOLATION);
  MMCKINFO r{};
  r.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  ASSERT_EQ(mmioCreateChunk(f.get(), &r, MMIO_CREATERIFF), 0u);
  MMCKINFO d{};
  d.ckid = mmioFOURCC('d', 'a', 't', 'a');
  ASSERT_EQ(mmioCreateChunk(f.get(), &d, 0), 0u);
  ASSERT_EQ(mmioWrite(f.get(), "abc", 3), 3);
  ASSERT_EQ(mmioAscend(f.get(), &d, 0), 0u);
  ASSERT_EQ(mmioAscend(f.get(), &r, 0), 0u);
  ASSERT_EQ(mmioClose(f), 0u);

  HMMIO g = mmioOpen(name, MMIO_READ, e);
  ASSERT_TRUE(g);
  MMCKINFO rr{};
  rr.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  ASSERT_EQ(mmioDescend(g.get(), &rr, nullptr, MMIO_FINDRIFF), 0u);
  EXPECT_EQ(rr.cksize, 4u + 8 + 3 + 1);  // the pad byte is inside the RIFF chunk
  MMCKINFO dd{};
  dd.ckid = mmioFOURCC('d', 'a', 't', 'a');
  ASSERT_EQ(mmioDescend(g.get(), &dd, &rr, MMIO_FINDCHUNK), 0u);
  EXPECT_EQ(dd.cksize, 3u);
  char buf[8] = {};
  EXPECT_EQ(mmioRead(g.get(), buf, 8), 4);  // "abc" and the pad
  MMCKINFO missing{};
  missing.ckid = mmioFOURCC('f', 'm', 't', ' ');
  mmioSeek(g.get(), 12, SEEK_FROM_START);
  EXPECT_EQ(mmioDescend(g.get(), &missing, &rr, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
  g.reset();

  EXPECT_FALSE(mmioOpen(host::to_utf16((dir / "none.wav").string()), MMIO_READ, e));
  EXPECT_EQ(e, MMIOERR_FILENOTFOUND);
  EXPECT_FALSE(mmioOpen(host::to_utf16((dir / "no/none.wav").string()), MMIO_READ, e));
  EXPECT_EQ(e, MMIOERR_PATHNOTFOUND);
  EXPECT_FALSE(mmioOpen(host::to_utf16(dir.string()), MMIO_READ, e));
  EXPECT_EQ(e, MMIOERR_CANNOTOPEN);
  std::filesystem::remove_all(dir);
}

TEST(Text, Utf16RoundTrip) {
  const std::string s = "/tmp/پیام اول 😀.wav";
  EXPECT_EQ(host::to_utf8(host::to_utf16(s)), s);
  EXPECT_EQ(host::to_utf16("a").size(), 1u);
}

}  // namespace
}  // namespace orvexa::audio

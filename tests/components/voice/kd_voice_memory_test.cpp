#include <gtest/gtest.h>

#include "voice_fixture.h"

namespace orvexa::components::testing {
namespace {

using namespace std::chrono_literals;
using audio::pcm_format;

std::vector<std::uint8_t> samples16(std::size_t n, std::int16_t value) {
  std::vector<std::uint8_t> b;
  for (std::size_t i = 0; i < n; ++i) {
    b.push_back(static_cast<std::uint8_t>(value & 0xFF));
    b.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
  }
  return b;
}

std::int16_t sample(const std::vector<std::uint8_t>& b, std::size_t i) {
  return static_cast<std::int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
}

TEST(FmtByteToTime, Table) {
  struct Case {
    int rate, bits, channels, position, precision;
    const char* want;
  };
  const Case cases[] = {
      {8000, 16, 1, 15999, 0, "00:00"},     {8000, 16, 1, 15999, 1, "00:00:9"},
      {8000, 16, 1, 15999, 2, "00:00:99"},  {8000, 16, 1, 1000000, 2, "01:02:50"},
      {8000, 16, 1, 1000000, 1, "01:02:5"}, {0, 16, 1, 1000000, 2, "00:00:00"},
      {8000, 16, 1, -500, 0, "00:00"},      {8000, 16, 1, 120000000, 0, "125:00"},
      {11025, 8, 2, 22050, 2, "00:01:00"},  {8000, 16, 1, 16000 * 61 + 3200, 7, "01:01:20"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(KDVoice::FmtByteToTime(c.rate, c.bits, c.channels, c.position, c.precision), c.want)
        << c.position << " / " << c.precision;
}

TEST_F(VoiceTest, BackgroundMixingWeighsAndRoundsToEven) {
  struct Case {
    const char* name;
    int bits;
    int volume;
    int sound, background, want;
  };
  const Case cases[] = {
      {"half and half, tie to even", 16, 50, 1000, 3001, 2000},
      {"half and half, other tie", 16, 50, 1001, 3000, 2000},
      {"volume 0 leaves the sound", 16, 0, 1000, 3001, 1000},
      {"volume 100 is the background", 16, 100, 1000, 3001, 3001},
      {"30 percent", 16, 30, -1000, 1000, -400},
      {"above 100 clips high", 16, 150, -20000, 30000, 32767},
      {"above 100 clips low", 16, 150, 20000, -30000, -32768},
      {"eight bits as unsigned", 8, 50, 100, 201, 150},
      {"eight bits clip", 8, 200, 10, 250, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    events.clear();
    speaker->clear_heard();
    const auto f = pcm_format(8000, static_cast<audio::WORD>(c.bits), 1);
    const auto sound = c.bits == 16 ? samples16(2000, static_cast<std::int16_t>(c.sound))
                                    : std::vector<std::uint8_t>(2000, std::uint8_t(c.sound));
    const auto back = c.bits == 16 ? samples16(2000, static_cast<std::int16_t>(c.background))
                                   : std::vector<std::uint8_t>(2000, std::uint8_t(c.background));
    voice.SetBackgroundFiles(wave("back.wav", back, f));
    voice.SetBackgroundEnabled(true);
    voice.SetBackgroundVolume(c.volume);
    ASSERT_EQ(voice.Play(0, wave("sound.wav", sound, f), 0, -1), 0);
    loop.run_for(2s);
    const auto& heard = speaker->heard();
    ASSERT_EQ(heard.size(), sound.size());
    const int got = c.bits == 16 ? sample(heard, 500) : heard[500];
    EXPECT_EQ(got, c.want);
  }
}

TEST_F(VoiceTest, AShortBackgroundRunsOutOrRepeats) {
  const auto f = pcm_format(8000, 16, 1);
  voice.SetBackgroundFiles(wave("back.wav", samples16(1000, 2000), f));
  voice.SetBackgroundEnabled(true);
  voice.SetBackgroundVolume(50);
  for (const bool repeat : {false, true}) {
    SCOPED_TRACE(repeat);
    speaker->clear_heard();
    voice.SetBackgroundAutoRepeat(repeat);
    ASSERT_EQ(voice.Play(0, wave("sound.wav", samples16(6000, 0), f), 0, -1), 0);
    loop.run_for(2s);
    const auto& heard = speaker->heard();
    ASSERT_EQ(heard.size(), 12000u);
    EXPECT_EQ(sample(heard, 999), 1000);
    EXPECT_EQ(sample(heard, 1000), repeat ? 1000 : 0);
    EXPECT_EQ(sample(heard, 5999), repeat ? 1000 : 0);
  }
}

TEST_F(VoiceTest, ABackgroundOfAnotherFormatStopsEveryStart) {
  voice.SetBackgroundFiles(wave("back.wav", pattern(1000), pcm_format(11025, 16, 1)));
  const auto sound = wave("sound.wav", pattern(1000));
  EXPECT_EQ(voice.Play(0, sound, 0, -1), err::kDifferentFormats);
  voice.SetBackgroundFiles(u16(dir / "missing.wav"));
  EXPECT_EQ(voice.Play(0, sound, 0, -1), err::kFileNotFound);
  voice.SetBackgroundFiles(u"");
  EXPECT_EQ(voice.Play(0, sound, 0, -1), 0);
  EXPECT_TRUE(speaker->is_open());
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0}}));
}

TEST_F(VoiceTest, MemoryBackgroundImagesMixToo) {
  const auto f = pcm_format(8000, 16, 1);
  const auto image = wave_image(f, samples16(4000, 4000));
  voice.MemoryBackListAdd(image.data(), static_cast<std::uint32_t>(image.size()));
  voice.MemoryBackListAdd(nullptr, 10);  // ignored
  voice.SetBackgroundEnabled(true);
  voice.SetBackgroundVolume(25);
  ASSERT_EQ(voice.Play(0, wave("sound.wav", samples16(4000, 0), f), 0, -1), 0);
  loop.run_for(2s);
  ASSERT_EQ(speaker->heard().size(), 8000u);
  EXPECT_EQ(sample(speaker->heard(), 3999), 1000);
  voice.MemoryBackListClear();
}

TEST_F(VoiceTest, MemoryLoadFileReportsFileErrors) {
  const std::uint8_t* buffer = reinterpret_cast<const std::uint8_t*>(1);
  int size = 7;
  EXPECT_EQ(voice.MemoryLoadFile(u16(dir / "missing.wav"), buffer, size), err::kFileNotFound);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0);
  std::filesystem::create_directory(dir / "d");
  EXPECT_EQ(voice.MemoryLoadFile(u16(dir / "d"), buffer, size), err::kFileProtected);
  const auto bytes = pattern(1234);
  ASSERT_EQ(voice.MemoryLoadFile(file("x.bin", bytes), buffer, size), 0);
  ASSERT_EQ(size, 1234);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer));
  voice.MemoryRelease(buffer);
}

}  // namespace
}  // namespace orvexa::components::testing

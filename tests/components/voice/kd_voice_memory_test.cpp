#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "components/voice/mixer.h"
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

namespace orvexa::components::testing {
namespace {

// The integer mixer against the exact rational result: ties to even, any volume, both widths.
TEST(Mixer, MatchesExactRoundingForAnyVolume) {
  std::mt19937 random(9);
  for (const int volume : {-20000, -150, 0, 1, 30, 33, 50, 67, 99, 100, 101, 150, 9999, 20000}) {
    for (int round = 0; round < 2000; ++round) {
      const auto s = static_cast<std::int16_t>(random());
      const auto b = static_cast<std::int16_t>(random());
      char sound[2], back[2];
      std::memcpy(sound, &s, 2);
      std::memcpy(back, &b, 2);
      mix_samples(sound, back, 2, 16, volume);
      std::int16_t got;
      std::memcpy(&got, sound, 2);
      const long double exact =
          (static_cast<long double>(volume) * b + static_cast<long double>(100 - volume) * s) / 100;
      const long double want = std::clamp(std::nearbyint(exact), -32768.0L, 32767.0L);
      ASSERT_EQ(got, static_cast<std::int16_t>(want)) << volume << " " << s << " " << b;
      const auto s8 = static_cast<std::uint8_t>(s), b8 = static_cast<std::uint8_t>(b);
      char byte = static_cast<char>(s8);
      const char back8 = static_cast<char>(b8);
      mix_samples(&byte, &back8, 1, 8, volume);
      const long double exact8 = (static_cast<long double>(volume) * b8 + (100.0L - volume) * s8) / 100;
      ASSERT_EQ(static_cast<std::uint8_t>(byte),
                static_cast<std::uint8_t>(std::clamp(std::nearbyint(exact8), 0.0L, 255.0L)))
          << volume << " " << int{s8} << " " << int{b8};
    }
  }
}

TEST_F(VoiceTest, AListLongerThanThirtyTwoBitsIsRefused) {
  const auto name = wave("a.wav", pattern(22000));
  int total = -1;
  // 98000 x 22000 bytes pass 2^31: TotalSize and positions could not report it.
  EXPECT_EQ(voice.PlayMultipleFiles(0, name + u">98000", total), err::kInvalidArgument);
  EXPECT_EQ(total, 0);
  EXPECT_EQ(voice.PlayingState(), psIdle);
  EXPECT_TRUE(events.empty());
}

TEST_F(VoiceTest, AFailingPositionQueryStopsTimerPlayWithError50) {
  int ticks = 0;
  voice.OnTimerPlay = [&](KDVoice&, int) { ++ticks; };
  voice.TimerPlay().SetEnabled(true);
  ASSERT_EQ(voice.Play(0, wave("a.wav", pattern(64000)), 0, -1), 0);
  loop.run_for(1500ms);
  EXPECT_EQ(ticks, 2);  // at the start and after 990 ms
  speaker->faults().position_fails = true;
  loop.run_for(600ms);
  EXPECT_EQ(events.back(), (Event{ssError, 0, err::kTimerResources}));
  EXPECT_FALSE(voice.TimerPlay().Running());
  speaker->faults().position_fails = false;
  loop.run_for(3s);
  EXPECT_EQ(ticks, 3);  // no more periodic ticks: only the closing one of the natural end
  EXPECT_EQ(events.back(), (Event{ssPlayDone, 63999, 0}));
}

TEST_F(VoiceTest, TimerRecTicksWithTheRecordingPosition) {
  std::vector<int> ticks;
  voice.OnTimerRec = [&](KDVoice&, int pos) { ticks.push_back(pos); };
  voice.TimerRec().SetEnabled(true);
  mic->play_wave_file(dir / "none.wav");  // not readable: the microphone stays silent
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  loop.run_for(2s);
  voice.RecStop();
  // First block: no position yet; then the bytes written so far, and the closing tick.
  ASSERT_GE(ticks.size(), 3u);
  EXPECT_EQ(ticks.front(), 0);
  EXPECT_EQ(ticks.back(), 28799);
}

TEST_F(VoiceTest, TheMicrophoneCanSpeakAWaveFile) {
  const auto data = pattern(14400, 4);
  write_bytes(dir / "say.wav", wave_image(audio::pcm_format(), data));
  ASSERT_TRUE(mic->play_wave_file(dir / "say.wav"));
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  loop.run_for(1s);
  voice.RecStop();
  const auto f = read_bytes(dir / "a.wav");
  ASSERT_EQ(f.size(), 46u + 14400);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), f.begin() + 46));
}

}  // namespace
}  // namespace orvexa::components::testing

#include <dirent.h>
#include <gtest/gtest.h>

#include "voice_fixture.h"

namespace orvexa::components::testing {
namespace {

using namespace std::chrono_literals;
using audio::pcm_format;
using audio::WAVEFORMATEX;

int open_descriptors() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (::readdir(d) != nullptr) ++n;
    ::closedir(d);
  }
  return n;
}

std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& v, std::size_t from,
                                std::size_t to_inclusive) {
  return {v.begin() + static_cast<std::ptrdiff_t>(from),
          v.begin() + static_cast<std::ptrdiff_t>(to_inclusive + 1)};
}

TEST_F(VoiceTest, PlaysAWholeFileAndReportsItsLastByte) {
  const auto data = pattern(16000);
  ASSERT_EQ(voice.Play(0, wave("a.wav", data), 0, -1), 0);
  EXPECT_EQ(voice.PlayingState(), psPlaying);
  EXPECT_EQ(voice.FmtPlaySamplesPerSec(), 8000);
  loop.run_for(3s);
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0}, {ssPlayDone, 15999, 0}}));
  EXPECT_EQ(speaker->heard(), data);
  EXPECT_EQ(voice.PlayingState(), psIdle);
  EXPECT_EQ(busy.depth, 0);
  EXPECT_GE(busy.begun, 1);
}

TEST_F(VoiceTest, StartAndEndCoverWholeFrames) {
  struct Case {
    const char* name;
    WAVEFORMATEX format;
    int start, end;
    std::size_t first, last;
  };
  const Case cases[] = {
      {"mono16 odd start", pcm_format(8000, 16, 1), 3, 100, 2, 101},
      {"mono16 to the end", pcm_format(8000, 16, 1), 0, -1, 0, 15999},
      {"end beyond data", pcm_format(8000, 16, 1), 10, 99999, 10, 15999},
      {"start beyond end", pcm_format(8000, 16, 1), 20000, -1, 15998, 15999},
      {"stereo16 mid-frame", pcm_format(8000, 16, 2), 5, 10, 4, 11},
      {"mono8 any byte", pcm_format(8000, 8, 1), 3, 100, 3, 100},
      {"stereo8 odd", pcm_format(8000, 8, 2), 3, 100, 2, 101},
  };
  const auto data = pattern(16000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    events.clear();
    speaker->clear_heard();
    ASSERT_EQ(voice.Play(0, wave("s.wav", data, c.format), c.start, c.end), 0);
    loop.run_for(5s);
    EXPECT_EQ(speaker->heard(), slice(data, c.first, c.last));
    EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, c.start, 0},
                                          {ssPlayDone, static_cast<int>(c.last), 0}}));
  }
}

TEST_F(VoiceTest, BrokenFilesGiveAnErrorAndLeaveNothingOpen) {
  const auto good = wave_image(pcm_format(), pattern(800));
  auto with = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
    auto v = good;
    std::copy(bytes.begin(), bytes.end(), v.begin() + static_cast<std::ptrdiff_t>(at));
    return v;
  };
  auto le32 = [](std::uint32_t x) {
    return std::vector<std::uint8_t>{std::uint8_t(x), std::uint8_t(x >> 8), std::uint8_t(x >> 16),
                                     std::uint8_t(x >> 24)};
  };
  // fmt chunk at 12, its fields at 20; data chunk header at 36.
  std::vector<std::uint8_t> data_first = good;
  std::rotate(data_first.begin() + 12, data_first.begin() + 36, data_first.begin() + 44);
  std::vector<std::uint8_t> no_fmt(good.begin(), good.begin() + 12);
  no_fmt.insert(no_fmt.end(), good.begin() + 36, good.end());
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int want;
  };
  const std::vector<Case> cases = {
      {"floating point", with(20, {3, 0}), err::kNotPcmWave},
      {"extensible", with(20, {0xFE, 0xFF}), err::kNotPcmWave},
      {"text file", std::vector<std::uint8_t>(100, 'x'), err::kNotPcmWave},
      {"empty file", {}, err::kNotPcmWave},
      {"empty data", with(40, le32(0)), err::kFileEmpty},
      {"data beyond the file", with(40, le32(0xFFFFFFF0u)), err::kFileReadWrite},
      {"format chunk too short", with(16, le32(14)), err::kNotPcmWave},
      {"zero channels", with(22, {0, 0}), err::kNotPcmWave},
      {"zero rate", with(24, le32(0)), err::kNotPcmWave},
      {"absurd average bytes", with(28, le32(0xFFFFFFFFu)), err::kNotPcmWave},
      {"block align mismatch", with(32, {7, 0}), err::kNotPcmWave},
      {"data before format", data_first, err::kNotPcmWave},
      {"no format chunk", no_fmt, err::kNotPcmWave},
      {"cut inside the format", std::vector<std::uint8_t>(good.begin(), good.begin() + 30),
       err::kFileReadWrite},
  };
  const int fds = open_descriptors();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(voice.Play(0, file("bad.wav", c.bytes), 0, -1), c.want);
    int size = 1, rate = 1, bits = 1, channels = 1;
    EXPECT_EQ(voice.MemoryGetInfo(c.bytes.data(), static_cast<std::uint32_t>(c.bytes.size()), size,
                                  rate, bits, channels),
              c.bytes.empty() ? err::kFileCannotOpen : c.want);
    EXPECT_EQ(size + rate + bits + channels, 0);
  }
  std::filesystem::create_directory(dir / "folder.wav");
  EXPECT_EQ(voice.Play(0, u16(dir / "folder.wav"), 0, -1), err::kFileCannotOpen);
  EXPECT_EQ(voice.Play(0, u16(dir / "missing.wav"), 0, -1), err::kFileNotFound);
  EXPECT_EQ(voice.Play(0, u"", 0, -1), err::kInvalidArgument);
  EXPECT_EQ(voice.Play(-2, wave("ok.wav", pattern(800)), 0, -1), err::kSoundBadDeviceId);
  EXPECT_EQ(voice.Play(0, wave("ok.wav", pattern(800)), 0, -5), err::kInvalidArgument);
  EXPECT_EQ(open_descriptors(), fds);
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(speaker->is_open());
  EXPECT_EQ(busy.depth, 0);
}

TEST_F(VoiceTest, AFailedDeviceOpenClosesTheFile) {
  const auto name = wave("a.wav", pattern(8000));
  const int fds = open_descriptors();
  struct Case {
    audio::MMRESULT device;
    int want;
  };
  for (const Case c : {Case{audio::MMSYSERR_ALLOCATED, err::kSoundAllocated},
                       Case{audio::MMSYSERR_NOMEM, err::kSoundNotEnabled},
                       Case{audio::WAVERR_BADFORMAT, err::kSoundBadFormat}}) {
    speaker->faults().open = c.device;
    EXPECT_EQ(voice.Play(0, name, 0, -1), c.want);
    EXPECT_EQ(open_descriptors(), fds);
    EXPECT_EQ(voice.PlayingState(), psIdle);
  }
  EXPECT_TRUE(events.empty());
  speaker->faults().open = 0;
  // The file is not left locked either: it can be replaced at once.
  EXPECT_EQ(voice.Rec(0, name), 0);
  voice.RecStop();
}

TEST_F(VoiceTest, PauseResumeAndStopReportThePositionOfThePause) {
  const auto data = pattern(32000);
  const auto name = wave("a.wav", data);
  EXPECT_EQ(voice.PlayPause(), 0);
  voice.PlayStop();
  EXPECT_TRUE(events.empty());

  ASSERT_EQ(voice.Play(0, name, 0, -1), 0);
  loop.run_for(700ms);
  EXPECT_EQ(voice.PlayPause(), 0);
  EXPECT_EQ(voice.PlayingState(), psPaused);
  loop.run_for(5s);
  EXPECT_EQ(speaker->heard().size(), 8000u);
  EXPECT_EQ(voice.PlayContinue(), 0);
  loop.run_for(3s);
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0},
                                        {ssPlayPaused, 11200, 0},
                                        {ssPlayResumed, 11200, 0},
                                        {ssPlayDone, 31999, 0}}));
  EXPECT_EQ(speaker->heard(), data);

  events.clear();
  ASSERT_EQ(voice.Play(0, name, 0, -1), 0);
  loop.run_for(300ms);
  voice.PlayPause();
  loop.run_for(1s);
  voice.PlayStop();
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0},
                                        {ssPlayPaused, 4800, 0},
                                        {ssPlayDone, 4800, 0}}));
}

TEST_F(VoiceTest, ABufferReturnedAsThePauseBeginsIsNotLost) {
  // A block comes back from the device just as playback pauses; the last block matters most,
  // since only its return ends the sound.
  struct Case {
    std::size_t blocks;
    std::size_t pause_at;  // the returned block (1-based) that triggers the pause
  };
  for (const Case c : {Case{2, 2}, Case{3, 1}, Case{3, 3}, Case{4, 2}}) {
    SCOPED_TRACE(std::to_string(c.blocks) + " blocks, pause at " + std::to_string(c.pause_at));
    events.clear();
    speaker->clear_heard();
    const auto data = pattern(8000 * c.blocks);
    std::size_t returned = 0;
    speaker->set_listener([&](auto, auto) {
      if (++returned == c.pause_at) voice.PlayPause();
    });
    ASSERT_EQ(voice.Play(0, wave("a.wav", data), 0, -1), 0);
    loop.run_for(5s);
    EXPECT_EQ(voice.PlayingState(), psPaused);
    EXPECT_EQ(voice.PlayContinue(), 0);
    loop.run_for(5s);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), (Event{ssPlayDone, static_cast<int>(data.size() - 1), 0}));
    EXPECT_EQ(speaker->heard(), data);
    speaker->set_listener({});
  }
}

TEST_F(VoiceTest, PlayDoneArrivesEvenWhenThePositionCannotBeAsked) {
  ASSERT_EQ(voice.Play(0, wave("a.wav", pattern(32000)), 0, -1), 0);
  loop.run_for(700ms);
  audio.inject_fault("waveOutGetPosition", audio::MMSYSERR_NODRIVER);
  voice.PlayStop();
  // The device had handed back one block of 8000 bytes when last heard from.
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0}, {ssPlayDone, 8000, 0}}));
}

TEST_F(VoiceTest, AutoRepeatLoopsUntilStopped) {
  const auto data = pattern(8000);
  voice.SetAutoRepeat(true);
  ASSERT_EQ(voice.Play(0, wave("a.wav", data), 0, -1), 0);
  loop.run_for(2100ms);
  voice.PlayStop();
  ASSERT_GE(speaker->heard().size(), 4 * data.size());
  for (std::size_t i = 0; i < speaker->heard().size(); i += data.size())
    EXPECT_EQ(slice(speaker->heard(), i, i + data.size() - 1), data) << "repeat at " << i;
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].state, ssPlayDone);
}

TEST_F(VoiceTest, ListsPlayBackToBackAndRefuseMixedFormats) {
  const auto a = pattern(8000, 1), b = pattern(4000, 2);
  const auto first = wave("a.wav", a);
  wave("b.wav", b);
  wave("c.wav", pattern(4000), pcm_format(11025, 16, 1));
  int total = -1;
  ASSERT_EQ(voice.PlayMultipleFiles(0, first + u"|b.wav>2", total), 0);
  EXPECT_EQ(total, 16000);
  loop.run_for(3s);
  std::vector<std::uint8_t> want = a;
  want.insert(want.end(), b.begin(), b.end());
  want.insert(want.end(), b.begin(), b.end());
  EXPECT_EQ(speaker->heard(), want);
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0}, {ssPlayDone, 15999, 0}}));

  events.clear();
  EXPECT_EQ(voice.PlayMultipleFiles(0, first + u"\r\nc.wav", total), err::kDifferentFormats);
  // A later entry whose average-bytes field is larger than its rate allows would need bigger
  // buffers than the first entry's: it is refused before anything plays.
  auto absurd = wave_image(pcm_format(), pattern(4000));
  absurd[28] = 0xFF, absurd[29] = 0xFF, absurd[30] = 0x0F;
  file("d.wav", absurd);
  EXPECT_EQ(voice.PlayMultipleFiles(0, first + u"|d.wav", total), err::kNotPcmWave);
  EXPECT_EQ(voice.PlayMultipleFiles(0, u"", total), err::kInvalidArgument);
  EXPECT_EQ(voice.PlayMultipleFiles(0, first + u">99999999999", total), err::kInvalidArgument);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(voice.PlayingState(), psIdle);
}

TEST_F(VoiceTest, MemoryListsPlayAndReleaseStopsWhatReadsTheImage) {
  const auto a = pattern(8000, 3);
  const auto name = wave("a.wav", a);
  const std::uint8_t* image = nullptr;
  int size = 0;
  ASSERT_EQ(voice.MemoryLoadFile(name, image, size), 0);
  ASSERT_NE(image, nullptr);
  voice.MemoryListAdd(image, static_cast<std::uint32_t>(size));
  voice.MemoryListAdd(image, static_cast<std::uint32_t>(size));
  int total = 0;
  ASSERT_EQ(voice.MemoryListPlay(0, total), 0);
  EXPECT_EQ(total, 16000);
  loop.run_for(700ms);
  voice.MemoryRelease(image);
  EXPECT_EQ(voice.PlayingState(), psIdle);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].state, ssPlayDone);
  voice.MemoryRelease(image);  // a second release finds nothing to free
  const std::uint8_t foreign[4] = {};
  voice.MemoryRelease(foreign);
  EXPECT_EQ(voice.MemoryListPlay(0, total), err::kFileEmpty);
  EXPECT_EQ(voice.MemoryPlay(nullptr, 0, 0, 0, -1), err::kFileEmpty);
}

TEST_F(VoiceTest, ADeviceThatGoesAwayEndsPlayback) {
  const auto speaker_id = audio.devices(audio::Direction::Playback).front().id;
  ASSERT_EQ(voice.Play(0, wave("a.wav", pattern(32000)), 0, -1), 0);
  loop.run_for(600ms);
  audio.remove_device(speaker_id);
  loop.run_for(100ms);
  // The returned buffers cannot be written again: playback stops, then says why.
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[1].state, ssPlayDone);
  EXPECT_EQ(events[2], (Event{ssError, 0, err::kSoundNoDriver}));
  EXPECT_EQ(voice.PlayingState(), psIdle);
}

TEST_F(VoiceTest, NewPlaybackFromInsidePlayDoneFollowsTheOldOne) {
  const auto name = wave("a.wav", pattern(4000));
  int starts = 0;
  voice.OnSoundState = [&](KDVoice& v, TSoundState s, int pos, int err) {
    events.push_back({s, pos, err});
    if (s == ssPlayDone && starts++ == 0) {
      EXPECT_EQ(v.Play(0, name, 0, -1), 0);
    }
  };
  ASSERT_EQ(voice.Play(0, name, 0, -1), 0);
  loop.run_for(3s);
  EXPECT_EQ(events, (std::vector<Event>{{ssPlayBegin, 0, 0},
                                        {ssPlayDone, 3999, 0},
                                        {ssPlayBegin, 0, 0},
                                        {ssPlayDone, 3999, 0}}));
}

TEST_F(VoiceTest, TimerPlayTicksWithThePositionAndStopsWithPlayback) {
  std::vector<std::pair<messaging::Duration, int>> ticks;
  const auto t0 = clock.now();
  voice.OnTimerPlay = [&](KDVoice&, int pos) { ticks.emplace_back(clock.now() - t0, pos); };
  voice.TimerPlay().SetEnabled(true);
  ASSERT_EQ(voice.Play(0, wave("a.wav", pattern(40000)), 0, -1), 0);
  loop.run_for(10s);
  using D = messaging::Duration;
  const std::vector<std::pair<D, int>> want = {
      {D(0ms), 0}, {D(990ms), 15840}, {D(1980ms), 31680}, {D(2500ms), 39999}};
  EXPECT_EQ(ticks, want);
}

TEST_F(VoiceTest, DestroyingWhilePlayingRaisesNothing) {
  auto v = std::make_unique<KDVoice>(loop, VoiceServices{audio, busy, box, nullptr});
  int raised = 0;
  v->OnSoundState = [&](KDVoice&, TSoundState, int, int) { ++raised; };
  ASSERT_EQ(v->Play(0, wave("a.wav", pattern(16000)), 0, -1), 0);
  loop.run_for(200ms);
  v.reset();
  loop.run_for(2s);
  EXPECT_EQ(raised, 1);
  EXPECT_FALSE(speaker->is_open());
}

TEST_F(VoiceTest, ValidateFileTellsTheFormatWithoutPlaying) {
  int size = 0, rate = 0, bits = 0, channels = 0;
  ASSERT_EQ(voice.ValidateFile(wave("a.wav", pattern(2200), pcm_format(11025, 8, 2)), size, rate,
                               bits, channels),
            0);
  EXPECT_EQ(std::vector<int>({size, rate, bits, channels}), std::vector<int>({2200, 11025, 8, 2}));
  EXPECT_EQ(voice.ValidateFile(u"", size, rate, bits, channels), err::kInvalidArgument);
  EXPECT_EQ(voice.FmtPlaySamplesPerSec(), 0);
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace orvexa::components::testing

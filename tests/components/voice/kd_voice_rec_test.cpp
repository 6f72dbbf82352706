#include <gtest/gtest.h>

#include "voice_fixture.h"

namespace orvexa::components::testing {
namespace {

using namespace std::chrono_literals;

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint16_t le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::string tag(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::string(b.begin() + static_cast<std::ptrdiff_t>(at),
                     b.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

// Checks the 46-byte layout and returns the sound bytes.
std::vector<std::uint8_t> check_layout(const std::vector<std::uint8_t>& f, int channels, int rate,
                                       int bits) {
  EXPECT_GE(f.size(), 46u);
  if (f.size() < 46) return {};
  const int align = channels * bits / 8;
  EXPECT_EQ(tag(f, 0), "RIFF");
  EXPECT_EQ(le32(f, 4), f.size() - 8);
  EXPECT_EQ(tag(f, 8), "WAVE");
  EXPECT_EQ(tag(f, 12), "fmt ");
  EXPECT_EQ(le32(f, 16), 18u);
  EXPECT_EQ(le16(f, 20), 1);
  EXPECT_EQ(le16(f, 22), channels);
  EXPECT_EQ(le32(f, 24), static_cast<std::uint32_t>(rate));
  EXPECT_EQ(le32(f, 28), static_cast<std::uint32_t>(rate * align));
  EXPECT_EQ(le16(f, 32), align);
  EXPECT_EQ(le16(f, 34), bits);
  EXPECT_EQ(le16(f, 36), 0);
  EXPECT_EQ(tag(f, 38), "data");
  const std::uint32_t n = le32(f, 42);
  EXPECT_EQ(f.size(), 46 + n + (n & 1));
  return {f.begin() + 46, f.begin() + 46 + std::min<std::size_t>(n, f.size() - 46)};
}

std::vector<std::int16_t> ramp(std::size_t n) {
  std::vector<std::int16_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int16_t>(i * 37 - 20000);
  return v;
}

std::vector<std::uint8_t> bytes_of(const std::vector<std::int16_t>& s) {
  std::vector<std::uint8_t> b;
  for (auto x : s) {
    b.push_back(static_cast<std::uint8_t>(x & 0xFF));
    b.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
  }
  return b;
}

TEST_F(VoiceTest, RecordsFirstWavWithTheDocumentedLayout) {
  const auto samples = ramp(40000);
  mic->push_samples(samples);
  const auto name = u16(dir / "First.wav");
  ASSERT_EQ(voice.Rec(0, name), 0);
  EXPECT_EQ(voice.RecordingState(), rsRecording);
  loop.run_for(2s);
  voice.RecStop();
  EXPECT_EQ(voice.RecordingState(), rsIdle);
  const auto f = read_bytes(dir / "First.wav");
  const auto sound = check_layout(f, 1, 8000, 16);
  // Four whole blocks of 7200 bytes reached the file; the block still in the device is dropped.
  ASSERT_EQ(sound.size(), 4u * 7200);
  const auto pushed = bytes_of(samples);
  EXPECT_TRUE(std::equal(sound.begin(), sound.end(), pushed.begin()));
  EXPECT_EQ(events, (std::vector<Event>{{ssRecBegin, 0, 0}, {ssRecDone, 28799, 0}}));
  EXPECT_FALSE(mic->is_open());
}

TEST_F(VoiceTest, EightBitOddSizesGetAPadByte) {
  voice.SetFmtRecBitsPerSample(8);
  voice.SetFmtRecSamplesPerSec(11025);
  ASSERT_EQ(voice.Rec(0, u16(dir / "odd.wav")), 0);
  loop.run_for(500ms);
  voice.RecStop();
  const auto f = read_bytes(dir / "odd.wav");
  const auto sound = check_layout(f, 1, 11025, 8);
  EXPECT_EQ(sound.size(), 4961u);  // one block of 0.45 s at 11025 bytes a second
  EXPECT_EQ(f.back(), 0);
  EXPECT_EQ(f.size(), 46u + 4961 + 1);
}

TEST_F(VoiceTest, ASecondRecordingIsRefused) {
  auto other = std::make_shared<audio::VirtualCaptureDevice>(loop, u"Line In");
  audio.add_capture_device(other);
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  EXPECT_EQ(voice.Rec(0, u16(dir / "b.wav")), err::kAlreadyInProgress);
  EXPECT_EQ(voice.Rec(1, u16(dir / "b.wav")), err::kTwoRecordingDevices);
  EXPECT_EQ(voice.Rec(-2, u16(dir / "b.wav")), err::kTwoRecordingDevices);
  EXPECT_FALSE(std::filesystem::exists(dir / "b.wav"));
  voice.RecStop();
  EXPECT_EQ(voice.Rec(-2, u16(dir / "b.wav")), err::kSoundBadDeviceId);
  EXPECT_EQ(voice.Rec(0, u""), err::kInvalidArgument);
  EXPECT_FALSE(mic->is_open());
}

TEST_F(VoiceTest, ABusyDeviceLeavesTheOldMessageAlone) {
  const std::vector<std::uint8_t> old = wave_image(audio::pcm_format(), pattern(3000));
  write_bytes(dir / "First.wav", old);
  struct Case {
    audio::MMRESULT device;
    int want;
  };
  for (const Case c : {Case{audio::MMSYSERR_ALLOCATED, err::kSoundAllocated},
                       Case{audio::MMSYSERR_NOMEM, err::kSoundNotEnabled},
                       Case{audio::MMSYSERR_BADDEVICEID, err::kSoundBadDeviceId}}) {
    mic->faults().open = c.device;
    EXPECT_EQ(voice.Rec(0, u16(dir / "First.wav")), c.want);
    EXPECT_EQ(read_bytes(dir / "First.wav"), old);
  }
  mic->faults().open = 0;
  voice.SetFmtRecSamplesPerSec(0);  // accepted; the device refuses it
  EXPECT_EQ(voice.Rec(0, u16(dir / "First.wav")), err::kSoundBadFormat);
  EXPECT_EQ(read_bytes(dir / "First.wav"), old);
  EXPECT_TRUE(events.empty());
}

TEST_F(VoiceTest, RecordingFormatRefusesBadValues) {
  struct Case {
    const char* name;
    void (KDVoice::*set)(int);
    int value;
    const char* message;
  };
  const Case cases[] = {
      {"bits 12", &KDVoice::SetFmtRecBitsPerSample, 12,
       "The valid values for the FmtRecBitsPerSample are 8 or 16."},
      {"channels 0", &KDVoice::SetFmtRecChannels, 0,
       "Invalid value for FmtRecChannels property specified."},
      {"channels beyond 16 bits", &KDVoice::SetFmtRecChannels, 70000,
       "Invalid value for FmtRecChannels property specified."},
      {"rate -1", &KDVoice::SetFmtRecSamplesPerSec, -1,
       "Invalid value for FmtRecSamplesPerSec property specified."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    box.shown.clear();
    (voice.*c.set)(c.value);
    EXPECT_EQ(box.shown, std::vector<std::string>{c.message});
    EXPECT_EQ(voice.FmtRecBitsPerSample(), 16);
    EXPECT_EQ(voice.FmtRecChannels(), 1);
    EXPECT_EQ(voice.FmtRecSamplesPerSec(), 8000);
  }
}

TEST_F(VoiceTest, AFormatChangeWhileListeningAppliesAtTheNextOpening) {
  ASSERT_EQ(voice.ListenStart(0), 0);
  voice.SetFmtRecSamplesPerSec(11025);
  voice.SetFmtRecBitsPerSample(8);
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  loop.run_for(1s);
  voice.RecStop();
  // The device still delivers 8000 Hz 16-bit blocks: the header says so.
  const auto sound = check_layout(read_bytes(dir / "a.wav"), 1, 8000, 16);
  EXPECT_EQ(sound.size() % 7200, 0u);
  EXPECT_GT(sound.size(), 0u);
  voice.ListenStop();
  ASSERT_EQ(voice.Rec(0, u16(dir / "b.wav")), 0);
  loop.run_for(1s);
  voice.RecStop();
  check_layout(read_bytes(dir / "b.wav"), 1, 11025, 8);
}

TEST_F(VoiceTest, AShortWriteEndsTheRecordingWithAConsistentFile) {
  audio::MmioFaults faults;
  faults.write_limit = 46 + 7200 + 1000;  // the second block only partly fits
  voice.SetRecordFileFaults(faults);
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  loop.run_for(2s);
  EXPECT_EQ(voice.RecordingState(), rsIdle);
  EXPECT_EQ(events, (std::vector<Event>{{ssRecBegin, 0, 0},
                                        {ssRecDone, 8199, 0},
                                        {ssError, 0, err::kFileReadWrite}}));
}

TEST_F(VoiceTest, ARecordingStopsBeforeTheRiffSizeOverflows) {
  voice.SetRiffLimit(38 + 2 * 7200 + 100);
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  loop.run_for(5s);
  EXPECT_EQ(events, (std::vector<Event>{{ssRecBegin, 0, 0},
                                        {ssRecDone, 14399, 0},
                                        {ssError, 0, err::kFileCannotWrite}}));
  const auto sound = check_layout(read_bytes(dir / "a.wav"), 1, 8000, 16);
  EXPECT_EQ(sound.size(), 14400u);
}

TEST_F(VoiceTest, PauseDropsBlocksAndResumeWritesAgain) {
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  loop.run_for(1s);  // two blocks
  EXPECT_EQ(voice.RecPause(), 0);
  EXPECT_EQ(voice.RecordingState(), rsPaused);
  loop.run_for(2s);
  EXPECT_EQ(voice.RecContinue(), 0);
  loop.run_for(1s);
  voice.RecStop();
  const auto sound = check_layout(read_bytes(dir / "a.wav"), 1, 8000, 16);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1], (Event{ssRecPaused, 14399, 0}));
  EXPECT_EQ(events[2], (Event{ssRecResumed, 14399, 0}));
  EXPECT_EQ(events[3], (Event{ssRecDone, static_cast<int>(sound.size()) - 1, 0}));
  EXPECT_EQ(sound.size(), 4u * 7200);
}

TEST_F(VoiceTest, ListeningAndRecordingShareTheDevice) {
  auto other = std::make_shared<audio::VirtualCaptureDevice>(loop, u"Line In");
  audio.add_capture_device(other);
  ASSERT_EQ(voice.ListenStart(1), 0);
  EXPECT_EQ(voice.ListeningState(), lasListening);
  ASSERT_EQ(voice.Rec(0, u16(dir / "a.wav")), 0);
  EXPECT_FALSE(mic->is_open());
  EXPECT_TRUE(other->is_open());
  EXPECT_EQ(voice.ListenStart(0), err::kAlreadyInProgress);
  loop.run_for(1s);
  voice.RecStop();
  EXPECT_TRUE(other->is_open());  // still listening
  voice.ListenStop();
  EXPECT_FALSE(other->is_open());
  EXPECT_EQ(events.front(), (Event{ssListenBegin, 0, 0}));
  EXPECT_EQ(events.back(), (Event{ssListenDone, 0, 0}));
}

TEST_F(VoiceTest, SilenceIsDetectedAfterTheConfiguredQuietBlocks) {
  // Each row: the peak of every block, and after which blocks the event must have come.
  struct Case {
    const char* name;
    std::vector<std::int16_t> peaks;
    std::vector<int> events_after;
  };
  const Case cases[] = {
      {"seven quiet blocks", {0, 0, 0, 0, 0, 0, 0}, {7}},
      {"a loud block restarts the count", {0, 0, 0, 6501, 0, 0, 0, 0, 0, 0, 0}, {11}},
      {"the level itself is quiet", {0, 0, 0, 6500, 0, 0, 0}, {7}},
      {"-6501 is loud too", {0, 0, 0, 0, 0, 0, -6501}, {}},
  };
  voice.SilenceDetection().SetEnabled(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> after;
    int block = 0;
    voice.OnSilenceDetected = [&](KDVoice&) { after.push_back(block); };
    for (const std::int16_t peak : c.peaks) {
      std::vector<std::int16_t> samples(3600, 0);
      samples[1800] = peak;
      mic->push_samples(samples);
    }
    ASSERT_EQ(voice.ListenStart(0), 0);
    for (std::size_t i = 0; i < c.peaks.size(); ++i) {
      block = static_cast<int>(i) + 1;
      loop.run_for(450ms);
    }
    voice.ListenStop();
    EXPECT_EQ(after, c.events_after);
  }
}

TEST_F(VoiceTest, TheLevelMeterShowsEachBlocksPeakThreeTimes) {
  struct Case {
    int bits;
    std::vector<std::uint8_t> block_start;
    int level;
  };
  const Case cases[] = {
      {16, {0x00, 0x80}, 32768},  // -32768
      {16, {0x10, 0x27}, 10000},
      {8, {128}, 0},
      {8, {0}, 32768},
      {8, {192}, 16384},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    voice.SetFmtRecBitsPerSample(c.bits);
    std::vector<std::pair<messaging::Duration, int>> levels;
    const auto t0 = clock.now();
    voice.SetEnableVUMeter(true);
    voice.OnVUMeter = [&](KDVoice&, int level) { levels.emplace_back(clock.now() - t0, level); };
    const std::size_t block = c.bits == 16 ? 7200 : 3600;
    std::vector<std::uint8_t> bytes(block, c.bits == 16 ? 0 : 128);
    std::copy(c.block_start.begin(), c.block_start.end(), bytes.begin() + 100);
    mic->push_bytes(bytes);
    ASSERT_EQ(voice.ListenStart(0), 0);
    loop.run_for(800ms);
    voice.ListenStop();
    ASSERT_GE(levels.size(), 3u);
    using D = messaging::Duration;
    EXPECT_EQ(levels[0], std::make_pair(D(450ms), c.level));
    EXPECT_EQ(levels[1], std::make_pair(D(600ms), c.level));
    EXPECT_EQ(levels[2], std::make_pair(D(750ms), c.level));
  }
}

}  // namespace
}  // namespace orvexa::components::testing

#include "platform/audio/audio_service.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "platform/audio/virtual_device.h"
#include "platform/messaging/hidden_window.h"

namespace orvexa::audio {
namespace {

using namespace std::chrono_literals;
using messaging::FunctionWindow;
using messaging::LPARAM;
using messaging::ManualClock;
using messaging::UINT;
using messaging::WPARAM;

struct Notice {
  UINT message;
  WAVEHDR* header;
  messaging::TimePoint at;
};

struct Fixture : ::testing::Test {
  ManualClock clock;
  messaging::Loop loop{clock};
  AudioService audio{loop};
  std::vector<Notice> notices;
  FunctionWindow window{loop, [this](UINT m, WPARAM, LPARAM l) {
                          notices.push_back({m, reinterpret_cast<WAVEHDR*>(l), clock.now()});
                          return 0;
                        }};
  std::shared_ptr<VirtualPlaybackDevice> speaker =
      std::make_shared<VirtualPlaybackDevice>(loop, u"Speakers");
  std::shared_ptr<VirtualCaptureDevice> mic =
      std::make_shared<VirtualCaptureDevice>(loop, u"Microphone");
  WAVEFORMATEX fmt = pcm_format();

  std::vector<UINT> messages() const {
    std::vector<UINT> m;
    for (auto& n : notices) m.push_back(n.message);
    return m;
  }
};

TEST_F(Fixture, NumbersFollowKindThenOrderOfAdding) {
  auto modem = std::make_shared<VirtualPlaybackDevice>(loop, u"Line 1 Modem", DeviceKind::Line);
  const DeviceId v = audio.add_playback_device(speaker);
  const DeviceId l = audio.add_playback_device(modem);
  audio.add_capture_device(mic);
  EXPECT_EQ(audio.waveOutGetNumDevs(), 2u);
  EXPECT_EQ(audio.waveInGetNumDevs(), 1u);
  EXPECT_EQ(audio.playback_number(l), 0u);
  EXPECT_EQ(audio.playback_number(v), 1u);
  WAVEOUTCAPS caps;
  ASSERT_EQ(audio.waveOutGetDevCaps(1, &caps), MMSYSERR_NOERROR);
  EXPECT_EQ(caps.szPname, u"Speakers");
  EXPECT_EQ(audio.waveOutGetDevCaps(2, &caps), MMSYSERR_BADDEVICEID);
  EXPECT_TRUE(audio.remove_device(l));
  EXPECT_EQ(audio.playback_number(v), 0u);
  EXPECT_FALSE(audio.playback_number(l).has_value());
  EXPECT_FALSE(audio.remove_device(l));
}

TEST_F(Fixture, WrittenBuffersComeBackDoneInOrderAtTheirTime) {
  audio.add_playback_device(speaker);
  HWAVEOUT h = 0;
  ASSERT_EQ(audio.waveOutOpen(&h, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  std::vector<char> a(8000, 1), b(4000, 2);  // half a second and a quarter
  WAVEHDR ha{a.data(), 8000}, hb{b.data(), 4000};
  ASSERT_EQ(audio.waveOutWrite(h, &ha, sizeof ha), WAVERR_UNPREPARED);
  ASSERT_EQ(audio.waveOutPrepareHeader(h, &ha, sizeof ha), 0u);
  ASSERT_EQ(audio.waveOutPrepareHeader(h, &hb, sizeof hb), 0u);
  const auto t0 = clock.now();
  ASSERT_EQ(audio.waveOutWrite(h, &ha, sizeof ha), 0u);
  ASSERT_EQ(audio.waveOutWrite(h, &hb, sizeof hb), 0u);
  EXPECT_EQ(audio.waveOutUnprepareHeader(h, &ha, sizeof ha), WAVERR_STILLPLAYING);
  loop.run_for(250ms);
  MMTIME t;
  ASSERT_EQ(audio.waveOutGetPosition(h, &t, sizeof t), 0u);
  EXPECT_EQ(t.cb, 4000u);
  loop.run_for(2s);
  ASSERT_EQ(messages(), (std::vector<UINT>{MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_DONE}));
  EXPECT_EQ(notices[1].header, &ha);
  EXPECT_EQ(notices[1].at - t0, 500ms);
  EXPECT_EQ(notices[2].header, &hb);
  EXPECT_EQ(notices[2].at - t0, 750ms);
  EXPECT_TRUE(ha.dwFlags & WHDR_DONE);
  ASSERT_EQ(speaker->heard().size(), 12000u);
  EXPECT_EQ(speaker->heard()[7999], 1);
  EXPECT_EQ(speaker->heard()[8000], 2);
  ASSERT_EQ(speaker->stretches().size(), 2u);
  EXPECT_EQ(speaker->stretches()[1].at - t0, 500ms);
  EXPECT_EQ(audio.waveOutClose(h), 0u);
  EXPECT_EQ(audio.waveOutClose(h), MMSYSERR_INVALHANDLE);
}
TEST_F(Fixture, CaptureFillsBuffersInOrderAndStopReturnsThePartOne) {
  audio.add_capture_device(mic);
  std::vector<std::uint8_t> pushed(20000);
  for (std::size_t i = 0; i < pushed.size(); ++i) pushed[i] = static_cast<std::uint8_t>(i * 13);
  mic->push_bytes(pushed);
  HWAVEIN h = 0;
  ASSERT_EQ(audio.waveInOpen(&h, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  std::vector<char> a(8000), b(8000);
  WAVEHDR ha{a.data(), 8000}, hb{b.data(), 8000};
  EXPECT_EQ(audio.waveInAddBuffer(h, &ha, sizeof ha), WAVERR_UNPREPARED);
  audio.waveInPrepareHeader(h, &ha, sizeof ha);
  audio.waveInPrepareHeader(h, &hb, sizeof hb);
  ASSERT_EQ(audio.waveInAddBuffer(h, &ha, sizeof ha), 0u);
  ASSERT_EQ(audio.waveInAddBuffer(h, &hb, sizeof hb), 0u);
  const auto t0 = clock.now();
  ASSERT_EQ(audio.waveInStart(h), 0u);
  loop.run_for(700ms);
  MMTIME t;
  ASSERT_EQ(audio.waveInGetPosition(h, &t, sizeof t), 0u);
  EXPECT_EQ(t.cb, 11200u);
  ASSERT_EQ(audio.waveInStop(h), 0u);
  loop.process_pending();
  ASSERT_EQ(messages(), (std::vector<UINT>{MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_DATA}));
  EXPECT_EQ(notices[1].header, &ha);
  EXPECT_EQ(notices[1].at - t0, 500ms);
  EXPECT_EQ(ha.dwBytesRecorded, 8000u);
  EXPECT_EQ(hb.dwBytesRecorded, 3200u);  // what was captured of it when stopped
  EXPECT_EQ(std::memcmp(a.data(), pushed.data(), 8000), 0);
  EXPECT_EQ(std::memcmp(b.data(), pushed.data() + 8000, 3200), 0);
  EXPECT_EQ(audio.waveInClose(h), 0u);
}

TEST_F(Fixture, BuffersStillQueuedKeepTheDeviceOpen) {
  audio.add_playback_device(speaker);
  audio.add_capture_device(mic);
  HWAVEOUT o = 0;
  HWAVEIN i = 0;
  ASSERT_EQ(audio.waveOutOpen(&o, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  ASSERT_EQ(audio.waveInOpen(&i, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  HWAVEOUT again = 0;
  EXPECT_EQ(audio.waveOutOpen(&again, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW),
            MMSYSERR_ALLOCATED);
  std::vector<char> a(800), b(800);
  WAVEHDR ha{a.data(), 800}, hb{b.data(), 800};
  audio.waveOutPrepareHeader(o, &ha, sizeof ha);
  audio.waveInPrepareHeader(i, &hb, sizeof hb);
  audio.waveOutWrite(o, &ha, sizeof ha);
  audio.waveInAddBuffer(i, &hb, sizeof hb);
  EXPECT_EQ(audio.waveOutClose(o), WAVERR_STILLPLAYING);
  EXPECT_EQ(audio.waveInClose(i), WAVERR_STILLPLAYING);
  EXPECT_EQ(audio.waveInUnprepareHeader(i, &hb, sizeof hb), WAVERR_STILLPLAYING);
  EXPECT_EQ(audio.waveOutReset(o), 0u);
  EXPECT_EQ(audio.waveInReset(i), 0u);
  EXPECT_TRUE(ha.dwFlags & WHDR_DONE);
  EXPECT_EQ(hb.dwBytesRecorded, 0u);
  EXPECT_EQ(audio.waveOutClose(o), 0u);
  EXPECT_EQ(audio.waveInClose(i), 0u);
  EXPECT_TRUE(speaker->heard().empty());
}

TEST_F(Fixture, PauseHoldsThePositionAndRestartGoesOn) {
  audio.add_playback_device(speaker);
  HWAVEOUT h = 0;
  ASSERT_EQ(audio.waveOutOpen(&h, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  std::vector<char> a(16000, 5);
  WAVEHDR ha{a.data(), 16000};
  audio.waveOutPrepareHeader(h, &ha, sizeof ha);
  audio.waveOutWrite(h, &ha, sizeof ha);
  loop.run_for(300ms);
  audio.waveOutPause(h);
  loop.run_for(10s);
  MMTIME t;
  audio.waveOutGetPosition(h, &t, sizeof t);
  EXPECT_EQ(t.cb, 4800u);
  EXPECT_TRUE(speaker->heard().empty());
  const auto resumed = clock.now();
  audio.waveOutRestart(h);
  loop.run_for(2s);
  ASSERT_EQ(messages().back(), MM_WOM_DONE);
  EXPECT_EQ(notices.back().at - resumed, 700ms);
  ASSERT_EQ(speaker->stretches().size(), 1u);
  EXPECT_EQ(resumed - speaker->stretches()[0].at, 10300ms);  // it began before the pause
  audio.waveOutClose(h);
}

TEST_F(Fixture, FormatsAndDeviceNumbersAreChecked) {
  auto line = std::make_shared<VirtualPlaybackDevice>(loop, u"Line 1 Modem", DeviceKind::Line,
                                                      pcm_format(8000, 16, 1));
  audio.add_playback_device(line);
  HWAVEOUT h = 0;
  struct Case {
    WAVEFORMATEX format;
    std::uint32_t device;
    MMRESULT want;
  };
  WAVEFORMATEX bad_align = fmt;
  bad_align.nBlockAlign = 3;
  WAVEFORMATEX float_tag = fmt;
  float_tag.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
  const Case cases[] = {{fmt, 0, MMSYSERR_NOERROR},
                        {pcm_format(11025, 16, 1), 0, WAVERR_BADFORMAT},
                        {pcm_format(0, 16, 1), 0, WAVERR_BADFORMAT},
                        {bad_align, 0, WAVERR_BADFORMAT},
                        {float_tag, 0, WAVERR_BADFORMAT},
                        {fmt, 1, MMSYSERR_BADDEVICEID},
                        {fmt, WAVE_MAPPER, MMSYSERR_NOERROR}};
  for (const Case& c : cases)
    EXPECT_EQ(audio.waveOutOpen(&h, c.device, &c.format, 0, 0, WAVE_FORMAT_QUERY), c.want);
  EXPECT_EQ(audio.waveOutWrite(99, nullptr, 0), MMSYSERR_INVALHANDLE);
}

TEST_F(Fixture, RemovingAnOpenDeviceReturnsItsBuffersAndCloses) {
  const DeviceId id = audio.add_capture_device(mic);
  HWAVEIN h = 0;
  ASSERT_EQ(audio.waveInOpen(&h, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  std::vector<char> a(800);
  WAVEHDR ha{a.data(), 800};
  audio.waveInPrepareHeader(h, &ha, sizeof ha);
  audio.waveInAddBuffer(h, &ha, sizeof ha);
  audio.waveInStart(h);
  EXPECT_TRUE(audio.remove_device(id));
  loop.process_pending();
  EXPECT_EQ(messages(), (std::vector<UINT>{MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_CLOSE}));
  EXPECT_EQ(audio.waveInStart(h), MMSYSERR_NODRIVER);
  EXPECT_EQ(audio.waveInUnprepareHeader(h, &ha, sizeof ha), 0u);
  EXPECT_EQ(audio.waveInClose(h), 0u);
  EXPECT_FALSE(mic->is_open());
}

TEST_F(Fixture, ToneSourceHasItsAmplitude) {
  audio.add_capture_device(mic);
  mic->set_tone(1000, 8000);
  HWAVEIN h = 0;
  ASSERT_EQ(audio.waveInOpen(&h, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  std::vector<char> a(1600);
  WAVEHDR ha{a.data(), 1600};
  audio.waveInPrepareHeader(h, &ha, sizeof ha);
  audio.waveInAddBuffer(h, &ha, sizeof ha);
  audio.waveInStart(h);
  loop.run_for(100ms);
  int peak = 0, crossings = 0, last = 0;
  for (std::size_t i = 0; i + 1 < a.size(); i += 2) {
    const int s = static_cast<std::int16_t>(static_cast<std::uint8_t>(a[i]) | (a[i + 1] << 8));
    peak = std::max(peak, std::abs(s));
    if ((s >= 0) != (last >= 0)) ++crossings;
    last = s;
  }
  EXPECT_EQ(peak, 8000);
  EXPECT_NEAR(crossings, 200, 2);  // 1000 Hz for 0.1 s crosses zero twice a cycle
  audio.waveInReset(h);
  audio.waveInClose(h);
}

}  // namespace
}  // namespace orvexa::audio

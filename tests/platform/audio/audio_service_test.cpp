#include "platform/audio/audio_service.h"

#include <gtest/gtest.h>

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
}  // namespace
}  // namespace orvexa::audio

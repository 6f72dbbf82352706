#include "platform/audio/system_devices.h"

#include <gtest/gtest.h>

#include "platform/messaging/hidden_window.h"

namespace orvexa::audio {
namespace {

using namespace std::chrono_literals;

// Plays a quarter second of a quiet tone on the machine's first playback device, when there is
// one; a machine without a sound card skips this test.
TEST(SystemDevices, PlaysThroughARealDeviceWhereOneExists) {
  SystemAudio system;
  messaging::SteadyClock clock;
  messaging::Loop loop(clock);
  AudioService audio(loop);
  system.add_devices(audio, loop);
  if (audio.waveOutGetNumDevs() == 0) GTEST_SKIP() << "no playback device on this machine";
  int done = 0;
  messaging::FunctionWindow window(loop, [&](messaging::UINT m, messaging::WPARAM,
                                             messaging::LPARAM) {
    if (m == MM_WOM_DONE) ++done;
    return 0;
  });
  const WAVEFORMATEX fmt = pcm_format(8000, 16, 1);
  HWAVEOUT h = 0;
  const MMRESULT r = audio.waveOutOpen(&h, 0, &fmt, window.handle(), 0, CALLBACK_WINDOW);
  if (r != MMSYSERR_NOERROR) GTEST_SKIP() << "the first playback device refuses 8 kHz mono";
  std::vector<char> tone(4000);
  for (std::size_t i = 0; i + 1 < tone.size(); i += 2) tone[i + 1] = (i / 16) % 2 ? 4 : -4;
  WAVEHDR hdr{tone.data(), 4000};
  ASSERT_EQ(audio.waveOutPrepareHeader(h, &hdr, sizeof hdr), 0u);
  ASSERT_EQ(audio.waveOutWrite(h, &hdr, sizeof hdr), 0u);
  EXPECT_TRUE(loop.run_until([&] { return done == 1; }, 5s));
  MMTIME t;
  ASSERT_EQ(audio.waveOutGetPosition(h, &t, sizeof t), 0u);
  EXPECT_EQ(t.cb, 4000u);
  EXPECT_EQ(audio.waveOutClose(h), 0u);
}

}  // namespace
}  // namespace orvexa::audio

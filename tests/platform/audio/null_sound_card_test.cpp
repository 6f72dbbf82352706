// The PortAudio devices against ALSA's null sound card, which takes and gives sound at once: the
// whole path from a header to the callback thread and back to the loop runs on machines without
// a sound card. The card is declared in an ALSA configuration under a HOME of the test's own,
// which is why this is an executable of its own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/audio/system_devices.h"
#include "platform/messaging/hidden_window.h"

namespace orvexa::audio {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class NullSoundCard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(home());
    std::ofstream(home() / ".asoundrc") << "pcm.orvexanull {\n  type null\n"
                                         << "  hint { show on description \"null\" }\n}\n";
    ::setenv("HOME", home().c_str(), 1);
  }
  static void TearDownTestSuite() { fs::remove_all(home()); }
  static fs::path home() {
    return fs::temp_directory_path() / ("orvexa-null-card-" + std::to_string(::getpid()));
  }

  // The number of the null card among the devices of one direction, or nothing.
  std::optional<std::uint32_t> null_card(Direction d) const {
    for (const auto& listing : audio.devices(d))
      if (listing.name == u"orvexanull") return listing.number;
    return std::nullopt;
  }

  SystemAudio system;
  messaging::SteadyClock clock;
  messaging::Loop loop{clock};
  AudioService audio{loop};
  std::vector<messaging::UINT> notices;
  messaging::FunctionWindow window{loop, [this](messaging::UINT m, messaging::WPARAM,
                                                messaging::LPARAM) {
                                     notices.push_back(m);
                                     return 0;
                                   }};
  WAVEFORMATEX fmt = pcm_format(8000, 16, 1);
};

TEST_F(NullSoundCard, PlaysBuffersAndCountsThemHeard) {
  system.add_devices(audio, loop);
  const auto number = null_card(Direction::Playback);
  if (!number) GTEST_SKIP() << "PortAudio does not list ALSA's null card here";
  HWAVEOUT h = 0;
  ASSERT_EQ(audio.waveOutOpen(&h, *number, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  HWAVEOUT second = 0;
  EXPECT_EQ(audio.waveOutOpen(&second, *number, &fmt, window.handle(), 0, CALLBACK_WINDOW),
            MMSYSERR_ALLOCATED);
  std::vector<char> a(4000, 1), b(2000, 2);
  WAVEHDR first{a.data(), 4000}, next{b.data(), 2000};
  for (WAVEHDR* hdr : {&first, &next}) {
    ASSERT_EQ(audio.waveOutPrepareHeader(h, hdr, sizeof *hdr), 0u);
    ASSERT_EQ(audio.waveOutWrite(h, hdr, sizeof *hdr), 0u);
  }
  const auto done = [&] { return std::count(notices.begin(), notices.end(), MM_WOM_DONE); };
  ASSERT_TRUE(loop.run_until([&] { return done() == 2; }, 5s));
  EXPECT_EQ(notices.front(), MM_WOM_OPEN);
  MMTIME t{};
  ASSERT_EQ(audio.waveOutGetPosition(h, &t, sizeof t), 0u);
  EXPECT_EQ(t.cb, 6000u);
  EXPECT_EQ(audio.waveOutUnprepareHeader(h, &first, sizeof first), 0u);
  EXPECT_EQ(audio.waveOutClose(h), 0u);
  loop.process_pending();
  EXPECT_EQ(notices.back(), MM_WOM_CLOSE);
}

TEST_F(NullSoundCard, FillsRecordBuffersInTurnAndStops) {
  system.add_devices(audio, loop);
  const auto number = null_card(Direction::Capture);
  if (!number) GTEST_SKIP() << "PortAudio does not list ALSA's null card here";
  HWAVEIN h = 0;
  ASSERT_EQ(audio.waveInOpen(&h, *number, &fmt, window.handle(), 0, CALLBACK_WINDOW), 0u);
  std::vector<char> a(1600), b(1600);
  WAVEHDR first{a.data(), 1600}, next{b.data(), 1600};
  for (WAVEHDR* hdr : {&first, &next}) {
    ASSERT_EQ(audio.waveInPrepareHeader(h, hdr, sizeof *hdr), 0u);
    ASSERT_EQ(audio.waveInAddBuffer(h, hdr, sizeof *hdr), 0u);
  }
  ASSERT_EQ(audio.waveInStart(h), 0u);
  const auto data = [&] { return std::count(notices.begin(), notices.end(), MM_WIM_DATA); };
  ASSERT_TRUE(loop.run_until([&] { return data() == 2; }, 5s));
  EXPECT_EQ(first.dwBytesRecorded, 1600u);
  EXPECT_EQ(next.dwBytesRecorded, 1600u);
  EXPECT_TRUE(first.dwFlags & WHDR_DONE);
  MMTIME t{};
  ASSERT_EQ(audio.waveInGetPosition(h, &t, sizeof t), 0u);
  EXPECT_GE(t.cb, 3200u);
  EXPECT_EQ(audio.waveInStop(h), 0u);
  EXPECT_EQ(audio.waveInReset(h), 0u);
  EXPECT_EQ(audio.waveInClose(h), 0u);
}

}  // namespace
}  // namespace orvexa::audio

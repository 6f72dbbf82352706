// The line component's tone monitoring on the simulated provider: MonitorTones, the far end's
// tones, and OnToneDetected, on the manual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "platform/audio/wave_types.h"
#include "sim_phone.h"

namespace orvexa::components {
namespace {

using namespace std::chrono_literals;
using testing::Config;
using testing::SimPhone;

const char* kFarEnds = R"(
[timing]
ringback = 0
[[far_end]]
number = "301"
rings = 0
tones = [{ hz = 440, at = 1000, ms = 1200 }, { hz = [350, 440], at = 3000, ms = 600 }]
[[far_end]]
number = "302"
rings = 0
tone = 1000
)";

struct Detected {
  int ref, call;
  messaging::Duration after_answer;
};

// A phone on line 0 that calls `number`, sets up what `on_answer` asks once answered, and
// writes down every tone it is told of.
struct TonePhone {
  explicit TonePhone(std::function<void(KDPhone&)> on_answer) : s(Config(kFarEnds)) {
    s.phone.OnToneDetected = [this](KDPhone&, int ref, int call) {
      found.push_back({ref, call, s.rig.loop().now() - answered});
    };
    s.on_state = [this, on_answer](TCallState state, int) {
      if (state != csConnected) return;
      answered = s.rig.loop().now();
      if (on_answer) on_answer(s.phone);
    };
  }
  void Call(const char* number) {
    ASSERT_EQ(s.phone.LineActive(0, true), 0);
    ASSERT_EQ(s.phone.DialNumber(number, 0), 0);
  }

  SimPhone s;
  messaging::TimePoint answered{};
  std::vector<Detected> found;
};

TEST(KDPhoneTones, OnToneDetectedNamesTheToneAndTheCall) {
  struct Case {
    const char* name;
    int f1, f2, duration;
    int want_ms;  // after the answer; 0: never
  };
  const Case kCases[] = {
      {"single tone", 440, 0, 1000, 2000},
      {"single tone held too briefly", 440, 0, 1300, 0},
      {"two frequencies together", 350, 440, 500, 3500},
      {"a frequency the far end never sends", 620, 0, 100, 0},
  };
  for (const Case& c : kCases) {
    TonePhone t([&](KDPhone& phone) {
      EXPECT_EQ(phone.MonitorTones(42, c.duration, c.f1, c.f2, 0), 0) << c.name;
    });
    t.Call("301");
    t.s.Run(8s);
    if (c.want_ms == 0) {
      EXPECT_TRUE(t.found.empty()) << c.name;
      continue;
    }
    ASSERT_EQ(t.found.size(), 1u) << c.name;
    EXPECT_EQ(t.found[0].ref, 42) << c.name;
    EXPECT_EQ(t.found[0].call, t.s.phone.CurrentCall()) << c.name;
    EXPECT_GE(t.found[0].after_answer, std::chrono::milliseconds(c.want_ms)) << c.name;
    EXPECT_LT(t.found[0].after_answer, std::chrono::milliseconds(c.want_ms + 20)) << c.name;
  }
}

TEST(KDPhoneTones, CancelledOrRefusedMonitoringRaisesNothing) {
  TonePhone cancelled([](KDPhone& phone) {
    ASSERT_EQ(phone.MonitorTones(1, 500, 440, 0, 0), 0);
    ASSERT_EQ(phone.MonitorTonesCancel(), 0);
  });
  cancelled.Call("301");
  cancelled.s.Run(8s);
  EXPECT_TRUE(cancelled.found.empty());

  // Lists the detector cannot serve fail as such, whatever the far end sends.
  TonePhone refused([](KDPhone& phone) {
    EXPECT_EQ(phone.MonitorTones(1, 500, 5000, 0, 0), err::kFailed);
    EXPECT_EQ(phone.MonitorTones(1, 0, 440, 0, 0), err::kFailed);
    EXPECT_EQ(phone.MonitorTones(1, 500, 0, 0, 0), err::kFailed);
  });
  refused.Call("301");
  refused.s.Run(8s);
  EXPECT_TRUE(refused.found.empty());
}

// A far end with a steady voice speaks while the line plays to it: the application plays two
// seconds and hears the voice's tone in what the call receives.
TEST(KDPhoneTones, AFarEndsVoiceIsHeardWhileTheLinePlays) {
  const audio::WAVEFORMATEX format = audio::pcm_format();
  std::vector<std::uint8_t> silence(format.nAvgBytesPerSec * 2, 0);
  audio::WAVEHDR block{};
  audio::HWAVEOUT out = 0;
  TonePhone t([&](KDPhone& phone) {
    ASSERT_EQ(phone.MonitorTones(7, 1500, 1000, 0, 0), 0);
  });
  t.Call("302");
  t.s.Run(3s);
  EXPECT_TRUE(t.found.empty()) << "silent while nothing plays";
  const auto playing = t.s.rig.loop().now();
  ASSERT_EQ(t.s.rig.audio().waveOutOpen(&out, static_cast<std::uint32_t>(t.s.phone.WavePlayID()),
                                        &format, messaging::kNoWindow, 0, audio::CALLBACK_NULL),
            0u);
  block.lpData = reinterpret_cast<char*>(silence.data());
  block.dwBufferLength = static_cast<audio::DWORD>(silence.size());
  t.s.rig.audio().waveOutPrepareHeader(out, &block, sizeof block);
  t.s.rig.audio().waveOutWrite(out, &block, sizeof block);
  t.s.Run(3s);
  ASSERT_EQ(t.found.size(), 1u);
  EXPECT_EQ(t.found[0].ref, 7);
  const auto heard = t.answered + t.found[0].after_answer - playing;
  EXPECT_GE(heard, 1500ms);
  EXPECT_LT(heard, 1560ms);
  t.s.rig.audio().waveOutReset(out);
  t.s.rig.audio().waveOutUnprepareHeader(out, &block, sizeof block);
  t.s.rig.audio().waveOutClose(out);
}

}  // namespace
}  // namespace orvexa::components

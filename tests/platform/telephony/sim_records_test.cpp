// What the simulated far ends keep of what they heard: measurements always, the sound itself
// only within the budget a test asks for, the oldest records giving theirs up first.
#include <gtest/gtest.h>

#include <optional>

#include "platform/audio/wave_types.h"
#include "platform/telephony/line_service.h"
#include "platform/telephony/telephony_rig.h"

namespace orvexa::telephony {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kSecondOfSound = 16000;  // bytes of 8 kHz 16-bit mono

// Calls "300", whose far end hangs up once it has heard a second of what the line plays.
class Calls {
 public:
  explicit Calls(std::size_t budget) : rig_(Config(), true) {
    rig_.sim().keep_audio_up_to(budget);
    DWORD devices = 0, version = kApiVersion20002;
    auto callback = [this](DWORD, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
      if (message == LINE_CALLSTATE) state_ = p1;
    };
    EXPECT_EQ(rig_.lines().lineInitializeExW(&app_, callback, &devices, &version, nullptr), 0);
    EXPECT_EQ(rig_.lines().lineOpen(app_, 0, &line_, kApiVersion20002, 0, 0,
                                    LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
              0);
  }

  // One call that plays two seconds of sound in quarter seconds once answered; the far end
  // leaves after one.
  void CallOnce() {
    HCALL call = 0;
    state_.reset();
    ASSERT_GT(rig_.lines().lineMakeCall(line_, &call, "300", 0, nullptr), 0);
    rig_.loop().run_until([&] { return state_ == LINECALLSTATE_CONNECTED; }, 10s);
    ASSERT_EQ(state_, LINECALLSTATE_CONNECTED);
    std::vector<std::uint8_t> sound(2 * kSecondOfSound, 0x22);
    std::vector<audio::WAVEHDR> blocks(8);
    audio::HWAVEOUT out = 0;
    const audio::WAVEFORMATEX format = audio::pcm_format();
    auto& audio = rig_.audio();
    ASSERT_EQ(audio.waveOutOpen(&out, static_cast<std::uint32_t>(rig_.line_audio(0)->wave_out()),
                                &format, messaging::kNoWindow, 0, audio::CALLBACK_NULL),
              0u);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      blocks[i].lpData = reinterpret_cast<char*>(sound.data() + i * sound.size() / blocks.size());
      blocks[i].dwBufferLength = static_cast<audio::DWORD>(sound.size() / blocks.size());
      audio.waveOutPrepareHeader(out, &blocks[i], sizeof blocks[i]);
      audio.waveOutWrite(out, &blocks[i], sizeof blocks[i]);
    }
    rig_.loop().run_until([&] { return state_ == LINECALLSTATE_DISCONNECTED; }, 10s);
    EXPECT_EQ(state_, LINECALLSTATE_DISCONNECTED);
    audio.waveOutReset(out);
    for (auto& b : blocks) audio.waveOutUnprepareHeader(out, &b, sizeof b);
    audio.waveOutClose(out);
    ASSERT_GT(rig_.lines().lineDrop(call, nullptr, 0), 0);
    rig_.loop().run_for(1s);
    EXPECT_EQ(rig_.lines().lineDeallocateCall(call), 0);
  }

  SimProvider& sim() { return rig_.sim(); }

 private:
  static SimConfig Config() {
    SimConfigResult parsed = parse_sim_config(
        "[[far_end]]\nnumber = \"300\"\nrings = 0\nhangup_after_heard = 1.0\n");
    EXPECT_TRUE(parsed.config) << parsed.error;
    return parsed.config.value_or(default_sim_config());
  }

  TelephonyRig rig_;
  HLINEAPP app_ = 0;
  HLINE line_ = 0;
  std::optional<DWORD_PTR> state_;
};

TEST(SimRecords, FarEndsMeasureWhatTheyHeardAndKeepSoundOnlyWithinTheBudget) {
  struct Case {
    const char* name;
    std::size_t budget;
    std::vector<bool> whole;  // by call, oldest first: its sound kept in full
  };
  const Case kCases[] = {
      {"no sound kept (the default)", 0, {false, false, false, false}},
      {"room for two and a half calls", 5 * kSecondOfSound / 2, {false, false, true, true}},
      {"room for all", 8 * kSecondOfSound, {true, true, true, true}},
  };
  for (const Case& c : kCases) {
    Calls calls(c.budget);
    for (std::size_t i = 0; i < c.whole.size(); ++i) calls.CallOnce();
    EXPECT_LE(calls.sim().audio_kept(), c.budget) << c.name;
    ASSERT_EQ(calls.sim().records().size(), c.whole.size()) << c.name;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < c.whole.size(); ++i) {
      const SimProvider::CallRecord& r = calls.sim().records()[i];
      // Measured whatever is kept: a second heard, from the answer on.
      EXPECT_DOUBLE_EQ(r.heard_seconds, 1.0) << c.name << " call " << i;
      EXPECT_EQ(r.heard_stretches, 4u) << c.name << " call " << i;
      EXPECT_EQ(r.first_heard, r.connected) << c.name << " call " << i;
      EXPECT_EQ(r.audio_whole, c.whole[i]) << c.name << " call " << i;
      if (!c.whole[i]) {
        EXPECT_TRUE(r.audio.empty()) << c.name << " call " << i;
        continue;
      }
      ASSERT_FALSE(r.audio.empty()) << c.name << " call " << i;
      EXPECT_EQ(r.audio.front(), 0x22) << c.name << " call " << i;
      std::uint64_t stretches = 0;
      for (const auto& s : r.heard) stretches += s.size;
      EXPECT_EQ(stretches, r.audio.size()) << c.name << " call " << i;
      kept += r.audio.size();
    }
    EXPECT_EQ(kept, calls.sim().audio_kept()) << c.name;
  }
}

TEST(SimRecords, OldRecordsAreDroppedWithTheirSound) {
  Calls calls(8 * kSecondOfSound);
  calls.sim().set_record_limit(2);
  for (int i = 0; i < 4; ++i) calls.CallOnce();
  ASSERT_EQ(calls.sim().records().size(), 2u);
  EXPECT_EQ(calls.sim().records().front().number, 3u);
  std::size_t kept = 0;
  for (const auto& r : calls.sim().records()) kept += r.audio.size();
  EXPECT_EQ(calls.sim().audio_kept(), kept);
  EXPECT_GT(kept, 0u);
}

}  // namespace
}  // namespace orvexa::telephony

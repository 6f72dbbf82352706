// The line component end to end with the simulated provider, on the manual clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/audio/wave_types.h"
#include "sim_phone.h"

namespace orvexa::components {
namespace {

using namespace std::chrono_literals;
using testing::Config;
using testing::Event;
using testing::SimPhone;

const char* kFarEnds = R"(
[[far_end]]
number = "201"
outcome = "answer"
rings = 2
keys = [{ key = "1", at = 3000 }, { key = "2", at = 4000 }]
hangup_at = 10000
[[far_end]]
number = "202"
outcome = "busy"
[[far_end]]
number = "203"
outcome = "no-answer"
[[far_end]]
number = "204"
outcome = "reject"
[[far_end]]
number = "205"
outcome = "unreachable"
[[far_end]]
number = "206"
outcome = "answer"
rings = 0
dtmf = "inband"
keys = [{ key = "1", at = 2000 }, { key = "#", at = 2500 }]
)";

TEST(KDPhoneSim, EachOutcomeGivesItsStatesAndEndsWithTheListEmpty) {
  struct Case {
    const char* number;
    std::vector<std::string> want;
  };
  const Case kCases[] = {
      {"201", {"line0", "csDialing", "csProceeding", "csRingBack", "csConnected", "digit 1",
               "digit 2", "csRemotePartyDisconnected", "before", "csWaitingDisconnection",
               "csDisconnected"}},
      {"202", {"line0", "csDialing", "csProceeding", "csBusy", "before", "csWaitingDisconnection",
               "csDisconnected"}},
      {"203", {"line0", "csDialing", "csProceeding", "csRingBack", "csDisconnected"}},
      {"204", {"line0", "csDialing", "csProceeding", "csRemotePartyDisconnected", "before",
               "csWaitingDisconnection", "csDisconnected"}},
      {"205", {"line0", "csDialing", "csRemotePartyDisconnected", "before",
               "csWaitingDisconnection", "csDisconnected"}},
  };
  for (const Case& c : kCases) {
    SimPhone s(Config(kFarEnds));
    ASSERT_EQ(s.phone.LineActive(0, true), 0);
    ASSERT_EQ(s.phone.DialNumber(c.number, 7), 0);
    s.Run(120s);
    EXPECT_EQ(s.Names(), c.want) << c.number;
    EXPECT_EQ(s.phone.NumberOfActiveCalls(), 0) << c.number;
    EXPECT_EQ(s.phone.PendingRequestCount(), 0u) << c.number;
    EXPECT_EQ(s.rig.lines().open_calls(), 0u) << c.number;
    EXPECT_EQ(s.rig.sim().live_calls(), 0u) << c.number;
  }
}

TEST(KDPhoneSim, PerAttemptOutcomesTakeTheirTurnAndTheLastRepeats) {
  SimPhone s(Config(R"(
[[far_end]]
number = "0912 207"
outcomes = ["busy", "no-answer", "answer"]
hangup_at = 1000
)"));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  const bool want_connected[] = {false, false, true, true};
  for (bool connected : want_connected) {
    s.log.clear();
    ASSERT_EQ(s.phone.DialNumber("0912207", 0), 0);
    s.Run(120s);
    EXPECT_EQ(s.Find("csConnected") != nullptr, connected);
    EXPECT_EQ(s.phone.NumberOfActiveCalls(), 0);
  }
  for (std::size_t n = 1; n <= 4; ++n) ASSERT_NE(s.rig.sim().call_record(n), nullptr);
  EXPECT_EQ(s.rig.sim().call_record(1)->outcome, telephony::FarEndOutcome::Busy);
  EXPECT_EQ(s.rig.sim().call_record(2)->outcome, telephony::FarEndOutcome::NoAnswer);
  EXPECT_EQ(s.rig.sim().call_record(4)->outcome, telephony::FarEndOutcome::Answer);
}

TEST(KDPhoneSim, HoldThenBlindTransferHandsTheFarEndOver) {
  SimPhone s(Config(R"(
[[far_end]]
number = "301"
[[far_end]]
number = "302"
outcome = "answer"
)"));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_EQ(s.phone.DialNumber("301", 0), 0);
  s.Run(10s);
  ASSERT_TRUE(s.phone.IsConnected());
  EXPECT_EQ(s.phone.Transfer("30x"), err::kInvalidDialNumber);
  ASSERT_EQ(s.phone.Hold(), 0);
  s.Run(1s);
  ASSERT_EQ(s.phone.Unhold(), 0);
  s.Run(1s);
  s.log.clear();
  ASSERT_EQ(s.phone.Transfer("302"), 0);
  s.Run(10s);
  // The hand-over is not the far end hanging up.
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"csDisconnected"}));
  EXPECT_EQ(s.phone.NumberOfActiveCalls(), 0);
  EXPECT_EQ(s.rig.sim().live_calls(), 0u);
  const auto* first = s.rig.sim().call_record(1);
  const auto* target = s.rig.sim().call_record(2);
  ASSERT_TRUE(first && target);
  EXPECT_EQ(first->holds, 1);
  EXPECT_EQ(first->transferred_to, "302");
  EXPECT_EQ(target->dialled, "302");
  EXPECT_TRUE(target->connected.has_value());
}

TEST(KDPhoneSim, HoldAndUnholdReportTheirStates) {
  SimPhone s(Config(kFarEnds));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_EQ(s.phone.DialNumber("206", 0), 0);
  s.Run(10s);
  ASSERT_TRUE(s.phone.IsConnected());
  s.log.clear();
  ASSERT_EQ(s.phone.Unhold(), err::kCallOperation);  // the service refuses: not held
  ASSERT_EQ(s.phone.Hold(), 0);
  s.Run(100ms);
  ASSERT_EQ(s.phone.Unhold(), 0);
  s.Run(100ms);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"csOnHold", "csUnhold"}));
  EXPECT_EQ(s.phone.PendingRequestCount(), 0u);
}

TEST(KDPhoneSim, TimingFollowsTheStepsAndConnectedCarriesTheUserValue) {
  SimPhone s(Config(kFarEnds));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  const auto start = s.rig.loop().now();
  ASSERT_EQ(s.phone.DialNumber("201", 7), 0);
  s.Run(30s);
  const Event* connected = s.Find("csConnected");
  ASSERT_NE(connected, nullptr);
  EXPECT_EQ(connected->p1, 0);
  EXPECT_EQ(connected->p2, 7);
  // 0.1 s dialling, 1 s proceeding, 1.5 s ringback, two rings of 5 s.
  EXPECT_EQ(connected->at - start, 12600ms);
  EXPECT_EQ(s.Find("digit 1")->at - connected->at, 3000ms);
  EXPECT_EQ(s.Find("csRemotePartyDisconnected")->at - connected->at, 10000ms);
}

TEST(KDPhoneSim, UnansweredCallGivesUpAfterTheRingingTime) {
  SimPhone s(Config(std::string(kFarEnds) + "[[line]]\nring_timeout = 45000\n"));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_EQ(s.phone.DialNumber("203", 0), 0);
  s.Run(200s);
  ASSERT_NE(s.Find("csRingBack"), nullptr);
  EXPECT_EQ(s.Find("csDisconnected")->at - s.Find("csRingBack")->at, 45000ms);
}

TEST(KDPhoneSim, InBandKeysAreFoundByTheLineDetector) {
  SimPhone s(Config(kFarEnds));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  // The application listens on the line's wave input while the far end presses its keys.
  audio::HWAVEIN in = 0;
  const audio::WAVEFORMATEX format = audio::pcm_format();
  ASSERT_EQ(s.rig.audio().waveInOpen(&in, static_cast<std::uint32_t>(s.phone.WaveRecID()), &format,
                                     messaging::kNoWindow, 0, audio::CALLBACK_NULL),
            0u);
  ASSERT_EQ(s.phone.DialNumber("206", 0), 0);
  s.Run(8s);
  const Event* connected = s.Find("csConnected");
  ASSERT_NE(connected, nullptr);
  const Event* one = s.Find("digit 1");
  const Event* hash = s.Find("digit #");
  ASSERT_NE(one, nullptr);
  ASSERT_NE(hash, nullptr);
  // Detection takes some of the tone, never more than the 100 ms the key sounds.
  EXPECT_GT(one->at - connected->at, 2000ms);
  EXPECT_LE(one->at - connected->at, 2100ms);
  EXPECT_GT(hash->at, one->at);
  // The far end's keys were also sound on the line's wave input: two keys of 100 ms.
  EXPECT_EQ(s.rig.line_audio(0)->input().pending_bytes(), 2u * 2 * 1600);
  s.rig.audio().waveInClose(in);
}

TEST(KDPhoneSim, HangupDuringDiallingEndsTheCallOnce) {
  SimPhone s(Config(kFarEnds));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  s.on_state = [&](TCallState state, int) {
    if (state == csDialing) {
      EXPECT_EQ(s.phone.Hangup(), 0);
    }
  };
  ASSERT_EQ(s.phone.DialNumber("201", 0), 0);
  s.Run(30s);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"line0", "csDialing", "before",
                                                 "csWaitingDisconnection", "csDisconnected"}));
  EXPECT_EQ(s.rig.sim().call_record(1)->connected, std::nullopt);
}

TEST(KDPhoneSim, IncomingCallRingsWithCallerIdAndIsAnswered) {
  SimPhone s(Config(R"(
[[line]]
name = "Office"
[[line.incoming]]
at = 1000
number = "09120000001"
name = "Reza"
rings = 5
keys = [{ key = "5", at = 500 }]
)"));
  s.phone.InitialRingNumber = 3;
  s.on_state = [&](TCallState state, int) {
    if (state == csRing && s.phone.GetCallState(0, state) == 0) {
      int rings = 0;
      for (const Event& e : s.log) rings += e.what == "csRing";
      if (rings == 2) {
        EXPECT_EQ(s.phone.Answer(9), 0);
      }
    }
  };
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  s.Run(20s);
  std::vector<std::string> names = s.Names();
  ASSERT_GE(names.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 6),
            (std::vector<std::string>{"line0", "csOffering", "caller 09120000001/Reza", "csRing",
                                      "csRing", "csConnected"}));
  EXPECT_EQ(s.log[3].p1, 3);
  EXPECT_EQ(s.log[4].p1, 4);
  EXPECT_EQ(s.log[5].p2, 9);
  EXPECT_NE(s.Find("digit 5"), nullptr);
}

TEST(KDPhoneSim, UnansweredIncomingCallIsReportedAsDropped) {
  SimPhone s(Config("[[line]]\n[[line.incoming]]\nat = 0\nnumber = \"300\"\nrings = 2\n"));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  s.Run(30s);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"line0", "csOffering", "caller 300/", "csRing",
                                                 "csRing", "csOfferedCallDropped"}));
  EXPECT_EQ(s.phone.NumberOfActiveCalls(), 0);
}

TEST(KDPhoneSim, ProviderThatNeverRepliesGivesTimeOut113Once) {
  SimPhone s(Config("[[line]]\nnever_reply = true\n"));
  s.phone.SetTimeOut(2000);
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_EQ(s.phone.DialNumber("201", 0), 0);
  s.Run(60s);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"line0", "line2"}));
  EXPECT_EQ(s.log[1].p1, err::kTimeOut);
  EXPECT_EQ(s.phone.PendingRequestCount(), 0u);
  EXPECT_FALSE(s.phone.TimeOutTimerOn());
}

TEST(KDPhoneSim, ReactivationRefusedWhileACallIsUpAndLineCloseKeepsTheEntry) {
  SimPhone s(Config(kFarEnds));
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_EQ(s.phone.DialNumber("201", 0), 0);
  s.Run(13s);
  ASSERT_TRUE(s.phone.IsConnected());
  EXPECT_EQ(s.phone.LineReactivate(true), err::kCallInProgress);
  EXPECT_EQ(s.phone.LineActive(0, false), 0);
  EXPECT_EQ(s.phone.NumberOfActiveCalls(), 1);
  EXPECT_EQ(s.phone.LineActive(0, true), 0);
  EXPECT_TRUE(s.phone.IsActive());
  s.Run(30s);
  EXPECT_EQ(s.rig.lines().open_calls(), 0u);
}

TEST(KDPhoneSim, WaveDevicesOfTheLineAreItsModemDevices) {
  SimPhone s(telephony::default_sim_config());
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_GE(s.phone.WavePlayID(), 0);
  ASSERT_GE(s.phone.WaveRecID(), 0);
  audio::WAVEOUTCAPS caps{};
  ASSERT_EQ(s.rig.audio().waveOutGetDevCaps(static_cast<std::uint32_t>(s.phone.WavePlayID()), &caps),
            0u);
  int word = 0;
  EXPECT_EQ(s.phone.GetLineCaps(0, word), 0);
  EXPECT_EQ(word & 0x1, 0x1);
  EXPECT_EQ(word & 0x20, 0x20);
  std::u16string name;
  EXPECT_EQ(s.phone.GetLineName(0, name), 0);
  EXPECT_EQ(name, u"Simulated line 1");
  EXPECT_EQ(s.phone.GetLineName(1, name), err::kBadLineDeviceId);
}

TEST(KDPhoneSim, PickUpTakesTheLineOffHookWithoutReportingTheEmptyDial) {
  SimPhone s(telephony::default_sim_config());
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_EQ(s.phone.PickUp(3), 0);
  s.Run(1s);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"line0", "csDialTone", "csConnected"}));
  EXPECT_EQ(s.Find("csConnected")->p2, 3);
  EXPECT_EQ(s.phone.PickedUpCount(), 1u);
  ASSERT_EQ(s.phone.Hangup(), 0);
  s.Run(1s);
  EXPECT_EQ(s.Names().back(), "csDisconnected");
  EXPECT_EQ(s.phone.PickedUpCount(), 0u);
  EXPECT_EQ(s.phone.NumberOfActiveCalls(), 0);
}

TEST(KDPhoneSim, FarEndHangsUpDuringPlaybackAndTheRecordSaysWhatItHeard) {
  SimPhone s(Config(R"(
[[far_end]]
number = "201"
rings = 0
hangup_after_heard = 1.5
)"));
  s.rig.sim().keep_audio_up_to(1 << 20);  // the record keeps the sound itself
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  // Four seconds of sound in quarter-second blocks, started on connection.
  const audio::WAVEFORMATEX format = audio::pcm_format();
  std::vector<std::uint8_t> sound(format.nAvgBytesPerSec * 4, 0x11);
  std::vector<audio::WAVEHDR> blocks(16);
  audio::HWAVEOUT out = 0;
  messaging::TimePoint connected_at{};
  s.on_state = [&](TCallState state, int) {
    if (state == csConnected) {
      connected_at = s.rig.loop().now();
      ASSERT_EQ(s.rig.audio().waveOutOpen(&out, static_cast<std::uint32_t>(s.phone.WavePlayID()),
                                          &format, messaging::kNoWindow, 0, audio::CALLBACK_NULL),
                0u);
      for (std::size_t i = 0; i < blocks.size(); ++i) {
        blocks[i].lpData = reinterpret_cast<char*>(sound.data() + i * sound.size() / 16);
        blocks[i].dwBufferLength = static_cast<audio::DWORD>(sound.size() / 16);
        s.rig.audio().waveOutPrepareHeader(out, &blocks[i], sizeof blocks[i]);
        s.rig.audio().waveOutWrite(out, &blocks[i], sizeof blocks[i]);
      }
    }
    if (state == csDisconnected) s.rig.audio().waveOutReset(out);
  };
  ASSERT_EQ(s.phone.DialNumber("201", 0), 0);
  s.Run(30s);
  const Event* hangup = s.Find("csRemotePartyDisconnected");
  ASSERT_NE(hangup, nullptr);
  EXPECT_EQ(hangup->at - connected_at, 1500ms);
  EXPECT_EQ(s.Names().back(), "csDisconnected");
  const auto* record = s.rig.sim().call_record(1);
  ASSERT_NE(record, nullptr);
  EXPECT_DOUBLE_EQ(record->heard_seconds, 1.5);
  EXPECT_EQ(record->heard_stretches, 6u);
  EXPECT_EQ(record->first_heard, connected_at);
  EXPECT_TRUE(record->audio_whole);
  ASSERT_EQ(record->heard.size(), 6u);
  EXPECT_EQ(record->heard.front().at, connected_at);
  EXPECT_EQ(record->heard[1].at - record->heard[0].at, 250ms);
  EXPECT_EQ(record->audio.size(), 6u * 4000);
  EXPECT_EQ(record->audio.front(), 0x11);
  for (auto& block : blocks) s.rig.audio().waveOutUnprepareHeader(out, &block, sizeof block);
  s.rig.audio().waveOutClose(out);
}

}  // namespace
}  // namespace orvexa::components

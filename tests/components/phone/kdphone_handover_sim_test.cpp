// Hold, transfers, consultation calls and conferences end to end on the simulated provider:
// the events the line component raises and what each simulated far end heard.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "platform/audio/wave_file.h"
#include "sim_phone.h"

namespace orvexa::components {
namespace {

using namespace std::chrono_literals;
using telephony::SimProvider;
using testing::Config;
using testing::SimPhone;

constexpr double kRate = 8000;
// These tests look at the sound itself, which the simulated far ends keep only when asked.
constexpr std::size_t kKeepAudio = 8 << 20;

// Two far ends that answer at once, each speaking a tone of its own, and a busy one.
const char* kParties = R"(
[timing]
transfer_talk = 2000
[[far_end]]
number = "401"
rings = 0
tone = 1000
[[far_end]]
number = "402"
rings = 0
tone = 1400
[[far_end]]
number = "403"
outcome = "busy"
)";

// Amplitude of one frequency in the samples (Goertzel).
double Level(std::span<const std::int16_t> x, double hz) {
  if (x.empty()) return 0;
  const double w = 2 * std::numbers::pi * hz / kRate, k = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (std::int16_t v : x) {
    const double s0 = v + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
  return 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(x.size());
}

// What a far end heard from `from` on, as samples.
std::vector<std::int16_t> HeardSince(const SimProvider::CallRecord& r, messaging::TimePoint from) {
  std::vector<std::uint8_t> bytes;
  for (const auto& stretch : r.heard)
    if (stretch.at >= from)
      bytes.insert(bytes.end(), r.audio.begin() + static_cast<std::ptrdiff_t>(stretch.offset),
                   r.audio.begin() + static_cast<std::ptrdiff_t>(stretch.offset + stretch.size));
  return telephony::decode_pcm(bytes, r.format);
}

std::vector<std::int16_t> Tone(double hz, double seconds) {
  std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * kRate));
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<std::int16_t>(6000 * std::sin(2 * std::numbers::pi * hz * i / kRate));
  return out;
}

// The application's side: a tone played on the line's wave output in quarter-second blocks.
class Speaker {
 public:
  Speaker(SimPhone& s, double hz, double seconds) : s_(s) {
    const audio::WAVEFORMATEX format = audio::pcm_format();
    const std::vector<std::int16_t> pcm = Tone(hz, seconds);
    sound_.assign(reinterpret_cast<const std::uint8_t*>(pcm.data()),
                  reinterpret_cast<const std::uint8_t*>(pcm.data() + pcm.size()));
    EXPECT_EQ(s.rig.audio().waveOutOpen(&out_, static_cast<std::uint32_t>(s.phone.WavePlayID()),
                                        &format, messaging::kNoWindow, 0, audio::CALLBACK_NULL),
              0u);
    const std::size_t block = format.nAvgBytesPerSec / 4;
    blocks_.resize(sound_.size() / block);
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
      blocks_[i].lpData = reinterpret_cast<char*>(sound_.data() + i * block);
      blocks_[i].dwBufferLength = static_cast<audio::DWORD>(block);
      s.rig.audio().waveOutPrepareHeader(out_, &blocks_[i], sizeof blocks_[i]);
      s.rig.audio().waveOutWrite(out_, &blocks_[i], sizeof blocks_[i]);
    }
  }
  ~Speaker() {
    s_.rig.audio().waveOutReset(out_);
    for (auto& b : blocks_) s_.rig.audio().waveOutUnprepareHeader(out_, &b, sizeof b);
    s_.rig.audio().waveOutClose(out_);
  }

 private:
  SimPhone& s_;
  std::vector<std::uint8_t> sound_;
  std::vector<audio::WAVEHDR> blocks_;
  audio::HWAVEOUT out_ = 0;
};

int Count(const SimPhone& s, const std::string& what) {
  const auto names = s.Names();
  return static_cast<int>(std::count(names.begin(), names.end(), what));
}

// A connected call to 401 with an empty log.
void Connect(SimPhone& s, const char* number = "401") {
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  ASSERT_EQ(s.phone.DialNumber(number, 0), 0);
  s.Run(5s);
  ASSERT_TRUE(s.phone.IsConnected());
  s.log.clear();
}

TEST(KDPhoneHandoverSim, ConsultationCompletedAsTransferJoinsTheTwoFarEnds) {
  SimPhone s(Config(kParties));
  s.rig.sim().keep_audio_up_to(kKeepAudio);
  Connect(s);
  ASSERT_EQ(s.phone.ConsultCallDialNumber(true, "402"), 0);
  s.Run(5s);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"ccs0", "csOnHold", "ccs10", "ccs2", "ccs1",
                                                 "ccs11", "ccs3"}));
  s.log.clear();
  const auto completed = s.rig.loop().now();
  ASSERT_EQ(s.phone.ConsultCallComplete(), 0);
  s.Run(5s);
  // Neither hand-over is reported as a far end hanging up.
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"csDisconnected", "ccs8"}));
  EXPECT_EQ(s.phone.NumberOfActiveCalls(), 0);
  EXPECT_EQ(s.rig.sim().live_calls(), 0u);
  const auto* first = s.rig.sim().call_record(1);
  const auto* target = s.rig.sim().call_record(2);
  ASSERT_TRUE(first && target);
  EXPECT_EQ(first->transferred_to, "402");
  EXPECT_TRUE(target->consultation);
  EXPECT_EQ(target->dialled, "402");
  // Joined, each hears the other's voice for the talk time.
  const auto a = HeardSince(*first, completed), b = HeardSince(*target, completed);
  EXPECT_NEAR(a.size() / kRate, 2.0, 0.11);
  EXPECT_GT(Level(a, 1400), 3000);
  EXPECT_LT(Level(a, 1000), 300);
  EXPECT_GT(Level(b, 1000), 3000);
  EXPECT_LT(Level(b, 1400), 300);
  EXPECT_EQ(s.rig.sim().scheduled_actions(), 0u);
}

TEST(KDPhoneHandoverSim, ConsultationCompletedAsConferenceMixesEveryoneForEveryone) {
  SimPhone s(Config(kParties));
  s.rig.sim().keep_audio_up_to(kKeepAudio);
  Connect(s);
  ASSERT_EQ(s.phone.ConsultCallDialNumber(false, "402"), 0);
  s.Run(5s);
  ASSERT_EQ(s.Names().back(), "ccs3");
  s.log.clear();
  ASSERT_EQ(s.phone.ConsultCallComplete(), 0);
  s.Run(1s);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"ccs8", "csInConference"}));
  const auto conference = s.rig.loop().now();
  {
    Speaker app(s, 600, 2);
    s.Run(3s);
  }
  const auto* first = s.rig.sim().call_record(1);
  const auto* second = s.rig.sim().call_record(2);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(first->conferenced && second->conferenced);
  struct Case {
    const char* who;
    std::vector<std::int16_t> heard;
    double hears1, hears2, not_own;
  };
  const Case kCases[] = {
      {"401", HeardSince(*first, conference), 600, 1400, 1000},
      {"402", HeardSince(*second, conference), 600, 1000, 1400},
      {"the line", s.rig.sim().line_input(0), 1000, 1400, 600},
  };
  for (const Case& c : kCases) {
    EXPECT_NEAR(c.heard.size() / kRate, 2.0, 0.01) << c.who;
    EXPECT_GT(Level(c.heard, c.hears1), 3000) << c.who;
    EXPECT_GT(Level(c.heard, c.hears2), 3000) << c.who;
    EXPECT_LT(Level(c.heard, c.not_own), 300) << c.who;
  }
  s.log.clear();
  ASSERT_EQ(s.phone.Hangup(), 0);
  s.Run(5s);
  EXPECT_EQ(Count(s, "csDisconnected"), 1);
  EXPECT_EQ(Count(s, "csRemotePartyDisconnected"), 0);
  EXPECT_EQ(s.phone.NumberOfActiveCalls(), 0);
  EXPECT_EQ(s.rig.sim().live_calls(), 0u);
}

TEST(KDPhoneHandoverSim, CancelledConsultationLeavesTheFirstCallHeld) {
  struct Case {
    const char* name;
    const char* number;
    bool cancel;  // by the application; otherwise the busy far end ends it by itself
    std::vector<std::string> consult_tail;
  };
  const Case kCases[] = {
      {"cancel", "402", true, {"ccs3", "ccs8"}},
      {"busy", "403", false, {"ccs5", "ccs8"}},
  };
  for (const Case& c : kCases) {
    SimPhone s(Config(kParties));
    Connect(s);
    ASSERT_EQ(s.phone.ConsultCallDialNumber(true, c.number), 0) << c.name;
    s.Run(5s);
    if (c.cancel) {
      EXPECT_EQ(s.phone.ConsultCallCancel(), 0) << c.name;
      s.Run(1s);
    }
    std::vector<std::string> ccs;
    for (const auto& n : s.Names())
      if (n.starts_with("ccs")) ccs.push_back(n);
    ASSERT_GE(ccs.size(), 2u) << c.name;
    EXPECT_EQ(std::vector<std::string>(ccs.end() - 2, ccs.end()), c.consult_tail) << c.name;
    EXPECT_EQ(s.phone.ConsultCallCancel(), err::kNoConsultationCall) << c.name;
    EXPECT_EQ(Count(s, "csRemotePartyDisconnected"), 0) << c.name;
    s.log.clear();
    ASSERT_EQ(s.phone.Unhold(), 0) << c.name;
    s.Run(1s);
    EXPECT_EQ(s.Names(), (std::vector<std::string>{"csUnhold"})) << c.name;
    EXPECT_EQ(s.rig.sim().live_calls(), 1u) << c.name;
  }
}

TEST(KDPhoneHandoverSim, TwoHeldCallsJoinedIntoAConference) {
  SimPhone s(Config(kParties));
  s.rig.sim().keep_audio_up_to(kKeepAudio);
  std::vector<int> connected;
  s.on_state = [&](TCallState state, int call) {
    if (state == csConnected) connected.push_back(call);
  };
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  for (const char* number : {"401", "402"}) {
    ASSERT_EQ(s.phone.DialNumber(number, 0), 0) << number;
    s.Run(5s);
    ASSERT_EQ(s.phone.Hold(), 0) << number;
    s.Run(1s);
  }
  ASSERT_EQ(connected.size(), 2u);
  s.log.clear();
  ASSERT_EQ(s.phone.CreateConferenceCall(connected[0], connected[1], 7), 0);
  s.Run(1s);
  EXPECT_EQ(Count(s, "csInConference"), 2);
  const auto* joined = s.Find("csConnected");
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined->p2, 7);  // the conference call carries the user value
  const auto from = s.rig.loop().now();
  {
    Speaker app(s, 600, 1);
    s.Run(2s);
  }
  const auto a = HeardSince(*s.rig.sim().call_record(1), from);
  const auto b = HeardSince(*s.rig.sim().call_record(2), from);
  EXPECT_GT(Level(a, 600), 3000);
  EXPECT_GT(Level(a, 1400), 3000);
  EXPECT_GT(Level(b, 600), 3000);
  EXPECT_GT(Level(b, 1000), 3000);
}

TEST(KDPhoneHandoverSim, BlindTransferTargetHearsTheFarEnd) {
  SimPhone s(Config(kParties));
  s.rig.sim().keep_audio_up_to(kKeepAudio);
  Connect(s);
  const auto handed = s.rig.loop().now();
  ASSERT_EQ(s.phone.Transfer("402"), 0);
  s.Run(5s);
  EXPECT_EQ(s.Names(), (std::vector<std::string>{"csDisconnected"}));
  const auto* target = s.rig.sim().call_record(2);
  ASSERT_NE(target, nullptr);
  const auto heard = HeardSince(*target, handed);
  EXPECT_NEAR(heard.size() / kRate, 2.0, 0.11);
  EXPECT_GT(Level(heard, 1000), 3000);
  ASSERT_TRUE(target->ended.has_value());
  EXPECT_EQ(s.rig.sim().scheduled_actions(), 0u);
}

std::filesystem::path WriteMusic(double hz) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("orvexa-hold-" + std::to_string(::getpid()) + ".wav");
  const std::vector<std::int16_t> pcm = Tone(hz, 0.5);
  std::vector<std::uint8_t> bytes = audio::wave_header(audio::pcm_format(),
                                                       static_cast<std::uint32_t>(pcm.size() * 2));
  bytes.insert(bytes.end(), reinterpret_cast<const std::uint8_t*>(pcm.data()),
               reinterpret_cast<const std::uint8_t*>(pcm.data() + pcm.size()));
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return file;
}

TEST(KDPhoneHandoverSim, HeldFarEndHearsTheLinesMusicOrNothing) {
  const auto music = WriteMusic(500);
  for (bool with_music : {true, false}) {
    std::string toml = kParties;
    if (with_music) toml += "[[line]]\nhold_music = \"" + music.string() + "\"\n";
    SimPhone s(Config(toml));
    s.rig.sim().keep_audio_up_to(kKeepAudio);
    Connect(s);
    ASSERT_EQ(s.phone.Hold(), 0);
    s.Run(2s);
    const auto* r = s.rig.sim().call_record(1);
    ASSERT_NE(r, nullptr);
    if (with_music) {
      EXPECT_NEAR(r->heard_seconds, 2.0, 0.11);
      EXPECT_GT(Level(HeardSince(*r, {}), 500), 3000);
    } else {
      EXPECT_EQ(r->heard_seconds, 0);
    }
    ASSERT_EQ(s.phone.Unhold(), 0);
    s.Run(1s);
    const double after = r->heard_seconds;
    s.Run(2s);
    EXPECT_EQ(r->heard_seconds, after) << "nothing played on the line, nothing heard";
  }
  std::filesystem::remove(music);
}

TEST(KDPhoneHandoverSim, RequestsTheServiceNeverAnswersTimeOutWith113) {
  using Op = std::function<int(KDPhone&)>;
  const std::pair<const char*, Op> kOps[] = {
      {"hold", [](KDPhone& p) { return p.Hold(); }},
      {"blind transfer", [](KDPhone& p) { return p.Transfer("402"); }},
      {"consultation set-up", [](KDPhone& p) { return p.ConsultCallDialNumber(true, "402"); }},
      {"lamp", [](KDPhone& p) { return p.ExtPhoneSetLamp(0, 4); }},
  };
  for (const auto& [name, op] : kOps) {
    SimPhone s(Config(kParties));
    s.phone.SetTimeOut(2000);
    Connect(s);
    s.rig.sim().set_never_reply(0, true);
    ASSERT_EQ(op(s.phone), 0) << name;
    s.Run(10s);
    int timeouts = 0;
    for (const auto& e : s.log) timeouts += e.p1 == err::kTimeOut;
    EXPECT_EQ(timeouts, 1) << name;
    EXPECT_EQ(s.phone.PendingRequestCount(), 0u) << name;
  }
}


TEST(KDPhoneHandoverSim, PhoneDeviceOfTheLineAndItsReports) {
  SimPhone s(Config(kParties));
  std::vector<std::string> reports;
  s.phone.OnHookState = [&](KDPhone&, bool on_hook) {
    reports.push_back(on_hook ? "on hook" : "off hook");
  };
  s.phone.OnExtDevHandsetChanged = [&](KDPhone&) { reports.push_back("handset"); };
  s.phone.OnExtDevAuxChanged = [&](KDPhone&) { reports.push_back("speaker"); };
  ASSERT_EQ(s.phone.LineActive(0, true), 0);
  EXPECT_EQ(s.phone.ExtPhoneNumOfRings(), 3);
  EXPECT_EQ(s.phone.ExtPhoneNumOfLamps(), 4);
  EXPECT_EQ(s.phone.ExtPhoneNumOfDisplayRows(), 2);
  EXPECT_EQ(s.phone.ExtPhoneNumOfDisplayCols(), 40);
  const telephony::PhoneDevice& device = *s.rig.sim().phone_device(0);
  struct Case {
    const char* name;
    std::function<int(KDPhone&)> op;
    int want;
  };
  const Case kCases[] = {
      {"ring", [](KDPhone& p) { return p.ExtPhoneSetRing(2, 40000); }, 0},
      {"ring past the modes", [](KDPhone& p) { return p.ExtPhoneSetRing(4, 0); },
       err::kInvalidArgument},
      {"lamp", [](KDPhone& p) { return p.ExtPhoneSetLamp(3, 0x8); }, 0},
      {"lamp past the lamps", [](KDPhone& p) { return p.ExtPhoneSetLamp(4, 0x8); },
       err::kInvalidArgument},
      // The component passes the mode on unchecked; the device refuses one it lacks.
      {"unknown lamp mode", [](KDPhone& p) { return p.ExtPhoneSetLamp(0, 0x40); },
       err::kExtDeviceUnavailable},
      {"display row just past the rows", [](KDPhone& p) { return p.ExtPhoneSetDisplay(2, 0, u"x"); },
       err::kExtDeviceUnavailable},
      {"display", [](KDPhone& p) { return p.ExtPhoneSetDisplay(1, 35, u"0123456789"); }, 0},
      {"handset off hook", [](KDPhone& p) { return p.ExtDevHandSet().SetMicSpeakerState(3); }, 0},
      {"speaker on", [](KDPhone& p) { return p.ExtDevAux().SetMicSpeakerState(2); }, 0},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.op(s.phone), c.want) << c.name;
    s.Run(1s);
  }
  EXPECT_EQ(device.ring_mode(), 2u);
  EXPECT_EQ(device.ring_volume(), 40000u);
  EXPECT_EQ(device.lamps(), (std::vector<telephony::DWORD>{2, 2, 2, 8}));
  EXPECT_EQ(device.display_row(1).substr(35), u"01234");  // cut at the end of the display
  EXPECT_EQ(device.handset().mode, telephony::PHONEHOOKSWITCHMODE_MICSPEAKER);
  EXPECT_EQ(device.speaker().mode, telephony::PHONEHOOKSWITCHMODE_SPEAKER);
  EXPECT_EQ(reports, (std::vector<std::string>{"handset", "off hook", "speaker"}));
  std::u16string shown;
  ASSERT_EQ(s.phone.ExtPhoneGetDisplay(shown), 0);
  EXPECT_EQ(shown.size(), 80u);
  std::uint8_t state = 0;
  ASSERT_EQ(s.phone.ExtDevHandSet().GetMicSpeakerState(state), 0);
  EXPECT_EQ(state, 3);
  // The state it already has: nothing is sent.
  EXPECT_EQ(s.phone.ExtDevHandSet().SetMicSpeakerState(3), 0);
  EXPECT_EQ(s.phone.PendingRequestCount(), 0u);
  s.phone.ExtDevAux().SetSpeakerVolume(5);
  s.Run(1s);
  EXPECT_EQ(device.speaker().volume, 32768u);
  EXPECT_EQ(s.Find("line2"), nullptr) << "no request failed";
}

}  // namespace
}  // namespace orvexa::components

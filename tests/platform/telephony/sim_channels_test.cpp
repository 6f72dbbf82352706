// Simulated lines with channels, through the line service on the manual clock: several calls at
// once on one line, each on audio devices of its own, and what each far end hears and sends.
#include <gtest/gtest.h>

#include <cstring>
#include <list>
#include <map>
#include <set>
#include <string>

#include "platform/audio/wave_types.h"
#include "platform/telephony/line_service.h"
#include "platform/telephony/telephony_rig.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::telephony {
namespace {

using namespace std::chrono_literals;

// 301 and 304 only answer; 302 presses 5 as an event, 303 presses 7 as sound on the line.
constexpr const char* kFarEnds = R"(
[timing]
ringback = 0
[[far_end]]
number = "301"
rings = 0
[[far_end]]
number = "302"
rings = 0
keys = [{ key = "5", at = 500 }]
[[far_end]]
number = "303"
rings = 0
dtmf = "inband"
keys = [{ key = "7", at = 500 }]
[[far_end]]
number = "304"
rings = 0
)";

SimConfig Config(const std::string& line_table) {
  SimConfigResult parsed = parse_sim_config(kFarEnds + line_table);
  EXPECT_TRUE(parsed.config) << parsed.error;
  return parsed.config.value_or(default_sim_config());
}

// Line 0 of a configuration opened by one application, which keeps every call's last state
// and the digits reported for it.
class Line {
 public:
  explicit Line(const std::string& line_table) : rig_(Config(line_table), true) {
    rig_.sim().keep_audio_up_to(4 << 20);
    DWORD devices = 0, version = kApiVersion20002;
    auto callback = [this](DWORD device, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR,
                           DWORD_PTR) {
      if (message == LINE_CALLSTATE) {
        state[device] = static_cast<DWORD>(p1);
        if (p1 == LINECALLSTATE_OFFERING) offered.push_back(device);
      }
      if (message == LINE_MONITORDIGITS) digits[device].push_back(static_cast<char>(p1));
    };
    EXPECT_EQ(lines().lineInitializeExW(&app_, callback, &devices, &version, nullptr), 0);
    EXPECT_EQ(lines().lineOpen(app_, 0, &line_, kApiVersion20002, 0, 0, LINECALLPRIVILEGE_OWNER,
                               LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
              0);
  }
  ~Line() {
    for (Playing& p : playing_) {
      rig_.audio().waveOutReset(p.out);
      rig_.audio().waveOutUnprepareHeader(p.out, &p.block, sizeof p.block);
      rig_.audio().waveOutClose(p.out);
    }
  }

  // 0 and the call's handle once the request is answered; the refusal otherwise.
  LONG MakeCall(const char* number, HCALL& call) {
    call = 0;
    const LONG r = lines().lineMakeCall(line_, &call, number, 0, nullptr);
    if (r <= 0) return r;
    rig_.loop().run_until([&] { return call != 0; }, 1s);
    return call != 0 ? 0 : LINEERR_OPERATIONFAILED;
  }
  bool Connected(std::initializer_list<HCALL> calls) {
    return rig_.loop().run_until(
        [&] {
          for (HCALL c : calls)
            if (state[c] != LINECALLSTATE_CONNECTED) return false;
          return true;
        },
        10s);
  }
  void Hangup(HCALL call) {
    EXPECT_GT(lines().lineDrop(call, nullptr, 0), 0);
    rig_.loop().run_until([&] { return state[call] == LINECALLSTATE_IDLE; }, 5s);
    EXPECT_EQ(state[call], LINECALLSTATE_IDLE);
    EXPECT_EQ(lines().lineDeallocateCall(call), 0);
  }
  DWORD MaxActiveCalls() {
    VarBuffer<LINEADDRESSCAPS> caps(sizeof(LINEADDRESSCAPS) + 256);
    EXPECT_EQ(lines().lineGetAddressCaps(app_, 0, 0, kApiVersion20002, 0, caps.get()), 0);
    return caps->dwMaxNumActiveCalls;
  }
  // The call's own "wave/in" or "wave/out" device number; -1 when refused.
  std::int32_t Wave(HCALL call, const char* device_class) {
    VarBuffer<VARSTRING> id(sizeof(VARSTRING) + 16);
    if (lines().lineGetID(0, 0, call, LINECALLSELECT_CALL, id.get(), device_class) != 0) return -1;
    DWORD number = 0;
    std::memcpy(&number, id.bytes().data() + id->dwStringOffset, sizeof number);
    return static_cast<std::int32_t>(number);
  }
  // Plays `seconds` of bytes of one value into the call's own output.
  void Play(HCALL call, double seconds, std::uint8_t value) {
    Playing& p = playing_.emplace_back();
    p.sound.assign(static_cast<std::size_t>(seconds * 16000), value);
    const audio::WAVEFORMATEX format = audio::pcm_format();
    ASSERT_EQ(rig_.audio().waveOutOpen(&p.out, static_cast<std::uint32_t>(Wave(call, "wave/out")),
                                       &format, messaging::kNoWindow, 0, audio::CALLBACK_NULL),
              0u);
    p.block.lpData = reinterpret_cast<char*>(p.sound.data());
    p.block.dwBufferLength = static_cast<audio::DWORD>(p.sound.size());
    rig_.audio().waveOutPrepareHeader(p.out, &p.block, sizeof p.block);
    rig_.audio().waveOutWrite(p.out, &p.block, sizeof p.block);
  }
  const SimProvider::CallRecord* Record(HCALL call) {
    for (const auto& r : rig_.sim().records())
      if (r.handle == call) return &r;
    return nullptr;
  }
  void Run(messaging::Duration d) { rig_.loop().run_for(d); }
  LineService& lines() { return rig_.lines(); }
  SimProvider& sim() { return rig_.sim(); }
  TelephonyRig& rig() { return rig_; }

  std::map<HCALL, DWORD> state;
  std::map<HCALL, std::string> digits;
  std::vector<HCALL> offered;

 private:
  struct Playing {
    audio::HWAVEOUT out = 0;
    std::vector<std::uint8_t> sound;
    audio::WAVEHDR block{};
  };
  TelephonyRig rig_;
  HLINEAPP app_ = 0;
  HLINE line_ = 0;
  std::list<Playing> playing_;  // blocks stay where the device reads them
};

TEST(SimChannels, TheLineSaysHowManyCallsItCarries) {
  struct Case {
    const char* line_table;
    DWORD calls;
  };
  const Case kCases[] = {{"[[line]]\n", 1}, {"[[line]]\nchannels = 3\n", 3},
                         {"[[line]]\nchannels = 500\n", 500}};
  for (const Case& c : kCases) {
    Line line(c.line_table);
    EXPECT_EQ(line.MaxActiveCalls(), c.calls) << c.line_table;
    EXPECT_EQ(line.sim().device(0).channels, c.calls) << c.line_table;
  }
}

TEST(SimChannels, ACallBeyondTheChannelsIsRefusedUntilOneEnds) {
  Line line("[[line]]\nchannels = 3\n");
  HCALL calls[3] = {};
  const char* numbers[3] = {"301", "302", "304"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(line.MakeCall(numbers[i], calls[i]), 0) << i;
  HCALL fourth = 0;
  EXPECT_EQ(line.MakeCall("301", fourth), LINEERR_RESOURCEUNAVAIL);
  ASSERT_TRUE(line.Connected({calls[0], calls[1], calls[2]}));
  EXPECT_EQ(line.MakeCall("301", fourth), LINEERR_RESOURCEUNAVAIL);
  EXPECT_EQ(line.sim().records().size(), 3u);  // a refused call reached no far end
  EXPECT_EQ(line.lines().open_calls(), 3u);

  // Each call has devices of its own; the first has the line's.
  std::set<std::int32_t> outputs, inputs;
  for (HCALL c : calls) {
    outputs.insert(line.Wave(c, "wave/out"));
    inputs.insert(line.Wave(c, "wave/in"));
  }
  EXPECT_EQ(outputs.size(), 3u);
  EXPECT_EQ(inputs.size(), 3u);
  EXPECT_FALSE(outputs.contains(-1));
  EXPECT_EQ(line.Wave(calls[0], "wave/out"), line.sim().device(0).wave_out);
  EXPECT_EQ(line.Wave(calls[0], "wave/in"), line.sim().device(0).wave_in);

  // The middle call ends: a new call is accepted, on the devices it left.
  const std::int32_t freed = line.Wave(calls[1], "wave/out");
  line.Hangup(calls[1]);
  HCALL again = 0;
  ASSERT_EQ(line.MakeCall("302", again), 0);
  ASSERT_TRUE(line.Connected({again}));
  EXPECT_EQ(line.Wave(again, "wave/out"), freed);
  EXPECT_EQ(line.MakeCall("301", fourth), LINEERR_RESOURCEUNAVAIL);
}

TEST(SimChannels, EachFarEndHearsOnlyWhatIsPlayedIntoItsOwnCall) {
  Line line("[[line]]\nchannels = 3\n");
  HCALL calls[3] = {};
  const char* numbers[3] = {"301", "302", "304"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(line.MakeCall(numbers[i], calls[i]), 0) << i;
  ASSERT_TRUE(line.Connected({calls[0], calls[1], calls[2]}));
  struct Played {
    double seconds;
    std::uint8_t value;
  };
  // Played to the calls in the other order, so that nothing lines up by chance.
  const Played kPlayed[3] = {{1.5, 0x33}, {0.5, 0x11}, {1.0, 0x22}};
  for (int i = 2; i >= 0; --i) line.Play(calls[i], kPlayed[i].seconds, kPlayed[i].value);
  line.Run(3s);
  for (int i = 0; i < 3; ++i) {
    const SimProvider::CallRecord* r = line.Record(calls[i]);
    ASSERT_NE(r, nullptr) << i;
    EXPECT_NEAR(r->heard_seconds, kPlayed[i].seconds, 1e-6) << i;
    ASSERT_TRUE(r->audio_whole) << i;
    EXPECT_EQ(r->audio.size(), static_cast<std::size_t>(kPlayed[i].seconds * 16000)) << i;
    EXPECT_EQ(std::count(r->audio.begin(), r->audio.end(), kPlayed[i].value),
              static_cast<std::ptrdiff_t>(r->audio.size()))
        << i;
  }
}

TEST(SimChannels, KeysOfOneFarEndReachOnlyItsOwnCall) {
  Line line("[[line]]\nchannels = 3\n");
  HCALL calls[3] = {};
  const char* numbers[3] = {"301", "302", "303"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(line.MakeCall(numbers[i], calls[i]), 0) << i;
  ASSERT_TRUE(line.Connected({calls[0], calls[1], calls[2]}));
  for (HCALL c : calls) ASSERT_EQ(line.lines().lineMonitorDigits(c, LINEDIGITMODE_DTMF), 0);
  line.Run(3s);
  struct Want {
    const char* digits;
    bool sounded;  // the key is sound in the call's own input
  };
  const Want kWant[3] = {{"", false}, {"5", false}, {"7", true}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(line.digits[calls[i]], kWant[i].digits) << numbers[i];
    const std::optional<std::size_t> slot = line.sim().slot_of(calls[i]);
    ASSERT_TRUE(slot) << numbers[i];
    EXPECT_EQ(*slot, static_cast<std::size_t>(i)) << numbers[i];
    EXPECT_EQ(line.sim().line_input(0, *slot).empty(), !kWant[i].sounded) << numbers[i];
  }
}

TEST(SimChannels, ACallOnTheLinesOnlyChannelIsNeverRefused) {
  // A one-channel line keeps what operators do by hand: hold one call, dial another.
  Line line("[[line]]\n");
  HCALL first = 0, second = 0;
  ASSERT_EQ(line.MakeCall("301", first), 0);
  ASSERT_TRUE(line.Connected({first}));
  ASSERT_GT(line.lines().lineHold(first), 0);
  line.Run(1s);
  ASSERT_EQ(line.state[first], LINECALLSTATE_ONHOLD);
  ASSERT_EQ(line.MakeCall("304", second), 0);
  ASSERT_TRUE(line.Connected({second}));
  EXPECT_EQ(line.Wave(second, "wave/out"), line.sim().device(0).wave_out);
}

TEST(SimChannels, AConsultationSharesItsCallsChannel) {
  Line line("[[line]]\nchannels = 2\n");
  HCALL a = 0, b = 0, consult = 0;
  ASSERT_EQ(line.MakeCall("301", a), 0);
  ASSERT_EQ(line.MakeCall("304", b), 0);
  ASSERT_TRUE(line.Connected({a, b}));
  // Every channel is taken, yet the consultation needs none of its own.
  ASSERT_GT(line.lines().lineSetupTransfer(b, &consult, nullptr), 0);
  line.Run(1s);
  ASSERT_NE(consult, 0u);
  EXPECT_EQ(line.state[consult], LINECALLSTATE_DIALTONE);
  EXPECT_EQ(line.sim().slot_of(consult), line.sim().slot_of(b));
  EXPECT_EQ(line.Wave(consult, "wave/out"), line.Wave(b, "wave/out"));
  EXPECT_NE(line.Wave(consult, "wave/out"), line.Wave(a, "wave/out"));
}

TEST(SimChannels, AnIncomingCallFindingEveryChannelTakenIsBusyForItsCaller) {
  Line line(R"([[line]]
channels = 2
[[line.incoming]]
at = 3000
number = "400"
[[line.incoming]]
at = 20000
number = "401"
)");
  HCALL a = 0, b = 0;
  ASSERT_EQ(line.MakeCall("301", a), 0);
  ASSERT_EQ(line.MakeCall("304", b), 0);
  ASSERT_TRUE(line.Connected({a, b}));
  line.Run(5s);
  EXPECT_TRUE(line.offered.empty());
  const SimProvider::CallRecord& busy = line.sim().records().back();
  EXPECT_EQ(busy.dialled, "400");
  EXPECT_FALSE(busy.outgoing);
  EXPECT_EQ(busy.outcome, FarEndOutcome::Busy);
  EXPECT_EQ(busy.ended, busy.started);
  // With a channel free again the next caller is offered, on the channel that was freed.
  const std::int32_t freed = line.Wave(a, "wave/out");
  line.Hangup(a);
  line.Run(20s);
  ASSERT_EQ(line.offered.size(), 1u);
  EXPECT_EQ(line.Record(line.offered[0])->dialled, "401");
  EXPECT_EQ(line.Wave(line.offered[0], "wave/out"), freed);
}

}  // namespace
}  // namespace orvexa::telephony

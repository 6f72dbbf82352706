// Tone monitoring on a simulated line, as an application asks for it: the far end's tones at
// given times, found in what the call receives and reported as LINE_MONITORTONE, on the
// manual clock.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "platform/telephony/line_service.h"
#include "platform/telephony/telephony_rig.h"
#include "sim_service_rig.h"

namespace orvexa::telephony {
namespace {

using namespace std::chrono_literals;

struct Reported {
  DWORD_PTR tag;
  messaging::Duration after_answer;  // of the call to "300"
};

// One call to "300", whose far end is described by `far_end` (keys of a [[far_end]] table),
// connected on the manual clock; `on_answer` runs when the application hears it answered.
class TonedCall {
 public:
  explicit TonedCall(const std::string& far_end, std::function<void(TonedCall&)> on_answer = {})
      : rig_(Config(far_end), true), on_answer_(std::move(on_answer)) {
    LineService& lines = rig_.lines();
    DWORD devices = 0, version = kApiVersion20002;
    auto callback = [this](DWORD device, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR,
                           DWORD_PTR) { Notice(device, message, p1); };
    EXPECT_EQ(lines.lineInitializeExW(&app_, callback, &devices, &version, nullptr), 0);
    EXPECT_EQ(lines.lineOpen(app_, 0, &line_, kApiVersion20002, 0, 0, LINECALLPRIVILEGE_OWNER,
                             LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
              0);
    EXPECT_GT(lines.lineMakeCall(line_, &call, "300", 0, nullptr), 0);
    for (int i = 0; i < 1000 && !answered_; ++i) rig_.loop().run_for(10ms);
    EXPECT_TRUE(answered_) << "the far end should have answered";
  }

  LONG Monitor(std::vector<LINEMONITORTONE> tones) {
    return rig_.lines().lineMonitorTones(call, tones.empty() ? nullptr : tones.data(),
                                         static_cast<DWORD>(tones.size()));
  }
  void Run(messaging::Duration d) { rig_.loop().run_for(d); }
  TelephonyRig& rig() { return rig_; }

  HCALL call = 0;
  std::vector<Reported> reported;

 private:
  static SimConfig Config(const std::string& far_end) {
    const std::string text = "[timing]\nringback = 0\n[[far_end]]\nnumber = \"300\"\nrings = 0\n" +
                             far_end;
    SimConfigResult parsed = parse_sim_config(text);
    EXPECT_TRUE(parsed.config) << parsed.error;
    return parsed.config.value_or(default_sim_config());
  }
  void Notice(DWORD device, DWORD message, DWORD_PTR p1) {
    if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_CONNECTED && !answered_) {
      answered_ = rig_.loop().now();
      if (on_answer_) on_answer_(*this);
    }
    if (message == LINE_MONITORTONE) {
      EXPECT_EQ(device, call);
      reported.push_back({p1, rig_.loop().now() - answered_.value_or(rig_.loop().now())});
    }
  }

  TelephonyRig rig_;
  std::function<void(TonedCall&)> on_answer_;
  HLINEAPP app_ = 0;
  HLINE line_ = 0;
  std::optional<messaging::TimePoint> answered_;
};

LINEMONITORTONE Tone(DWORD_PTR tag, DWORD ms, DWORD f1, DWORD f2 = 0, DWORD f3 = 0) {
  return {tag, ms, f1, f2, f3};
}

TEST(LineTones, FarEndTonesAreReportedOnceTheyHaveSoundedLongEnough) {
  struct Case {
    const char* name;
    const char* tones;  // the far end's
    std::vector<LINEMONITORTONE> watched;
    std::vector<std::pair<DWORD_PTR, messaging::Duration>> want;  // tag, when the rule is met
  };
  const Case kCases[] = {
      {"one tone", "tones = [{ hz = 440, at = 2000, ms = 1000 }]", {Tone(7, 1000, 440)},
       {{7, 3000ms}}},
      {"one frame too short", "tones = [{ hz = 440, at = 2000, ms = 980 }]",
       {Tone(7, 1000, 440)}, {}},
      {"much too short", "tones = [{ hz = 440, at = 2000, ms = 400 }]", {Tone(7, 1000, 440)}, {}},
      {"two frequencies, not either alone", "tones = [{ hz = [350, 440], at = 1000, ms = 800 }]",
       {Tone(1, 500, 440), Tone(2, 500, 350, 440), Tone(3, 500, 350)}, {{2, 1500ms}}},
      {"another frequency", "tones = [{ hz = 620, at = 1000, ms = 800 }]", {Tone(1, 500, 440)},
       {}},
      {"each time it sounds",
       "tones = [{ hz = 480, at = 500, ms = 300 }, { hz = 480, at = 1500, ms = 300 }]",
       {Tone(4, 200, 480)}, {{4, 700ms}, {4, 1700ms}}},
      {"two tones of a list",
       "tones = [{ hz = 1400, at = 500, ms = 300 }, { hz = [440, 480], at = 1500, ms = 2000 }]",
       {Tone(5, 100, 1400), Tone(6, 1500, 440, 480)}, {{5, 600ms}, {6, 3000ms}}},
  };
  for (const Case& c : kCases) {
    TonedCall t(c.tones, [&](TonedCall& self) { EXPECT_EQ(self.Monitor(c.watched), 0) << c.name; });
    t.Run(5s);
    ASSERT_EQ(t.reported.size(), c.want.size()) << c.name;
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(t.reported[i].tag, c.want[i].first) << c.name;
      // At the end of the 20 ms frame in which the rule was met.
      EXPECT_GE(t.reported[i].after_answer, c.want[i].second) << c.name;
      EXPECT_LT(t.reported[i].after_answer, c.want[i].second + 20ms) << c.name;
    }
  }
}

TEST(LineTones, NothingIsReportedUnlessAskedOrAfterTheListIsCancelled) {
  const char* kTones = "tones = [{ hz = 440, at = 1000, ms = 1000 }]";
  TonedCall asked(kTones, [](TonedCall& t) { ASSERT_EQ(t.Monitor({Tone(1, 500, 440)}), 0); });
  asked.Run(5s);
  EXPECT_EQ(asked.reported.size(), 1u) << "the same far end, asked for";

  TonedCall unasked(kTones);
  unasked.Run(5s);
  EXPECT_TRUE(unasked.reported.empty());
  EXPECT_EQ(unasked.rig().lines().monitored_tone_calls(), 0u);

  TonedCall cancelled(kTones, [](TonedCall& t) { ASSERT_EQ(t.Monitor({Tone(1, 500, 440)}), 0); });
  cancelled.Run(1200ms);
  EXPECT_EQ(cancelled.Monitor({}), 0);
  cancelled.Run(5s);
  EXPECT_TRUE(cancelled.reported.empty());
  EXPECT_EQ(cancelled.rig().lines().monitored_tone_calls(), 0u);
  // Nothing is left ticking for the far end once its tones are over.
  EXPECT_EQ(cancelled.rig().sim().scheduled_actions(), 0u);
}

TEST(LineTones, AListChangedMidwayStartsAfresh) {
  TonedCall t("tones = [{ hz = 440, at = 0, ms = 3000 }]",
              [](TonedCall& self) { ASSERT_EQ(self.Monitor({Tone(1, 2000, 440)}), 0); });
  t.Run(1500ms);
  ASSERT_EQ(t.Monitor({Tone(2, 1000, 440)}), 0);
  t.Run(5s);
  // Only the new list counts, and only from when it was given.
  ASSERT_EQ(t.reported.size(), 1u);
  EXPECT_EQ(t.reported[0].tag, 2u);
  EXPECT_GE(t.reported[0].after_answer, 2500ms);
  EXPECT_LT(t.reported[0].after_answer, 2540ms);
}

TEST(LineTones, ListsTheDetectorCannotServeAreRefused) {
  TonedCall t("tones = [{ hz = 440, at = 2000, ms = 1000 }]",
              [](TonedCall& self) { ASSERT_EQ(self.Monitor({Tone(9, 500, 440)}), 0); });
  struct Case {
    const char* name;
    std::vector<LINEMONITORTONE> tones;
    LONG want;
  };
  const Case kCases[] = {
      {"silence", {Tone(1, 100, 0)}, LINEERR_INVALTONE},
      {"a gap before a frequency", {Tone(1, 100, 440, 0, 620)}, LINEERR_INVALTONE},
      {"above what 8 kHz holds", {Tone(1, 100, 4000)}, LINEERR_INVALTONE},
      {"far above", {Tone(1, 100, 440, 100000)}, LINEERR_INVALTONE},
      {"too close to tell apart", {Tone(1, 100, 440, 450)}, LINEERR_INVALTONE},
      {"no duration", {Tone(1, 0, 440)}, LINEERR_INVALTONE},
      {"one bad among good", {Tone(1, 100, 440), Tone(2, 0, 620)}, LINEERR_INVALTONE},
      {"too many", std::vector<LINEMONITORTONE>(5, Tone(1, 100, 440)), LINEERR_INVALPOINTER},
  };
  for (const Case& c : kCases) EXPECT_EQ(t.Monitor(c.tones), c.want) << c.name;
  EXPECT_EQ(t.rig().lines().lineMonitorTones(0x7777, nullptr, 0), LINEERR_INVALCALLHANDLE);
  // A refused list leaves the one in effect.
  t.Run(5s);
  ASSERT_EQ(t.reported.size(), 1u);
  EXPECT_EQ(t.reported[0].tag, 9u);
}

TEST(LineTones, CallsWithoutAudioOrAlreadyIdleAreRefused) {
  // A simulated line without wave devices has no audio path.
  SimServiceRig bare;
  HLINEAPP app = 0;
  HLINE line = 0;
  HCALL call = 0;
  DWORD devices = 0, version = kApiVersion20002;
  ASSERT_EQ(bare.service.lineInitializeExW(&app, bare.recorder(), &devices, &version, nullptr), 0);
  ASSERT_EQ(bare.service.lineOpen(app, 0, &line, kApiVersion20002, 0, 0, LINECALLPRIVILEGE_OWNER,
                                  LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
            0);
  ASSERT_GT(bare.service.lineMakeCall(line, &call, "300", 0, nullptr), 0);
  bare.loop.run_for(5s);
  const LINEMONITORTONE tone = Tone(1, 100, 440);
  EXPECT_EQ(bare.service.lineMonitorTones(call, &tone, 1), LINEERR_OPERATIONUNAVAIL);
  EXPECT_EQ(bare.service.monitored_tone_calls(), 0u);

  TonedCall t("", [](TonedCall& self) { ASSERT_EQ(self.Monitor({Tone(1, 100, 440)}), 0); });
  EXPECT_EQ(t.rig().lines().monitored_tone_calls(), 1u);
  ASSERT_GT(t.rig().lines().lineDrop(t.call, nullptr, 0), 0);
  t.Run(1s);
  // Monitoring ends when the call goes idle, and an idle call cannot start it again.
  EXPECT_EQ(t.rig().lines().monitored_tone_calls(), 0u);
  EXPECT_EQ(t.Monitor({Tone(1, 100, 440)}), LINEERR_INVALCALLSTATE);
  EXPECT_EQ(t.rig().sim().scheduled_actions(), 0u);
}

}  // namespace
}  // namespace orvexa::telephony

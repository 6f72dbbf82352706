// The line's phone device against the fake service: argument checks against the device's
// counts, a display text cut to the display, hook switch, volume and gain, and the reports.
#include <gtest/gtest.h>

#include <functional>

#include "components/phone/kdphone.h"
#include "fake_telephony.h"

namespace orvexa::components {
namespace {

using testing::FakeTelephony;
using namespace telephony;

struct RecordingBox final : host::ComponentMessageBox {
  std::vector<std::string> shown;
  void show(std::string_view text) override { shown.emplace_back(text); }
};

struct Fixture {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  FakeTelephony api;
  RecordingBox box;
  KDPhone phone{loop, api, {nullptr, nullptr, &box}};
  std::vector<std::string> events;

  explicit Fixture(bool open = true) {
    api.devices[0].phone = 0;
    api.phone_lamps = 3;
    api.phone_rows = 2;
    api.phone_cols = 40;
    phone.OnLineState = [this](KDPhone&, TLineState s, int p1) {
      events.push_back("ls" + std::to_string(s) + " " + std::to_string(p1));
    };
    phone.OnHookState = [this](KDPhone&, bool on_hook) {
      events.push_back(on_hook ? "on hook" : "off hook");
    };
    if (open) {
      EXPECT_EQ(phone.LineActive(0, true), 0);
    }
    events.clear();
  }
};

TEST(KDPhoneDevice, ArgumentsAreCheckedAgainstTheDeviceCounts) {
  using Op = std::function<int(KDPhone&)>;
  struct Case {
    const char* what;
    Op op;
    int want;
  };
  const Case kCases[] = {
      {"ring 0", [](KDPhone& p) { return p.ExtPhoneSetRing(0, 0); }, 0},
      {"ring 2 loudest", [](KDPhone& p) { return p.ExtPhoneSetRing(2, 65535); }, 0},
      {"ring 3", [](KDPhone& p) { return p.ExtPhoneSetRing(3, 0); }, -10},
      {"ring -1", [](KDPhone& p) { return p.ExtPhoneSetRing(-1, 0); }, -10},
      {"ring volume 65536", [](KDPhone& p) { return p.ExtPhoneSetRing(1, 65536); }, -10},
      {"lamp 2", [](KDPhone& p) { return p.ExtPhoneSetLamp(2, 7); }, 0},
      {"lamp 3", [](KDPhone& p) { return p.ExtPhoneSetLamp(3, 1); }, -10},
      {"lamp -1", [](KDPhone& p) { return p.ExtPhoneSetLamp(-1, 1); }, -10},
      {"display 1,39", [](KDPhone& p) { return p.ExtPhoneSetDisplay(1, 39, u"x"); }, 0},
      {"display row 3", [](KDPhone& p) { return p.ExtPhoneSetDisplay(3, 0, u"x"); }, -10},
      {"display column 41", [](KDPhone& p) { return p.ExtPhoneSetDisplay(0, 41, u"x"); }, -10},
  };
  for (const Case& c : kCases) {
    Fixture f;
    EXPECT_EQ(c.op(f.phone), c.want) << c.what;
    EXPECT_EQ(f.phone.PendingRequestCount(), c.want == 0 ? 1u : 0u) << c.what;
    Fixture closed(false);
    EXPECT_EQ(c.op(closed.phone), err::kLineNotActive) << c.what;
  }
  Fixture refusing;
  refusing.api.refuse["phoneSetLamp"] = {PHONEERR_RESOURCEUNAVAIL};
  EXPECT_EQ(refusing.phone.ExtPhoneSetLamp(0, 1), err::kExtDeviceUnavailable);

  Fixture bare(false);
  bare.api.devices[0].phone = -1;  // no phone device: all counts stay 0
  ASSERT_EQ(bare.phone.LineActive(0, true), 0);
  EXPECT_EQ(bare.phone.ExtPhoneNumOfRings() + bare.phone.ExtPhoneNumOfLamps() +
                bare.phone.ExtPhoneNumOfDisplayRows() + bare.phone.ExtPhoneNumOfDisplayCols(),
            0);
  EXPECT_EQ(bare.phone.ExtPhoneSetRing(0, 0), err::kExtDeviceUnavailable);
  EXPECT_EQ(bare.phone.ExtPhoneSetDisplay(0, 0, u"x"), err::kExtDeviceUnavailable);
}

TEST(KDPhoneDevice, DisplayTextIsCutToTheDisplay) {
  struct Case {
    DWORD format;
    int row, column;
    std::size_t text_length, want_bytes;
  };
  const Case kCases[] = {{STRINGFORMAT_UNICODE, 0, 0, 100, 160},
                         {STRINGFORMAT_UNICODE, 1, 30, 100, 20},
                         {STRINGFORMAT_UNICODE, 0, 0, 12, 24},
                         {STRINGFORMAT_ASCII, 0, 0, 100, 80},
                         {STRINGFORMAT_ASCII, 1, 40, 5, 0}};
  for (const Case& c : kCases) {
    Fixture f(false);
    f.api.devices[0].string_format = c.format;
    ASSERT_EQ(f.phone.LineActive(0, true), 0);
    ASSERT_EQ(f.phone.ExtPhoneSetDisplay(c.row, c.column, std::u16string(c.text_length, u'A')), 0);
    EXPECT_EQ(f.api.display.size(), c.want_bytes) << c.format << " " << c.row << "," << c.column;
  }
}

TEST(KDPhoneDevice, ReadingRingAndDisplay) {
  Fixture f;
  int mode = 0, volume = 0;
  EXPECT_EQ(f.phone.ExtPhoneGetRing(mode, volume), 0);
  EXPECT_EQ(mode * 100000 + volume, 103000);
  f.api.refuse["phoneGetRing"] = {PHONEERR_NODEVICE};
  EXPECT_EQ(f.phone.ExtPhoneGetRing(mode, volume), err::kExtDeviceUnavailable);

  std::u16string text;
  f.api.too_small_answers = 3;
  EXPECT_EQ(f.phone.ExtPhoneGetDisplay(text), 0);
  EXPECT_EQ(text, u"HELLO");
  f.api.too_small_answers = 11;
  EXPECT_EQ(f.phone.ExtPhoneGetDisplay(text), err::kFailed);
  f.api.too_small_answers = 0;
  f.api.refuse["phoneGetDisplay"] = {PHONEERR_RESOURCEUNAVAIL};
  EXPECT_EQ(f.phone.ExtPhoneGetDisplay(text), err::kExtDeviceUnavailable);
}

TEST(KDPhoneDevice, MicrophoneAndSpeakerState) {
  struct Case {
    const char* what;
    std::function<void(FakeTelephony&)> setup;
    bool aux;
    std::uint8_t state;
    int want;
    int hook_requests;
  };
  const Case kCases[] = {
      {"both on", [](FakeTelephony&) {}, false, 3, 0, 1},
      {"already on hook", [](FakeTelephony&) {}, false, 0, 0, 0},
      {"above 3", [](FakeTelephony&) {}, false, 4, -10, 0},
      {"no speaker", [](FakeTelephony&) {}, true, 1, 151, 0},
      {"no handset",
       [](FakeTelephony& a) { a.phone_hook_devs = PHONEHOOKSWITCHDEV_SPEAKER; }, false, 1, 152, 0},
      {"status refused",
       [](FakeTelephony& a) { a.refuse["phoneGetStatus"] = {PHONEERR_RESOURCEUNAVAIL}; }, false, 1,
       156, 0},
      {"hook switch refused",
       // The two of the opening pass.
       [](FakeTelephony& a) { a.refuse["phoneSetHookSwitch"] = {0, 0, PHONEERR_RESOURCEUNAVAIL}; },
       false,
       2, 156, 1},
  };
  for (const Case& c : kCases) {
    Fixture f(false);
    c.setup(f.api);
    ASSERT_EQ(f.phone.LineActive(0, true), 0) << c.what;
    const int before = f.api.Count("phoneSetHookSwitch");
    TExtDev& dev = c.aux ? f.phone.ExtDevAux() : f.phone.ExtDevHandSet();
    EXPECT_EQ(dev.SetMicSpeakerState(c.state), c.want) << c.what;
    EXPECT_EQ(f.api.Count("phoneSetHookSwitch") - before, c.hook_requests) << c.what;
  }
  Fixture f;
  f.api.handset_mode = PHONEHOOKSWITCHMODE_MIC | PHONEHOOKSWITCHMODE_SPEAKER;
  std::uint8_t state = 0;
  ASSERT_EQ(f.phone.ExtDevHandSet().GetMicSpeakerState(state), 0);
  EXPECT_EQ(state, 2);  // the highest mode bit decides
  ASSERT_EQ(f.phone.ExtDevHandSet().SetMicSpeakerState(3), 0);
  EXPECT_TRUE(f.api.Called("phoneSetHookSwitch 1 8"));
  EXPECT_EQ(f.phone.ExtDevHandSet().SetMicSpeakerState(1), err::kRequestInProgress);
}

TEST(KDPhoneDevice, VolumeAndGainAreScaledAndRangeChecked) {
  Fixture f(false);
  f.phone.ExtDevHandSet().SetSpeakerVolume(11);
  f.phone.ExtDevAux().SetMicGain(-1);
  EXPECT_EQ(f.box.shown,
            (std::vector<std::string>{
                "SpeakerVolume property must be set to a value ranging from 0 to 10",
                "MicGain property must be set to a value ranging from 0 to 10"}));
  EXPECT_EQ(f.phone.ExtDevHandSet().SpeakerVolume(), 10);
  f.phone.ExtDevHandSet().SetSpeakerVolume(3);  // kept for the opening
  f.phone.ExtDevHandSet().SetMicGain(1);
  EXPECT_EQ(f.api.Count("phoneSetVolume"), 0);
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  for (const char* sent : {"phoneSetHookSwitch 1 1", "phoneSetVolume 1 19660", "phoneSetGain 1 6554",
                           "phoneSetHookSwitch 2 1", "phoneSetVolume 2 65535",
                           "phoneSetGain 2 65535"})
    EXPECT_TRUE(f.api.Called(sent)) << sent;
  f.phone.ExtDevHandSet().SetSpeakerVolume(5);
  f.phone.ExtDevAux().SetMicGain(7);
  EXPECT_TRUE(f.api.Called("phoneSetVolume 1 32768"));
  EXPECT_TRUE(f.api.Called("phoneSetGain 2 45874"));
}

TEST(KDPhoneDevice, RefusedRepliesAndTheHookState) {
  Fixture f;
  ASSERT_EQ(f.phone.ExtPhoneSetRing(1, 100), 0);
  f.api.NotifyPhone(77, PHONE_REPLY, static_cast<DWORD_PTR>(f.api.next_request - 1),
                    static_cast<DWORD>(PHONEERR_RESOURCEUNAVAIL));
  ASSERT_EQ(f.phone.ExtDevHandSet().SetMicSpeakerState(3), 0);
  f.api.NotifyPhone(77, PHONE_REPLY, static_cast<DWORD_PTR>(f.api.next_request - 1),
                    static_cast<DWORD>(PHONEERR_RESOURCEUNAVAIL));
  EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
  const DWORD modes[] = {PHONEHOOKSWITCHMODE_ONHOOK, PHONEHOOKSWITCHMODE_ONHOOK,
                         PHONEHOOKSWITCHMODE_MICSPEAKER, PHONEHOOKSWITCHMODE_MIC};
  for (DWORD mode : modes) {
    f.api.handset_mode = mode;
    f.api.NotifyPhone(77, PHONE_STATE, 0x200);
  }
  EXPECT_EQ(f.events, (std::vector<std::string>{"ls2 164", "ls2 156", "on hook", "off hook"}));
}

}  // namespace
}  // namespace orvexa::components

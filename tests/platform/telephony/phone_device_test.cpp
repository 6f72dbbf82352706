// The phone device model and the service's phone functions over the simulated lines.
#include <gtest/gtest.h>

#include <functional>

#include "platform/telephony/line_service.h"
#include "platform/telephony/phone_device.h"
#include "platform/telephony/sim_provider.h"
#include "platform/telephony/var_struct.h"
#include "sim_service_rig.h"

namespace orvexa::telephony {
namespace {

TEST(PhoneDevice, OutOfRangeSettingsAreRefusedAndChangeNothing) {
  using Set = std::function<LONG(PhoneDevice&, DWORD&)>;
  struct Case {
    const char* name;
    Set set;
    LONG want;
    DWORD changed;
  };
  const Case kCases[] = {
      {"silence", [](PhoneDevice& p, DWORD& c) { return p.set_ring(0, 0, c); }, 0, 0},
      {"last ring mode", [](PhoneDevice& p, DWORD& c) { return p.set_ring(3, 100, c); }, 0,
       PHONESTATE_RINGMODE | PHONESTATE_RINGVOLUME},
      {"ring mode past the count", [](PhoneDevice& p, DWORD& c) { return p.set_ring(4, 0, c); },
       PHONEERR_INVALRINGMODE, 0},
      {"ring volume too loud", [](PhoneDevice& p, DWORD& c) { return p.set_ring(1, 65536, c); },
       PHONEERR_INVALPARAM, 0},
      {"last lamp", [](PhoneDevice& p, DWORD& c) { return p.set_lamp(3, PHONELAMPMODE_WINK, c); },
       0, PHONESTATE_LAMP},
      {"lamp past the count",
       [](PhoneDevice& p, DWORD& c) { return p.set_lamp(4, PHONELAMPMODE_WINK, c); },
       PHONEERR_INVALBUTTONLAMPID, 0},
      {"two lamp modes at once",
       [](PhoneDevice& p, DWORD& c) {
         return p.set_lamp(0, PHONELAMPMODE_WINK | PHONELAMPMODE_FLASH, c);
       },
       PHONEERR_INVALLAMPMODE, 0},
      {"display row past the count",
       [](PhoneDevice& p, DWORD& c) { return p.set_display(2, 0, u"x", c); }, PHONEERR_INVALPARAM,
       0},
      {"display column past the count",
       [](PhoneDevice& p, DWORD& c) { return p.set_display(0, 40, u"x", c); },
       PHONEERR_INVALPARAM, 0},
      {"handset off hook",
       [](PhoneDevice& p, DWORD& c) {
         return p.set_hook_switch(PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHMODE_MICSPEAKER, c);
       },
       0, PHONESTATE_HANDSETHOOKSWITCH},
      {"unknown hook device",
       [](PhoneDevice& p, DWORD& c) { return p.set_hook_switch(4, PHONEHOOKSWITCHMODE_MIC, c); },
       PHONEERR_INVALHOOKSWITCHDEV, 0},
      {"no hook mode",
       [](PhoneDevice& p, DWORD& c) { return p.set_hook_switch(PHONEHOOKSWITCHDEV_SPEAKER, 0, c); },
       PHONEERR_INVALHOOKSWITCHMODE, 0},
      {"speaker volume",
       [](PhoneDevice& p, DWORD& c) { return p.set_volume(PHONEHOOKSWITCHDEV_SPEAKER, 32768, c); },
       0, PHONESTATE_SPEAKERVOLUME},
      {"gain of both devices at once",
       [](PhoneDevice& p, DWORD& c) { return p.set_gain(3, 1, c); }, PHONEERR_INVALHOOKSWITCHDEV,
       0},
      {"gain too high",
       [](PhoneDevice& p, DWORD& c) { return p.set_gain(PHONEHOOKSWITCHDEV_HANDSET, 70000, c); },
       PHONEERR_INVALPARAM, 0},
  };
  for (const Case& c : kCases) {
    PhoneDevice phone("p");
    const std::string before = describe_phone(phone);
    DWORD changed = 0;
    EXPECT_EQ(c.set(phone, changed), c.want) << c.name;
    EXPECT_EQ(changed, c.changed) << c.name;
    if (c.want != 0) {
      EXPECT_EQ(describe_phone(phone), before) << c.name;
    }
  }
}

TEST(PhoneDevice, DisplayTextIsCutAtTheEndOfTheDisplay) {
  struct Case {
    DWORD row, column;
    std::u16string text;
    std::u16string row0, row1;
  };
  const std::u16string blank(40, u' ');
  const std::u16string longer(100, u'x');
  const Case kCases[] = {
      {0, 0, u"hello", u"hello" + blank.substr(5), blank},
      {0, 38, u"abcd", blank.substr(2) + u"ab", u"cd" + blank.substr(2)},
      {1, 30, longer, blank, blank.substr(10) + std::u16string(10, u'x')},
      {0, 0, longer, std::u16string(40, u'x'), std::u16string(40, u'x')},
  };
  for (const Case& c : kCases) {
    PhoneDevice phone("p");
    DWORD changed = 0;
    ASSERT_EQ(phone.set_display(c.row, c.column, c.text, changed), 0);
    EXPECT_EQ(phone.display().size(), 80u);
    EXPECT_EQ(phone.display_row(0), c.row0) << c.row << "," << c.column;
    EXPECT_EQ(phone.display_row(1), c.row1) << c.row << "," << c.column;
    EXPECT_EQ(changed, PHONESTATE_DISPLAY);
  }
}

// The service with one simulated line and its phone opened.
struct PhoneService : SimServiceRig {
  HPHONEAPP app = 0;
  HPHONE phone = 0;

  PhoneService() {
    DWORD devices = 0, version = kApiVersion20002;
    EXPECT_EQ(service.phoneInitializeExW(&app, recorder(), &devices, &version, nullptr), 0);
    EXPECT_EQ(devices, 1u);
    EXPECT_EQ(service.phoneOpen(app, 0, &phone, kApiVersion20002, 0, 0, PHONEPRIVILEGE_OWNER), 0);
  }
};

TEST(LineServicePhone, RequestsAreAnsweredAndOnlyAskedForChangesReported) {
  PhoneService s;
  ASSERT_EQ(s.service.phoneSetStatusMessages(s.phone, PHONESTATE_HANDSETHOOKSWITCH, 0, 0), 0);
  const LONG lamp = s.service.phoneSetLamp(s.phone, 1, PHONELAMPMODE_FLASH);
  const LONG hook = s.service.phoneSetHookSwitch(s.phone, PHONEHOOKSWITCHDEV_HANDSET,
                                                 PHONEHOOKSWITCHMODE_MIC);
  ASSERT_GT(lamp, 0);
  ASSERT_GT(hook, lamp);
  EXPECT_TRUE(s.notices.empty()) << "nothing is delivered before the loop runs";
  s.loop.process_pending();
  ASSERT_EQ(s.notices.size(), 3u);
  EXPECT_EQ(s.notices[0].message, PHONE_REPLY);
  EXPECT_EQ(static_cast<LONG>(s.notices[0].p1), lamp);
  EXPECT_EQ(s.notices[1].message, PHONE_REPLY);
  EXPECT_EQ(s.notices[2].message, PHONE_STATE);
  EXPECT_EQ(s.notices[2].p1, PHONESTATE_HANDSETHOOKSWITCH);
  EXPECT_EQ(s.sim.phone_device(0)->lamps()[1], PHONELAMPMODE_FLASH);
  DWORD mode = 0;
  EXPECT_EQ(s.service.phoneGetLamp(s.phone, 1, &mode), 0);
  EXPECT_EQ(mode, PHONELAMPMODE_FLASH);
  EXPECT_EQ(s.service.phoneGetLamp(s.phone, 4, &mode), PHONEERR_INVALBUTTONLAMPID);
  VarBuffer<PHONESTATUS> status(sizeof(PHONESTATUS));
  ASSERT_EQ(s.service.phoneGetStatus(s.phone, status.get()), 0);
  EXPECT_EQ(status->dwHandsetHookSwitchMode, PHONEHOOKSWITCHMODE_MIC);
  EXPECT_EQ(status->dwSpeakerHookSwitchMode, PHONEHOOKSWITCHMODE_ONHOOK);
  // Refusals come back at once and leave no reply behind.
  s.notices.clear();
  EXPECT_EQ(s.service.phoneSetRing(s.phone, 9, 0), PHONEERR_INVALRINGMODE);
  EXPECT_EQ(s.service.phoneSetRing(s.phone + 1, 1, 0), PHONEERR_INVALPHONEHANDLE);
  s.loop.process_pending();
  EXPECT_TRUE(s.notices.empty());
}

TEST(LineServicePhone, DisplayTravelsAsWideTextAndIsReadBackWhole) {
  PhoneService s;
  const std::u16string text = u"Orvexa \u0633\u0644\u0627\u0645";
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  ASSERT_GT(s.service.phoneSetDisplay(s.phone, 1, 0, bytes.data(), static_cast<DWORD>(bytes.size())),
            0);
  EXPECT_EQ(s.sim.phone_device(0)->display_row(1).substr(0, text.size()), text);
  VarBuffer<VARSTRING> small(sizeof(VARSTRING) + 16);
  ASSERT_EQ(s.service.phoneGetDisplay(s.phone, small.get()), 0);
  EXPECT_GT(small->dwNeededSize, small->dwTotalSize);
  VarBuffer<VARSTRING> whole(small->dwNeededSize);
  ASSERT_EQ(s.service.phoneGetDisplay(s.phone, whole.get()), 0);
  const auto shown = read_text(whole.bytes(), sizeof(VARSTRING), whole->dwStringSize,
                               whole->dwStringOffset, true);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->size(), 80u);
  EXPECT_EQ(shown->substr(40, text.size()), text);
}

TEST(LineServicePhone, ALineWithoutAPhoneHasNone) {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  auto parsed = parse_sim_config("[[line]]\nphone = false\n[[line]]\nname = \"B\"\n");
  ASSERT_TRUE(parsed.config) << parsed.error;
  SimProvider sim{loop, *parsed.config};
  LineService service{loop};
  service.add_provider(sim);
  EXPECT_EQ(service.phone_of_line(0), nullptr);
  ASSERT_NE(service.phone_of_line(1), nullptr);
  EXPECT_EQ(service.phone_of_line(1)->name(), "B phone");
}

}  // namespace
}  // namespace orvexa::telephony

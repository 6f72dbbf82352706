// The campaign's line on the real line component and a simulated line: why each call ended, as
// call_cause() keeps it for the calls database.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "app/campaign/adapters/phone_line.h"
#include "platform/host/host_services.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"
#include "platform/telephony/line_service.h"
#include "platform/telephony/sim_provider.h"

namespace orvexa::campaign {
namespace {

using namespace std::chrono_literals;
namespace tel = telephony;

constexpr std::string_view kFarEnds = R"(
[[far_end]]
number = "21"
outcome = "busy"
[[far_end]]
number = "22"
outcome = "busy"
status = "486 Busy Here"
[[far_end]]
number = "23"
outcome = "reject"
[[far_end]]
number = "24"
outcome = "unreachable"
[[far_end]]
number = "25"
outcome = "unreachable"
status = "no route to the exchange"
[[far_end]]
number = "26"
outcome = "no-answer"
[[far_end]]
number = "27"
hangup_at = 2000
)";

struct Rig {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  tel::SimProvider sim{loop, tel::parse_sim_config(kFarEnds, ".").config.value()};
  tel::LineService service{loop};
  host::NoBusyIndicator busy;
  PhoneLine line{loop, service, busy};
  std::vector<CallEvent> events;

  Rig() {
    service.add_provider(sim);
    line.bind({[this](CallEvent e) { events.push_back(e); }, {}, {}});
    EXPECT_EQ(line.activate(0), 0);
  }
  bool saw(CallEvent e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
};

TEST(PhoneLineCause, EachWayACallEndsLeavesItsCause) {
  struct Case {
    const char* name;
    const char* number;
    CallEvent event;
    CallCause want;
  };
  const Case cases[] = {
      {"busy", "21", CallEvent::Busy, {0, tel::LINEDISCONNECTMODE_BUSY, 0, ""}},
      {"busy with the line's words", "22", CallEvent::Busy,
       {0, tel::LINEDISCONNECTMODE_BUSY, 486, "Busy Here"}},
      {"rejected", "23", CallEvent::RemoteDisconnected, {0, tel::LINEDISCONNECTMODE_REJECT, 0, ""}},
      {"unreachable", "24", CallEvent::RemoteDisconnected,
       {0, tel::LINEDISCONNECTMODE_UNREACHABLE, 0, ""}},
      {"unreachable with the line's words", "25", CallEvent::RemoteDisconnected,
       {0, tel::LINEDISCONNECTMODE_UNREACHABLE, 0, "no route to the exchange"}},
      {"rang out: idle with nothing said", "26", CallEvent::Disconnected, {}},
      {"answered, then the far end hung up", "27", CallEvent::RemoteDisconnected,
       {0, tel::LINEDISCONNECTMODE_NORMAL, 0, ""}},
  };
  for (const Case& c : cases) {
    Rig rig;
    ASSERT_EQ(rig.line.dial(c.number), 0) << c.name;
    rig.loop.run_for(90s);
    EXPECT_TRUE(rig.saw(c.event)) << c.name;
    EXPECT_TRUE(rig.saw(CallEvent::Disconnected)) << c.name << ": the call was not let go";
    EXPECT_EQ(rig.line.call_cause(), c.want) << c.name << ": " << rig.line.call_cause().text();
  }
}

TEST(PhoneLineCause, ADialStartsAfresh) {
  Rig rig;
  ASSERT_EQ(rig.line.dial("22"), 0);
  rig.loop.run_for(10s);
  ASSERT_EQ(rig.line.call_cause().sip_status, 486);

  // Refused at once: the component's error number, nothing of the call before.
  const int refused = rig.line.dial("12#x");
  ASSERT_NE(refused, 0);
  EXPECT_EQ(rig.line.call_cause(), (CallCause{refused, 0, 0, ""}));

  // Answered and hung up by us: no cause at all.
  rig.events.clear();
  ASSERT_EQ(rig.line.dial("100"), 0);
  EXPECT_EQ(rig.line.call_cause(), CallCause{});
  ASSERT_TRUE(rig.loop.run_until([&] { return rig.saw(CallEvent::Connected); }, 30s));
  rig.line.hangup();
  rig.loop.run_for(5s);
  EXPECT_TRUE(rig.saw(CallEvent::Disconnected));
  EXPECT_EQ(rig.line.call_cause(), CallCause{});
}

TEST(PhoneLineCause, TheLinesWordsSplitIntoAStatusAndAReason) {
  struct Case {
    std::uint32_t state, mode;
    std::string_view ended;
    CallCause want;
  };
  constexpr auto kGone = tel::LINECALLSTATE_DISCONNECTED;
  const Case cases[] = {
      {kGone, tel::LINEDISCONNECTMODE_BUSY, "486 Busy Here", {0, 0x20, 486, "Busy Here"}},
      {kGone, tel::LINEDISCONNECTMODE_REJECT, "603", {0, 0x4, 603, ""}},
      {kGone, tel::LINEDISCONNECTMODE_UNREACHABLE, "Connection refused",
       {0, 0x100, 0, "Connection refused"}},
      {kGone, 0x100, "4860 x", {0, 0x100, 0, "4860 x"}},    // four digits: no status
      {kGone, 0x100, "099 low", {0, 0x100, 0, "099 low"}},  // below 100
      {kGone, 0x100, "700 high", {0, 0x100, 0, "700 high"}},
      {kGone, 0x100, "-48 x", {0, 0x100, 0, "-48 x"}},
      {kGone, 0x100, "48", {0, 0x100, 0, "48"}},
      {kGone, 0x1, "", {0, 0x1, 0, ""}},
      {tel::LINECALLSTATE_BUSY, tel::LINEBUSYMODE_STATION, "", {0, 0x20, 0, ""}},
      // Idle and connected have no disconnect mode, whatever the mode field holds.
      {tel::LINECALLSTATE_IDLE, 0x4, "", {}},
      {tel::LINECALLSTATE_CONNECTED, 0x1, "", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(cause_from_status(c.state, c.mode, c.ended), c.want) << c.ended << " " << c.state;
}

}  // namespace
}  // namespace orvexa::campaign

// lineGetCallStatus over the simulated provider: the state and mode a call ended in, what the
// owner may do in it, when it got there, and the far end's words in the device-specific part.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "platform/telephony/line_service.h"
#include "platform/telephony/sim_provider.h"
#include "platform/telephony/var_struct.h"

namespace orvexa::telephony {
namespace {

using namespace std::chrono;

constexpr std::string_view kFarEnds = R"(
[[far_end]]
number = "21"
outcome = "busy"
status = "486 Busy Here"
[[far_end]]
number = "22"
outcome = "reject"
[[far_end]]
number = "23"
outcome = "unreachable"
status = "no route to the exchange"
[[far_end]]
number = "24"
outcome = "no-answer"
)";

// A minute before midnight UTC, so the first states fall on the next day.
const messaging::WallTime kStart = sys_days{2029y / March / 20} + 23h + 59min + 59s + 500ms;

struct Rig {
  messaging::ManualClock clock{kStart};
  messaging::Loop loop{clock};
  SimProvider sim{loop, parse_sim_config(kFarEnds, ".").config.value()};
  LineService service{loop};
  HLINEAPP app = 0;
  HLINE line = 0;
  std::optional<DWORD> last_state;

  Rig() {
    service.add_provider(sim);
    DWORD devices = 0, version = kApiVersion20002;
    auto callback = [this](DWORD, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
      if (message == LINE_CALLSTATE) last_state = static_cast<DWORD>(p1);
    };
    EXPECT_EQ(service.lineInitializeExW(&app, callback, &devices, &version, nullptr), 0);
    EXPECT_EQ(service.lineOpen(app, 0, &line, kApiVersion20002, 0, 1, LINECALLPRIVILEGE_OWNER,
                               LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
              0);
  }
  // Dials and lets the far end do what it does for `for_how_long`; the call's handle.
  HCALL call(const char* number, messaging::Duration for_how_long) {
    HCALL cell = 0;
    EXPECT_GT(service.lineMakeCall(line, &cell, number, 0, nullptr), 0);
    loop.run_for(for_how_long);
    return cell;
  }
};

std::string ended_text(const VarBuffer<LINECALLSTATUS>& status) {
  auto text = read_text(status.bytes(), sizeof(LINECALLSTATUS), status->dwDevSpecificSize,
                        status->dwDevSpecificOffset, false);
  return text ? std::string(text->begin(), text->end()) : "<outside>";
}

TEST(CallStatus, EachFarEndOutcomeLeavesItsStateModeAndWords) {
  struct Case {
    const char* name;
    const char* number;
    DWORD state, mode, features;
    std::string ended;
  };
  constexpr DWORD kTalk = LINECALLFEATURE_DROP | LINECALLFEATURE_DIAL |
                          LINECALLFEATURE_GENERATEDIGITS | LINECALLFEATURE_MONITORDIGITS |
                          LINECALLFEATURE_MONITORMEDIA | LINECALLFEATURE_MONITORTONES |
                          LINECALLFEATURE_HOLD | LINECALLFEATURE_BLINDTRANSFER;
  const Case cases[] = {
      {"busy", "21", LINECALLSTATE_BUSY, LINEBUSYMODE_STATION, LINECALLFEATURE_DROP,
       "486 Busy Here"},
      {"rejected, no words configured", "22", LINECALLSTATE_DISCONNECTED,
       LINEDISCONNECTMODE_REJECT, LINECALLFEATURE_DROP, ""},
      {"unreachable", "23", LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE,
       LINECALLFEATURE_DROP, "no route to the exchange"},
      {"rang out", "24", LINECALLSTATE_IDLE, 0, 0, ""},
      {"answered", "25", LINECALLSTATE_CONNECTED, 0, kTalk, ""},
  };
  for (const Case& c : cases) {
    Rig rig;
    const HCALL call = rig.call(c.number, 90s);
    ASSERT_NE(call, 0u) << c.name;
    EXPECT_EQ(rig.last_state, c.state) << c.name;
    VarBuffer<LINECALLSTATUS> status(sizeof(LINECALLSTATUS) + 64);
    ASSERT_EQ(rig.service.lineGetCallStatus(call, status.get()), 0) << c.name;
    EXPECT_EQ(status->dwCallState, c.state) << c.name;
    EXPECT_EQ(status->dwCallStateMode, c.mode) << c.name;
    EXPECT_EQ(status->dwCallPrivilege, LINECALLPRIVILEGE_OWNER) << c.name;
    EXPECT_EQ(status->dwCallFeatures, c.features) << c.name;
    EXPECT_EQ(ended_text(status), c.ended) << c.name;
    EXPECT_EQ(status->dwUsedSize, status->dwNeededSize) << c.name;
  }
}

TEST(CallStatus, StateEntryTimeIsTheLoopsCalendarTimeInUtc) {
  // Dialing takes 100 ms and proceeding 1 s: the busy state comes 1.1 s after the dial.
  Rig rig;
  const HCALL call = rig.call("21", 5s);
  VarBuffer<LINECALLSTATUS> status(sizeof(LINECALLSTATUS) + 64);
  ASSERT_EQ(rig.service.lineGetCallStatus(call, status.get()), 0);
  ASSERT_EQ(status->dwCallState, LINECALLSTATE_BUSY);
  const SYSTEMTIME& t = status->tStateEntryTime;
  EXPECT_EQ(t.wYear, 2029);
  EXPECT_EQ(t.wMonth, 3);
  EXPECT_EQ(t.wDay, 21);
  EXPECT_EQ(t.wDayOfWeek, 3);  // Wednesday
  EXPECT_EQ(t.wHour, 0);
  EXPECT_EQ(t.wMinute, 0);
  EXPECT_EQ(t.wSecond, 0);
  EXPECT_EQ(t.wMilliseconds, 600);
}

TEST(CallStatus, SizesAndRefusals) {
  Rig rig;
  const HCALL call = rig.call("21", 5s);
  VarBuffer<LINECALLSTATUS> status(sizeof(LINECALLSTATUS));
  EXPECT_EQ(rig.service.lineGetCallStatus(call + 1000, status.get()), LINEERR_INVALCALLHANDLE);
  EXPECT_EQ(rig.service.lineGetCallStatus(call, nullptr), LINEERR_INVALPOINTER);
  VarBuffer<LINECALLSTATUS> short_one(sizeof(LINECALLSTATUS));
  short_one->dwTotalSize = sizeof(LINECALLSTATUS) - 1;
  EXPECT_EQ(rig.service.lineGetCallStatus(call, short_one.get()), LINEERR_STRUCTURETOOSMALL);

  // The fixed part alone: filled, with the words left out and their room asked for.
  ASSERT_EQ(rig.service.lineGetCallStatus(call, status.get()), 0);
  EXPECT_EQ(status->dwCallState, LINECALLSTATE_BUSY);
  EXPECT_EQ(status->dwUsedSize, sizeof(LINECALLSTATUS));
  EXPECT_EQ(status->dwNeededSize, sizeof(LINECALLSTATUS) + 16);  // "486 Busy Here" + 0, padded
  EXPECT_EQ(status->dwDevSpecificSize, 0u);
  EXPECT_EQ(status->dwDevSpecificOffset, 0u);

  VarBuffer<LINECALLSTATUS> whole(status->dwNeededSize);
  ASSERT_EQ(rig.service.lineGetCallStatus(call, whole.get()), 0);
  EXPECT_EQ(whole->dwUsedSize, whole->dwNeededSize);
  EXPECT_EQ(whole->dwDevSpecificSize, 14u);
  EXPECT_EQ(whole->dwDevSpecificOffset, sizeof(LINECALLSTATUS));
  EXPECT_EQ(ended_text(whole), "486 Busy Here");

  // Once the call is deallocated its handle is no call at all.
  ASSERT_EQ(rig.service.lineDeallocateCall(call), 0);
  EXPECT_EQ(rig.service.lineGetCallStatus(call, whole.get()), LINEERR_INVALCALLHANDLE);
}

}  // namespace
}  // namespace orvexa::telephony

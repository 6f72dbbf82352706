// The line component against a fake service: refusals, structure sizes, lying structures,
// replies that never come or come late, and the sound behaviour where a literal build would fail.
#include <gtest/gtest.h>

#include "components/phone/kdphone.h"
#include "fake_telephony.h"
#include "platform/host/utf.h"

namespace orvexa::components {
namespace {

using namespace std::chrono_literals;
using testing::FakeTelephony;
using namespace telephony;
using messaging::UINT;
using messaging::WPARAM;

struct Fixture {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  FakeTelephony api;
  settings::SettingsStore store;
  KDPhone phone{loop, api, {nullptr, &store}};
  std::vector<std::string> events;
  std::function<void(TCallState, int)> on_state;

  Fixture() {
    phone.OnCallState = [this](KDPhone&, TCallState s, int p1, int p2, int call) {
      events.push_back("cs" + std::to_string(s) + " " + std::to_string(p1) + " " +
                       std::to_string(p2) + " " + std::to_string(call));
      if (on_state) on_state(s, call);
    };
    phone.OnLineState = [this](KDPhone&, TLineState s, int p1) {
      events.push_back("ls" + std::to_string(s) + " " + std::to_string(p1));
    };
    phone.OnBeforeDisconnect = [this](KDPhone&, int call) {
      events.push_back("before " + std::to_string(call));
    };
  }
  // Opens the line and places a call that the service has accepted and connected.
  void Connected(HCALL call, int user = 0) {
    ASSERT_EQ(phone.LineActive(0, true), 0);
    ASSERT_EQ(phone.DialNumber("123", user), 0);
    api.Reply(api.next_request - 1, 0, call);
    api.State(call, LINECALLSTATE_CONNECTED);
    events.clear();
  }
  void Tick(messaging::Duration d) { loop.run_for(d); }
  void Open() {
    ASSERT_EQ(phone.LineActive(0, true), 0);
    events.clear();
  }
};

TEST(KDPhoneFake, NewComponentDefaults) {
  Fixture f;
  EXPECT_EQ(f.phone.WaveRecID(), -2);
  EXPECT_EQ(f.phone.WavePlayID(), -2);
  EXPECT_EQ(f.phone.NumberOfActiveCalls(), 0);
  EXPECT_FALSE(f.phone.IsActive());
  EXPECT_TRUE(f.phone.AutoDisconnect);
  EXPECT_EQ(f.phone.TimeOut(), 10000);
  f.phone.SetTimeOut(-5);
  EXPECT_EQ(f.phone.TimeOut(), 10000);
}

TEST(KDPhoneFake, DialRefusalsMapToTheirNumbers) {
  struct Case {
    LONG refusal;
    int want;
  };
  const Case kCases[] = {{LINEERR_ALLOCATED, 106}, {LINEERR_RESOURCEUNAVAIL, 106},
                         {LINEERR_CALLUNAVAIL, 107}, {LINEERR_INVALADDRESS, 155},
                         {LINEERR_INVALADDRESSID, 114}, {LINEERR_INVALMEDIAMODE, 162},
                         {LINEERR_OPERATIONFAILED, 108}};
  for (const Case& c : kCases) {
    Fixture f;
    EXPECT_EQ(f.phone.DialNumber("1", 0), err::kLineNotActive);
    ASSERT_EQ(f.phone.LineActive(0, true), 0);
    f.api.refuse["lineMakeCall"] = {c.refusal};
    EXPECT_EQ(f.phone.DialNumber("1", 0), c.want) << std::hex << c.refusal;
    EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
  }
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  f.phone.AddressID = -1;
  EXPECT_EQ(f.phone.DialNumber("1", 0), err::kAddressIdRange);
  EXPECT_EQ(f.api.Count("lineMakeCall"), 0);
}

TEST(KDPhoneFake, HangupAndAnswerRefusalsMapToTheirNumbers) {
  struct Case {
    const char* function;
    LONG refusal;
    int want;
  };
  const Case kCases[] = {
      {"lineDrop", LINEERR_INUSE, 106},          {"lineDrop", LINEERR_INVALCALLHANDLE, 115},
      {"lineDrop", LINEERR_NODEVICE, 101},       {"lineDrop", LINEERR_NOMEM, -50},
      {"lineDrop", LINEERR_NOTOWNER, 116},       {"lineDrop", LINEERR_OPERATIONFAILED, 111},
      {"lineAnswer", LINEERR_CALLUNAVAIL, 107},  {"lineAnswer", LINEERR_INVALCALLHANDLE, 115},
      {"lineAnswer", LINEERR_NOTOWNER, 116},     {"lineAnswer", LINEERR_OPERATIONFAILED, 109},
      {"lineGetCallInfo", LINEERR_OPERATIONFAILED, -1},
  };
  for (const Case& c : kCases) {
    Fixture f;
    ASSERT_EQ(f.phone.LineActive(0, true), 0);
    f.api.State(40, LINECALLSTATE_OFFERING);
    if (std::string(c.function) == "lineDrop") f.api.State(40, LINECALLSTATE_CONNECTED);
    f.api.refuse[c.function] = {c.refusal};
    const int got = std::string(c.function) == "lineDrop" ? f.phone.Hangup() : f.phone.Answer(0);
    EXPECT_EQ(got, c.want) << c.function << " " << std::hex << c.refusal;
  }
}

TEST(KDPhoneFake, InitialisationAndOpeningFailures) {
  {
    Fixture f;
    f.api.refuse["lineInitializeExW"] = {LINEERR_OPERATIONFAILED};
    f.api.refuse["lineInitialize"] = {LINEERR_NOMEM};
    EXPECT_EQ(f.phone.NumberOfLines(), 0);
    EXPECT_EQ(f.events, (std::vector<std::string>{"ls2 -50"}));
  }
  {
    Fixture f;
    f.api.refuse["phoneInitializeExW"] = {LINEERR_OPERATIONFAILED};
    f.api.refuse["phoneInitialize"] = {LINEERR_OPERATIONFAILED};
    EXPECT_EQ(f.phone.LineActive(0, true), err::kTapiInit);
    EXPECT_TRUE(f.api.Called("lineShutdown"));
  }
  {
    Fixture f;
    f.api.devices.clear();
    EXPECT_EQ(f.phone.LineActive(0, true), err::kNoLineDevice);
    EXPECT_EQ(f.phone.NumberOfLines(), 0);
  }
  struct Case {
    LONG refusal;
    int want;
  };
  // The first lineOpen is the probe; the second the real opening.
  const Case kOpen[] = {{LINEERR_INVALMEDIAMODE, 162}, {LINEERR_INUSE, 106},
                        {LINEERR_BADDEVICEID, 102}, {LINEERR_NOMEM, -50},
                        {LINEERR_OPERATIONFAILED, 105}};
  for (const Case& c : kOpen) {
    Fixture f;
    f.api.refuse["lineOpen"] = {0, c.refusal};
    EXPECT_EQ(f.phone.LineActive(0, true), c.want);
    EXPECT_FALSE(f.phone.IsActive());
  }
  Fixture probe;
  probe.api.refuse["lineOpen"] = {LINEERR_OPERATIONFAILED};
  EXPECT_EQ(probe.phone.LineActive(0, true), err::kLineOpen);
}

TEST(KDPhoneFake, StructureTooSmallIsReadAgainWithGrowingSizes) {
  Fixture f;
  f.api.too_small_answers = 3;
  int word = 0;
  ASSERT_EQ(f.phone.GetLineCaps(0, word), 0);
  EXPECT_EQ(f.api.devcaps_sizes, (std::vector<DWORD>{268, 278, 288, 298}));

  Fixture endless;
  endless.api.too_small_answers = 1000;
  EXPECT_EQ(endless.phone.GetLineCaps(0, word), err::kFailed);
  EXPECT_EQ(endless.api.devcaps_sizes.size(), 11u);

  Fixture needs_more;
  needs_more.api.claimed_needed = 600;
  std::u16string name;
  EXPECT_EQ(needs_more.phone.GetLineName(0, name), 0);
  EXPECT_EQ(needs_more.api.devcaps_sizes, (std::vector<DWORD>{268, 600}));
  EXPECT_EQ(name, u"Fake modem");
}

TEST(KDPhoneFake, LyingStructuresGiveErrorNumbersNotReadsOutside) {
  {
    Fixture f;
    f.api.lie_about_offsets = true;
    std::u16string name;
    EXPECT_EQ(f.phone.GetLineName(0, name), err::kFailed);
    EXPECT_TRUE(name.empty());
  }
  {
    Fixture f;
    f.api.lie_about_used = true;
    int word = 0;
    EXPECT_EQ(f.phone.GetLineCaps(0, word), err::kFailed);
  }
  {
    Fixture f;
    f.api.claimed_needed = 0xFFFFFFF0u;
    std::u16string name;
    EXPECT_EQ(f.phone.GetLineName(0, name), err::kNoMemory);
  }
  {
    Fixture f;
    std::vector<int> errors;
    f.phone.OnCallerID = [&](KDPhone&, int e, const std::u16string&, const std::u16string&, int) {
      errors.push_back(e);
    };
    ASSERT_EQ(f.phone.LineActive(0, true), 0);
    f.api.call_info[40].caller_number = u"0912";
    f.api.lie_about_offsets = true;
    f.api.Notify(40, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
    EXPECT_EQ(errors, (std::vector<int>{-1}));
  }
}

TEST(KDPhoneFake, CallerIdRulesAndRepeats) {
  struct Case {
    DWORD flags;
    std::u16string number, name;
    std::string want;
  };
  const Case kCases[] = {{LINECALLPARTYID_BLOCKED, u"1", u"", "153 /"},
                         {LINECALLPARTYID_UNAVAIL, u"1", u"", "154 /"},
                         {LINECALLPARTYID_ADDRESS, u"", u"", "153 /"},
                         {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, u"0912", u"Ali",
                          "0 0912/Ali"}};
  for (const Case& c : kCases) {
    Fixture f;
    std::vector<std::string> seen;
    f.phone.OnCallerID = [&](KDPhone&, int e, const std::u16string& n, const std::u16string& m,
                             int) {
      seen.push_back(std::to_string(e) + " " + host::to_utf8(n) + "/" + host::to_utf8(m));
    };
    ASSERT_EQ(f.phone.LineActive(0, true), 0);
    f.api.call_info[40] = {c.flags, c.number, c.name};
    f.api.Notify(40, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], c.want);
  }
  Fixture f;
  int raised = 0;
  f.phone.OnCallerID = [&](KDPhone&, int, const std::u16string&, const std::u16string&, int) {
    ++raised;
  };
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  f.api.call_info[40] = {LINECALLPARTYID_ADDRESS, u"0912", u""};
  f.api.Notify(40, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
  f.api.Notify(40, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
  EXPECT_EQ(raised, 1);
  f.api.State(40, LINECALLSTATE_IDLE);
  f.api.Notify(40, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
  EXPECT_EQ(raised, 2);
}

TEST(KDPhoneFake, RepliesThatNeverComeGiveTimeOut113) {
  {
    Fixture f;
    f.Open();
    ASSERT_EQ(f.phone.DialNumber("1", 0), 0);
    f.Tick(9s);
    EXPECT_TRUE(f.events.empty());
    f.Tick(2s);
    EXPECT_EQ(f.events, (std::vector<std::string>{"ls2 113"}));
    EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
    EXPECT_FALSE(f.phone.TimeOutTimerOn());
  }
  {
    Fixture f;
    f.Open();
    f.api.State(40, LINECALLSTATE_OFFERING);
    ASSERT_EQ(f.phone.Answer(0), 0);
    f.events.clear();
    f.Tick(11s);
    // The unanswered answer is hung up, then reported once.
    EXPECT_EQ(f.events, (std::vector<std::string>{"before 40", "cs10 0 0 40", "cs8 113 0 40"}));
    EXPECT_TRUE(f.api.Called("lineDrop 40"));
  }
}

TEST(KDPhoneFake, DeadlinesIgnoreAChangeOfTheCalendarTime) {
  Fixture f;
  f.Open();
  ASSERT_EQ(f.phone.DialNumber("1", 0), 0);
  f.clock.step_wall(std::chrono::hours(1));
  f.Tick(5s);
  EXPECT_TRUE(f.events.empty());
  f.clock.step_wall(-std::chrono::hours(2));
  f.Tick(6s);
  EXPECT_EQ(f.events, (std::vector<std::string>{"ls2 113"}));
}

TEST(KDPhoneFake, LateReplyAfterTimeOutWritesIntoALiveCellAndChangesNothing) {
  Fixture f;
  f.Open();
  ASSERT_EQ(f.phone.DialNumber("1", 0), 0);
  const LONG request = f.api.next_request - 1;
  f.Tick(11s);
  ASSERT_EQ(f.events, (std::vector<std::string>{"ls2 113"}));
  EXPECT_EQ(f.phone.OrphanCellCount(), 1u);
  f.api.Reply(request, 0, 41);  // the service writes the handle into the cell
  EXPECT_EQ(f.phone.OrphanCellCount(), 0u);
  EXPECT_EQ(f.phone.NumberOfActiveCalls(), 0);
  EXPECT_EQ(f.events.size(), 1u);
}

TEST(KDPhoneFake, ClosingTheLineReleasesCellsOfTimedOutRequests) {
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  ASSERT_EQ(f.phone.DialNumber("1", 0), 0);
  f.Tick(11s);
  ASSERT_EQ(f.phone.OrphanCellCount(), 1u);
  ASSERT_EQ(f.phone.LineActive(0, false), 0);
  EXPECT_EQ(f.phone.OrphanCellCount(), 0u);
}

TEST(KDPhoneFake, OutOfOrderRepliesAndUnknownReplies) {
  Fixture f;
  f.Open();
  ASSERT_EQ(f.phone.DialNumber("1", 5), 0);
  const LONG first = f.api.next_request - 1;
  ASSERT_EQ(f.phone.DialNumber("2", 6), 0);
  const LONG second = f.api.next_request - 1;
  f.api.Reply(999, 0);  // matches nothing
  f.api.Reply(second, 0, 62);
  f.api.Reply(first, 0, 61);
  ASSERT_EQ(f.phone.NumberOfActiveCalls(), 2);
  std::vector<std::string> connected;
  f.api.State(61, LINECALLSTATE_CONNECTED);
  f.api.State(62, LINECALLSTATE_CONNECTED);
  EXPECT_EQ(f.events, (std::vector<std::string>{"cs1 0 5 61", "cs1 0 6 62"}));
  EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
}

TEST(KDPhoneFake, NotificationsForUnknownCalls) {
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  std::vector<std::string> digits;
  f.phone.OnDigitDetected = [&](KDPhone&, char d, int call) {
    digits.push_back(std::string(1, d) + std::to_string(call));
  };
  f.events.clear();
  f.api.State(90, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);  // unknown: nothing
  EXPECT_TRUE(f.events.empty());
  f.api.Notify(91, LINE_MONITORDIGITS, '7', LINEDIGITMODE_DTMF);
  EXPECT_EQ(digits, (std::vector<std::string>{"791"}));
  f.api.State(92, LINECALLSTATE_IDLE);  // an unknown call going idle is reported and released
  EXPECT_EQ(f.events, (std::vector<std::string>{"cs0 0 0 92"}));
  EXPECT_EQ(f.phone.NumberOfActiveCalls(), 0);
}

TEST(KDPhoneFake, FarEndHangupWithAutoDisconnectDropsOnceEvenWhenTheHandlerHangsUp) {
  Fixture f;
  f.Connected(40);
  f.on_state = [&](TCallState s, int) {
    if (s == csRemotePartyDisconnected) {
      EXPECT_EQ(f.phone.Hangup(), 0);
    }
  };
  f.api.State(40, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  EXPECT_EQ(f.api.Count("lineDrop"), 1);
  EXPECT_EQ(f.events, (std::vector<std::string>{"cs4 0 0 40", "before 40", "cs10 0 0 40"}));
  f.api.State(40, LINECALLSTATE_IDLE);
  EXPECT_EQ(f.events.back(), "cs0 0 0 40");
}

TEST(KDPhoneFake, AutoDisconnectHangsUpTheCallThatReported) {
  Fixture f;
  f.Connected(40);
  f.api.State(41, LINECALLSTATE_OFFERING);
  f.on_state = [&](TCallState s, int call) {
    // The handler's work makes the other call current before the automatic hang-up.
    if (s == csBusy && call == 40) f.api.State(41, LINECALLSTATE_OFFERING);
  };
  f.api.State(40, LINECALLSTATE_BUSY);
  EXPECT_TRUE(f.api.Called("lineDrop 40"));
  EXPECT_FALSE(f.api.Called("lineDrop 41"));
}

TEST(KDPhoneFake, RefusedDropClearsTheMarksSoHangupWorksAgain) {
  Fixture f;
  f.Connected(40);
  ASSERT_EQ(f.phone.Hangup(), 0);
  f.api.Reply(f.api.next_request - 1, LINEERR_OPERATIONFAILED);
  EXPECT_EQ(f.events.back(), "cs8 111 0 40");
  EXPECT_TRUE(f.phone.IsConnected());
  ASSERT_EQ(f.phone.Hangup(), 0);
  EXPECT_EQ(f.api.Count("lineDrop 40"), 2);
  // And a far-end hang-up after a refused drop is reported.
  Fixture g;
  g.Connected(40);
  g.phone.AutoDisconnect = false;
  ASSERT_EQ(g.phone.Hangup(), 0);
  g.api.Reply(g.api.next_request - 1, LINEERR_OPERATIONFAILED);
  g.api.State(40, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  EXPECT_EQ(g.events.back(), "cs4 0 0 40");
}

TEST(KDPhoneFake, TimedOutDropClearsTheMarksToo) {
  Fixture f;
  f.Connected(40);
  ASSERT_EQ(f.phone.Hangup(), 0);
  f.Tick(11s);
  EXPECT_EQ(f.events.back(), "cs8 113 0 40");
  EXPECT_TRUE(f.phone.IsConnected());
  EXPECT_EQ(f.phone.Hangup(), 0);
  EXPECT_EQ(f.api.Count("lineDrop 40"), 2);
}

TEST(KDPhoneFake, NestedTimeOutTickHandlesEachRequestOnce) {
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  for (HCALL call : {40u, 41u, 42u}) {
    f.api.State(call, LINECALLSTATE_OFFERING);
    ASSERT_EQ(f.phone.Answer(0), 0);
  }
  // Each time-out hangs its call up, which lets the loop run; move time on there so the tick
  // comes again inside the first one.
  f.phone.OnBeforeDisconnect = [&](KDPhone&, int) { f.clock.advance(200ms); };
  f.events.clear();
  f.Tick(30s);
  int timeouts = 0;
  for (const std::string& e : f.events) timeouts += e.rfind("cs8 113", 0) == 0;
  EXPECT_EQ(timeouts, 3 + 3);  // three answers, then the three drops they caused
  EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
}

TEST(KDPhoneFake, RefusedEmptyDialAfterPickUpHangsTheCallUp) {
  Fixture f;
  f.Open();
  ASSERT_EQ(f.phone.PickUp(0), 0);
  f.api.refuse["lineDial"] = {LINEERR_OPERATIONFAILED};
  f.api.Reply(f.api.next_request - 1, 0, 40);
  EXPECT_EQ(f.events.front(), "ls2 113");
  EXPECT_TRUE(f.api.Called("lineDrop 40"));
}

TEST(KDPhoneFake, PickedUpCallLeavesTheListWhenReleased) {
  Fixture f;
  f.Open();
  ASSERT_EQ(f.phone.PickUp(0), 0);
  f.api.Reply(f.api.next_request - 1, 0, 40);
  ASSERT_EQ(f.phone.PickedUpCount(), 1u);
  f.api.State(40, LINECALLSTATE_DIALING);  // hidden while picked up
  EXPECT_EQ(f.events, std::vector<std::string>{});
  f.api.State(40, LINECALLSTATE_IDLE);
  EXPECT_EQ(f.phone.PickedUpCount(), 0u);
  // The service gives the handle out again: its dialling is reported.
  ASSERT_EQ(f.phone.DialNumber("5", 0), 0);
  f.api.Reply(f.api.next_request - 1, 0, 40);
  f.api.State(40, LINECALLSTATE_DIALING);
  EXPECT_EQ(f.events.back(), "cs3 0 0 40");
}

TEST(KDPhoneFake, DialStringModesAndFaxCommand) {
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  f.phone.WaitForDialTone = true;
  ASSERT_EQ(f.phone.DialNumber("123", 7), 0);
  EXPECT_TRUE(f.api.Called("lineMakeCall W123 media 10"));
  f.api.Reply(f.api.next_request - 1, 0, 40);
  f.api.State(40, LINECALLSTATE_CONNECTED);
  EXPECT_EQ(f.events.back(), "cs1 0 7 40");
  EXPECT_TRUE(f.api.Called("lineMonitorDigits 40 2"));

  Fixture fax;
  fax.phone.MediaMode = mmFax;
  ASSERT_EQ(fax.phone.LineActive(0, true), 0);
  EXPECT_TRUE(fax.api.Called("lineOpen 0 6 18"));
  ASSERT_EQ(fax.phone.DialNumber("123", 0), 0);
  EXPECT_TRUE(fax.api.Called("lineMakeCall  media 16"));
  EXPECT_EQ(fax.phone.FaxDialCommand(), "ATD123\r");
  fax.api.Reply(fax.api.next_request - 1, 0, 40);
  fax.api.State(40, LINECALLSTATE_CONNECTED);
  EXPECT_EQ(fax.events.back(), "cs18 0 0 40");
  EXPECT_TRUE(fax.phone.IsConnected());
  fax.phone.Hangup();
  EXPECT_EQ(fax.phone.FaxDialCommand(), "");
  // In passthrough the parameters change back before the drop.
  EXPECT_TRUE(fax.api.Called("lineSetCallParams 40 64"));
}

TEST(KDPhoneFake, HangupAndCallListQueries) {
  Fixture f;
  f.Connected(40);
  ASSERT_EQ(f.phone.Hangup(), 0);
  EXPECT_EQ(f.events, (std::vector<std::string>{"before 40", "cs10 0 0 40"}));
  EXPECT_EQ(f.phone.Hangup(), 0);  // waiting: nothing more
  EXPECT_EQ(f.api.Count("lineDrop"), 1);
  f.api.State(40, LINECALLSTATE_IDLE);
  EXPECT_EQ(f.phone.Hangup(), err::kAlreadyDisconnected);
  int handle = 5;
  TCallState state = csBusy;
  EXPECT_EQ(f.phone.GetCallHandle(0, handle), err::kInvalidArgument);
  EXPECT_EQ(f.phone.GetCallState(-1, state), err::kInvalidArgument);
  EXPECT_EQ(handle, 5);
  EXPECT_EQ(f.phone.Answer(0), err::kNotOffering);
}

TEST(KDPhoneFake, DigitModesFollowTheLine) {
  struct Case {
    DWORD can;
    std::string want;
  };
  const Case kCases[] = {{LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF, "lineMonitorDigits 40 3"},
                         {LINEDIGITMODE_DTMFEND, "lineMonitorDigits 40 4"},
                         {LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMFEND, "lineMonitorDigits 40 5"},
                         {0, "lineMonitorDigits 40 0"}};
  for (const Case& c : kCases) {
    Fixture f;
    f.api.devices[0].digit_modes = c.can;
    f.Connected(40);
    EXPECT_TRUE(f.api.Called(c.want)) << c.want;
  }
}

TEST(KDPhoneFake, LineActivationOrderAndReactivationRefusals) {
  Fixture f;
  f.api.devices.push_back({});
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  EXPECT_EQ(f.phone.LineActive(0, true), 0);
  EXPECT_EQ(f.phone.LineActive(3, false), 0);
  EXPECT_TRUE(f.phone.IsActive());
  f.events.clear();
  ASSERT_EQ(f.phone.LineActive(1, true), 0);
  EXPECT_EQ(f.events, (std::vector<std::string>{"ls1 1", "ls0 -1"}));
  EXPECT_EQ(f.phone.LineID(), 1);
  f.events.clear();
  EXPECT_EQ(f.phone.LineReactivate(true), 0);
  EXPECT_TRUE(f.events.empty());
  f.api.State(40, LINECALLSTATE_OFFERING);
  EXPECT_EQ(f.phone.LineReactivate(true), err::kOfferingInProgress);
  f.api.State(40, LINECALLSTATE_CONNECTED);
  EXPECT_EQ(f.phone.LineReactivate(true), err::kCallInProgress);
  f.api.State(40, LINECALLSTATE_IDLE);
  ASSERT_EQ(f.phone.DialNumber("1", 0), 0);
  EXPECT_EQ(f.phone.LineReactivate(true), err::kRequestInProgress);
}

TEST(KDPhoneFake, ServiceClosingTheLineClosesPhoneAndCommHandles) {
  Fixture f;
  f.api.devices[0].phone = 0;
  f.api.devices[0].comm = 9;
  f.Connected(40);
  std::uint32_t comm = 0;
  ASSERT_EQ(f.phone.GetCommHandle(comm), 0);
  EXPECT_EQ(comm, 9u);
  f.api.Notify(f.api.open_line, LINE_CLOSE);
  EXPECT_EQ(f.events.back(), "ls1 0");
  EXPECT_TRUE(f.api.Called("phoneClose 77"));
  EXPECT_TRUE(f.api.Called("closeCommHandle 9"));
  EXPECT_EQ(f.phone.NumberOfActiveCalls(), 1);
  EXPECT_EQ(f.phone.LineActive(0, true), 0);
  EXPECT_TRUE(f.phone.IsActive());
}

TEST(KDPhoneFake, WaveIdentifiersAndPhoneCapabilities) {
  Fixture f;
  f.api.devices[0].phone = 0;
  int word = 0;
  ASSERT_EQ(f.phone.GetLineCaps(0, word), 0);
  EXPECT_EQ(word & 0x1, 0x1);
  EXPECT_EQ(word & 0x2000, 0x2000);      // handset
  EXPECT_EQ(word & 0x4000, 0x4000);      // handset on hook mode
  EXPECT_EQ(word & 0x20000, 0x20000);    // handset microphone and speaker
  EXPECT_EQ(word & 0x40, 0);             // no speaker
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  EXPECT_EQ(f.phone.WavePlayID(), 4);
  EXPECT_EQ(f.phone.ExtPhoneNumOfRings(), 2);
  int device = 0;
  EXPECT_EQ(f.phone.GetWavePlayIDFrom(true, -1, device), err::kAddressIdRange);
  f.api.devices[0].wave_out = -1;
  EXPECT_EQ(f.phone.GetWavePlayIDFrom(false, 40, device), 0);
  EXPECT_EQ(device, -2);

  Fixture no_voice;
  no_voice.api.devices[0].media_modes = LINEMEDIAMODE_INTERACTIVEVOICE;
  ASSERT_EQ(no_voice.phone.GetLineCaps(0, word), 0);
  EXPECT_EQ(word & 0x1, 0);
  EXPECT_EQ(no_voice.phone.WavePlayID(), -2);
}

TEST(KDPhoneFake, SavedConfigurationRoundTripAndBoundsChecks) {
  Fixture f;
  for (std::size_t i = 0; i < f.api.devices[0].config.size(); ++i)
    f.api.devices[0].config[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(f.phone.LineConfigDialogSave(0, 0, "", "", 0), err::kInvalidArgument);
  ASSERT_EQ(f.phone.LineConfigDialogSave(0, HKEY_CURRENT_USER, "Soft\\Modem", "Cfg", 0), 0);
  ASSERT_EQ(f.phone.LineConfigLoad(HKEY_CURRENT_USER, "Soft\\Modem", "Cfg", 0), 0);
  EXPECT_EQ(f.api.last_set_config, f.api.devices[0].config);
  EXPECT_EQ(f.phone.LineConfigLoad(HKEY_CURRENT_USER, "Soft\\Modem", "Cfg", 1), err::kLineSetup);
  EXPECT_EQ(f.phone.LineConfigLoad(HKEY_CURRENT_USER, "Soft\\Modem", "None", 0),
            err::kConfigKeyNotFound);

  const std::string key = "Registry/HKEY_CURRENT_USER/Soft\\Modem/Cfg";
  const settings::Bytes good = *f.store.get_bytes(key);
  struct Case {
    const char* why;
    std::size_t at;  // byte to overwrite with 0xFF.. as a 32-bit word; npos: truncate
    std::size_t keep;
  };
  const Case kCorrupt[] = {{"offset far out", 1 + 20, 0},
                           {"size far out", 1 + 16, 0},
                           {"total above 1024", 1 + 0, 0},
                           {"cut short", std::string::npos, 20},
                           {"cut inside the data", std::string::npos, 60}};
  for (const Case& c : kCorrupt) {
    settings::Bytes bad = good;
    if (c.at == std::string::npos) {
      bad.resize(c.keep);
    } else {
      bad[c.at] = bad[c.at + 1] = bad[c.at + 2] = 0xFF;
      bad[c.at + 3] = 0x7F;
    }
    f.store.set_bytes(key, bad);
    f.api.log.clear();
    EXPECT_EQ(f.phone.LineConfigLoad(HKEY_CURRENT_USER, "Soft\\Modem", "Cfg", 0), err::kFailed)
        << c.why;
    EXPECT_EQ(f.api.Count("lineSetDevConfig"), 0) << c.why;
  }
  f.api.devices[0].config.assign(2000, 1);  // more than the 1024-byte structure holds
  EXPECT_EQ(f.phone.LineConfigDialogSave(0, HKEY_CURRENT_USER, "Soft\\Modem", "Big", 0),
            err::kFailed);
  EXPECT_FALSE(f.store.contains("Registry/HKEY_CURRENT_USER/Soft\\Modem/Big"));
}

TEST(KDPhoneFake, ModemSettingsAreWrittenIntoAModemConfiguration) {
  Fixture f;
  auto& config = f.api.devices[0].config;
  config.assign(120, 0);
  config[48] = 6;  // a modem
  config[84] = 9;  // the volume the device reported
  f.phone.ModemSpeaker().Mode = smOn;
  f.phone.ShowModemIcon = true;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  ASSERT_EQ(f.api.last_set_config.size(), 120u);
  EXPECT_EQ(f.api.last_set_config[88], smOn);
  EXPECT_EQ(f.api.last_set_config[84], 9);  // svDefault leaves it
  EXPECT_EQ(f.api.last_set_config[8], 8);
}

TEST(KDPhoneFake, FaxToneAtMostEveryThreeSeconds) {
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  int tones = 0;
  f.phone.OnFaxToneDetected = [&](KDPhone&, int) { ++tones; };
  f.api.Notify(40, LINE_MONITORMEDIA, LINEMEDIAMODE_G3FAX);
  f.clock.advance(2s);
  f.api.Notify(40, LINE_MONITORMEDIA, LINEMEDIAMODE_G3FAX);
  EXPECT_EQ(tones, 1);
  f.clock.advance(2s);
  f.api.Notify(40, LINE_MONITORMEDIA, LINEMEDIAMODE_G4FAX);
  EXPECT_EQ(tones, 2);
}

TEST(KDPhoneFake, RingsOfIncomingCallsAndARingOnAConnectedCall) {
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  f.phone.InitialRingNumber = 3;
  f.api.State(40, LINECALLSTATE_OFFERING);
  for (int i = 0; i < 3; ++i) f.api.Notify(f.api.open_line, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING);
  EXPECT_EQ(f.events, (std::vector<std::string>{"ls0 -1", "cs6 0 0 40", "cs7 3 0 40",
                                                "cs7 4 0 40", "cs7 5 0 40"}));
  // A ring handler that hangs the ringing call up changes the list under the walk.
  Fixture g;
  g.Connected(40);
  g.on_state = [&](TCallState s, int) {
    if (s == csRing) g.api.State(40, LINECALLSTATE_IDLE);
  };
  g.api.Notify(g.api.open_line, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING);
  EXPECT_EQ(g.events, (std::vector<std::string>{"cs7 1 0 40", "cs9 0 0 40"}));
}

TEST(KDPhoneFake, DigitsTonesAndPassthroughNeedAConnectedCall) {
  Fixture f;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  EXPECT_EQ(f.phone.GenerateDTMFDigits("12"), err::kAlreadyDisconnected);
  EXPECT_EQ(f.phone.MonitorTones(7, 100, 440, 0, 0), err::kAlreadyDisconnected);
  EXPECT_EQ(f.phone.Passthrough(true), err::kAlreadyDisconnected);
  f.Connected(40);
  EXPECT_EQ(f.phone.GenerateDTMFDigits("12"), 0);
  f.api.refuse["lineMonitorTones"] = {LINEERR_NOMEM};
  EXPECT_EQ(f.phone.MonitorTones(7, 100, 440, 0, 0), err::kNoMemory);
  int ref = 0;
  f.phone.OnToneDetected = [&](KDPhone&, int r, int) { ref = r; };
  f.api.Notify(40, LINE_MONITORTONE, 7);
  EXPECT_EQ(ref, 7);
  ASSERT_EQ(f.phone.Passthrough(true), 0);
  EXPECT_EQ(f.phone.Passthrough(true), err::kRequestInProgress);
}

TEST(KDPhoneFake, WindowMessagesFromOtherCode) {
  struct Case {
    UINT message;
    WPARAM w;
    std::vector<std::string> want;
  };
  const Case kCases[] = {
      {KDPhone::kLineRelayMessage, 1, {"cs5 0 0 40", "before 40", "cs10 0 0 40"}},
      {KDPhone::kLineRelayMessage, 2, {"cs11 0 0 40", "before 40", "cs10 0 0 40"}},
      {KDPhone::kLineRelayMessage, 3, {"cs1 2 4 40"}},
      {KDPhone::kHangupMessage, 0, {"before 40", "cs10 0 0 40"}},
      {KDPhone::kHangupMessage, 1, {}},
  };
  for (const Case& c : kCases) {
    Fixture f;
    f.Connected(40, 4);
    f.phone.Window().send(c.message, c.w, 40);
    EXPECT_EQ(f.events, c.want) << c.message << "/" << c.w;
  }
  Fixture f;
  f.Connected(40);
  EXPECT_EQ(f.phone.Window().send(KDPhone::kPassthroughMessage, 1, 0), 0);
  EXPECT_TRUE(f.api.Called("lineSetCallParams 40 64"));
}

TEST(KDPhoneFake, ClosingTheLineWalksACopyOfTheCallList) {
  Fixture f;
  f.Connected(40);
  ASSERT_EQ(f.phone.DialNumber("2", 0), 0);
  f.api.Reply(f.api.next_request - 1, 0, 41);
  f.api.State(41, LINECALLSTATE_CONNECTED);
  f.events.clear();
  // A handler that makes the other call go idle while the line closes.
  f.phone.OnBeforeDisconnect = [&](KDPhone&, int call) {
    f.events.push_back("before " + std::to_string(call));
    if (call == 40) f.api.State(41, LINECALLSTATE_IDLE);
  };
  ASSERT_EQ(f.phone.LineActive(0, false), 0);
  EXPECT_EQ(f.events, (std::vector<std::string>{"before 40", "cs0 0 0 41", "ls1 1"}));
  EXPECT_EQ(f.phone.NumberOfActiveCalls(), 1);
}

TEST(KDPhoneFake, PhoneNotifications) {
  Fixture f;
  std::vector<std::string> seen;
  f.phone.OnExtPhoneChanged = [&](KDPhone&, TExtPhoneState s) { seen.push_back("tps" + std::to_string(s)); };
  f.phone.OnExtDevAuxChanged = [&](KDPhone&) { seen.push_back("aux"); };
  f.phone.OnExtDevHandsetChanged = [&](KDPhone&) { seen.push_back("handset"); };
  f.api.devices[0].phone = 0;
  ASSERT_EQ(f.phone.LineActive(0, true), 0);
  f.api.NotifyPhone(77, PHONE_STATE, 0x20 | 0x100 | 0x1000 | 0x200);
  EXPECT_EQ(seen, (std::vector<std::string>{"tps0", "tps3", "aux", "handset"}));
  f.events.clear();
  f.api.NotifyPhone(77, PHONE_REPLY, 12345, static_cast<DWORD>(LINEERR_OPERATIONFAILED));
  EXPECT_TRUE(f.events.empty());  // no such request
  f.api.NotifyPhone(77, PHONE_CLOSE);
  ASSERT_EQ(f.phone.LineActive(0, false), 0);
  EXPECT_FALSE(f.api.Called("phoneClose 77"));  // already closed by the service
}

}  // namespace
}  // namespace orvexa::components

// Hold, transfers, conferences and consultation calls against the fake service: refusals,
// the marks that keep a handed-over call's disconnection quiet, and requests that never finish.
#include <gtest/gtest.h>

#include <functional>

#include "components/phone/kdphone.h"
#include "fake_telephony.h"

namespace orvexa::components {
namespace {

using namespace std::chrono_literals;
using testing::FakeTelephony;
using namespace telephony;

constexpr HCALL kPrimary = 10, kConsult = 20, kConference = 30;

struct Fixture {
  messaging::ManualClock clock;
  messaging::Loop loop{clock};
  FakeTelephony api;
  KDPhone phone{loop, api};
  std::vector<std::string> events;

  Fixture() {
    phone.OnCallState = [this](KDPhone&, TCallState s, int p1, int, int call) {
      events.push_back(std::string(CallStateName(s)) + " " + std::to_string(p1) + " " +
                       std::to_string(call));
    };
    phone.OnConsultCallState = [this](KDPhone&, TConsultCallState s, int p1, int consult,
                                      int primary) {
      events.push_back("ccs" + std::to_string(s) + " " + std::to_string(p1) + " " +
                       std::to_string(consult) + "/" + std::to_string(primary));
    };
    phone.OnLineState = [this](KDPhone&, TLineState s, int p1) {
      events.push_back("ls" + std::to_string(s) + " " + std::to_string(p1));
    };
  }
  LONG Last() const { return api.next_request - 1; }
  void Connected(HCALL call = kPrimary) {
    ASSERT_EQ(phone.LineActive(0, true), 0);
    ASSERT_EQ(phone.DialNumber("123", 0), 0);
    api.Reply(Last(), 0, call);
    api.State(call, LINECALLSTATE_CONNECTED);
    events.clear();
  }
  // A consultation from the connected primary call, its consultation call connected.
  void Consulting(bool transfer) {
    Connected();
    ASSERT_EQ(phone.ConsultCallDialNumber(transfer, "456"), 0);
    if (transfer) api.Reply(Last(), 0, kConsult);
    else api.ReplyConference(Last(), kConsult, kConference);
    api.State(kPrimary, transfer ? LINECALLSTATE_ONHOLDPENDTRANSFER : LINECALLSTATE_ONHOLDPENDCONF);
    api.State(kConsult, LINECALLSTATE_DIALTONE);
    api.Reply(Last(), 0);  // the dial
    api.State(kConsult, LINECALLSTATE_CONNECTED);
  }
  bool Saw(const std::string& e) const {
    return std::find(events.begin(), events.end(), e) != events.end();
  }
};

TEST(KDPhoneTransfer, ChecksBeforeTheServiceIsAsked) {
  using Op = std::function<int(KDPhone&)>;
  const std::pair<const char*, Op> kOps[] = {
      {"Hold", [](KDPhone& p) { return p.Hold(); }},
      {"Unhold", [](KDPhone& p) { return p.Unhold(); }},
      {"Transfer", [](KDPhone& p) { return p.Transfer("456"); }},
      {"TransferAToB", [](KDPhone& p) { return p.TransferAToB(10, 11); }},
      {"Conference", [](KDPhone& p) { return p.CreateConferenceCall(10, 11, 5); }},
  };
  for (const auto& [name, op] : kOps) {
    Fixture closed;
    EXPECT_EQ(op(closed.phone), err::kLineNotActive) << name;
    Fixture idle;
    ASSERT_EQ(idle.phone.LineActive(0, true), 0);
    EXPECT_EQ(op(idle.phone), err::kAlreadyDisconnected) << name;
    Fixture busy;
    busy.Connected();
    busy.api.State(11, LINECALLSTATE_CONNECTED);
    busy.api.State(kPrimary, LINECALLSTATE_CONNECTED);  // back to the current call
    ASSERT_EQ(busy.phone.Passthrough(true), 0);         // a request pending for call 10
    EXPECT_EQ(op(busy.phone), err::kRequestInProgress) << name;
  }
  Fixture f;
  f.Connected();
  EXPECT_EQ(f.phone.TransferAToB(kPrimary, 99), err::kAlreadyDisconnected);  // not in the list
  EXPECT_EQ(f.phone.ConsultCallComplete(), err::kNoConsultationCall);
  EXPECT_EQ(f.phone.ConsultCallCancel(), err::kNoConsultationCall);
  EXPECT_EQ(f.api.Count("lineCompleteTransfer"), 0);
}

TEST(KDPhoneTransfer, RefusalsMapToTheirNumbers) {
  struct Case {
    const char* function;
    LONG refusal;
    int want;
    std::function<int(KDPhone&)> op;
  };
  auto hold = [](KDPhone& p) { return p.Hold(); };
  auto blind = [](KDPhone& p) { return p.Transfer("456"); };
  auto consult = [](KDPhone& p) { return p.ConsultCallDialNumber(true, "456"); };
  auto conf = [](KDPhone& p) { return p.ConsultCallDialNumber(false, "456"); };
  const Case kCases[] = {
      {"lineHold", LINEERR_ALLOCATED, 106, hold},
      {"lineHold", LINEERR_RESOURCEUNAVAIL, 106, hold},
      {"lineHold", LINEERR_INVALCALLHANDLE, 115, hold},
      {"lineHold", LINEERR_OPERATIONFAILED, 108, hold},
      {"lineBlindTransfer", LINEERR_INVALADDRESS, 155, blind},
      {"lineBlindTransfer", LINEERR_INVALMEDIAMODE, 162, blind},
      {"lineBlindTransfer", LINEERR_ALLOCATED, 108, blind},
      {"lineSetupTransfer", LINEERR_CALLUNAVAIL, 107, consult},
      {"lineSetupTransfer", LINEERR_INVALCALLHANDLE, 115, consult},
      {"lineSetupConference", LINEERR_INVALMEDIAMODE, 162, conf},
      {"lineSetupConference", LINEERR_OPERATIONFAILED, -1, conf},
  };
  for (const Case& c : kCases) {
    Fixture f;
    f.Connected();
    f.api.refuse[c.function] = {c.refusal};
    EXPECT_EQ(c.op(f.phone), c.want) << c.function << " " << std::hex << c.refusal;
    EXPECT_EQ(f.phone.PendingRequestCount(), 0u) << c.function;
    EXPECT_EQ(f.phone.ConsultCount(), 0u) << c.function;
  }
}

TEST(KDPhoneTransfer, HoldAndUnholdReportTheirStates) {
  Fixture f;
  f.Connected();
  ASSERT_EQ(f.phone.Hold(), 0);
  EXPECT_EQ(f.phone.Hold(), err::kRequestInProgress);
  f.api.Reply(f.Last(), 0);
  f.api.State(kPrimary, LINECALLSTATE_ONHOLD);
  ASSERT_EQ(f.phone.Unhold(), 0);  // a held call counts as connected
  f.api.Reply(f.Last(), 0);
  f.api.State(kPrimary, LINECALLSTATE_CONNECTED);
  EXPECT_EQ(f.events, (std::vector<std::string>{"csOnHold 0 10", "csUnhold 0 10"}));
  EXPECT_TRUE(f.api.Called("lineHold 10"));
  EXPECT_TRUE(f.api.Called("lineUnhold 10"));
  EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
}

TEST(KDPhoneTransfer, BlindTransferKeepsTheHandOverQuietUnlessItFails) {
  enum class End { Accepted, Refused, TimedOut };
  for (End end : {End::Accepted, End::Refused, End::TimedOut}) {
    Fixture f;
    f.Connected();
    ASSERT_EQ(f.phone.Transfer("0912 456"), 0);
    EXPECT_TRUE(f.api.Called("lineBlindTransfer 10 0912 456"));
    if (end == End::Accepted) f.api.Reply(f.Last(), 0);
    if (end == End::Refused) f.api.Reply(f.Last(), LINEERR_OPERATIONFAILED);
    if (end == End::TimedOut) f.loop.run_for(11s);
    f.api.State(kPrimary, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    const bool reported = f.Saw("csRemotePartyDisconnected 0 10");
    EXPECT_EQ(reported, end != End::Accepted) << static_cast<int>(end);
    EXPECT_EQ(f.Saw("csError 108 10"), end == End::Refused);
    EXPECT_EQ(f.Saw("csError 113 10"), end == End::TimedOut);
  }
}

TEST(KDPhoneTransfer, RefusedTransferOfTwoCallsClearsBothMarks) {
  Fixture f;
  f.Connected();
  f.api.State(11, LINECALLSTATE_CONNECTED);
  ASSERT_EQ(f.phone.TransferAToB(kPrimary, 11), 0);
  EXPECT_TRUE(f.api.Called("lineCompleteTransfer 10 11 1"));
  f.api.Reply(f.Last(), LINEERR_OPERATIONFAILED);
  f.events.clear();
  f.phone.AutoDisconnect = false;
  f.api.State(kPrimary, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  f.api.State(11, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  EXPECT_EQ(f.events, (std::vector<std::string>{"csRemotePartyDisconnected 0 10",
                                                "csRemotePartyDisconnected 0 11"}));
}

TEST(KDPhoneTransfer, ConferenceOfTwoCallsEntersTheConferenceCall) {
  Fixture f;
  f.Connected();
  f.api.State(11, LINECALLSTATE_CONNECTED);
  ASSERT_EQ(f.phone.CreateConferenceCall(kPrimary, 11, 77), 0);
  EXPECT_TRUE(f.api.Called("lineCompleteTransfer 10 11 2"));
  f.api.Reply(f.Last(), 0, kConference);
  EXPECT_EQ(f.phone.NumberOfActiveCalls(), 3);
  EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
}

TEST(KDPhoneTransfer, ConsultationCompletedAsTransfer) {
  Fixture f;
  f.Consulting(true);
  EXPECT_TRUE(f.api.Called("lineDial 20 456"));
  EXPECT_EQ(f.events, (std::vector<std::string>{"ccs0 0 20/10", "csOnHold 0 10", "ccs10 0 20/10",
                                                "ccs3 0 20/10"}));
  ASSERT_EQ(f.phone.ConsultCallComplete(), 0);
  EXPECT_TRUE(f.api.Called("lineCompleteTransfer 10 20 1"));
  f.api.Reply(f.Last(), 0);
  f.events.clear();
  for (HCALL call : {kPrimary, kConsult}) {
    f.api.State(call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    f.api.State(call, LINECALLSTATE_IDLE);
  }
  // Neither hand-over is reported as the far end's hang-up.
  EXPECT_EQ(f.events, (std::vector<std::string>{"csDisconnected 0 10", "ccs8 0 20/10"}));
  EXPECT_EQ(f.phone.ConsultCount(), 0u);
  EXPECT_EQ(f.phone.NumberOfActiveCalls(), 0);
}

TEST(KDPhoneTransfer, ConsultationCompletedAsConference) {
  Fixture f;
  f.Consulting(false);
  EXPECT_TRUE(f.api.Called("lineSetupConference 10 3"));
  ASSERT_EQ(f.phone.ConsultCallComplete(), 0);
  EXPECT_TRUE(f.api.Called("lineAddToConference 30 20"));
  f.api.Reply(f.Last(), 0);
  f.events.clear();
  f.api.State(kConsult, LINECALLSTATE_CONFERENCED);
  f.api.State(kConference, LINECALLSTATE_CONFERENCED);
  f.api.State(kConference, LINECALLSTATE_CONNECTED);  // ignored for a conference call
  EXPECT_EQ(f.events, (std::vector<std::string>{"ccs8 0 20/10", "csInConference 0 10"}));
  f.api.State(kConsult, LINECALLSTATE_IDLE);  // the dropping mark keeps it quiet
  f.api.State(kConference, LINECALLSTATE_IDLE);
  EXPECT_EQ(f.events.size(), 2u);
  EXPECT_EQ(f.phone.ConsultCount(), 0u);
}

TEST(KDPhoneTransfer, CancelAndTheBusyConsultationCancelledByItself) {
  for (bool busy : {false, true}) {
    Fixture f;
    f.Consulting(true);
    if (busy) f.api.State(kConsult, LINECALLSTATE_BUSY);
    else ASSERT_EQ(f.phone.ConsultCallCancel(), 0);
    EXPECT_TRUE(f.api.Called("lineDrop 20")) << busy;
    f.api.Reply(f.Last(), 0);
    f.api.State(kConsult, LINECALLSTATE_IDLE);
    EXPECT_TRUE(f.Saw("ccs8 0 20/10")) << busy;
    EXPECT_EQ(f.phone.ConsultCount(), 0u) << busy;
    EXPECT_EQ(f.phone.ConsultCallCancel(), err::kNoConsultationCall) << busy;
  }
}

TEST(KDPhoneTransfer, FailedConsultationSetUpLeavesNoEntry) {
  for (bool timed_out : {false, true}) {
    Fixture f;
    f.Connected();
    ASSERT_EQ(f.phone.ConsultCallDialNumber(false, "456"), 0);
    EXPECT_EQ(f.phone.ConsultCount(), 1u);
    if (timed_out) f.loop.run_for(11s);
    else f.api.Reply(f.Last(), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(f.phone.ConsultCount(), 0u) << timed_out;
    EXPECT_EQ(f.phone.PendingRequestCount(), 0u) << timed_out;
    EXPECT_TRUE(f.Saw(timed_out ? "csError 113 10" : "ccs6 105 0/10")) << timed_out;
    // Both cells of the timed-out set-up wait for a late reply.
    EXPECT_EQ(f.phone.OrphanCellCount(), timed_out ? 2u : 0u);
    if (timed_out) f.api.ReplyConference(f.Last(), kConsult, kConference);
    EXPECT_EQ(f.phone.OrphanCellCount(), 0u);
    EXPECT_EQ(f.phone.ConsultCallComplete(), err::kNoConsultationCall);
  }
}

TEST(KDPhoneTransfer, ConsultationDialRefusedOrNeverAnswered) {
  Fixture refused;
  refused.Connected();
  ASSERT_EQ(refused.phone.ConsultCallDialNumber(true, "456"), 0);
  refused.api.Reply(refused.Last(), 0, kConsult);
  refused.api.refuse["lineDial"] = {LINEERR_INVALADDRESS};
  refused.api.State(kConsult, LINECALLSTATE_DIALTONE);
  EXPECT_TRUE(refused.Saw("ccs6 155 20/10"));
  EXPECT_EQ(refused.phone.ConsultCallCancel(), err::kNoConsultationCall);

  Fixture silent;
  silent.Connected();
  silent.phone.WaitForDialTone = true;
  ASSERT_EQ(silent.phone.ConsultCallDialNumber(true, "456"), 0);
  silent.api.Reply(silent.Last(), 0, kConsult);
  silent.api.State(kConsult, LINECALLSTATE_DIALTONE);
  EXPECT_TRUE(silent.api.Called("lineDial 20 W456"));
  silent.loop.run_for(11s);
  EXPECT_TRUE(silent.Saw("ccs6 113 20/10"));
  EXPECT_EQ(silent.phone.PendingRequestCount(), 0u);
}

TEST(KDPhoneTransfer, RefusedCompletionClearsTheMarks) {
  Fixture f;
  f.Consulting(true);
  ASSERT_EQ(f.phone.ConsultCallComplete(), 0);
  f.api.Reply(f.Last(), LINEERR_OPERATIONUNAVAIL);
  EXPECT_TRUE(f.Saw("ccs6 105 20/10"));
  f.phone.AutoDisconnect = false;
  f.events.clear();
  f.api.State(kConsult, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  f.api.State(kPrimary, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  EXPECT_EQ(f.events, (std::vector<std::string>{"ccs4 0 20/10", "csRemotePartyDisconnected 0 10"}));
}

TEST(KDPhoneTransfer, HangupOfAPrimaryCallDropsItsChain) {
  struct Case {
    bool transfer;
    std::vector<std::string> drops;
  };
  const Case kCases[] = {{true, {"lineDrop 20", "lineDrop 10"}},
                         {false, {"lineDrop 30", "lineDrop 20", "lineDrop 10"}}};
  for (const Case& c : kCases) {
    Fixture f;
    f.Consulting(c.transfer);
    f.api.log.clear();
    ASSERT_EQ(f.phone.Hangup(), 0);
    for (std::size_t i = 1; i < c.drops.size(); ++i) f.api.Reply(f.Last(), 0);
    EXPECT_EQ(f.api.log, c.drops) << c.transfer;
    f.api.Reply(f.Last(), 0);
    EXPECT_EQ(f.phone.PendingRequestCount(), 0u);
    EXPECT_TRUE(f.Saw("csWaitingDisconnection 0 10"));
  }
}

TEST(KDPhoneTransfer, HangupOfAConsultationCallReportsItsWaitingOnce) {
  Fixture f;
  f.Consulting(true);
  f.api.log.clear();
  f.phone.Window().send(KDPhone::kHangupMessage, 0, kConsult);
  EXPECT_EQ(f.api.log, (std::vector<std::string>{"lineDrop 20"}));
  EXPECT_TRUE(f.Saw("ccs7 " + std::to_string(f.Last()) + " 20/10"));
  // Waiting already: a second hang-up does nothing.
  f.phone.Window().send(KDPhone::kHangupMessage, 0, kConsult);
  EXPECT_EQ(f.api.Count("lineDrop"), 1);
  f.api.State(kConsult, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
  EXPECT_FALSE(f.Saw("ccs4 0 20/10"));
}

}  // namespace
}  // namespace orvexa::components

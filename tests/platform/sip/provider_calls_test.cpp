// The SIP provider end to end against sipp callees on the loopback: call states, the response
// mapping, CANCEL at the ring limit, a far-end BYE, and a key press echoed back over RTP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "provider_rig.h"

namespace orvexa::sip {
namespace {

using namespace telephony;
using testing::RecordingEvents;
using testing::Rig;
using testing::SippProcess;

TEST(SipProviderCalls, FinalAnswersMapToLineStates) {
  struct Case {
    int code;
    DWORD state, mode;
  };
  const Case cases[] = {
      {486, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION},
      {600, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION},
      {480, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER},
      {404, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BADADDRESS},
      {484, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BADADDRESS},
      {603, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT},
      {403, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_REJECT},
      {503, LINECALLSTATE_DISCONNECTED, 0x8000},
  };
  for (const Case& c : cases) {
    const auto scenario =
        SippProcess::filled_scenario("callee_busy.xml", {{"CODE", std::to_string(c.code)}});
    auto peer = SippProcess::start(scenario.string(), {"-m", "1"});
    if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
    Rig rig(*peer);
    ASSERT_EQ(rig.sip->make_call(0, 7, 1, "02188776655"), 0);
    ASSERT_TRUE(rig.run_until([&] { return rig.events.final_state().has_value(); }, 10))
        << c.code << "\n" << peer->log();
    const auto final = *rig.events.final_state();
    EXPECT_EQ(final.state, c.state) << c.code;
    EXPECT_EQ(final.mode, c.mode) << c.code;
    ASSERT_FALSE(rig.events.replies.empty());
    EXPECT_EQ(rig.events.replies[0], std::make_pair(RequestId{1}, LONG{0})) << c.code;
    EXPECT_EQ(rig.events.states.front().state, LINECALLSTATE_DIALING) << c.code;
    EXPECT_EQ(rig.sip->details(7).end_status, std::to_string(c.code) + " Refused");
    rig.sip->deallocate(7);
  }
}

TEST(SipProviderCalls, AnsweredCallEchoesAKeyAndHangsUpWithBye) {
  auto peer = SippProcess::start("callee_answer.xml",
                                 {"-rtp_echo", "-mp", std::to_string(SippProcess::free_udp_port()),
                                  "-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(*peer);
  ASSERT_EQ(rig.sip->make_call(0, 7, 1, "201"), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_CONNECTED); }, 10))
      << peer->log();
  EXPECT_TRUE(rig.events.saw(LINECALLSTATE_RINGBACK));
  rig.sip->monitor_digits(7, LINEDIGITMODE_DTMF);
  ASSERT_EQ(rig.sip->generate_digits(7, "5#"), 0);
  EXPECT_TRUE(rig.run_until([&] { return rig.events.digits.size() >= 2; }, 5));
  EXPECT_EQ(rig.events.digits, "5#");
  ASSERT_EQ(rig.sip->drop(7, 2), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_IDLE); }, 5));
  rig.sip->deallocate(7);
  EXPECT_EQ(peer->wait(5), 0) << "sipp saw no clean BYE\n" << peer->log();
}

TEST(SipProviderCalls, NoAnswerCancelsAtTheRingLimit) {
  auto peer = SippProcess::start("callee_no_answer.xml", {"-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(*peer, SipProvider::Options{std::chrono::seconds(1)});
  ASSERT_EQ(rig.sip->make_call(0, 9, 1, "201"), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.final_state().has_value(); }, 10));
  EXPECT_TRUE(rig.events.saw(LINECALLSTATE_RINGBACK));
  EXPECT_EQ(rig.events.final_state()->mode, LINEDISCONNECTMODE_NOANSWER);
  rig.sip->deallocate(9);
  EXPECT_EQ(peer->wait(5), 0) << "sipp saw no CANCEL\n" << peer->log();
}

TEST(SipProviderCalls, FarEndByeIsAFarEndHangUp) {
  auto peer = SippProcess::start("callee_hangs_up.xml", {"-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(*peer);
  ASSERT_EQ(rig.sip->make_call(0, 3, 1, "201"), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.final_state().has_value(); }, 10))
      << peer->log();
  EXPECT_TRUE(rig.events.saw(LINECALLSTATE_CONNECTED));
  EXPECT_EQ(rig.events.final_state()->state, LINECALLSTATE_DISCONNECTED);
  EXPECT_EQ(rig.events.final_state()->mode, LINEDISCONNECTMODE_NORMAL);
  rig.sip->deallocate(3);
  EXPECT_EQ(peer->wait(5), 0) << peer->log();
}

TEST(SipProviderCalls, SilentMediaEndsTheCallAsAFarEndHangUp) {
  // The callee answers but never sends RTP (no -rtp_echo): after rtp_timeout the call ends and
  // the far end gets our BYE.
  auto peer = SippProcess::start("callee_answer.xml", {"-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(peer->port(), {}, 0, [](SipLineConfig& l) { l.rtp_timeout_s = 1; });
  ASSERT_EQ(rig.sip->make_call(0, 4, 1, "201"), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.final_state().has_value(); }, 10))
      << peer->log();
  EXPECT_TRUE(rig.events.saw(LINECALLSTATE_CONNECTED));
  EXPECT_EQ(rig.events.final_state()->state, LINECALLSTATE_DISCONNECTED);
  EXPECT_EQ(rig.events.final_state()->mode, LINEDISCONNECTMODE_NORMAL);
  rig.sip->deallocate(4);
  EXPECT_EQ(peer->wait(5), 0) << peer->log();
}

TEST(SipProviderCalls, DialsFailWhileTheRegistrarRefusesTheLine) {
  auto peer = SippProcess::start("registrar_digest.xml",
                                 {"-key", "user", "201", "-key", "pass", "secret", "-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(peer->port(), {}, 0, [](SipLineConfig& l) {
    l.do_register = true;
    l.password = "wrong";
  });
  ASSERT_TRUE(rig.run_until(
      [&] { return rig.sip->registration(0).state == RegistrationStatus::State::Failed; }, 10));
  EXPECT_EQ(rig.sip->registration(0).code, 403);
  EXPECT_EQ(rig.sip->make_call(0, 5, 1, "201"), LINEERR_CALLUNAVAIL);
  EXPECT_TRUE(rig.events.states.empty());
}

TEST(SipProviderCalls, IncomingCallWithPersianCallerIdAndAKey) {
  // Our line listens on a known port; sipp calls it once the line is open.
  const std::uint16_t line_port = SippProcess::free_udp_port();
  const auto scenario = SippProcess::filled_scenario(
      "caller_dtmf.xml", {{"PCAP", (SippProcess::scenario_dir() / "dtmf_7.pcap").string()}});
  messaging::SteadyClock clock;
  messaging::Loop loop{clock};
  audio::AudioService audio{loop};
  RecordingEvents events;
  events.offer_as = 42;
  SipLineConfig line;
  line.name = "Office 201";
  line.registrar = {"127.0.0.1", 5060};
  line.domain = "127.0.0.1";
  line.user = line.auth_user = "201";
  line.do_register = false;
  line.local_port = line_port;
  SipProvider sip(loop, audio, {line});
  ASSERT_EQ(sip.open(0, events), 0);
  loop.run_until([&] { return false; }, std::chrono::milliseconds(200));  // let it bind
  auto peer = SippProcess::start(
      scenario.string(), {"127.0.0.1:" + std::to_string(line_port), "-s", "201", "-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  ASSERT_TRUE(loop.run_until([&] { return events.saw(LINECALLSTATE_OFFERING); },
                             std::chrono::seconds(10)))
      << peer->log();
  EXPECT_EQ(events.offered.caller_name, "دفتر مرکزی");
  EXPECT_EQ(events.offered.caller_number, "02188776655");
  sip.monitor_digits(42, LINEDIGITMODE_DTMF);
  ASSERT_EQ(sip.answer(42, 5), 0);
  ASSERT_TRUE(loop.run_until([&] { return events.final_state().has_value(); },
                             std::chrono::seconds(10)))
      << peer->log();
  EXPECT_TRUE(events.saw(LINECALLSTATE_CONNECTED));
  EXPECT_EQ(events.digits, "7");
  EXPECT_EQ(events.final_state()->mode, LINEDISCONNECTMODE_NORMAL);
  sip.deallocate(42);
  EXPECT_EQ(peer->wait(5), 0) << peer->log();
}

TEST(SipProviderCalls, MalformedRequestsAreRefusedAndTheLineKeepsWorking) {
  const std::uint16_t line_port = SippProcess::free_udp_port();
  Rig rig(5060, {}, line_port);
  rig.events.offer_as = 42;
  rig.loop.run_until([] { return false; }, std::chrono::milliseconds(200));
  const std::string target = "127.0.0.1:" + std::to_string(line_port);
  auto bad = SippProcess::start("malformed_requests.xml", {target, "-s", "201", "-m", "1"});
  if (!bad) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  // Wait for sipp while the loop runs: every request must get its refusal from the line.
  int code = -1;
  for (int i = 0; i < 150 && code == -1; ++i) {
    rig.loop.run_for(std::chrono::milliseconds(100));
    code = bad->wait(0);
  }
  EXPECT_EQ(code, 0) << bad->log();
  EXPECT_FALSE(rig.events.saw(LINECALLSTATE_OFFERING));

  const auto scenario = SippProcess::filled_scenario(
      "caller_dtmf.xml", {{"PCAP", (SippProcess::scenario_dir() / "dtmf_7.pcap").string()}});
  auto good = SippProcess::start(scenario.string(), {target, "-s", "201", "-m", "1"});
  ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_OFFERING); }, 10))
      << good->log();
  rig.sip->answer(42, 1);
  EXPECT_TRUE(rig.run_until([&] { return rig.events.final_state().has_value(); }, 10));
  rig.sip->deallocate(42);
}

}  // namespace
}  // namespace orvexa::sip

// What the far end sends as audio reaches the line: a key pressed as tones by a caller that
// offers no telephone events, early media before the answer at the line's wave input, and a
// tone the line service's monitor finds in what the call receives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/telephony/line_service.h"
#include "provider_rig.h"

namespace orvexa::sip {
namespace {

using namespace telephony;
using testing::Rig;
using testing::SippProcess;
using testing::WaveInput;

std::string scenario_file(const char* name) {
  return (SippProcess::scenario_dir() / name).string();
}

TEST(SipProviderMedia, KeyAsToneFromACallerWithoutTelephoneEvents) {
  const std::uint16_t line_port = SippProcess::free_udp_port();
  Rig rig(5060, {}, line_port);
  rig.events.offer_as = 42;
  rig.loop.run_until([] { return false; }, std::chrono::milliseconds(200));  // let it bind
  // The same caller as for event digits, with the events taken out of its offer.
  const auto scenario = SippProcess::filled_scenario(
      "caller_dtmf.xml", {{"PCAP", scenario_file("inband_5.pcap")},
                          {"RTP/AVP 0 101", "RTP/AVP 0"},
                          {"a=rtpmap:101 telephone-event/8000", ""}});
  auto peer = SippProcess::start(
      scenario.string(), {"127.0.0.1:" + std::to_string(line_port), "-s", "201", "-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_OFFERING); }, 10))
      << peer->log();
  rig.sip->monitor_digits(42, LINEDIGITMODE_DTMF);
  ASSERT_EQ(rig.sip->answer(42, 5), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.final_state().has_value(); }, 10))
      << peer->log();
  EXPECT_TRUE(rig.events.saw(LINECALLSTATE_CONNECTED));
  EXPECT_EQ(rig.events.digits, "5") << "one press, heard once";
  rig.sip->deallocate(42);
  EXPECT_EQ(peer->wait(5), 0) << peer->log();
}

TEST(SipProviderMedia, EarlyMediaReachesTheWaveInputBeforeTheAnswer) {
  const auto scenario = SippProcess::filled_scenario(
      "callee_early_media.xml", {{"PCAP", scenario_file("inband_5.pcap")}});
  auto peer = SippProcess::start(scenario.string(), {"-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(*peer);
  const auto wave_in = rig.sip->device(0).wave_in;
  ASSERT_GE(wave_in, 0);
  WaveInput input(rig.audio, static_cast<std::uint32_t>(wave_in));
  ASSERT_EQ(rig.sip->make_call(0, 7, 1, "201"), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_CONNECTED); }, 10))
      << peer->log();
  // The two tones peak near 16,000 together; silence decodes to 0.
  EXPECT_GT(input.peak(), 2000) << "nothing of the announcement was heard before the answer";
  EXPECT_TRUE(rig.events.saw(LINECALLSTATE_RINGBACK));
  ASSERT_EQ(rig.sip->drop(7, 2), 0);
  ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_IDLE); }, 5));
  rig.sip->deallocate(7);
  EXPECT_EQ(peer->wait(5), 0) << peer->log();
}

// Through the line service, as an application asks: a dial tone (350 + 440 Hz for a second)
// the callee sends in its RTP is reported once, for the tone of the list that it is.
TEST(SipProviderMedia, ToneInTheCallsAudioIsReportedToItsMonitor) {
  const auto scenario = SippProcess::filled_scenario(
      "callee_tone.xml", {{"PCAP", scenario_file("tone_350_440.pcap")}});
  auto peer = SippProcess::start(scenario.string(), {"-m", "1"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(*peer);
  LineService service(rig.loop);
  service.add_provider(*rig.sip);
  HLINEAPP app = 0;
  HLINE line = 0;
  HCALL call = 0;
  bool connected = false, idle = false;
  std::vector<DWORD_PTR> tones;
  const LINEMONITORTONE kList[] = {{5, 600, 350, 440, 0}, {6, 300, 440, 0, 0},
                                   {7, 1500, 350, 440, 0}};
  auto callback = [&](DWORD device, DWORD message, DWORD_PTR, DWORD_PTR p1, DWORD_PTR, DWORD_PTR) {
    if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_CONNECTED && !connected) {
      connected = true;
      EXPECT_EQ(service.lineMonitorTones(device, kList, 3), 0);
    }
    if (message == LINE_CALLSTATE && p1 == LINECALLSTATE_IDLE) idle = true;
    if (message == LINE_MONITORTONE) tones.push_back(p1);
  };
  DWORD devices = 0, version = kApiVersion20002;
  ASSERT_EQ(service.lineInitializeExW(&app, callback, &devices, &version, nullptr), 0);
  ASSERT_EQ(service.lineOpen(app, 0, &line, kApiVersion20002, 0, 0, LINECALLPRIVILEGE_OWNER,
                             LINEMEDIAMODE_AUTOMATEDVOICE, nullptr),
            0);
  ASSERT_GT(service.lineMakeCall(line, &call, "201", 0, nullptr), 0);
  ASSERT_TRUE(rig.run_until([&] { return connected; }, 10)) << peer->log();
  // The tone ends 1.4 s after the answer; a little more for the jitter buffer.
  rig.run_until([] { return false; }, 3);
  EXPECT_EQ(tones, (std::vector<DWORD_PTR>{5})) << "once, and only the tone it is";
  EXPECT_EQ(service.monitored_tone_calls(), 1u);
  ASSERT_GT(service.lineDrop(call, nullptr, 0), 0);
  ASSERT_TRUE(rig.run_until([&] { return idle; }, 5));
  EXPECT_EQ(service.monitored_tone_calls(), 0u);
  EXPECT_EQ(service.lineDeallocateCall(call), 0);
  EXPECT_EQ(service.lineShutdown(app), 0);
  EXPECT_EQ(peer->wait(5), 0) << peer->log();
}

}  // namespace
}  // namespace orvexa::sip

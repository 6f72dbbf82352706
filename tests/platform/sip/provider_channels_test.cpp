// A sip line with channels against sipp on the loopback: as many calls at once as the line has
// channels, each with wave devices of its own; audio played into one call goes out in that
// call's RTP alone (sipp echoes every call's RTP back to it); a dial or an INVITE beyond the
// channels is refused.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "provider_rig.h"

namespace orvexa::sip {
namespace {

using namespace telephony;
using testing::Rig;
using testing::SippProcess;
using testing::ToneOutput;
using testing::WaveInput;

bool reached(const Rig& rig, HCALL call, DWORD state) {
  for (const auto& s : rig.events.states)
    if (s.call == call && s.state == state) return true;
  return false;
}

std::string media_port() { return std::to_string(SippProcess::free_udp_port()); }

TEST(SipProviderChannels, ThreeCallsAtOnceEachWithItsOwnAudio) {
  // Four calls in all: three at once, then one more in the channel the first call left.
  auto peer = SippProcess::start("callee_answer.xml",
                                 {"-rtp_echo", "-mp", media_port(), "-m", "4"}, 30);
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(peer->port(), {}, 0, [](SipLineConfig& l) { l.channels = 3; });
  EXPECT_EQ(rig.sip->device(0).channels, 3u);

  const HCALL calls[] = {1, 2, 3};
  for (HCALL c : calls) ASSERT_EQ(rig.sip->make_call(0, c, RequestId(c), "201"), 0) << c;
  // Refused at once, while the three are still being set up: they hold every channel.
  EXPECT_EQ(rig.sip->make_call(0, 4, 4, "201"), LINEERR_RESOURCEUNAVAIL);
  ASSERT_TRUE(rig.run_until(
      [&] {
        for (HCALL c : calls)
          if (!reached(rig, c, LINECALLSTATE_CONNECTED)) return false;
        return true;
      },
      10))
      << peer->log();

  std::set<std::int32_t> outs, ins;
  for (HCALL c : calls) {
    const CallDetails d = rig.sip->details(c);
    EXPECT_GE(d.wave_out, 0) << c;
    EXPECT_GE(d.wave_in, 0) << c;
    outs.insert(d.wave_out);
    ins.insert(d.wave_in);
  }
  EXPECT_EQ(outs.size(), 3u) << "each call its own output";
  EXPECT_EQ(ins.size(), 3u) << "each call its own input";
  EXPECT_EQ(rig.sip->details(1).wave_out, rig.sip->device(0).wave_out)
      << "the first call takes the first channel, the line's own devices";

  // A tone into the second call only; what each call gets back is what it sent.
  std::vector<std::unique_ptr<WaveInput>> heard;
  for (HCALL c : calls)
    heard.push_back(std::make_unique<WaveInput>(
        rig.audio, static_cast<std::uint32_t>(rig.sip->details(c).wave_in)));
  {
    ToneOutput tone(rig.audio, static_cast<std::uint32_t>(rig.sip->details(2).wave_out), 1000,
                    8000);
    rig.run_until([] { return false; }, 2);
  }
  EXPECT_GT(heard[1]->peak(), 4000) << "the tone never came back in its own call";
  EXPECT_LT(heard[0]->peak(), 200) << "the second call's tone went out in the first";
  EXPECT_LT(heard[2]->peak(), 200) << "the second call's tone went out in the third";
  heard.clear();

  // The first call ends: its channel is the lowest free one again.
  const std::int32_t first_out = rig.sip->details(1).wave_out;
  ASSERT_EQ(rig.sip->drop(1, 11), 0);
  ASSERT_TRUE(rig.run_until([&] { return reached(rig, 1, LINECALLSTATE_IDLE); }, 5));
  ASSERT_EQ(rig.sip->make_call(0, 5, 5, "201"), 0);
  EXPECT_EQ(rig.sip->details(5).wave_out, first_out);
  ASSERT_TRUE(rig.run_until([&] { return reached(rig, 5, LINECALLSTATE_CONNECTED); }, 10))
      << peer->log();

  const HCALL up[] = {2, 3, 5};
  for (HCALL c : up) ASSERT_EQ(rig.sip->drop(c, RequestId(20 + c)), 0);
  ASSERT_TRUE(rig.run_until(
      [&] {
        for (HCALL c : up)
          if (!reached(rig, c, LINECALLSTATE_IDLE)) return false;
        return true;
      },
      5));
  const HCALL all[] = {1, 2, 3, 5};
  for (HCALL c : all) rig.sip->deallocate(c);
  EXPECT_EQ(peer->wait(5), 0) << "sipp saw no clean end of its four calls\n" << peer->log();
}

// Our call to a sipp callee holds a channel; a sipp caller then calls the line.
TEST(SipProviderChannels, AnIncomingCallTakesAFreeChannelOrIsBusy) {
  struct Case {
    std::uint32_t channels;
    int final_code;  // what the caller is told
  };
  // A full line answers busy; a free channel rings, and we then turn the caller away.
  const Case cases[] = {{1, 486}, {2, 603}};
  for (const Case& c : cases) {
    auto callee = SippProcess::start("callee_answer.xml", {"-mp", media_port(), "-m", "1"});
    if (!callee) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
    const std::uint16_t line_port = SippProcess::free_udp_port();
    Rig rig(callee->port(), {}, line_port, [&](SipLineConfig& l) {
      l.channels = c.channels;
      l.rtp_timeout_s = 0;  // the callee sends no audio
    });
    rig.events.offer_as = 42;
    ASSERT_EQ(rig.sip->make_call(0, 7, 1, "201"), 0);
    ASSERT_TRUE(rig.run_until([&] { return reached(rig, 7, LINECALLSTATE_CONNECTED); }, 10))
        << c.channels << "\n" << callee->log();

    const auto scenario = SippProcess::filled_scenario(
        "caller_refused.xml", {{"CODE", std::to_string(c.final_code)}});
    auto caller = SippProcess::start(
        scenario.string(), {"127.0.0.1:" + std::to_string(line_port), "-s", "201", "-mp",
                            media_port(), "-m", "1"});
    ASSERT_TRUE(caller);
    if (c.final_code == 603) {
      ASSERT_TRUE(rig.run_until([&] { return reached(rig, 42, LINECALLSTATE_OFFERING); }, 10))
          << caller->log();
      const CallDetails offered = rig.sip->details(42);
      EXPECT_GE(offered.wave_out, 0);
      EXPECT_NE(offered.wave_out, rig.sip->details(7).wave_out) << "the second channel's own";
      EXPECT_NE(offered.wave_in, rig.sip->details(7).wave_in) << "the second channel's own";
      ASSERT_EQ(rig.sip->drop(42, 2), 0);
    }
    int code = -1;  // the caller's exit, while the loop runs
    for (int i = 0; i < 100 && code == -1; ++i) {
      rig.loop.run_for(std::chrono::milliseconds(100));
      code = caller->wait(0);
    }
    EXPECT_EQ(code, 0) << c.channels << ": the caller was not told " << c.final_code << "\n"
                       << caller->log();
    if (c.final_code == 486) {
      EXPECT_FALSE(reached(rig, 42, LINECALLSTATE_OFFERING)) << "offered on a full line";
    }

    ASSERT_EQ(rig.sip->drop(7, 3), 0);
    ASSERT_TRUE(rig.run_until([&] { return reached(rig, 7, LINECALLSTATE_IDLE); }, 5));
    rig.sip->deallocate(7);
    rig.sip->deallocate(42);
    EXPECT_EQ(callee->wait(5), 0) << c.channels << "\n" << callee->log();
  }
}

}  // namespace
}  // namespace orvexa::sip

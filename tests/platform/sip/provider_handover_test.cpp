// Hold, unhold and blind transfer of a SIP call against a sipp callee: the re-INVITEs carry
// the hold in their direction, the REFER names the target, and the NOTIFY's final status
// decides whether the call ends as handed over or stays with us.
#include <gtest/gtest.h>

#include <string>

#include "provider_rig.h"

namespace orvexa::sip {
namespace {

using namespace telephony;
using testing::Rig;
using testing::SippProcess;

bool replied(const Rig& rig, RequestId request, LONG result) {
  for (const auto& r : rig.events.replies)
    if (r.first == request && r.second == result) return true;
  return false;
}

bool answered(const Rig& rig, RequestId request) {
  for (const auto& r : rig.events.replies)
    if (r.first == request) return true;
  return false;
}

TEST(SipProviderHandover, HoldUnholdThenTransferAsTheNotifySays) {
  struct Case {
    const char* frag;
    bool transferred;
  };
  const Case cases[] = {{"200 OK", true}, {"486 Busy Here", false}, {"603 Declined", false}};
  for (const Case& c : cases) {
    const auto scenario = SippProcess::filled_scenario(
        "callee_hold_transfer.xml", {{"FRAG", c.frag}, {"TARGET", "02188001122"}});
    auto peer = SippProcess::start(scenario.string(), {"-m", "1"});
    if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
    Rig rig(*peer);
    ASSERT_EQ(rig.sip->make_call(0, 7, 1, "201"), 0);
    ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_CONNECTED); }, 10))
        << peer->log();
    EXPECT_EQ(rig.sip->hold(7, 2, false), LINEERR_INVALCALLSTATE) << "not held yet";
    // What a sip line does not do is refused, never half done.
    EXPECT_EQ(rig.sip->setup_transfer(7, 8, 2), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(rig.sip->setup_conference(7, 9, 8, 2), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(rig.sip->complete_transfer(7, 8, 0, 1, 2), LINEERR_OPERATIONUNAVAIL);
    EXPECT_EQ(rig.sip->add_to_conference(9, 8, 2), LINEERR_OPERATIONUNAVAIL);

    ASSERT_EQ(rig.sip->hold(7, 2, true), 0);
    ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_ONHOLD); }, 10))
        << peer->log();
    EXPECT_TRUE(replied(rig, 2, 0));
    EXPECT_EQ(rig.sip->generate_digits(7, "1"), LINEERR_INVALCALLSTATE) << "held calls key nothing";

    const std::size_t before = rig.events.states.size();
    ASSERT_EQ(rig.sip->hold(7, 3, false), 0);
    ASSERT_TRUE(rig.run_until([&] { return rig.events.states.size() > before; }, 10));
    EXPECT_EQ(rig.events.states.back().state, LINECALLSTATE_CONNECTED);
    EXPECT_TRUE(replied(rig, 3, 0));

    ASSERT_EQ(rig.sip->blind_transfer(7, 4, "02188001122"), 0);
    EXPECT_EQ(rig.sip->hold(7, 5, true), LINEERR_INVALCALLSTATE) << "one request at a time";
    ASSERT_TRUE(rig.run_until([&] { return answered(rig, 4); }, 10)) << c.frag << peer->log();
    EXPECT_EQ(replied(rig, 4, 0), c.transferred) << c.frag;
    if (c.transferred) {
      ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_IDLE); }, 5));
      EXPECT_EQ(rig.events.final_state()->state, LINECALLSTATE_DISCONNECTED);
      EXPECT_EQ(rig.events.final_state()->mode, LINEDISCONNECTMODE_NORMAL);
    } else {
      // A failed hand-over leaves the call with us, connected, until we hang up.
      EXPECT_FALSE(rig.events.final_state().has_value()) << c.frag;
      EXPECT_EQ(rig.events.states.back().state, LINECALLSTATE_CONNECTED);
      ASSERT_EQ(rig.sip->drop(7, 6), 0);
      ASSERT_TRUE(rig.run_until([&] { return rig.events.saw(LINECALLSTATE_IDLE); }, 5));
    }
    rig.sip->deallocate(7);
    EXPECT_EQ(peer->wait(5), 0) << c.frag << "\n" << peer->log();
  }
}

}  // namespace
}  // namespace orvexa::sip

// Why a call over a sip line ended, as the campaign's line adapter keeps it: the far end's final
// answer from sipp callees, and the network's silence or refusal when nothing answers at all.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/campaign/adapters/phone_line.h"
#include "platform/audio/audio_service.h"
#include "platform/messaging/clock.h"
#include "platform/messaging/loop.h"
#include "platform/sip/sip_provider.h"
#include "platform/telephony/line_service.h"
#include "sipp_process.h"

namespace orvexa::sip {
namespace {

using campaign::CallCause;
using campaign::CallEvent;
using testing::SippProcess;
using namespace telephony;

// A TCP port on 127.0.0.1 where nobody listens now: connecting to it is refused.
std::uint16_t closed_tcp_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t size = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
  ::close(fd);
  return ntohs(a.sin_port);
}

// One sip line behind the line service, and the campaign's line on it.
struct Rig {
  messaging::SteadyClock clock;
  messaging::Loop loop{clock};
  audio::AudioService audio{loop};
  std::unique_ptr<SipProvider> sip;
  std::unique_ptr<LineService> service;
  host::NoBusyIndicator busy;
  std::unique_ptr<campaign::PhoneLine> line;
  std::vector<CallEvent> events;

  Rig(std::uint16_t port, std::function<void(SipLineConfig&)> adjust = {}) {
    SipLineConfig config;
    config.name = "Office 201";
    config.registrar = {"127.0.0.1", port};
    config.domain = "127.0.0.1";
    config.user = config.auth_user = "201";
    config.do_register = false;
    if (adjust) adjust(config);
    sip = std::make_unique<SipProvider>(loop, audio, std::vector<SipLineConfig>{config});
    service = std::make_unique<LineService>(loop);
    service->add_provider(*sip);
    line = std::make_unique<campaign::PhoneLine>(loop, *service, busy);
    line->bind({[this](CallEvent e) { events.push_back(e); }, {}, {}});
    EXPECT_EQ(line->activate(0), 0);
  }
  ~Rig() {
    line.reset();
    service.reset();
  }
  bool saw(CallEvent e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
  // Dials and waits, at most `seconds`, for the call to be over.
  bool call(const std::string& number, int seconds) {
    if (line->dial(number) != 0) return false;
    return loop.run_until([&] { return saw(CallEvent::Disconnected); },
                          std::chrono::seconds(seconds));
  }
};

TEST(SipCallCause, FinalAnswersReachTheCampaignWithTheirStatusAndPhrase) {
  struct Case {
    const char* status_line;
    CallEvent event;
    CallCause want;
  };
  const Case cases[] = {
      {"486 Busy Here", CallEvent::Busy, {0, LINEDISCONNECTMODE_BUSY, 486, "Busy Here"}},
      {"404 Not Found", CallEvent::RemoteDisconnected,
       {0, LINEDISCONNECTMODE_BADADDRESS, 404, "Not Found"}},
      {"603 Decline", CallEvent::RemoteDisconnected,
       {0, LINEDISCONNECTMODE_REJECT, 603, "Decline"}},
      {"403 Forbidden", CallEvent::RemoteDisconnected,
       {0, LINEDISCONNECTMODE_REJECT, 403, "Forbidden"}},
      {"480 Temporarily Unavailable", CallEvent::RemoteDisconnected,
       {0, LINEDISCONNECTMODE_NOANSWER, 480, "Temporarily Unavailable"}},
      {"503 Service Unavailable", CallEvent::RemoteDisconnected,
       {0, LINEDISCONNECTMODE_UNAVAIL, 503, "Service Unavailable"}},
  };
  for (const Case& c : cases) {
    const auto scenario =
        SippProcess::filled_scenario("callee_busy.xml", {{"CODE Refused", c.status_line}});
    auto peer = SippProcess::start(scenario.string(), {"-m", "1"});
    if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
    Rig rig(peer->port());
    ASSERT_TRUE(rig.call("02188776655", 10)) << c.status_line << "\n" << peer->log();
    EXPECT_TRUE(rig.saw(c.event)) << c.status_line;
    EXPECT_EQ(rig.line->call_cause(), c.want)
        << c.status_line << ": " << rig.line->call_cause().text();
    EXPECT_EQ(peer->wait(5), 0) << peer->log();
  }
}

TEST(SipCallCause, ANetworkThatRefusesIsUnreachable) {
  // Over TCP the refusal comes at once: the call's connection, then a registrar's.
  const std::uint16_t port = closed_tcp_port();
  {
    Rig rig(port, [](SipLineConfig& l) { l.transport = Transport::Tcp; });
    ASSERT_TRUE(rig.call("201", 10));
    EXPECT_TRUE(rig.saw(CallEvent::RemoteDisconnected));
    EXPECT_EQ(rig.line->call_cause(),
              (CallCause{0, LINEDISCONNECTMODE_UNREACHABLE, 0, "Connection refused"}));
  }
  Rig rig(port, [](SipLineConfig& l) {
    l.transport = Transport::Tcp;
    l.do_register = true;
  });
  ASSERT_TRUE(rig.loop.run_until(
      [&] { return rig.sip->registration(0).state == RegistrationStatus::State::Failed; },
      std::chrono::seconds(10)));
  ASSERT_TRUE(rig.call("201", 10));
  EXPECT_EQ(rig.line->call_cause(),
            (CallCause{0, LINEDISCONNECTMODE_UNREACHABLE, 0, "not registered: Connection refused"}));
}

TEST(SipCallCause, ARegistrarThatRefusesTheLineRefusesTheDial) {
  // The component opens the line twice (a probe, then for good): two registrations to answer.
  auto peer = SippProcess::start("registrar_digest.xml",
                                 {"-key", "user", "201", "-key", "pass", "secret"});
  if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
  Rig rig(peer->port(), [](SipLineConfig& l) {
    l.do_register = true;
    l.password = "wrong";
  });
  ASSERT_TRUE(rig.loop.run_until(
      [&] { return rig.sip->registration(0).state == RegistrationStatus::State::Failed; },
      std::chrono::seconds(10))) << describe(rig.sip->registration(0)) << "\n" << peer->log();
  const int refused = rig.line->dial("201");
  EXPECT_EQ(refused, 107);  // the line is unavailable
  EXPECT_EQ(rig.line->call_cause(), (CallCause{refused, 0, 0, ""}));
}

TEST(SipCallCause, SilenceUntilTheTransactionTimesOutIsUnreachable) {
  // Nothing listens on the UDP port: libre gives up on the INVITE after 64 T1 (32 s), a time
  // compiled into it. The one test that waits it out on the real clock.
  Rig rig(SippProcess::free_udp_port());
  ASSERT_TRUE(rig.call("201", 40));
  EXPECT_TRUE(rig.saw(CallEvent::RemoteDisconnected));
  EXPECT_EQ(rig.line->call_cause(),
            (CallCause{0, LINEDISCONNECTMODE_UNREACHABLE, 0,
                       "no answer from the network (transaction timed out)"}));
}

}  // namespace
}  // namespace orvexa::sip

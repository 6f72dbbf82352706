// Registration against sipp as a registrar on the loopback, with a digest challenge.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/sip/sip_account.h"
#include "platform/sip/sip_thread.h"
#include "sipp_process.h"

namespace orvexa::sip {
namespace {

using testing::SippProcess;
using State = RegistrationStatus::State;

// Statuses arrive on the SIP thread; the test thread waits for them, never for long.
class StatusLog {
 public:
  void add(const RegistrationStatus& s) {
    std::lock_guard lock(mutex_);
    seen_.push_back(s);
    cv_.notify_all();
  }
  std::optional<RegistrationStatus> wait_final(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, limit, [&] { return final_index().has_value(); });
    if (auto i = final_index()) return seen_[*i];
    return std::nullopt;
  }

 private:
  std::optional<std::size_t> final_index() const {
    for (std::size_t i = 0; i < seen_.size(); ++i)
      if (seen_[i].state == State::Registered || seen_[i].state == State::Failed) return i;
    return std::nullopt;
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<RegistrationStatus> seen_;
};

SipLineConfig line_for(const SippProcess& peer, std::string password) {
  SipLineConfig line;
  line.name = "Office 201";
  line.registrar = {"127.0.0.1", peer.port()};
  line.domain = "127.0.0.1";
  line.user = line.auth_user = "201";
  line.password = std::move(password);
  line.expires = 600;
  return line;
}

TEST(SipRegistration, DigestChallengeRightAndWrongPassword) {
  struct Case {
    const char* name;
    const char* password;
    State want;
    std::uint16_t code;
  };
  const Case cases[] = {{"right password", "secret", State::Registered, 200},
                        {"wrong password", "guess", State::Failed, 403}};
  for (const Case& c : cases) {
    auto peer = SippProcess::start("registrar_digest.xml",
                                   {"-key", "user", "201", "-key", "pass", "secret", "-m", "1"});
    if (!peer) ORVEXA_PEER_MISSING(SippProcess::missing_reason());
    SipThread thread;
    StatusLog log;
    std::unique_ptr<SipAccount> account;
    int err = -1;
    thread.call([&] {
      account = std::make_unique<SipAccount>(line_for(*peer, c.password),
                                             [&](const RegistrationStatus& s) { log.add(s); });
      err = account->start();
    });
    ASSERT_EQ(err, 0) << c.name;
    const auto final = log.wait_final(std::chrono::seconds(10));
    thread.call([&] { account.reset(); });
    ASSERT_TRUE(final.has_value()) << c.name << "\n" << peer->log();
    EXPECT_EQ(final->state, c.want) << c.name << ": " << describe(*final);
    EXPECT_EQ(final->code, c.code) << c.name;
    EXPECT_EQ(final->can_call(), c.want == State::Registered) << c.name;
  }
}

TEST(SipRegistration, SilentRegistrarFailsWithoutACode) {
  // Nobody listens on the port: the request times out (libre's 32 s) or is refused at once
  // through ICMP; either way the line reports a failure with no SIP code.
  SipThread thread;
  StatusLog log;
  std::unique_ptr<SipAccount> account;
  SipLineConfig line;
  line.registrar = {"127.0.0.1", SippProcess::free_udp_port()};
  line.domain = "127.0.0.1";
  line.user = line.auth_user = "201";
  thread.call([&] {
    account = std::make_unique<SipAccount>(line, [&](const RegistrationStatus& s) { log.add(s); });
    account->start();
  });
  const auto final = log.wait_final(std::chrono::seconds(40));
  thread.call([&] { account.reset(); });
  ASSERT_TRUE(final.has_value());
  EXPECT_EQ(final->state, State::Failed);
  EXPECT_EQ(final->code, 0);
  EXPECT_NE(describe(*final).find("failed"), std::string::npos);
}

}  // namespace
}  // namespace orvexa::sip

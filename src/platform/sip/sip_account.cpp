#include "platform/sip/sip_account.h"

#include <cstring>
#include <vector>

extern "C" {
#include <re.h>
}

#include "platform/sip/sip_status.h"
#include "platform/sip/sip_uri.h"

namespace orvexa::sip {
namespace {

constexpr std::uint32_t kTransactionTableSize = 32;

// The address our transport binds to: the loopback when the registrar is on this machine,
// otherwise the machine's default source address.
int choose_local_address(const SipLineConfig& line, ::sa& out) {
  ::sa target{};
  const bool literal = sa_set_str(&target, line.registrar.host.c_str(), 0) == 0;
  if (literal && sa_is_loopback(&target))
    return sa_set_str(&out, sa_af(&target) == AF_INET6 ? "::1" : "127.0.0.1", line.local_port);
  const int af = literal ? sa_af(&target) : AF_INET;
  const int err = net_default_source_addr_get(af, &out);
  if (err == 0) sa_set_port(&out, line.local_port);
  return err;
}

}  // namespace

SipAccount::SipAccount(SipLineConfig config, StatusHandler on_status)
    : config_(std::move(config)), on_status_(std::move(on_status)) {}

SipAccount::~SipAccount() {
  // Registration and sessions hold references into the stack: drop them first, then close
  // the stack without waiting for the un-REGISTER to be answered.
  reg_.reset();
  if (sessions_) sipsess_close_all(sessions_.get());
  sessions_.reset();
  subscriptions_.reset();
  if (sip_) sip_close(sip_.get(), true);
  sip_.reset();
  dns_.reset();
}

int SipAccount::start() {
  int err = bind_transport();
  if (err != 0) return err;
  ::sipsess_sock* sock = nullptr;
  err = sipsess_listen(&sock, sip_.get(), 32, &SipAccount::on_connect, this);
  sessions_ = adopt(sock);
  if (err != 0) return err;
  ::sipevent_sock* events = nullptr;
  err = sipevent_listen(&events, sip_.get(), 32, 32, &SipAccount::on_subscribe, this);
  subscriptions_ = adopt(events);
  if (err != 0) return err;
  if (!config_.do_register) {
    report({});
    return 0;
  }
  return start_registration();
}

int SipAccount::bind_transport() {
  // Names need a resolver; addresses never reach it, so tests stay on the loopback.
  std::vector<::sa> servers(4);
  std::uint32_t n = static_cast<std::uint32_t>(servers.size());
  char domain[64] = "";
  ::dnsc* dns = nullptr;
  if (dns_srv_get(domain, sizeof domain, servers.data(), &n) == 0 && n > 0)
    dnsc_alloc(&dns, nullptr, servers.data(), n);
  dns_ = adopt(dns);

  ::sip* stack = nullptr;
  int err = sip_alloc(&stack, dns_.get(), kTransactionTableSize, kTransactionTableSize,
                      kTransactionTableSize, "orvexa", nullptr, nullptr);
  sip_ = adopt(stack);
  if (err != 0) return err;
  ::sa local{};
  err = choose_local_address(config_, local);
  if (err != 0) return err;
  const auto tp = config_.transport == Transport::Tcp ? SIP_TRANSP_TCP : SIP_TRANSP_UDP;
  err = sip_transp_add(sip_.get(), tp, &local);
  if (err != 0) return err;
  ::sa bound{};
  if (sip_transp_laddr(sip_.get(), &bound, tp, nullptr) == 0) local = bound;
  char text[64] = "";
  re_snprintf(text, sizeof text, "%J", &local);
  local_text_ = text;
  re_snprintf(text, sizeof text, "%j", &local);
  local_ip_ = text;
  return 0;
}

int SipAccount::start_registration() {
  const std::string reg_uri = registrar_uri(config_);
  const std::string aor = address_of_record(config_);
  const std::string route = proxy_route(config_);
  const char* routes[] = {route.c_str()};
  const char* display = config_.name.empty() ? nullptr : config_.name.c_str();
  register_started_ = std::chrono::steady_clock::now();
  report({RegistrationStatus::State::Registering, 0, {}, {}});
  ::sipreg* reg = nullptr;
  const int err = sipreg_register(&reg, sip_.get(), reg_uri.c_str(), aor.c_str(), display,
                                  aor.c_str(), config_.expires, config_.user.c_str(),
                                  route.empty() ? nullptr : routes, route.empty() ? 0 : 1, 0,
                                  &SipAccount::on_auth, this, false,
                                  &SipAccount::on_register_response, this, nullptr, nullptr);
  reg_ = adopt(reg);
  if (err != 0) {
    report({RegistrationStatus::State::Failed, 0, std::strerror(err), {}});
    return err;
  }
  return 0;
}

int SipAccount::on_auth(char** user, char** pass, const char*, void* arg) {
  auto* self = static_cast<SipAccount*>(arg);
  int err = str_dup(user, self->config_.auth_user.c_str());
  if (err == 0) err = str_dup(pass, self->config_.password.c_str());
  return err;
}

void SipAccount::on_register_response(int err, const ::sip_msg* msg, void* arg) {
  auto* self = static_cast<SipAccount*>(arg);
  RegistrationStatus s;
  s.round_trip = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - self->register_started_);
  if (err != 0 || msg == nullptr) {
    s.state = RegistrationStatus::State::Failed;
    s.reason = err == ETIMEDOUT ? "no answer from the registrar" : std::strerror(err);
    s.unanswered = true;
  } else if (msg->scode < 200) {
    return;
  } else {
    s.code = msg->scode;
    s.reason = reason_phrase(*msg);
    s.state = msg->scode < 300 ? RegistrationStatus::State::Registered
                               : RegistrationStatus::State::Failed;
  }
  // Refreshes and retries time from here.
  self->register_started_ = std::chrono::steady_clock::now();
  self->report(std::move(s));
}

void SipAccount::refuse(const ::sip_msg& request, std::uint16_t code, const char* reason) {
  sip_treply(nullptr, sip_.get(), &request, code, reason);
}

void SipAccount::on_connect(const ::sip_msg* msg, void* arg) {
  auto* self = static_cast<SipAccount*>(arg);
  if (self->on_invite_) {
    self->on_invite_(*msg);
    return;
  }
  sip_treply(nullptr, self->sip_.get(), msg, 480, "Temporarily Unavailable");
}

bool SipAccount::on_subscribe(const ::sip_msg* msg, void* arg) {
  // A line offers no event packages of its own: every SUBSCRIBE is refused.
  auto* self = static_cast<SipAccount*>(arg);
  sip_treply(nullptr, self->sip_.get(), msg, 489, "Bad Event");
  return true;
}

void SipAccount::report(RegistrationStatus status) {
  status_ = std::move(status);
  if (on_status_) on_status_(status_);
}

}  // namespace orvexa::sip

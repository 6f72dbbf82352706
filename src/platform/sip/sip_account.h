// One sip line's SIP stack: its transport, its registration and its session socket.
// Lives on the SIP thread only (made, used and destroyed there).
//
//   SipAccount account(config, [&](const RegistrationStatus& s) { ... });
//   int err = account.start();    // binds, then registers unless `register = false`
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/sip/media_clock.h"
#include "platform/sip/re_ref.h"
#include "platform/sip/registration.h"
#include "platform/sip/sip_config.h"

struct sip;
struct sipreg;
struct sipsess_sock;
struct sipevent_sock;
struct sip_msg;
struct dnsc;

namespace orvexa::sip {

class SipAccount {
 public:
  using StatusHandler = std::function<void(const RegistrationStatus&)>;
  // Called for each new INVITE outside a dialog; the handler accepts or rejects it.
  using InviteHandler = std::function<void(const ::sip_msg&)>;

  SipAccount(SipLineConfig config, StatusHandler on_status);
  ~SipAccount();
  SipAccount(const SipAccount&) = delete;
  SipAccount& operator=(const SipAccount&) = delete;

  // 0, or the errno-style code of what failed (binding, address, registration request).
  int start();
  void set_invite_handler(InviteHandler handler) { on_invite_ = std::move(handler); }
  // A final answer to `request` outside any dialog, such as 486 to an INVITE on a full line.
  void refuse(const ::sip_msg& request, std::uint16_t code, const char* reason);

  const SipLineConfig& config() const { return config_; }
  const RegistrationStatus& status() const { return status_; }
  // The local address the transport is bound to, "ip:port", and its address alone.
  std::string local_address() const { return local_text_; }
  std::string local_ip() const { return local_ip_; }
  // Digest credentials for any request of this line (libre's sip_auth_h, `arg` = the account).
  static int on_auth(char** user, char** pass, const char* realm, void* arg);
  ::sip* stack() const { return sip_.get(); }
  ::sipsess_sock* sessions() const { return sessions_.get(); }
  // Paces the media of this line's calls.
  MediaClock& media_clock() { return media_clock_; }
  // Subscriptions of this line: the NOTIFYs that follow our REFERs arrive here.
  ::sipevent_sock* subscriptions() const { return subscriptions_.get(); }

 private:
  static void on_register_response(int err, const ::sip_msg* msg, void* arg);
  static bool on_subscribe(const ::sip_msg* msg, void* arg);
  static void on_connect(const ::sip_msg* msg, void* arg);
  int bind_transport();
  int start_registration();
  void report(RegistrationStatus status);

  SipLineConfig config_;
  StatusHandler on_status_;
  InviteHandler on_invite_;
  RegistrationStatus status_;
  std::chrono::steady_clock::time_point register_started_{};
  std::string local_text_;
  std::string local_ip_;
  ReRef<::dnsc> dns_;
  ReRef<::sip> sip_;
  ReRef<::sipsess_sock> sessions_;
  ReRef<::sipevent_sock> subscriptions_;
  ReRef<::sipreg> reg_;
  MediaClock media_clock_;
};

}  // namespace orvexa::sip
